#include <algorithm>

#include "engine/tabulo_columns.h"
#include "engine/tabulo_formats.h"
#include "platform/decimal_number.h"
#include "platform/error.h"
#include "platform/seconds_fraction.h"
#include "platform/text_escape.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

// Integer text up to this length is written by AppendPlainInteger; longer text
// takes the general path, which refuses numbers of unreasonable length.
constexpr std::size_t kPlainIntegerDigits = 1000;

// [-]H+:MM:SS with an optional fraction, the time separator ":" or the
// settings', the fraction's point "." or their decimal separator. point and
// point_length give where the point stands (point is npos without a fraction).
bool ReadDurationText(std::string_view text, const TFormatSettings& settings, std::size_t& point,
                      std::size_t& point_length) {
  std::size_t position = (!text.empty() && text[0] == '-') ? 1 : 0;
  const auto digits = [&](std::size_t minimum, std::size_t maximum) {
    std::size_t count = 0;
    while (position < text.size() && count < maximum && text[position] >= '0' && text[position] <= '9') {
      ++position;
      ++count;
    }
    return count >= minimum;
  };
  const auto separator = [&] {
    const std::string& locale_separator = settings.TimeSeparator;
    if (position < text.size() && text[position] == ':') {
      ++position;
      return true;
    }
    if (!locale_separator.empty() && text.substr(position, locale_separator.size()) == locale_separator) {
      position += locale_separator.size();
      return true;
    }
    return false;
  };
  point = std::string_view::npos;
  point_length = 0;
  if (!digits(1, 9) || !separator() || !digits(2, 2) || !separator() || !digits(2, 2)) return false;
  if (position == text.size()) return true;
  const std::string& decimal = settings.DecimalSeparator;
  if (text[position] == '.' || (!decimal.empty() && text.substr(position, decimal.size()) == decimal)) {
    point = position;
    point_length = text[position] == '.' ? 1 : decimal.size();
    position += point_length;
    return digits(1, 64) && position == text.size();
  }
  return false;
}

[[noreturn]] void ThrowNoFloat(std::string_view text) {
  throw EVelmoraError(Format("'%s' is not a valid floating point value", std::string(text).c_str()));
}

[[noreturn]] void ThrowNoMoment(std::string_view text) {
  throw EVelmoraError(Format("'%s' is not a valid date and time", std::string(text).c_str()));
}

}  // namespace

std::size_t BinaryTextLength(TBinaryForm form, std::size_t byte_count) {
  if (form == bfHex) return 2 + 2 * byte_count;
  if (form == bfBase64) return (byte_count + 2) / 3 * 4;
  return byte_count;
}

const TTextForms& TTabuloColumn::TextForms() const {
  if (!text_forms_) text_forms_.emplace(LocaleSettings());
  return *text_forms_;
}

void TTabuloColumn::CompileFormat() const {
  if (compiled_for_ == Format && (number_format_ || date_time_format_)) return;
  number_format_.reset();
  date_time_format_.reset();
  fraction_format_.reset();
  const TFormatSettings& settings = LocaleSettings();
  if (ColumnType <= ctCurrency) {
    number_format_.emplace(Format, settings);
  } else {
    date_time_format_.emplace(Format, settings);
    const bool default_format =
        (ColumnType == ctTime && Format == TTabuloFormats::DefaultTimeFormat()) ||
        (ColumnType == ctDateTime && Format == TTabuloFormats::DefaultDateTimeFormat());
    if (default_format) fraction_format_.emplace(Format, settings);
  }
  compiled_for_ = Format;
}

void TTabuloColumn::AppendTextForm(const TCellValue& value, std::string& out) const {
  if (Field == nullptr) {
    out.append(value.Text);
    return;
  }
  TextForms().Append(value, Field->DataType, ValueKind, out);
}

bool TTabuloColumn::AppendBinary(std::string_view bytes, std::string& out) const {
  if (BinaryForm == bfRaw) return false;
  if (BinaryForm == bfHex) {
    AppendHexBytes(out, bytes);
  } else {
    AppendBase64(out, bytes);
  }
  return true;
}

