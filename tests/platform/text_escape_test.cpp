// Escaping of values for each target grammar.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "platform/text_escape.h"

namespace velmora {
namespace {

using namespace std::string_literals;

const std::string kFffd = "\xEF\xBF\xBD";

struct TMarkupCase {
  std::size_t (*Append)(std::string&, std::string_view);
  const char* Grammar;
  std::string Text;
  std::string Escaped;
  std::size_t Replaced;
};

TEST(TextEscape, MarkupEscapesWhatEachGrammarReadsSpecially) {
  const std::string awkward = "a<b>&c\r\n\t\"'é";
  const TMarkupCase cases[] = {
      {AppendXmlText, "XML text", awkward, "a&lt;b&gt;&amp;c&#13;\n\t\"'é", 0},
      {AppendXmlAttribute, "XML attribute", awkward, "a&lt;b&gt;&amp;c&#13;&#10;&#9;&quot;'é", 0},
      {AppendHtmlText, "HTML text", awkward, "a&lt;b&gt;&amp;c\r\n\t\"'é", 0},
      {AppendHtmlAttribute, "HTML attribute", awkward, "a&lt;b&gt;&amp;c\r\n\t&quot;'é", 0},
      // What the grammar cannot hold at all becomes U+FFFD.
      {AppendXmlText, "XML text", "\0x\x01\x0C\x7F"s, kFffd + "x" + kFffd + kFffd + "\x7F", 3},
      {AppendXmlAttribute, "XML attribute", "\xEF\xBF\xBE\xEF\xBF\xBF\xEF\xBF\xBD", kFffd + kFffd + kFffd, 2},
      {AppendXmlText, "XML text", "\xC2\x85\xC2\xA0", "\xC2\x85\xC2\xA0", 0},
      {AppendHtmlText, "HTML text", "\0x\x01\x0C\x7F"s, kFffd + "x" + kFffd + "\x0C" + kFffd, 3},
      {AppendHtmlAttribute, "HTML attribute", "\xC2\x85\xC2\xA0\xEF\xBF\xBE", kFffd + "\xC2\xA0\xEF\xBF\xBE", 1},
      // A cut sequence at the end is left for the encoder to repair.
      {AppendXmlText, "XML text", "\xEF\xBF", "\xEF\xBF", 0},
  };
  for (const TMarkupCase& test : cases) {
    SCOPED_TRACE(test.Grammar);
    std::string out = "<";
    EXPECT_EQ(test.Append(out, test.Text), test.Replaced);
    EXPECT_EQ(out, "<" + test.Escaped);
  }
}

// What an append helper adds after an earlier "<".
template <typename Append>
std::string Appended(Append append) {
  std::string out = "<";
  append(out);
  return out;
}

TEST(TextEscape, QuotesAreDoubledAndSqlStringsUseBackslashEscapes) {
  EXPECT_EQ(Appended([](std::string& out) { AppendQuoted(out, "O\"Neil \"\"", '"'); }), "<\"O\"\"Neil \"\"\"\"\"");
  EXPECT_EQ(Appended([](std::string& out) { AppendQuoted(out, "", '"'); }), "<\"\"");
  EXPECT_EQ(Appended([](std::string& out) { AppendQuoteDoubled(out, "''", '\''); }), "<''''");
  EXPECT_EQ(Appended([](std::string& out) { AppendSqlIdentifier(out, "odd`name"); }), "<`odd``name`");
  EXPECT_EQ(Appended([](std::string& out) { AppendSqlString(out, "it's C:\\dir\r\n\0end\"%_"s); }),
            "<'it''s C:\\\\dir\\r\\n\\0end\"%_'");
  EXPECT_EQ(Appended([](std::string& out) { AppendSqlString(out, ""); }), "<''");
}

TEST(TextEscape, IntegersKeepEveryDigitWithoutGrouping) {
  std::string out;
  AppendInteger(out, std::numeric_limits<std::int64_t>::min());
  out += ' ';
  AppendInteger(out, std::numeric_limits<std::uint64_t>::max());
  out += ' ';
  AppendInteger(out, 0);
  out += ' ';
  AppendInteger(out, static_cast<std::int16_t>(-1234));
  EXPECT_EQ(out, "-9223372036854775808 18446744073709551615 0 -1234");
}

}  // namespace
}  // namespace velmora
