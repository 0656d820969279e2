// The time zone an SQL script names for the TIMESTAMP values it carries.
#include "console/script_session.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(ScriptTimeZoneTest, ASystemZoneOfOneOffsetAllYearIsWrittenAsThatOffset) {
  const struct {
    const char* zone;
    long january, july;
    const char* expected;
  } cases[] = {
      {"SYSTEM", 0, 0, "+00:00"},       {"SYSTEM", 330, 330, "+05:30"},
      {"SYSTEM", -600, -600, "-10:00"}, {"SYSTEM", -45, -45, "-00:45"},
      {"SYSTEM", 60, 120, "SYSTEM"},  // summer time: no one offset holds every value
      {"+05:00", 300, 300, "+05:00"},   {"Europe/Berlin", 60, 120, "Europe/Berlin"},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(ScriptTimeZone(test.zone, test.january, test.july), test.expected) << test.zone << test.january;
  }
}

}  // namespace
}  // namespace velmora
