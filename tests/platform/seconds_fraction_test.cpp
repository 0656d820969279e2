// Fractions of seconds beside date-time values that hold milliseconds only.
#include "platform/seconds_fraction.h"

#include <gtest/gtest.h>

#include "platform/locale_settings.h"

namespace velmora {
namespace {

struct TFractionCase {
  const char* pattern;
  const char* digits;
  const char* expected;
};

TEST(FractionDateTimeFormat, PutsTheDigitsRightAfterTheSeconds) {
  TFormatSettings settings = TFormatSettings::CLocale();
  settings.DecimalSeparator = ",";
  SetFormatSettings(settings);
  const TDateTime value = EncodeDate(2024, 1, 2) + (3 * 3600 + 4 * 60 + 5) / 86400.0;
  const TFractionCase cases[] = {
      {"hh:nn:ss", "123456", "03:04:05,123456"},
      {"hh:nn:ss", "", "03:04:05"},
      {"h:n:s", "5", "3:4:5,5"},
      {"yyyy-mm-dd hh:nn:ss", "0", "2024-01-02 03:04:05,0"},
      {"\"secs\" hh:nn:ss", "25", "secs 03:04:05,25"},  // quoted text is no seconds
      {"hh:nn", "5", "03:04"},                          // no seconds, no place for a fraction
  };
  for (const TFractionCase& each : cases) {
    std::string out = "at ";
    TFractionDateTimeFormat(each.pattern).Format(value, each.digits, out);
    EXPECT_EQ(out, std::string("at ") + each.expected) << each.pattern;
  }
  SetFormatSettings(TFormatSettings::CLocale());
}

}  // namespace
}  // namespace velmora
