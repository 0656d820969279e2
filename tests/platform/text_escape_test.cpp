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

// Long texts are read eight bytes at a time: every escaped byte, and bytes
// that are no ASCII, are found wherever they fall in a word.
TEST(TextEscape, SqlStringsFindEscapesAndInvalidUtf8AtAnyPosition) {
  const struct {
    std::string Byte;
    std::string Escaped;
    bool Utf8;
  } bytes[] = {{"\\", "\\\\", true}, {"\0"s, "\\0", true},           {"\r", "\\r", true}, {"\n", "\\n", true},
               {"'", "''", true},    {"\xC3\xA9", "\xC3\xA9", true}, {"\xFF", "", false}};
  for (const auto& byte : bytes) {
    for (std::size_t length = 1; length <= 18; ++length) {
      for (std::size_t position = 0; position < length; ++position) {
        SCOPED_TRACE(testing::Message() << "byte " << byte.Escaped << " at " << position << " of " << length);
        const std::string before(position, 'a');
        const std::string after(length - 1 - position, 'z');
        const std::string text = before + byte.Byte + after;
        std::string out = "<";
        EXPECT_EQ(AppendSqlStringIfUtf8(out, text), byte.Utf8);
        EXPECT_EQ(out, byte.Utf8 ? "<'" + before + byte.Escaped + after + "'" : "<");
        if (byte.Utf8) {
          EXPECT_EQ(Appended([&](std::string& plain) { AppendSqlString(plain, text); }), out);
        }
      }
    }
  }
  std::string out = "<";
  EXPECT_TRUE(AppendSqlStringIfUtf8(out, ""));
  EXPECT_EQ(out, "<''");
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

TEST(TextEscape, JsonStringsEscapeQuotesBackslashesAndControlsAndRepairUtf8) {
  struct TCase {
    std::string Text;
    std::string Escaped;
    std::size_t Replaced;
  };
  const TCase cases[] = {
      {"", "\"\"", 0},
      {"say \"hi\" C:\\dir /", "\"say \\\"hi\\\" C:\\\\dir /\"", 0},
      {"\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\"", 0},
      {"\0\x01\x1F\x7F"s, "\"\\u0000\\u0001\\u001f\x7F\"", 0},
      {"日本 😀 \xE2\x80\xA8", "\"日本 😀 \xE2\x80\xA8\"", 0},
      // Invalid sequences: a stray continuation byte, a cut sequence before a
      // quote, an overlong slash, and a cut sequence at the very end.
      {"a\x80" "b\xE2\x82\"\xC0\xAF\xF0\x9F", "\"a" + kFffd + "b" + kFffd + "\\\"" + kFffd + kFffd + kFffd + "\"", 5},
  };
  for (const TCase& test : cases) {
    std::string out = "<";
    EXPECT_EQ(AppendJsonString(out, test.Text), test.Replaced) << test.Escaped;
    EXPECT_EQ(out, "<" + test.Escaped);
  }
}

TEST(TextEscape, JsonNumberGrammarRejectsWhatParsersRefuse) {
  for (const char* number : {"0", "-0", "7", "-12.50", "0.001", "1e300", "2E+7", "-1.5e-9",
                             "18446744073709551615"}) {
    EXPECT_TRUE(IsJsonNumber(number)) << number;
  }
  for (const char* text : {"", "-", "+1", "007", "00", ".5", "5.", "1e", "1e+", "0x10", "1,5", " 1", "NaN",
                           "inf", "1.5.2", "--1"}) {
    EXPECT_FALSE(IsJsonNumber(text)) << text;
  }
}

TEST(TextEscape, Base64PadsTheLastGroup) {
  struct TCase {
    std::string Bytes;
    const char* Encoded;
  };
  const TCase cases[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
      {"\0\0\0\0"s, "AAAAAA=="}, {"\xFB\xFF\xBF", "+/+/"}, {" \xFF\0 "s, "IP8AIA=="},
  };
  for (const TCase& test : cases) {
    std::string out = "<";
    AppendBase64(out, test.Bytes);
    EXPECT_EQ(out, std::string("<") + test.Encoded);
  }
}

}  // namespace
}  // namespace velmora
