// The writer's text operations and the shared text helpers.
#include <gtest/gtest.h>

#include "engine/tabulo_writer.h"
#include "platform/text_utils.h"
#include "platform/locale_settings.h"

namespace velmora {
namespace {

TEST(Padding, NeverCutsAndPutsTheOddCharacterRight) {
  SetFormatSettings(TFormatSettings::CLocale());
  EXPECT_EQ(TTabuloWriter::PadCenter("ab", ' ', 5), " ab  ");
  EXPECT_EQ(TTabuloWriter::PadCenter("abc", ' ', 8), "  abc   ");
  EXPECT_EQ(TTabuloWriter::PadLeft("abcdef", ' ', 3), "abcdef");
  EXPECT_EQ(TTabuloWriter::PadLeft("7", '0', 3), "007");
  EXPECT_EQ(TTabuloWriter::PadRight("ab", '.', 4), "ab..");
  EXPECT_EQ(TTabuloWriter::PadRight("ab", '.', -1), "ab");
}

TEST(Padding, CountsDisplayCellsUnderTheCLocale) {
  SetFormatSettings(TFormatSettings::CLocale());
  EXPECT_EQ(TTabuloWriter::PadRight("\xC3\xA9t\xC3\xA9", ' ', 5), "\xC3\xA9t\xC3\xA9  ");
  // A CJK character and an emoji take two cells each.
  EXPECT_EQ(TTabuloWriter::PadCenter("\xE4\xB8\xAD", ' ', 4), " \xE4\xB8\xAD ");
  EXPECT_EQ(TTabuloWriter::PadLeft("\xF0\x9F\x98\x80", '.', 3), ".\xF0\x9F\x98\x80");
}

TEST(TextHelpers, NumberedFileNamesAndCaselessReplace) {
  EXPECT_EQ(NumberedFileName("out.html", 3, 4), "out0003.html");
  EXPECT_EQ(NumberedFileName("out.html", 12345, 2), "out12345.html");
  EXPECT_EQ(NumberedFileName("out", 1, -2), "out1");
  EXPECT_EQ(NumberedFileName("a.html.b.html", 1, 1), "a1.html");
  EXPECT_EQ(NumberedFileName("web.html/out.html", 2, 2), "web.html/out02.html");
  EXPECT_EQ(ReplaceAllIgnoreCase("Page &P of &p", "&p", "&P&p"), "Page &P&p of &P&p");
  EXPECT_EQ(ReplaceAllIgnoreCase("aaa", "aa", "a"), "aa");
  EXPECT_EQ(ReplaceAllIgnoreCase("abc", "", "x"), "abc");
  EXPECT_EQ(Trim("\t\r\n x \x01"), "x");
  EXPECT_TRUE(SameText("Orders", "ORDERS"));
  EXPECT_FALSE(SameText("Orders", "Order"));
}

}  // namespace
}  // namespace velmora
