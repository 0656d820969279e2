// Locale settings: the fixed C mapping, the translation of the C library's
// strftime formats and installed locales.
#include <locale.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "platform/pinned_settings.h"
#include "platform/strftime_pattern.h"
#include "platform/value_format.h"

namespace velmora {
namespace {

class LocaleSettingsTest : public PinnedSettingsTest {};

bool LocaleInstalled(const char* name) {
  locale_t locale = newlocale(LC_ALL_MASK, name, nullptr);
  if (locale == nullptr) return false;
  freelocale(locale);
  return true;
}

void ExpectCSettings(const TFormatSettings& settings) {
  EXPECT_EQ(settings.DecimalSeparator, ".");
  EXPECT_EQ(settings.ThousandSeparator, ",");
  EXPECT_EQ(settings.DateSeparator, "-");
  EXPECT_EQ(settings.TimeSeparator, ":");
  EXPECT_EQ(settings.ShortDateFormat, "yyyy-mm-dd");
  EXPECT_EQ(settings.ShortTimeFormat, "hh:nn:ss");
  EXPECT_EQ(settings.LongTimeFormat, "hh:nn:ss");
  EXPECT_EQ(settings.CurrencyString, "$");
  EXPECT_EQ(settings.CurrencyPosition, cpBefore);
  EXPECT_EQ(settings.LongMonthNames[0], "January");
  EXPECT_EQ(settings.ShortDayNames[0], "Sun");
  EXPECT_EQ(settings.TimeAMString, "AM");
}

TEST_F(LocaleSettingsTest, CAndPosixMapToFixedSettings) {
  ExpectCSettings(TFormatSettings::CLocale());
  ExpectCSettings(TFormatSettings::FromLocale("C"));
  ExpectCSettings(TFormatSettings::FromLocale("POSIX"));
  ExpectCSettings(TFormatSettings::FromLocale("xx_NOWHERE.UTF-8"));
  if (LocaleInstalled("C.UTF-8")) ExpectCSettings(TFormatSettings::FromLocale("C.UTF-8"));
}

struct TStrftimeCase {
  TStrftimeFormats Formats;
  const char* ShortDate;
  const char* DateSeparator;
  const char* Time;
  const char* TimeSeparator;
  const char* LongDate;
};

TEST_F(LocaleSettingsTest, TranslatesStrftimeFormats) {
  const TStrftimeCase cases[] = {
      {{"%d.%m.%Y", "%T", "", "%a %d %b %Y %T %Z"}, "dd/mm/yyyy", ".", "hh:nn:ss", ":", "ddd dd mmm yyyy"},
      {{"%m/%d/%Y", "%r", "%I:%M:%S %p", "%a %d %b %Y %r %Z"},
       "mm/dd/yyyy",
       "/",
       "hh:nn:ss ampm",
       ":",
       "ddd dd mmm yyyy"},
      {{"%Y-%m-%d", "%H:%M:%S", "", "%a %b %e %H:%M:%S %Y"},
       "yyyy/mm/dd",
       "-",
       "hh:nn:ss",
       ":",
       "ddd mmm d yyyy"},
      // A two-digit year widens and missing seconds are added: the short forms must lose nothing.
      {{"%d/%m/%y", "%H:%M", "", ""}, "dd/mm/yyyy", "/", "hh:nn:ss", ":", "dddd, mmmm d, yyyy"},
      {{"%D", "%R", "", ""}, "mm/dd/yyyy", "/", "hh:nn:ss", ":", "dddd, mmmm d, yyyy"},
      {{"%F", "%H.%M.%S", "", ""}, "yyyy/mm/dd", "-", "hh:nn:ss", ".", "dddd, mmmm d, yyyy"},
      {{"%e.%-m.%Y", "%k:%M:%S", "", ""}, "d/m/yyyy", ".", "h:nn:ss", ":", "dddd, mmmm d, yyyy"},
      {{"%x", "%X", "", ""}, "yyyy-mm-dd", "-", "hh:nn:ss", ":", "dddd, mmmm d, yyyy"},
      {{"%Od.%Om.%EY", "%l:%M:%S %P", "", ""}, "dd/mm/yyyy", ".", "h:nn:ss am/pm", ":", "dddd, mmmm d, yyyy"},
      // Literal text other than the separators stays, quoted where it holds letters.
      {{"%Y年%m月%d日", "%H時%M分%S秒", "", ""},
       "yyyy/mm月dd日",
       "年",
       "hh:nn分ss秒",
       "時",
       "dddd, mmmm d, yyyy"},
      {{"%d/%m/%Y", "%T", "", "%A, %d de %B de %Y %T"},
       "dd/mm/yyyy",
       "/",
       "hh:nn:ss",
       ":",
       "dddd, dd\" de \"mmmm\" de \"yyyy"},
      {{"%Y. %m. %d.", "%p %I:%M:%S", "", ""},
       "yyyy/mm/dd.",
       ". ",
       "ampm hh:nn:ss",
       ":",
       "dddd, mmmm d, yyyy"},
  };
  for (const TStrftimeCase& test_case : cases) {
    SCOPED_TRACE(test_case.Formats.DateFormat + " / " + test_case.Formats.TimeFormat);
    TFormatSettings settings = TFormatSettings::CLocale();
    ApplyStrftimeFormats(test_case.Formats, settings);
    EXPECT_EQ(settings.ShortDateFormat, test_case.ShortDate);
    EXPECT_EQ(settings.DateSeparator, test_case.DateSeparator);
    EXPECT_EQ(settings.ShortTimeFormat, test_case.Time);
    EXPECT_EQ(settings.LongTimeFormat, test_case.Time);
    EXPECT_EQ(settings.TimeSeparator, test_case.TimeSeparator);
    EXPECT_EQ(settings.LongDateFormat, test_case.LongDate);
  }
}

// Dates and times printed in a translated locale's short forms read back,
// whatever literal text the locale puts around the fields.
TEST_F(LocaleSettingsTest, TranslatedFormatsReadBack) {
  const TStrftimeFormats locales[] = {
      {"%Y年%m月%d日", "%H時%M分%S秒", "", ""},
      {"%Y. %m. %d.", "%p %I:%M:%S", "", ""},
      {"%d.%m.%Y", "%H.%M.%S", "", ""},
      {"%m/%d/%y", "%r", "", ""},
  };
  const TDateTime moment = EncodeDate(1987, 11, 23) + EncodeTime(21, 4, 5, 0);
  for (const TStrftimeFormats& formats : locales) {
    TFormatSettings settings = TFormatSettings::CLocale();
    ApplyStrftimeFormats(formats, settings);
    SetFormatSettings(settings);
    const std::string text =
        FormatDateTime(settings.ShortDateFormat + " " + settings.ShortTimeFormat, moment);
    SCOPED_TRACE(text);
    TDateTime value = 0;
    ASSERT_TRUE(TryStrToDateTime(text, value));
    EXPECT_EQ(value, moment);
  }
}

// Short dates with month and day names ("15. jan. 2024") could not be read
// back, so every date failed to export; the short date now stays numeric.
TEST_F(LocaleSettingsTest, ShortDateWithMonthOrDayNamesStaysNumeric) {
  const std::pair<TStrftimeFormats, const char*> cases[] = {
      {{"%d. %b %Y", "kl. %H.%M %z", "", "%a %d. %b %Y kl. %H.%M %z"}, "dd/mm yyyy"},
      {{"%a %e.%b %Y", "%T", "", ""}, "d/mm yyyy"},
      {{"%a, %Y.eko %bren %da", "%T", "", ""}, "yyyy/mm\"ren \"dd\"a\""},
      {{"%A %d %B %Y", "%T", "", ""}, "dd/mm/yyyy"},
      {{"%d-%h-%Y %a", "%T", "", ""}, "dd/mm/yyyy"},
  };
  const TDateTime moment = EncodeDate(2024, 1, 15) + EncodeTime(21, 4, 5, 0);
  for (const auto& [formats, short_date] : cases) {
    SCOPED_TRACE(formats.DateFormat);
    TFormatSettings settings = TFormatSettings::CLocale();
    ApplyStrftimeFormats(formats, settings);
    EXPECT_EQ(settings.ShortDateFormat, short_date);
    SetFormatSettings(settings);
    TDateTime value = 0;
    ASSERT_TRUE(TryStrToDateTime(DateToStr(moment), value)) << DateToStr(moment);
    EXPECT_EQ(value, EncodeDate(2024, 1, 15));
    ASSERT_TRUE(TryStrToDateTime(DateTimeToStr(moment), value)) << DateTimeToStr(moment);
    EXPECT_EQ(value, moment);
  }
}

// Leaving out a time zone or the time of a date-and-time format left the text
// that joined it behind: "yyyy, " and "hh:nn:ss ampm ".
TEST_F(LocaleSettingsTest, NoJoiningTextIsLeftWhereConversionsWereLeftOut) {
  const std::pair<TStrftimeFormats, std::pair<const char*, const char*>> cases[] = {
      {{"%Y-%m-%d", "%H:%M:%S", "", "%Y. %b. %-e., %A, %H:%M:%S %Z"}, {"hh:nn:ss", "yyyy. mmm. d., dddd"}},
      {{"%-d.%-m.%Y", "%H:%M:%S", "", "%a\u00a0%-d.\u00a0%B\u00a0%Y,\u00a0%H:%M:%S"},
       {"hh:nn:ss", "ddd\u00a0d.\u00a0mmmm\u00a0yyyy"}},
      {{"%-d/%-m/%y", "%I:%M:%S %p %Z", "", "%A %d %b %Y %I:%M:%S %p"}, {"hh:nn:ss ampm", "dddd dd mmm yyyy"}},
      {{"%d/%m/%Y", "%T", "", "%a %d %b %Y, %T"}, {"hh:nn:ss", "ddd dd mmm yyyy"}},
  };
  for (const auto& [formats, expected] : cases) {
    SCOPED_TRACE(formats.DateTimeFormat);
    TFormatSettings settings = TFormatSettings::CLocale();
    ApplyStrftimeFormats(formats, settings);
    EXPECT_EQ(settings.LongTimeFormat, expected.first);
    EXPECT_EQ(settings.LongDateFormat, expected.second);
  }
}

TEST_F(LocaleSettingsTest, ReadsAnInstalledGermanLocale) {
  if (!LocaleInstalled("de_DE.UTF-8")) GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
  const TFormatSettings settings = TFormatSettings::FromLocale("de_DE.UTF-8");
  EXPECT_EQ(settings.DecimalSeparator, ",");
  EXPECT_EQ(settings.ThousandSeparator, ".");
  EXPECT_EQ(settings.DateSeparator, ".");
  EXPECT_EQ(settings.TimeSeparator, ":");
  EXPECT_EQ(settings.ShortDateFormat, "dd/mm/yyyy");
  EXPECT_EQ(settings.ShortTimeFormat, "hh:nn:ss");
  EXPECT_EQ(settings.CurrencyString, "€");
  EXPECT_EQ(settings.CurrencyPosition, cpAfterSpace);
  EXPECT_EQ(settings.LongMonthNames[2], "März");
  EXPECT_EQ(settings.LongDayNames[0], "Sonntag");

  SetFormatSettings(settings);
  const TDateTime moment = EncodeDate(2024, 1, 15) + EncodeTime(12, 30, 45, 0);
  EXPECT_EQ(FormatDateTime(settings.ShortDateFormat + " " + settings.ShortTimeFormat, moment),
            "15.01.2024 12:30:45");
  EXPECT_EQ(FormatFloat("#,##0.00", 1234.5), "1.234,50");
  TDateTime value = 0;
  ASSERT_TRUE(TryStrToDateTime("15.01.2024 12:30:45", value));
  EXPECT_EQ(value, moment);
}

// Sets environment variables for the life of the object and restores them.
class TEnvironmentScope {
 public:
  void Set(const char* name, const char* value) {
    const char* old = getenv(name);
    saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~TEnvironmentScope() {
    for (auto entry = saved_.rbegin(); entry != saved_.rend(); ++entry) {
      if (entry->second) {
        setenv(entry->first.c_str(), entry->second->c_str(), 1);
      } else {
        unsetenv(entry->first.c_str());
      }
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(LocaleSettingsTest, ReadsEachCategoryFromTheEnvironment) {
  if (!LocaleInstalled("de_DE.UTF-8")) GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
  {
    TEnvironmentScope environment;
    environment.Set("LC_ALL", nullptr);
    environment.Set("LANG", "C");
    environment.Set("LC_CTYPE", nullptr);
    environment.Set("LC_MONETARY", nullptr);
    environment.Set("LC_NUMERIC", "de_DE.UTF-8");
    environment.Set("LC_TIME", "C");
    LoadFormatSettingsFromEnvironment();
    EXPECT_EQ(FormatSettings().DecimalSeparator, ",");
    EXPECT_EQ(FormatSettings().ShortDateFormat, "yyyy-mm-dd");
    EXPECT_EQ(FormatSettings().CurrencyString, "$");

    environment.Set("LC_ALL", "de_DE.UTF-8");
    LoadFormatSettingsFromEnvironment();
    EXPECT_EQ(FormatSettings().ShortDateFormat, "dd/mm/yyyy");
    EXPECT_EQ(FormatSettings().CurrencyString, "€");
  }
  // The process locale itself stays "C": the C library keeps printing points.
  EXPECT_STREQ(setlocale(LC_NUMERIC, nullptr), "C");
  char buffer[16];
  snprintf(buffer, sizeof buffer, "%.1f", 1.5);
  EXPECT_STREQ(buffer, "1.5");
}

TEST_F(LocaleSettingsTest, DecimalSeparatorSwitchesForARunOrAScope) {
  PinGerman();
  {
    TDecimalSeparatorScope scope(".");
    EXPECT_EQ(FloatToStr(1.5), "1.5");
    {
      TDecimalSeparatorScope inner("#");
      EXPECT_EQ(FloatToStr(1.5), "1#5");
    }
    EXPECT_EQ(FloatToStr(1.5), "1.5");
  }
  EXPECT_EQ(FloatToStr(1.5), "1,5");
  SetDecimalSeparator(".");
  EXPECT_EQ(FloatToStr(1.5), "1.5");
  EXPECT_EQ(FormatSettings().ThousandSeparator, ".");
}

}  // namespace
}  // namespace velmora
