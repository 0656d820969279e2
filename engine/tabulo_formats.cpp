#include "engine/tabulo_formats.h"

#include "platform/text_utils.h"
#include "platform/locale_settings.h"

namespace velmora {

namespace {
constexpr const char* kIntegerFormat = "#,###,##0";
constexpr const char* kFloatFormat = "#,###,##0.00";

std::string OrDefault(std::string_view value, const std::string& fallback) {
  return value.empty() ? fallback : std::string(value);
}
}  // namespace

TTabuloFormats::TTabuloFormats() { Reset(); }

std::string TTabuloFormats::DefaultDateFormat() { return FormatSettings().ShortDateFormat; }
std::string TTabuloFormats::DefaultTimeFormat() { return FormatSettings().ShortTimeFormat; }
std::string TTabuloFormats::DefaultDateTimeFormat() {
  return FormatSettings().ShortDateFormat + " " + FormatSettings().ShortTimeFormat;
}

std::string TTabuloFormats::DefaultCurrencyFormat() {
  const TFormatSettings& settings = FormatSettings();
  // A symbol made of format characters (the "." of "Fr.", the "E" of an
  // exponent) would change the number's layout; such a symbol is quoted.
  std::string symbol = settings.CurrencyString;
  if (symbol.find_first_of("0#.,;Ee'\"") != std::string::npos) {
    symbol = (symbol.find('"') == std::string::npos ? "\"" + symbol + "\"" : "'" + symbol + "'");
  }
  switch (settings.CurrencyPosition) {
    case cpBefore: return symbol + kFloatFormat;
    case cpAfter: return std::string(kFloatFormat) + symbol;
    case cpBeforeSpace: return symbol + " " + kFloatFormat;
    case cpAfterSpace: return std::string(kFloatFormat) + " " + symbol;
  }
  return symbol + kFloatFormat;
}

void TTabuloFormats::SetIntegerFormat(std::string_view value) {
  integer_format_ = OrDefault(value, kIntegerFormat);
  integer_format_set_ = !value.empty();
}
void TTabuloFormats::SetFloatFormat(std::string_view value) {
  float_format_ = OrDefault(value, kFloatFormat);
  float_format_set_ = !value.empty();
}
void TTabuloFormats::SetDateFormat(std::string_view value) { date_format_ = OrDefault(value, DefaultDateFormat()); }
void TTabuloFormats::SetTimeFormat(std::string_view value) { time_format_ = OrDefault(value, DefaultTimeFormat()); }
void TTabuloFormats::SetDateTimeFormat(std::string_view value) {
  date_time_format_ = OrDefault(value, DefaultDateTimeFormat());
}
void TTabuloFormats::SetCurrencyFormat(std::string_view value) {
  currency_format_ = OrDefault(value, DefaultCurrencyFormat());
  currency_format_set_ = !value.empty();
}
void TTabuloFormats::SetBooleanTrue(std::string_view value) { boolean_true_ = OrDefault(value, "true"); }
void TTabuloFormats::SetBooleanFalse(std::string_view value) { boolean_false_ = OrDefault(value, "false"); }
void TTabuloFormats::SetNullString(std::string_view value) { null_string_ = std::string(Trim(value)); }

void TTabuloFormats::Reset() {
  SetIntegerFormat("");
  SetFloatFormat("");
  SetDateFormat("");
  SetTimeFormat("");
  SetDateTimeFormat("");
  SetCurrencyFormat("");
  SetBooleanTrue("");
  SetBooleanFalse("");
  SetNullString("");
}

void TTabuloFormats::Assign(const TTabuloFormats& source) {
  SetIntegerFormat(source.integer_format_);
  SetFloatFormat(source.float_format_);
  SetDateFormat(source.date_format_);
  SetTimeFormat(source.time_format_);
  SetDateTimeFormat(source.date_time_format_);
  SetCurrencyFormat(source.currency_format_);
  SetBooleanTrue(source.boolean_true_);
  SetBooleanFalse(source.boolean_false_);
  SetNullString(source.null_string_);
  integer_format_set_ = source.integer_format_set_;
  float_format_set_ = source.float_format_set_;
  currency_format_set_ = source.currency_format_set_;
}

}  // namespace velmora
