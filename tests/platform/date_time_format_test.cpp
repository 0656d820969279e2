// The date-time format language under the C settings and German-style settings.
#include "platform/date_time.h"
#include "platform/pinned_settings.h"
#include "platform/utf8.h"
#include "platform/value_format.h"

namespace velmora {
namespace {

class DateTimeFormatTest : public PinnedSettingsTest {};

TDateTime Moment(int year, int month, int day, int hour, int minute, int second, int millisecond = 0) {
  return JoinDateTime(
      {static_cast<std::int64_t>(EncodeDate(year, month, day)),
       static_cast<std::int64_t>(EncodeTime(hour, minute, second, millisecond) * kMillisecondsPerDay + 0.5)});
}

struct TDateTimeCase {
  const char* Pattern;
  TDateTime Value;
  const char* C;
  const char* German;
};

TEST_F(DateTimeFormatTest, FormatsInBothLocales) {
  const TDateTime friday = Moment(2024, 1, 5, 8, 7, 6, 45);
  const TDateTime afternoon = Moment(2024, 1, 5, 13, 5, 0);
  const TDateTime midnight = EncodeDate(2024, 1, 5);
  const TDateTimeCase cases[] = {
      {"yyyy-mm-dd hh:nn:ss", friday, "2024-01-05 08:07:06", "2024-01-05 08:07:06"},
      {"d/m/yy", friday, "5-1-24", "5.1.24"},
      {"dd/mm/yyyy", friday, "05-01-2024", "05.01.2024"},
      {"hh:nn:ss", friday, "08:07:06", "08:07:06"},
      {"y", EncodeDate(2009, 3, 1), "09", "09"},
      // "m" after an hour means minutes, also with separators or quoted text between.
      {"hh:mm:ss", friday, "08:07:06", "08:07:06"},
      {"h:m", friday, "8:7", "8:7"},
      {"hh' h 'mm", friday, "08 h 07", "08 h 07"},
      {"hh dd mm", friday, "08 05 01", "08 05 01"},
      {"mm/dd", friday, "01-05", "01.05"},
      // Names.
      {"ddd, d mmm yyyy", friday, "Fri, 5 Jan 2024", "Fr, 5 Jan 2024"},
      {"dddd d mmmm", EncodeDate(2024, 3, 3), "Sunday 3 March", "Sonntag 3 März"},
      {"DDDD MMMM", friday, "Friday January", "Freitag Januar"},
      // Milliseconds.
      {"ss.zzz", friday, "06.045", "06.045"},
      {"s.z", friday, "6.45", "6.45"},
      // The twelve-hour clock.
      {"h:nn am/pm", afternoon, "1:05 pm", "1:05 pm"},
      {"h:nn AM/PM", afternoon, "1:05 PM", "1:05 PM"},
      {"h:nn Am/pM", friday, "8:07 Am", "8:07 Am"},
      {"h:nn a/p", afternoon, "1:05 p", "1:05 p"},
      {"hh:nn ampm", afternoon, "01:05 PM", "01:05 nachm."},
      {"hh:nn ampm", friday, "08:07 AM", "08:07 vorm."},
      {"h:nn am/pm", Moment(2024, 1, 5, 0, 30, 0), "12:30 am", "12:30 am"},
      {"h:nn am/pm", Moment(2024, 1, 5, 12, 0, 0), "12:00 pm", "12:00 pm"},
      {"h 'am' h:nn am/pm", afternoon, "13 am 1:05 pm", "13 am 1:05 pm"},
      {"ampm h:nn", afternoon, "PM 1:05", "nachm. 1:05"},
      {"h:nn am/pm h", afternoon, "1:05 pm 13", "1:05 pm 13"},
      {"hh:nn a.", afternoon, "13:05 a.", "13:05 a."},
      // The locale's own formats.
      {"c", midnight, "2024-01-05", "05.01.2024"},
      {"c", friday, "2024-01-05 08:07:06", "05.01.2024 08:07:06"},
      {"", friday, "2024-01-05 08:07:06", "05.01.2024 08:07:06"},
      {"ddddd", friday, "2024-01-05", "05.01.2024"},
      {"dddddd", friday, "Friday, January 5, 2024", "Freitag, 5. Januar 2024"},
      {"t", afternoon, "13:05:00", "13:05:00"},
      {"tt", afternoon, "13:05:00", "13:05:00"},
      // Quoted text and other characters are copied.
      {"\"yyyy\" yyyy 'd'", friday, "yyyy 2024 d", "yyyy 2024 d"},
      {"yyyy 'unterminated", friday, "2024 unterminated", "2024 unterminated"},
      {"[yyyy] # x", friday, "[2024] # x", "[2024] # x"},
      // Before 1900 and far in the future.
      {"yyyy-mm-dd hh:nn:ss", Moment(1850, 7, 14, 18, 30, 15), "1850-07-14 18:30:15", "1850-07-14 18:30:15"},
      {"c", Moment(1, 1, 1, 0, 0, 1), "0001-01-01 00:00:01", "01.01.0001 00:00:01"},
      {"c", Moment(9999, 12, 31, 23, 59, 59), "9999-12-31 23:59:59", "31.12.9999 23:59:59"},
      {"ddd", EncodeDate(1, 1, 1), "Mon", "Mo"},
  };
  for (const TDateTimeCase& test_case : cases) {
    SCOPED_TRACE(std::string("pattern \"") + test_case.Pattern + "\"");
    PinC();
    EXPECT_EQ(FormatDateTime(test_case.Pattern, test_case.Value), test_case.C);
    PinGerman();
    EXPECT_EQ(FormatDateTime(test_case.Pattern, test_case.Value), test_case.German);
  }
}

TEST_F(DateTimeFormatTest, GeneralFormsUseTheLocaleFormats) {
  const TDateTime value = Moment(2024, 2, 29, 17, 45, 30);
  EXPECT_EQ(DateToStr(value), "2024-02-29");
  EXPECT_EQ(TimeToStr(value), "17:45:30");
  EXPECT_EQ(DateTimeToStr(value), "2024-02-29 17:45:30");
  EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 2, 29)), "2024-02-29");
  SetFormatSettings(TwelveHourSettings());
  EXPECT_EQ(DateTimeToStr(value), "02/29/2024 05:45:30 PM");
  EXPECT_EQ(TimeToStr(0), "12:00:00 AM");
}

