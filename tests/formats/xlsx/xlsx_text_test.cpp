// Text and numbers as the workbook's XML carries them: what a reader that
// decodes the format's "_xHHHH_" escapes gets back must be the cell's text,
// and every number must read back as the same double.
#include "formats/xlsx/xlsx_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>

namespace velmora {
namespace {

using namespace std::string_literals;

TEST(XlsxTextTest, ElementTextEscapesWhatXmlCannotCarryAndCountsUtf16Units) {
  const struct {
    std::string Text;
    std::string Xml;
    std::size_t Units;
  } cases[] = {
      {"plain text", "plain text", 10},
      {"<b>&amp;</b> ]]>", "&lt;b&gt;&amp;amp;&lt;/b&gt; ]]&gt;", 16},
      // TAB and LF stay; CR would become LF in any XML reader.
      {"a\tb\nc\r\nd", "a\tb\nc_x000D_\nd", 8},
      {"nul\0here"s, "nul_x0000_here", 8},
      {"\x01\x1F\x7F", "_x0001__x001F_\x7F", 3},
      // Text a reader would decode keeps its underscore; near misses stay.
      {"_x000D_ _x12_ _X0041_ _x00G1_ __x0041_", "_x005F_x000D_ _x12_ _X0041_ _x00G1_ __x005F_x0041_", 38},
      // Each invalid sequence is one U+FFFD.
      {"\xFF\x00\xFE"s, "\xEF\xBF\xBD_x0000_\xEF\xBF\xBD", 3},
      {"\xE2\x82"
       "A",
       "\xEF\xBF\xBD"
       "A",
       2},
      // U+FFFE and U+FFFF are no XML characters.
      {"\xEF\xBF\xBE\xEF\xBF\xBF", "_xFFFE__xFFFF_", 2},
      {"Zo\xC3\xAB \xE6\x97\xA5 \xF0\x9F\x98\x80", "Zo\xC3\xAB \xE6\x97\xA5 \xF0\x9F\x98\x80", 8},
  };
  for (const auto& item : cases) {
    std::string out = "<t>";
    EXPECT_EQ(AppendElementText(out, item.Text), item.Units) << item.Xml;
    EXPECT_EQ(out, "<t>" + item.Xml) << item.Xml;
  }
}

TEST(XlsxTextTest, AttributeTextQuotesAndReplacesWhatAttributesCannotCarry) {
  std::string out;
  AppendAttributeText(out, "a \"b\" <&> \x01\n \xFF \xEF\xBF\xBF \xC3\xAB"s);
  EXPECT_EQ(out, "a &quot;b&quot; &lt;&amp;&gt; __ \xEF\xBF\xBD _ \xC3\xAB");
  EXPECT_TRUE(NeedsPreservedSpace(" a"));
  EXPECT_TRUE(NeedsPreservedSpace("a\n"));
  EXPECT_FALSE(NeedsPreservedSpace("a b"));
  EXPECT_FALSE(NeedsPreservedSpace(""));
}

TEST(XlsxTextTest, NumbersAreShortestAndReadBackExactly) {
  const double max = std::numeric_limits<double>::max();
  const struct {
    double Value;
    const char* Text;
  } cases[] = {
      {0.1, "0.1"},
      {123, "123"},
      {-0.0, "-0"},
      {max, "1.7976931348623157E+308"},
      {-max, "-1.7976931348623157E+308"},
      {std::numeric_limits<double>::denorm_min(), "5E-324"},
      {-2.2250738585072014e-308, "-2.2250738585072014E-308"},
      {0.1 + 0.2, "0.30000000000000004"},  // needs all 17 digits
      {-1234567890.1234567, "-1234567890.1234567"},
      {9007199254740992.0, "9007199254740992"},
      {1e21, "1E+21"},
      {1000000, "1000000"},
      {-45292.0, "-45292"},
      {1e15, "1E+15"},
  };
  for (const auto& item : cases) {
    std::string out;
    AppendNumber(out, item.Value);
    EXPECT_EQ(out, item.Text);
    EXPECT_EQ(std::strtod(out.c_str(), nullptr), item.Value) << out;
  }
}

}  // namespace
}  // namespace velmora
