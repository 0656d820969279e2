#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8, the encoding of every text the server sends (the connection is
// utf8mb4 whatever the locale): decoding, counting, cutting and repairing.
namespace velmora {

// The character that stands for bytes that are not UTF-8.
inline constexpr char32_t kReplacementCharacter = 0xFFFD;
inline constexpr std::string_view kReplacementCharacterUtf8 = "\xEF\xBF\xBD";

// One step of decoding.
struct TUtf8Sequence {
  // The code point; kReplacementCharacter when the bytes are not valid UTF-8.
  char32_t CodePoint;
  // Bytes taken, 1 to 4. An invalid sequence takes its maximal subpart: the
  // lead byte and the continuation bytes that could still have completed it
  // ("\xE2\x82" followed by "A" is one invalid sequence of two bytes), so that
  // every reader that follows the Unicode practice sees as many U+FFFD.
  int Length;
  // False for overlong forms, surrogates, code points past U+10FFFF, stray
  // continuation bytes and sequences cut short.
  bool Valid;
};

// Decodes the sequence that starts at text[position] (position < text.size()).
TUtf8Sequence DecodeLongerUtf8(std::string_view text, std::size_t position);
inline TUtf8Sequence DecodeUtf8(std::string_view text, std::size_t position) {
  // ASCII and the two-byte letters (Latin, Greek, Cyrillic, Hebrew, Arabic)
  // without a call: most text is made of them.
  const auto lead = static_cast<unsigned char>(text[position]);
  if (lead < 0x80) return {lead, 1, true};
  if (lead >= 0xC2 && lead <= 0xDF && position + 1 < text.size()) {
    const auto next = static_cast<unsigned char>(text[position + 1]);
    if ((next & 0xC0) == 0x80) return {static_cast<char32_t>(((lead & 0x1F) << 6) | (next & 0x3F)), 2, true};
  }
  return DecodeLongerUtf8(text, position);
}

// Number of characters in text; each invalid sequence counts as one.
std::size_t Utf8Length(std::string_view text);

// The cells text takes on a terminal or in a monospaced font: East Asian
// wide and full-width characters (CJK, Hangul, most emoji) take two,
// combining marks, joiners, variation selectors and other format
// characters none, every other character (an invalid sequence too) one.
std::size_t DisplayCells(std::string_view text);
// The cells of one code point as DisplayCells counts them: 0, 1 or 2.
int CodePointCells(char32_t code_point);

// The longest prefix of text with at most characters characters; never ends
// inside a sequence.
std::string_view Utf8Prefix(std::string_view text, std::size_t characters);

// Appends the UTF-8 form of a code point (at most U+10FFFF, no surrogate).
void AppendUtf8(std::string& out, char32_t code_point);

// Appends text with every invalid sequence replaced by U+FFFD; returns the
// number of sequences replaced. Valid text is appended unchanged.
std::size_t AppendSanitizedUtf8(std::string& out, std::string_view text);

// True when text holds no invalid sequence.
bool IsValidUtf8(std::string_view text);

// Bytes from position up to the first byte that is not ASCII (0x00-0x7F).
std::size_t AsciiRunLength(std::string_view text, std::size_t position);

}  // namespace velmora
