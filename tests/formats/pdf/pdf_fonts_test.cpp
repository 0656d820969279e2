// Text for the standard fonts: UTF-8 into font codes, string escaping, and the
// widths the layout measures with.
#include "formats/pdf/pdf_fonts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/pdf/pdf_document.h"
#include "formats/pdf/pdf_test_support.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::HexBytes;
using testsupport::NamedFont;

struct TEncodeCase {
  TPDFCharCodes codes;
  std::string utf8;
  std::string bytes;
  std::size_t replaced;
};

TEST(PDFFontsTest, EncodesUtf8IntoTheFontsCodes) {
  const std::vector<TEncodeCase> cases = {
      {ccWinAnsi, "plain text 123", "plain text 123", 0},
      {ccWinAnsi, "", "", 0},
      {ccWinAnsi, "Zoë Ågren ß ÿ", "Zo\xEB \xC5gren \xDF \xFF", 0},
      {ccWinAnsi, "5 € “quoted” – Œuvre™ Ž", "5 \x80 \x93quoted\x94 \x96 \x8Cuvre\x99 \x8E", 0},
      {ccWinAnsi, "no-break\u00A0space, soft\u00ADhyphen", "no-break\xA0space, soft\xADhyphen", 0},
      {ccWinAnsi, "日本語", "???", 3},
      {ccWinAnsi, "emoji 😀!", "emoji ?!", 1},
      {ccWinAnsi, "line\r\nbreak\ttab", "line  break tab", 0},
      {ccWinAnsi, std::string("nul\0bell\a del\x7F", 14), "nul?bell? del?", 3},
      {ccWinAnsi, "c1\u0081 control", "c1? control", 1},
      {ccWinAnsi, "bad \xFF byte", "bad ? byte", 1},
      {ccWinAnsi, "cut \xC3", "cut ?", 1},
      // One "?" for the maximal subpart, as U+FFFD stands for it elsewhere.
      {ccWinAnsi, "a\xE2\x82\x41z", "a?Az", 1},
      {ccWinAnsi, "overlong \xC0\xAF", "overlong ??", 2},
      {ccWinAnsi, "surrogate \xED\xA0\x80", "surrogate ???", 3},
      {ccWinAnsi, "stray \x80 follower", "stray ? follower", 1},
      {ccMacRoman, "Zoë Ågren ß", "Zo\x91 \x81gren \xA7", 0},
      {ccMacRoman, "\uFB01 ı ¤ ÿ", "\xDE \xF5 \xDB \xD8", 0},
      {ccMacRoman, "€ ≠ π", "? ? ?", 3},    // the Euro came later; the others live in Symbol
      {ccMacRoman, "×", "?", 1},            // not in the Mac character set
      {ccBuiltIn, "abc é", "abc \xE9", 0},  // symbol fonts take the WinAnsi codes as they are
  };
  for (const TEncodeCase& test : cases) {
    std::string out = "prefix:";
    EXPECT_EQ(EncodeText(test.utf8, test.codes, out), test.replaced) << test.utf8;
    EXPECT_EQ(HexBytes(out), HexBytes("prefix:" + test.bytes)) << test.utf8;
  }
}

TEST(PDFFontsTest, EscapingKeepsAnyTextOneString) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain", "plain"},
      {"C:\\new\\table", "C:\\\\new\\\\table"},
      {"Report (draft", "Report \\(draft"},
      {"a) b) c)", "a\\) b\\) c\\)"},
      {"trailing \\", "trailing \\\\"},
      {"\\(", "\\\\\\("},
      {"\x80\xFF quotes \"'", "\x80\xFF quotes \"'"},
  };
  for (const auto& [bytes, escaped] : cases) {
    std::string out;
    AppendEscapedString(bytes, out);
    EXPECT_EQ(out, escaped) << bytes;
  }
}

struct TWidthCase {
  TPDFFont font;
  std::string text;
  int points;
};

// Widths from the published metrics of the standard fonts.
TEST(PDFFontsTest, TextWidthUsesEachFontsRealMetrics) {
  const std::vector<TWidthCase> cases = {
      {NamedFont("F", poHelvetica, 10), "Hello", 23},        // 722+556+222+222+556 = 2278
      {NamedFont("F", poHelvetica, 10), "1234567890", 56},   // figures are 556 each
      {NamedFont("F", poHelvetica, 10), "((((", 13},         // 4 × 333, measured unescaped
      {NamedFont("F", poHelvetica, 100), "é€", 111},         // 556 + 556: one code each
      {NamedFont("F", poHelveticaBold, 10), "iiii", 11},     // 278 each
      {NamedFont("F", poCourier, 10), "any ten ch", 60},     // 600 each
      {NamedFont("F", poCourierBoldOblique, 7), "WWW", 13},  // 3 × 600 × 7 = 12.6
      {NamedFont("F", poTimesRoman, 10), "W", 9},            // 944
      {NamedFont("F", poTimesBold, 1000), "A", 722},
      {NamedFont("F", poTimesItalic, 1000), "f", 278},
      {NamedFont("F", poTimesBoldItalic, 1000), "m", 778},
      {NamedFont("F", poSymbol, 1000), "a", 631},        // alpha
      {NamedFont("F", poZapfDingbats, 1000), "A", 692},  // a10
      {NamedFont("F", poHelvetica, 1000, poMacRomanEncoding), "é", 556},
      {NamedFont("F", poHelvetica, 10), "", 0},
      {NamedFont("F", poHelvetica, 10), "a", 6},   // 5.56 rounds up
      {NamedFont("F", poHelvetica, 4), "aaa", 7},  // 6.672: rounded once, at the end
  };
  for (const TWidthCase& test : cases) {
    EXPECT_EQ(TPDFDocument::TextWidth(test.text, test.font), test.points)
        << BaseFontName(test.font.BaseFont) << " " << test.text;
  }
}

