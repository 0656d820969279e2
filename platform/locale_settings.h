#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// Where the currency symbol stands relative to the amount.
enum TCurrencyPosition { cpBefore, cpAfter, cpBeforeSpace, cpAfterSpace };

// The locale's conventions for the text form of numbers, dates and times.
// Date and time formats are in the pattern language of FormatDateTime
// ("yyyy-mm-dd", "hh:nn:ss"), not in strftime's.
struct TFormatSettings {
  std::string DecimalSeparator = ".";
  std::string ThousandSeparator = ",";
  std::string DateSeparator = "-";
  std::string TimeSeparator = ":";
  std::string ShortDateFormat = "yyyy-mm-dd";
  std::string LongDateFormat = "dddd, mmmm d, yyyy";
  std::string ShortTimeFormat = "hh:nn:ss";
  std::string LongTimeFormat = "hh:nn:ss";
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  std::string CurrencyString = "$";
  TCurrencyPosition CurrencyPosition = cpBefore;
  // January first.
  std::array<std::string, 12> ShortMonthNames;
  std::array<std::string, 12> LongMonthNames;
  // Sunday first.
  std::array<std::string, 7> ShortDayNames;
  std::array<std::string, 7> LongDayNames;

  // The settings of the C and POSIX locales.
  static TFormatSettings CLocale();
  // The settings of a named locale (LC_NUMERIC, LC_MONETARY and LC_TIME of that
  // name); the C settings when the locale is not installed. The process's own
  // locale is never changed, so printf and strtod keep working in "C".
  static TFormatSettings FromLocale(const char* locale_name);
};

// The settings in force for this run.
const TFormatSettings& FormatSettings();

// Grows with every change of the settings in force, so that what is compiled
// from them (patterns, layouts) can be kept until they change.
std::uint64_t FormatSettingsVersion();

// Reads the process locale from the environment (LC_ALL, LC_NUMERIC, LC_MONETARY,
// LC_TIME, LANG) once at program start.
void LoadFormatSettingsFromEnvironment();

// Replaces the settings in force (program start, tests that pin a locale).
void SetFormatSettings(const TFormatSettings& settings);

// Switches the decimal separator for the rest of the run.
void SetDecimalSeparator(std::string_view separator);

// Switches the decimal separator until the scope ends.
class TDecimalSeparatorScope {
 public:
  explicit TDecimalSeparatorScope(std::string_view separator);
  ~TDecimalSeparatorScope();
  TDecimalSeparatorScope(const TDecimalSeparatorScope&) = delete;
  TDecimalSeparatorScope& operator=(const TDecimalSeparatorScope&) = delete;

 private:
  std::string saved_;
};

}  // namespace velmora
