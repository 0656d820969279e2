// Decoding, counting, cutting and repairing UTF-8.
#include <gtest/gtest.h>

#include <string>

#include "platform/utf8.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::HexBytes;

struct TDecodeCase {
  const char* Text;
  char32_t CodePoint;
  int Length;
  bool Valid;
};

TEST(Utf8Decode, TakesWholeSequencesAndMaximalInvalidSubparts) {
  const TDecodeCase cases[] = {
      {"A", 0x41, 1, true},
      {"\xC3\xA9", 0xE9, 2, true},
      {"\xDF\xBF", 0x7FF, 2, true},
      {"\xE0\xA0\x80", 0x800, 3, true},
      {"\xE2\x82\xAC", 0x20AC, 3, true},
      {"\xED\x9F\xBF", 0xD7FF, 3, true},
      {"\xF0\x9F\x98\x80", 0x1F600, 4, true},
      {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4, true},
      // Overlong forms.
      {"\xC0\x80", 0xFFFD, 1, false},
      {"\xE0\x9F\xBF", 0xFFFD, 1, false},
      {"\xF0\x8F\xBF\xBF", 0xFFFD, 1, false},
      // Surrogates, and past U+10FFFF.
      {"\xED\xA0\x80", 0xFFFD, 1, false},
      {"\xF4\x90\x80\x80", 0xFFFD, 1, false},
      {"\xF5\x80\x80\x80", 0xFFFD, 1, false},
      {"\xFF", 0xFFFD, 1, false},
      // A lone continuation byte.
      {"\x80", 0xFFFD, 1, false},
      // Sequences cut short: the bytes that could still have completed them.
      {"\xC3", 0xFFFD, 1, false},
      {"\xE2\x82", 0xFFFD, 2, false},
      {"\xE2\x82" "A", 0xFFFD, 2, false},
      {"\xF0\x9F\x98", 0xFFFD, 3, false},
  };
  for (const TDecodeCase& test : cases) {
    SCOPED_TRACE(HexBytes(test.Text));
    const TUtf8Sequence sequence = DecodeUtf8(test.Text, 0);
    EXPECT_EQ(sequence.CodePoint, test.CodePoint);
    EXPECT_EQ(sequence.Length, test.Length);
    EXPECT_EQ(sequence.Valid, test.Valid);
  }
}

TEST(Utf8Encode, RoundTripsAtEveryLengthBoundary) {
  const std::pair<char32_t, int> cases[] = {{0x00, 1},     {0x7F, 1},     {0x80, 2},      {0x7FF, 2},
                                            {0x800, 3},    {0xFFFD, 3},   {0xFFFF, 3},    {0x10000, 4},
                                            {0x1F600, 4},  {0x10FFFF, 4}};
  for (const auto& [code_point, length] : cases) {
    SCOPED_TRACE(static_cast<unsigned>(code_point));
    std::string text;
    AppendUtf8(text, code_point);
    ASSERT_EQ(text.size(), static_cast<std::size_t>(length));
    const TUtf8Sequence sequence = DecodeUtf8(text, 0);
    EXPECT_TRUE(sequence.Valid);
    EXPECT_EQ(sequence.CodePoint, code_point);
    EXPECT_EQ(sequence.Length, length);
  }
}

struct TRepairCase {
  std::string Text;
  std::string Repaired;
  std::size_t Replaced;
  std::size_t Characters;
};