void TTabuloColumn::AppendShownText(const TCellValue& value, std::string& out) const {
  if (!ShowsDisplayForm()) {
    if (!AppendBinary(value.Text, out)) AppendTextForm(value, out);
    return;
  }
  const std::size_t start = out.size();
  try {
    AppendDisplayText(value, out);
  } catch (const EVelmoraError&) {
    out.resize(start);
    AppendTextForm(value, out);
  }
}

void TTabuloColumn::AppendDisplayText(const TCellValue& value, std::string& out) const {
  if (value.IsNull() || AppendBinary(value.Text, out)) return;
  switch (ColumnType) {
    case ctInteger:
    case ctLargeInt:
    case ctFloat:
    case ctCurrency:
      AppendNumberDisplay(value, out);
      return;
    case ctDate:
    case ctTime:
    case ctDateTime:
      AppendMomentDisplay(value, out);
      return;
    case ctString:
    case ctBoolean:
    case ctUnknown:
      AppendTextForm(value, out);
      return;
  }
}

std::string_view TTabuloColumn::IntegerText(const TCellValue& value) const {
  if (value.Kind == ckText || ValueKind == vkYear) return value.Text;
  number_text_.clear();
  AppendTextForm(value, number_text_);
  return number_text_;
}

std::string_view TTabuloColumn::DecimalText(const TCellValue& value) const {
  number_text_.clear();
  if (value.Kind == ckText) {
    if (!TryNumberToDecimalText(value.Text, LocaleSettings().DecimalSeparator, number_text_)) {
      ThrowNoFloat(value.Text);
    }
    return number_text_;
  }
  // The server's plain form is read in one scan; another spelling (a plus
  // sign, a bare point, a long exponent) is read from its text form.
  if (AppendServerDecimalText(value.Text, value.Kind == ckDecimal, ".", number_text_)) return number_text_;
  std::string text_form;
  if (value.Kind != ckDecimal || !AppendExactDecimalText(value.Text, ".", text_form)) {
    text_form.clear();
    AppendFloatText(value.Text, ".", text_form);
  }
  number_text_.clear();
  if (!TryNumberToDecimalText(text_form, ".", number_text_)) ThrowNoFloat(value.Text);
  return number_text_;
}

std::string_view TTabuloColumn::NumberText(const TCellValue& value) const {
  if (ColumnType != ctInteger && ColumnType != ctLargeInt) return DecimalText(value);
  const std::string_view text = IntegerText(value);
  return IsIntegerText(text) ? text : std::string_view("0");
}

bool TTabuloColumn::AppendPlainNumber(const TCellValue& value, std::string_view decimal_separator,
                                      std::string& out) const {
  switch (ColumnType) {
    case ctInteger:
    case ctLargeInt: {
      // As in the display form, text that is no integer counts as 0.
      const std::string_view text = IntegerText(value);
      if (text.size() <= kPlainIntegerDigits) {
        if (!AppendPlainInteger(text, out)) out.push_back('0');
      } else if (!IsIntegerText(text) || !AppendPlainDecimal(text, decimal_separator, out)) {
        out.push_back('0');
      }
      return true;
    }
    case ctFloat:
    case ctCurrency:
      if (!AppendPlainDecimal(DecimalText(value), decimal_separator, out)) ThrowNoFloat(value.Text);
      return true;
    default:
      return false;
  }
}

void TTabuloColumn::AppendNumberDisplay(const TCellValue& value, std::string& out) const {
  if (PlainNumber) {
    AppendPlainNumber(value, LocaleSettings().DecimalSeparator, out);
    return;
  }
  CompileFormat();
  if (ColumnType == ctInteger || ColumnType == ctLargeInt) {
    // Integers never fail: text that is not one counts as 0. Every digit is
    // kept, so values beyond 64 bits print exactly too.
    const std::string_view text = IntegerText(value);
    if (!number_format_->FormatDecimalText(IsIntegerText(text) ? text : "0", out)) {
      number_format_->FormatDecimalText("0", out);
    }
    return;
  }
  if (!number_format_->FormatDecimalText(DecimalText(value), out)) ThrowNoFloat(value.Text);
}