TEST(PDFFontsTest, FittingLengthCutsBetweenCharacters) {
  const TPDFFont helvetica = NamedFont("F", poHelvetica, 10);
  EXPECT_EQ(TPDFDocument::FittingLength("aaaa", helvetica, 11.2), 2u);  // 5.56 each
  EXPECT_EQ(TPDFDocument::FittingLength("aaaa", helvetica, 11.1), 1u);
  EXPECT_EQ(TPDFDocument::FittingLength("aaaa", helvetica, 100), 4u);
  EXPECT_EQ(TPDFDocument::FittingLength("aaaa", helvetica, -1), 0u);
  EXPECT_EQ(TPDFDocument::FittingLength("ééé", helvetica, 12), 4u);  // two characters of two bytes
  EXPECT_EQ(TPDFDocument::FittingLength("日本", helvetica, 6), 3u);  // "?" is 556 wide
  const std::string text = "Mixed text, (with) \\ and ü";
  EXPECT_EQ(TPDFDocument::FittingLength(text, helvetica, TPDFDocument::TextWidth(text, helvetica) + 0.5),
            text.size());
}

TEST(PDFFontsTest, AverageWidthIsTheColumnUnit) {
  EXPECT_EQ(TPDFDocument::AverageWidth(13, 10), 63);  // a 10-character column with spacing 3
  EXPECT_EQ(TPDFDocument::AverageWidth(1.5, 10), 7);  // 7.26
  EXPECT_EQ(TPDFDocument::AverageWidth(0, 10), 0);
}

// Courier: every character 600 thousandths, so a width of n characters is n × 600.
struct TWrapCase {
  const char* text;
  int characters;  // the line width
  std::vector<std::string> lines;
};

TEST(PDFFontsTest, WrapsAtBlanksBreaksLongWordsAtTheirJoinsAndKeepsLineBreaks) {
  const std::vector<TWrapCase> cases = {
      {"", 5, {""}},
      {"short", 10, {"short"}},
      {"exactly10!", 10, {"exactly10!"}},
      {"one two three", 7, {"one two", "three"}},
      // Blanks at the break are dropped, those the text starts with are kept.
      {"one    two", 5, {"one", "two"}},
      {"  lead", 10, {"  lead"}},
      {"trailing   ", 8, {"trailing"}},
      // A word longer than the line breaks between characters.
      {"abcdefghij", 4, {"abcd", "efgh", "ij"}},
      {"a verylongword b", 5, {"a", "veryl", "ongwo", "rd b"}},
      // A long name or address breaks after the characters joining its parts.
      {"customer_id", 9, {"customer_", "id"}},
      {"mary.smith@example.org", 12, {"mary.smith@", "example.org"}},
      {"a_bcdefgh", 4, {"a_", "bcde", "fgh"}},
      // However narrow the line, each holds one character.
      {"abc", 0, {"a", "b", "c"}},
      // Line breaks of every kind end a line; an empty line stays.
      {"a\nb\r\nc\rd", 10, {"a", "b", "c", "d"}},
      {"a\n\nb", 10, {"a", "", "b"}},
      {"tab\tseparated words", 9, {"tab", "separated", "words"}},
      // Multi-byte characters are never split.
      {"Zoë Ågren ü", 4, {"Zoë", "Ågre", "n ü"}},
      {"日本語", 2, {"日本", "語"}},
  };
  const std::uint16_t* widths = GlyphWidths(poCourier, ccWinAnsi);
  for (const TWrapCase& test : cases) {
    const std::string_view text = test.text;
    std::vector<TTextLine> lines;
    WrapText(text, ccWinAnsi, widths, test.characters * 600, lines);
    std::vector<std::string> texts;
    for (const TTextLine& line : lines) texts.emplace_back(text.substr(line.Begin, line.End - line.Begin));
    EXPECT_EQ(texts, test.lines) << test.text;
  }
  // The widest line of a text with line breaks, and through the document in points.
  EXPECT_EQ(WidestLine("ab\ncdef\r\ng", ccWinAnsi, widths), 4 * 600);
  // Eight digits of 556 and two hyphens of 333 at 10 points.
  EXPECT_DOUBLE_EQ(TPDFDocument::WidestLine("2005-05-24", NamedFont("F", poHelvetica, 10)), 51.14);
}

}  // namespace
}  // namespace velmora