TEST(Utf8Repair, ReplacesEachInvalidSequenceWithOneReplacementCharacter) {
  const std::string fffd = "\xEF\xBF\xBD";
  const std::string sixteen = "0123456789abcdef";  // past the eight-byte ASCII scan
  // "#" marks a replacement.
  const auto marked = [&](std::string text) {
    for (std::size_t at = text.find('#'); at != std::string::npos; at = text.find('#', at)) {
      text.replace(at, 1, fffd);
    }
    return text;
  };
  const TRepairCase cases[] = {
      // The examples of the Unicode Standard's practice of U+FFFD for maximal
      // subparts: truncated and stray sequences, non-shortest forms,
      // surrogates, past U+10FFFF.
      {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64", marked("a###b#c##d"), 6, 10},
      {"\xC0\xAF\xE0\x80\xBF\xF0\x81\x82\x41", marked("########A"), 8, 9},
      {"\xED\xA0\x80\xED\xBF\xBF\xED\xAF\x41", marked("########A"), 8, 9},
      {"\xF4\x91\x92\x93\xFF\x41\x80\xBF\x42", marked("#####A##B"), 7, 9},
      {"\xE1\x80\xE2\xF0\x91\x92\xF1\xBF\x41", marked("####A"), 4, 5},
      {"", "", 0, 0},
      {"Grüße, € und 😀", "Grüße, € und 😀", 0, 14},
      {"a\xFF" "b", "a" + fffd + "b", 1, 3},
      {"\xE2\x82" "A", fffd + "A", 1, 2},
      {"\xE0\x80\x80", fffd + fffd + fffd, 3, 3},
      // A surrogate pair encoded as two three-byte sequences (CESU-8).
      {"\xED\xA0\xBD\xED\xB8\x80", fffd + fffd + fffd + fffd + fffd + fffd, 6, 6},
      {"ok\x80\x80ok", "ok" + fffd + fffd + "ok", 2, 6},
      {"end\xF0\x9F\x98", "end" + fffd, 1, 4},
      // The last byte of the first eight, and one past sixteen.
      {"0123456\xFF", "0123456" + fffd, 1, 8},
      {"0123456\xC3\xA9", "0123456é", 0, 8},
      {sixteen + "\xC3", sixteen + fffd, 1, 17},
      {sixteen + "\xC3\xA9" + sixteen, sixteen + "é" + sixteen, 0, 33},
  };
  for (const TRepairCase& test : cases) {
    SCOPED_TRACE(HexBytes(test.Text));
    std::string out = "<";
    EXPECT_EQ(AppendSanitizedUtf8(out, test.Text), test.Replaced);
    EXPECT_EQ(out, "<" + test.Repaired);
    // A width counted on the raw text is the width a reader shows after repair.
    EXPECT_EQ(Utf8Length(test.Text), test.Characters);
    EXPECT_EQ(Utf8Length(test.Repaired), test.Characters);
  }
}

TEST(Utf8Prefix, NeverEndsInsideASequence) {
  EXPECT_EQ(Utf8Prefix("日本語", 2), "日本");
  EXPECT_EQ(Utf8Prefix("a😀b", 2), "a😀");
  EXPECT_EQ(Utf8Prefix("abc", 5), "abc");
  EXPECT_EQ(Utf8Prefix("日本語", 0), "");
  EXPECT_EQ(Utf8Prefix("a\xE2\x82" "bcd", 2), "a\xE2\x82");
}

TEST(DisplayCells, WideCharactersTakeTwoCellsAndMarksNone) {
  const struct {
    std::string Text;
    std::size_t Cells;
  } cases[] = {
      {"abc", 3},
      {"Grüße", 5},
      {"日本語", 6},            // CJK ideographs
      {"한국어", 6},            // Hangul syllables
      {"ｱｲ", 2},               // half-width katakana stay narrow
      {"ＡＢ", 4},             // full-width Latin
      {"e\xCC\x81", 1},        // e and a combining acute accent
      {"\xE1\x84\x80\xE1\x85\xA1", 2},  // a Hangul initial and its joining vowel
      {"😀x", 3},
      {"👍\xF0\x9F\x8F\xBD", 2},          // a thumb with a skin tone modifier
      {"a\xE2\x80\x8B" "b", 2},           // zero-width space
      {"\xE2\x9D\xA4\xEF\xB8\x8F", 1},    // heart and a variation selector
      {"Ω Д", 3},
      {"a\xFF" "b", 3},                   // an invalid byte shows as one U+FFFD
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Text);
    EXPECT_EQ(DisplayCells(test.Text), test.Cells);
  }
}

}  // namespace
}  // namespace velmora