TEST_F(DateTimeFormatTest, LocaleFormatsThatNameThemselvesDoNotLoop) {
  TFormatSettings settings = TFormatSettings::CLocale();
  settings.ShortDateFormat = "c";
  settings.LongTimeFormat = "tt";
  SetFormatSettings(settings);
  // Each level adds only the blank before the time; the innermost formats are cut off.
  EXPECT_EQ(FormatDateTime("c", Moment(2024, 1, 5, 1, 2, 3)), "  ");
}

// MaxLength bounds what a pattern prints for any moment, and is reached by
// patterns of fixed width: widths measured from it are never too narrow and
// rarely too wide.
TEST_F(DateTimeFormatTest, MaxLengthIsNeverPassedAndReachedByFixedWidthPatterns) {
  const TDateTime moments[] = {Moment(1, 1, 1, 0, 0, 0), Moment(2024, 9, 3, 13, 5, 7, 45),
                               Moment(9999, 12, 31, 23, 59, 59, 999), Moment(1850, 5, 17, 9, 0, 0),
                               Moment(2024, 2, 29, 12, 30, 0)};
  const std::pair<const char*, std::size_t> patterns[] = {
      {"yyyy-mm-dd hh:nn:ss", 19},
      {"d/m/yy h:n:s", 0},
      {"dddd, d mmmm yyyy", 0},
      {"ddd dd mmm", 0},
      {"hh:nn:ss.zzz ampm", 0},
      {"h am/pm", 0},
      {"c", 0},
      {"\"at\" t z", 0},
      {"", 0},
  };
  for (bool german : {false, true}) {
    if (german) PinGerman();
    for (const auto& [pattern, fixed_length] : patterns) {
      SCOPED_TRACE(std::string(pattern) + (german ? " (German)" : ""));
      const TDateTimeFormat format(pattern);
      for (const TDateTime moment : moments) {
        std::string out;
        format.Format(moment, "123", out);
        EXPECT_LE(Utf8Length(out), format.MaxLength(3)) << out;
      }
      if (fixed_length > 0) {
        EXPECT_EQ(format.MaxLength(), fixed_length);
      }
    }
  }
}

// Values beyond the calendar's years print more digits than a pattern has
// places, and patterns may be longer than any buffer: every character arrives.
TEST_F(DateTimeFormatTest, ValuesBeyondTheYearsAndLongPatternsPrintWhole) {
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", 1e12), "10113-09-19 00:00:00.000");
  EXPECT_EQ(FormatDateTime("yyyy/m/d", -1e12), "0-17-6-18");
  const std::string long_text(300, 'x');
  EXPECT_EQ(FormatDateTime("\"" + long_text + "\" yyyy", Moment(2024, 1, 5, 0, 0, 0)), long_text + " 2024");
}

TEST_F(DateTimeFormatTest, OneCompiledFormatServesManyValues) {
  const TDateTimeFormat format("yyyy-mm-dd hh:nn:ss.zzz");
  std::string out;
  for (int day = 1; day <= 3; ++day) {
    format.Format(Moment(2024, 1, day, day, day, day, day), out);
    out += ";";
  }
  EXPECT_EQ(out, "2024-01-01 01:01:01.001;2024-01-02 02:02:02.002;2024-01-03 03:03:03.003;");
}

}  // namespace
}  // namespace velmora