void TTabuloColumn::AppendMomentDisplay(const TCellValue& value, std::string& out) const {
  switch (value.Kind) {
    case ckMoment:
      CompileFormat();
      AppendMoment(value.Moment, value.Fraction, out);
      return;
    case ckInvalidMoment:
      // A date with no moment goes out as the source wrote it; a time beyond
      // the clock is a duration.
      if (ColumnType == ctTime) {
        AppendDuration(value.Text, out);
      } else {
        out.append(value.Text);
      }
      return;
    default:
      break;
  }
  // Text in the locale's form.
  TDateTime moment = 0;
  const std::string_view text = value.Text;
  const bool read = ColumnType == ctTime ? (TryStrToTime(text, moment) || TryStrToDateTime(text, moment))
                                         : TryStrToDateTime(text, moment);
  if (!read) {
    if (ColumnType != ctTime) ThrowNoMoment(text);
    AppendDuration(text, out);
    return;
  }
  CompileFormat();
  AppendMoment(moment, fraction_format_ ? SecondsFraction(text) : std::string_view(), out);
}

void TTabuloColumn::AppendDuration(std::string_view text, std::string& out) const {
  // A duration beyond the clock ("838:59:59", "-01:30:00") has no time-of-day
  // form; it is exported as it stands, its fraction after the locale's decimal
  // separator as in every other time.
  const TFormatSettings& settings = LocaleSettings();
  std::size_t point = 0;
  std::size_t point_length = 0;
  if (!ReadDurationText(text, settings, point, point_length)) ThrowNoMoment(text);
  if (point == std::string_view::npos) {
    out.append(text);
    return;
  }
  out.append(text.substr(0, point));
  out.append(settings.DecimalSeparator);
  out.append(text.substr(point + point_length));
}

void TTabuloColumn::AppendMoment(TDateTime value, std::string_view fraction, std::string& out) const {
  if (fraction_format_) {
    // Every digit of the fraction as the value has it, where the seconds end.
    fraction_format_->Format(value, fraction, out);
  } else {
    date_time_format_->Format(value, out);
  }
}

bool TTabuloColumn::ValueLengthBound(const TCellValue& value, std::size_t& bound) const {
  if (Field == nullptr) return false;
  const bool typed_column = ColumnType != ctString && ColumnType != ctBoolean && ColumnType != ctUnknown;
  // Text given for a number or a moment has no bound short of reading it.
  if (value.Kind == ckText && typed_column) return false;
  bound = BinaryTextLength(BinaryForm, TextForms().MaxLength(value, Field->DataType));
  if (!typed_column) return true;  // the text is all there is to measure
  std::size_t display_bound = 0;
  switch (ColumnType) {
    case ctInteger:
    case ctLargeInt:
      // The text is the integer's digits, perhaps a sign.
      if (PlainNumber) return false;
      CompileFormat();
      if (!number_format_->MaxLength(bound, 0, true, display_bound)) return false;
      break;
    case ctFloat:
    case ctCurrency: {
      number_text_.clear();
      if (PlainNumber || !AppendServerDecimalText(value.Text, value.Kind == ckDecimal, ".", number_text_)) {
        return false;
      }
      // Digits before and after the point; an exponent could move the point anywhere.
      std::size_t point = number_text_.size();
      for (std::size_t index = 0; index < number_text_.size(); ++index) {
        const char character = number_text_[index];
        if (character == 'e' || character == 'E') return false;
        if (character == '.') point = index;
      }
      CompileFormat();
      const bool negative = number_text_[0] == '-';
      const std::size_t decimals = point < number_text_.size() ? number_text_.size() - point - 1 : 0;
      if (!number_format_->MaxLength(point - (negative ? 1 : 0), decimals, negative, display_bound)) {
        return false;
      }
      break;
    }
    default:
      if (value.Kind != ckMoment) return false;
      CompileFormat();
      display_bound = fraction_format_ ? fraction_format_->MaxLength(value.Fraction.size())
                                       : date_time_format_->MaxLength();
      break;
  }
  bound = std::max(bound, display_bound);
  return true;
}

}  // namespace velmora
