// Conversion of UTF-8 into the encodings of the output formats.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/text_encoder.h"
#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::HexBytes;
using namespace std::string_literals;

struct TEncodeCase {
  const char* Encoding;
  TUnmappablePolicy Policy;
  std::string Text;
  std::string Bytes;
  std::size_t Replaced;
};

TEST(TextEncoder, ConvertsAndAppliesThePolicyToWhatTheTargetLacks) {
  const TEncodeCase cases[] = {
      // UTF-16LE, decoded directly: surrogate pairs for what lies past U+FFFF.
      {"UTF-16LE", upReplace, "Aé€", "A\0\xE9\0\xAC\x20"s, 0},
      {"utf-16le", upReplace, "😀", "\x3D\xD8\x00\xDE"s, 0},
      {"UTF-16LE", upReplace, "\xF4\x8F\xBF\xBF", "\xFF\xDB\xFF\xDF"s, 0},
      {"UTF-16LE", upReplace, "a\xE2\x82", "a\0\xFD\xFF"s, 1},
      {"UTF-16LE", upCharacterReference, "\x80\x80", "\xFD\xFF\xFD\xFF"s, 2},
      // Windows-1252: its own bytes for 0x80-0x9F, not the C1 controls.
      {"WINDOWS-1252", upReplace, "Cássia Eller", "C\xE1ssia Eller", 0},
      {"WINDOWS-1252", upReplace, "€ “quoted” – …", "\x80 \x93quoted\x94 \x96 \x85", 0},
      {"CP1252", upReplace, "aĀb", "a?b", 1},
      {"WINDOWS-1252", upReplace, "😀😀", "??", 2},
      {"WINDOWS-1252", upReplace, "x\xFF", "x?", 1},
      {"WINDOWS-1252", upCharacterReference, "Ā<é", "&#256;<\xE9", 1},
      {"WINDOWS-1252", upCharacterReference, "😀", "&#128512;", 1},
      {"WINDOWS-1252", upCharacterReference, "\xC3", "&#65533;", 1},
      // UTF-8 is repaired, nothing else.
      {"UTF-8", upReplace, "日本\xFF", "日本\xEF\xBF\xBD", 1},
      // Other encodings through iconv.
      {"ISO-8859-15", upReplace, "€¤", "\xA4?", 1},
      {"UTF-16BE", upReplace, "A😀", "\0A\xD8\x3D\xDE\x00"s, 0},
      {"UTF-16BE", upReplace, "\xC0", "\xFF\xFD", 1},
      {"UCS-2LE", upCharacterReference, "😀", "&\0#\0" "1\0" "2\0" "8\0" "5\0" "1\0" "2\0;\0"s, 1},
      // A stateful encoding is back in its initial state before the ASCII.
      {"ISO-2022-JP", upReplace, "“A", "\x1B$B!H\x1B(BA", 0},
  };
  for (const TEncodeCase& test : cases) {
    SCOPED_TRACE(std::string(test.Encoding) + " " + HexBytes(test.Text));
    TTextEncoder encoder(test.Encoding, test.Policy);
    std::string out = "<";
    encoder.Append(out, test.Text);
    EXPECT_EQ(HexBytes(out), HexBytes("<" + test.Bytes));
    EXPECT_EQ(encoder.ReplacedCount(), test.Replaced);
  }
}

TEST(TextEncoder, DirectUtf16MatchesTheSystemConverter) {
  std::string text;
  for (int round = 0; round < 50; ++round) text += "plain, Grüße, 日本語, 😀 and 𝄞; ";
  const std::string little = TTextEncoder("UTF-16LE", upError).Encode(text);
  std::string big = TTextEncoder("UTF-16BE", upError).Encode(text);
  ASSERT_EQ(big.size(), little.size());
  for (std::size_t index = 0; index + 1 < big.size(); index += 2) std::swap(big[index], big[index + 1]);
  EXPECT_EQ(little, big);
}

TEST(TextEncoder, WideTargetsGrowTheirRoomAndKeepTheMarkOutOfTheText) {
  const std::string text = std::string(1000, 'A') + "😀";
  const std::string wide = TTextEncoder("UTF-32LE", upError).Encode(text);
  ASSERT_EQ(wide.size(), 4004u);
  EXPECT_EQ(wide.substr(4000), "\x00\xF6\x01\x00"s);

  // An encoding that names no byte order puts a mark before each conversion:
  // it is handed out once, never repeated inside the text.
  TTextEncoder marked("UTF-16", upError);
  const std::string& mark = marked.ByteOrderMark();
  ASSERT_TRUE(mark == "\xFF\xFE" || mark == "\xFE\xFF") << HexBytes(mark);
  std::string text_ab = marked.Encode("A");
  marked.Append(text_ab, "B");
  EXPECT_EQ(text_ab, mark == "\xFF\xFE" ? "A\0B\0"s : "\0A\0B"s);
  EXPECT_FALSE(marked.AsciiCompatible());
  EXPECT_TRUE(TTextEncoder("WINDOWS-1252", upError).AsciiCompatible());
}

TEST(TextEncoder, CountsReplacementsAcrossCalls) {
  TTextEncoder encoder("ISO-8859-1", upReplace, "");
  EXPECT_EQ(encoder.Encode("€1"), "1");
  EXPECT_EQ(encoder.Encode("é€€"), "\xE9");
  EXPECT_EQ(encoder.ReplacedCount(), 3u);
}

struct TErrorCase {
  const char* Encoding;
  std::string Text;
  const char* Message;
};

TEST(TextEncoder, ErrorPolicyNamesTheCharacterAndLeavesTheOutputAsItWas) {
  const TErrorCase cases[] = {
      {"WINDOWS-1252", "aĀ", "Character \"Ā\" (U+0100) cannot be written in encoding WINDOWS-1252"},
      {"ISO-8859-1", "ok €", "Character \"€\" (U+20AC) cannot be written in encoding ISO-8859-1"},
      {"WINDOWS-1252", "a\xE2\x82", "Bytes that are not UTF-8 (0xE2 0x82) cannot be written in encoding WINDOWS-1252"},
      {"UTF-16LE", "\x80", "Bytes that are not UTF-8 (0x80) cannot be written in encoding UTF-16LE"},
      {"UTF-8", "ok\xC0\xAF", "Bytes that are not UTF-8 (0xC0) cannot be written in encoding UTF-8"},
  };
  for (const TErrorCase& test : cases) {
    SCOPED_TRACE(test.Encoding);
    TTextEncoder encoder(test.Encoding, upError);
    std::string out = "kept";
    EXPECT_VELMORA_ERROR(encoder.Append(out, test.Text), test.Message);
    EXPECT_EQ(out, "kept");
  }
}

TEST(TextEncoder, RefusesUnknownNamesAndReplacementsTheTargetLacks) {
  EXPECT_VELMORA_ERROR(TTextEncoder("NO-SUCH-ENCODING", upReplace),
                       "Unknown character encoding \"NO-SUCH-ENCODING\"");
  EXPECT_VELMORA_ERROR(TTextEncoder("ISO-8859-1", upReplace, "€"),
                       "Replacement text \"€\" cannot be written in encoding ISO-8859-1");
}

}  // namespace
}  // namespace velmora
