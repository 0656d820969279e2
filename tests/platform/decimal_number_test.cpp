// Decimal text written back as a plain number, exactly as it was given.
#include "platform/decimal_number.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

struct TPlainCase {
  const char* Text;
  const char* Point;  // with "." as the decimal separator
  const char* Comma;  // with ","
};

TEST(PlainDecimal, KeepsEveryDigitAndDropsOnlySignsAndZerosThatCarryNoValue) {
  const TPlainCase cases[] = {
      {"-9223372036854775808", "-9223372036854775808", "-9223372036854775808"},
      {"1234567890.1234567", "1234567890.1234567", "1234567890,1234567"},
      // Trailing zeros are digits of the value's scale and stay.
      {"-0012.50", "-12.50", "-12,50"},
      {"+5", "5", "5"},
      {"000", "0", "0"},
      {"-0.000", "0.000", "0,000"},
      {"-.5", "-0.5", "-0,5"},
      {"5.", "5", "5"},
      // An exponent stays an exponent, without its plus sign or leading zeros.
      {"1.5e+300", "1.5e300", "1,5e300"},
      {"-1e-07", "-1e-7", "-1e-7"},
      {"3E+5", "3E5", "3E5"},  // the letter as the text writes it
      {"2.5E0", "2.5", "2,5"},
      {"0e5", "0", "0"},
  };
  for (const TPlainCase& test_case : cases) {
    SCOPED_TRACE(test_case.Text);
    std::string out = "[";
    ASSERT_TRUE(AppendPlainDecimal(test_case.Text, ".", out));
    EXPECT_EQ(out, std::string("[") + test_case.Point);
    out.clear();
    ASSERT_TRUE(AppendPlainDecimal(test_case.Text, ",", out));
    EXPECT_EQ(out, test_case.Comma);
  }
}

TEST(PlainDecimal, RejectsTextThatIsNoNumberAndAppendsNothing) {
  for (const char* text : {"", "-", ".", "1,5", " 1", "1e+", "1.2.3", "0x10", "1e999999"}) {
    SCOPED_TRACE(text);
    std::string out = "kept";
    EXPECT_FALSE(AppendPlainDecimal(text, ".", out));
    EXPECT_EQ(out, "kept");
  }
}

}  // namespace
}  // namespace velmora
