#include "platform/locale_settings.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>

#include "platform/strftime_pattern.h"

namespace velmora {

namespace {

TFormatSettings& CurrentSettings() {
  static TFormatSettings settings = TFormatSettings::CLocale();
  return settings;
}

std::uint64_t settings_version = 0;

// The locale name in force for each category that the settings read.
struct TCategoryLocales {
  std::string Numeric;
  std::string Monetary;
  std::string Time;
};

// The C library's rule: LC_ALL, then the category's own variable, then LANG,
// the first that is set and not empty; "C" when none is.
std::string LocaleOfCategory(const char* category_variable) {
  for (const char* variable : {"LC_ALL", category_variable, "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

// "C", "POSIX" and the C locale with another character set ("C.UTF-8") share
// the fixed mapping of the C settings.
bool IsCLocaleName(const std::string& name) {
  return name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

// A locale object holding one category, released when the scope ends; null
// when the locale is not installed.
class TLocaleHandle {
 public:
  TLocaleHandle(int category_mask, const std::string& name)
      : locale_(newlocale(category_mask, name.c_str(), nullptr)) {}
  ~TLocaleHandle() {
    if (locale_ != nullptr) freelocale(locale_);
  }
  TLocaleHandle(const TLocaleHandle&) = delete;
  TLocaleHandle& operator=(const TLocaleHandle&) = delete;

  explicit operator bool() const { return locale_ != nullptr; }
  std::string Item(nl_item item) const { return nl_langinfo_l(item, locale_); }
  // Numeric items of LC_MONETARY come back as one char; CHAR_MAX (or -1) means unknown.
  int NumericItem(nl_item item) const { return static_cast<signed char>(*nl_langinfo_l(item, locale_)); }

 private:
  locale_t locale_;
};

void ReadNumeric(const std::string& name, TFormatSettings& settings) {
  if (IsCLocaleName(name)) return;
  const TLocaleHandle locale(LC_NUMERIC_MASK, name);
  if (!locale) return;
  const std::string decimal = locale.Item(RADIXCHAR);
  if (!decimal.empty()) settings.DecimalSeparator = decimal;
  settings.ThousandSeparator = locale.Item(THOUSEP);
}

void ReadMonetary(const std::string& name, TFormatSettings& settings) {
  if (IsCLocaleName(name)) return;
  const TLocaleHandle locale(LC_MONETARY_MASK, name);
  if (!locale) return;
  const std::string symbol = locale.Item(CURRENCY_SYMBOL);
  if (symbol.empty()) return;
  settings.CurrencyString = symbol;
  const int precedes = locale.NumericItem(P_CS_PRECEDES);
  const bool space = locale.NumericItem(P_SEP_BY_SPACE) == 1;
  if (precedes == 0) {
    settings.CurrencyPosition = space ? cpAfterSpace : cpAfter;
  } else {
    settings.CurrencyPosition = space ? cpBeforeSpace : cpBefore;
  }
}

void ReadTime(const std::string& name, TFormatSettings& settings) {
  if (IsCLocaleName(name)) return;
  const TLocaleHandle locale(LC_TIME_MASK, name);
  if (!locale) return;
  for (int month = 0; month < 12; ++month) {
    settings.ShortMonthNames[month] = locale.Item(ABMON_1 + month);
    settings.LongMonthNames[month] = locale.Item(MON_1 + month);
  }
  for (int day = 0; day < 7; ++day) {
    settings.ShortDayNames[day] = locale.Item(ABDAY_1 + day);
    settings.LongDayNames[day] = locale.Item(DAY_1 + day);
  }
  // Locales without a twelve-hour clock have no AM/PM texts; the English ones
  // stay so that an "ampm" in a user format still tells morning from afternoon.
  const std::string am = locale.Item(AM_STR);
  const std::string pm = locale.Item(PM_STR);
  if (!am.empty() && !pm.empty()) {
    settings.TimeAMString = am;
    settings.TimePMString = pm;
  }
  ApplyStrftimeFormats(
      {locale.Item(D_FMT), locale.Item(T_FMT), locale.Item(T_FMT_AMPM), locale.Item(D_T_FMT)}, settings);
}

TFormatSettings FromCategoryLocales(const TCategoryLocales& locales) {
  TFormatSettings settings = TFormatSettings::CLocale();
  ReadNumeric(locales.Numeric, settings);
  ReadMonetary(locales.Monetary, settings);
  ReadTime(locales.Time, settings);
  return settings;
}

}  // namespace

TFormatSettings TFormatSettings::CLocale() {
  TFormatSettings settings;
  settings.ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  settings.LongMonthNames = {"January", "February", "March",     "April",   "May",      "June",
                             "July",    "August",   "September", "October", "November", "December"};
  settings.ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  settings.LongDayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  return settings;
}

TFormatSettings TFormatSettings::FromLocale(const char* locale_name) {
  const std::string name = locale_name == nullptr ? "C" : locale_name;
  return FromCategoryLocales({name, name, name});
}

const TFormatSettings& FormatSettings() {
  return CurrentSettings();
}

void LoadFormatSettingsFromEnvironment() {
  SetFormatSettings(FromCategoryLocales({LocaleOfCategory("LC_NUMERIC"), LocaleOfCategory("LC_MONETARY"),
                                         LocaleOfCategory("LC_TIME")}));
}

std::uint64_t FormatSettingsVersion() {
  return settings_version;
}

void SetFormatSettings(const TFormatSettings& settings) {
  CurrentSettings() = settings;
  ++settings_version;
}

void SetDecimalSeparator(std::string_view separator) {
  CurrentSettings().DecimalSeparator = separator;
  ++settings_version;
}

TDecimalSeparatorScope::TDecimalSeparatorScope(std::string_view separator)
    : saved_(CurrentSettings().DecimalSeparator) {
  SetDecimalSeparator(separator);
}

TDecimalSeparatorScope::~TDecimalSeparatorScope() {
  SetDecimalSeparator(saved_);
}

}  // namespace velmora
