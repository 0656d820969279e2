// Workbook serial numbers of moments: the expected doubles were computed with
// exact rational arithmetic and rounded once, independently of the code.
#include "formats/workbook/moment_serial.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velmora {
namespace {

TEST(MomentSerialTest, SerialIsTheNearestDoubleInTheSpreadsheetCalendar) {
  struct TCase {
    std::int64_t Day;
    std::int64_t Microsecond;
    double Serial;
  };
  const TCase cases[] = {
      {2, 0, 1.0},                              // 1 January 1900
      {60, 43200500000, 0x1.dc000308b9142p+5},  // 28 February 1900 12:00:00.5, not in 29 February
      {61, 0, 61.0},                            // 1 March 1900
      {61, 1, 0x1.e80000000065dp+5},
      {1, 1, 0x1.9739fdcab50dcp-37},                // the calendar's day 0, one microsecond past
      {38352, 86398123456, 0x1.2ba1fffd27390p+15},  // 2004-12-31 23:59:58.123456
      {25569, 1, 0x1.8f84000000003p+14},
      {65535, 86399999999, 0x1.ffffffffffffep+15},  // the last microsecond a double tells apart
      // 9999-12-31 23:59:59.999999 rounds to the next midnight; the cell keeps its day.
      {2958465, 86399999999, 0x1.69240ffffffffp+21},
  };
  for (const TCase& each : cases) {
    double serial = -1;
    EXPECT_TRUE(SpreadsheetSerial({each.Day, each.Microsecond}, serial)) << each.Day;
    EXPECT_EQ(serial, each.Serial) << each.Day << " " << each.Microsecond;
  }
  double serial = 0;
  EXPECT_FALSE(SpreadsheetSerial({1, 0}, serial));            // 31 December 1899, midnight
  EXPECT_FALSE(SpreadsheetSerial({0, 43200000000}, serial));  // a time of day without a date
  EXPECT_FALSE(SpreadsheetSerial({-700000, 0}, serial));
}

TEST(MomentSerialTest, MicrosecondsComeFromTheFractionDigits) {
  // 23:59:59.999999 holds 999 of its milliseconds; the digits give the rest.
  const TDateTime moment = (86399.0 * 1000 + 999) / 86400000.0;
  EXPECT_EQ(MicroMomentOf(moment, "999999").Microsecond, 86399999999);
  EXPECT_EQ(MicroMomentOf(46000 + 0.5, "").Microsecond, 43200000000);
  EXPECT_EQ(MicroMomentOf(46000 + 0.5, "0000019").Microsecond, 43200000001);  // a 7th digit is cut off
  EXPECT_EQ(MicroMomentOf(46000 + 0.5, "5").Day, 46000);
  EXPECT_EQ(DeclaredSecondsDigits("datetime(6)"), 6);
  EXPECT_EQ(DeclaredSecondsDigits("time(3)"), 3);
  EXPECT_EQ(DeclaredSecondsDigits("timestamp"), 0);
  EXPECT_EQ(DeclaredSecondsDigits("decimal(10,2)"), 0);
}

}  // namespace
}  // namespace velmora
