#include "platform/utf8.h"

#include <cstdint>
#include <cstring>

namespace velmora {

namespace {

bool IsContinuation(unsigned char byte, unsigned char lowest = 0x80, unsigned char highest = 0xBF) {
  return byte >= lowest && byte <= highest;
}

constexpr TUtf8Sequence Invalid(int length) {
  return {kReplacementCharacter, length, false};
}

}  // namespace

TUtf8Sequence DecodeLongerUtf8(std::string_view text, std::size_t position) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data()) + position;
  const std::size_t available = text.size() - position;
  const unsigned char lead = bytes[0];
  if (lead < 0x80) return {lead, 1, true};

  int length = 0;
  char32_t code_point = 0;
  // The second byte's range is narrower after some leads: that is what rules
  // out overlong forms (E0, F0), surrogates (ED) and code points past U+10FFFF (F4).
  unsigned char second_lowest = 0x80;
  unsigned char second_highest = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code_point = lead & 0x0F;
    if (lead == 0xE0) second_lowest = 0xA0;
    if (lead == 0xED) second_highest = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code_point = lead & 0x07;
    if (lead == 0xF0) second_lowest = 0x90;
    if (lead == 0xF4) second_highest = 0x8F;
  } else {
    return Invalid(1);  // a continuation byte, C0, C1 or F5..FF
  }

  for (int index = 1; index < length; ++index) {
    if (static_cast<std::size_t>(index) >= available) return Invalid(index);
    const bool fits =
        index == 1 ? IsContinuation(bytes[1], second_lowest, second_highest) : IsContinuation(bytes[index]);
    if (!fits) return Invalid(index);
    code_point = (code_point << 6) | (bytes[index] & 0x3F);
  }
  return {code_point, length, true};
}

std::size_t AsciiRunLength(std::string_view text, std::size_t position) {
  const std::size_t start = position;
  // Eight bytes at a time: long ASCII texts are the common case.
  while (text.size() - position >= 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + position, 8);
    if ((word & 0x8080808080808080ull) != 0) break;
    position += 8;
  }
  while (position < text.size() && static_cast<unsigned char>(text[position]) < 0x80) ++position;
  return position - start;
}

namespace {

// The sum of weight(code point) over text, an invalid sequence counting as
// U+FFFD; ASCII runs, whose every character weighs one, are skipped whole.
template <class TWeight>
std::size_t SumOverCodePoints(std::string_view text, TWeight&& weight) {
  std::size_t sum = 0;
  std::size_t position = 0;
  while (position < text.size()) {
    const std::size_t ascii = AsciiRunLength(text, position);
    sum += ascii;
    position += ascii;
    if (position == text.size()) break;
    const TUtf8Sequence sequence = DecodeUtf8(text, position);
    position += static_cast<std::size_t>(sequence.Length);
    sum += weight(sequence.CodePoint);
  }
  return sum;
}

}  // namespace

std::size_t Utf8Length(std::string_view text) {
  return SumOverCodePoints(text, [](char32_t) { return std::size_t{1}; });
}

std::string_view Utf8Prefix(std::string_view text, std::size_t characters) {
  if (text.size() <= characters) return text;  // no more characters than bytes
  std::size_t position = 0;
  for (std::size_t count = 0; count < characters && position < text.size(); ++count) {
    position += static_cast<std::size_t>(DecodeUtf8(text, position).Length);
  }
  return text.substr(0, position);
}

void AppendUtf8(std::string& out, char32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

std::size_t AppendSanitizedUtf8(std::string& out, std::string_view text) {
  std::size_t replaced = 0;
  std::size_t run_start = 0;  // start of the valid bytes not yet appended
  std::size_t position = 0;
  while (position < text.size()) {
    position += AsciiRunLength(text, position);
    if (position == text.size()) break;
    const TUtf8Sequence sequence = DecodeUtf8(text, position);
    if (!sequence.Valid) {
      out.append(text, run_start, position - run_start);
      out += kReplacementCharacterUtf8;
      ++replaced;
      run_start = position + static_cast<std::size_t>(sequence.Length);
    }
    position += static_cast<std::size_t>(sequence.Length);
  }
  out.append(text, run_start, text.size() - run_start);
  return replaced;
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t position = 0; position < text.size();) {
    position += AsciiRunLength(text, position);
    if (position >= text.size()) break;
    const TUtf8Sequence sequence = DecodeUtf8(text, position);
    if (!sequence.Valid) return false;
    position += static_cast<std::size_t>(sequence.Length);
  }
  return true;
}

}  // namespace velmora

namespace velmora {

namespace {

struct TCodePointRange {
  char32_t First;
  char32_t Last;
};

// Characters that take no cell of their own: nonspacing and enclosing marks,
// Hangul vowels and finals that join the syllable before them, zero-width
// spaces and joiners, direction marks, variation selectors, emoji modifiers
// and tags. Sorted, for a binary search.
constexpr TCodePointRange kZeroWidth[] = {
    {0x0300, 0x036F},   {0x0483, 0x0489},   {0x0591, 0x05BD},   {0x05BF, 0x05BF},   {0x05C1, 0x05C2},
    {0x05C4, 0x05C5},   {0x05C7, 0x05C7},   {0x0610, 0x061A},   {0x061C, 0x061C},   {0x064B, 0x065F},
    {0x0670, 0x0670},   {0x06D6, 0x06DC},   {0x06DF, 0x06E4},   {0x06E7, 0x06E8},   {0x06EA, 0x06ED},
    {0x0711, 0x0711},   {0x0730, 0x074A},   {0x07A6, 0x07B0},   {0x07EB, 0x07F3},   {0x0816, 0x0819},
    {0x081B, 0x0823},   {0x0825, 0x0827},   {0x0829, 0x082D},   {0x0859, 0x085B},   {0x08D3, 0x08E1},
    {0x08E3, 0x0902},   {0x093A, 0x093A},   {0x093C, 0x093C},   {0x0941, 0x0948},   {0x094D, 0x094D},
    {0x0951, 0x0957},   {0x0962, 0x0963},   {0x0981, 0x0981},   {0x09BC, 0x09BC},   {0x09C1, 0x09C4},
    {0x09CD, 0x09CD},   {0x09E2, 0x09E3},   {0x0A01, 0x0A02},   {0x0A3C, 0x0A3C},   {0x0A41, 0x0A51},
    {0x0A70, 0x0A71},   {0x0A75, 0x0A75},   {0x0A81, 0x0A82},   {0x0ABC, 0x0ABC},   {0x0AC1, 0x0AC8},
    {0x0ACD, 0x0ACD},   {0x0AE2, 0x0AE3},   {0x0B01, 0x0B01},   {0x0B3C, 0x0B3C},   {0x0B3F, 0x0B3F},
    {0x0B41, 0x0B44},   {0x0B4D, 0x0B4D},   {0x0B56, 0x0B56},   {0x0B62, 0x0B63},   {0x0B82, 0x0B82},
    {0x0BC0, 0x0BC0},   {0x0BCD, 0x0BCD},   {0x0C00, 0x0C00},   {0x0C3E, 0x0C40},   {0x0C46, 0x0C56},
    {0x0C62, 0x0C63},   {0x0CBC, 0x0CBC},   {0x0CCC, 0x0CCD},   {0x0CE2, 0x0CE3},   {0x0D00, 0x0D01},
    {0x0D41, 0x0D44},   {0x0D4D, 0x0D4D},   {0x0D62, 0x0D63},   {0x0DCA, 0x0DCA},   {0x0DD2, 0x0DD6},
    {0x0E31, 0x0E31},   {0x0E34, 0x0E3A},   {0x0E47, 0x0E4E},   {0x0EB1, 0x0EB1},   {0x0EB4, 0x0EBC},
    {0x0EC8, 0x0ECD},   {0x0F18, 0x0F19},   {0x0F35, 0x0F35},   {0x0F37, 0x0F37},   {0x0F39, 0x0F39},
    {0x0F71, 0x0F7E},   {0x0F80, 0x0F84},   {0x0F86, 0x0F87},   {0x0F8D, 0x0FBC},   {0x0FC6, 0x0FC6},
    {0x102D, 0x1030},   {0x1032, 0x1037},   {0x1039, 0x103A},   {0x103D, 0x103E},   {0x1058, 0x1059},
    {0x105E, 0x1060},   {0x1071, 0x1074},   {0x1082, 0x1082},   {0x1085, 0x1086},   {0x108D, 0x108D},
    {0x109D, 0x109D},   {0x1160, 0x11FF},   {0x135D, 0x135F},   {0x1712, 0x1714},   {0x1732, 0x1734},
    {0x1752, 0x1753},   {0x1772, 0x1773},   {0x17B4, 0x17B5},   {0x17B7, 0x17BD},   {0x17C6, 0x17C6},
    {0x17C9, 0x17D3},   {0x17DD, 0x17DD},   {0x180B, 0x180F},   {0x1885, 0x1886},   {0x18A9, 0x18A9},
    {0x1920, 0x1922},   {0x1927, 0x1928},   {0x1932, 0x1932},   {0x1939, 0x193B},   {0x1A17, 0x1A18},
    {0x1A1B, 0x1A1B},   {0x1A56, 0x1A56},   {0x1A58, 0x1A7F},   {0x1AB0, 0x1AFF},   {0x1B00, 0x1B03},
    {0x1B34, 0x1B3A},   {0x1B3C, 0x1B3C},   {0x1B42, 0x1B42},   {0x1B6B, 0x1B73},   {0x1B80, 0x1B81},
    {0x1BA2, 0x1BA5},   {0x1BA8, 0x1BAD},   {0x1BE6, 0x1BE6},   {0x1BE8, 0x1BE9},   {0x1BED, 0x1BED},
    {0x1BEF, 0x1BF1},   {0x1C2C, 0x1C33},   {0x1C36, 0x1C37},   {0x1CD0, 0x1CD2},   {0x1CD4, 0x1CE0},
    {0x1CE2, 0x1CE8},   {0x1CED, 0x1CED},   {0x1CF4, 0x1CF4},   {0x1CF8, 0x1CF9},   {0x1DC0, 0x1DFF},
    {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},   {0x20D0, 0x20F0},
    {0x2CEF, 0x2CF1},   {0x2D7F, 0x2D7F},   {0x2DE0, 0x2DFF},   {0x302A, 0x302D},   {0x3099, 0x309A},
    {0xA66F, 0xA672},   {0xA674, 0xA67D},   {0xA69E, 0xA69F},   {0xA6F0, 0xA6F1},   {0xA802, 0xA802},
    {0xA806, 0xA806},   {0xA80B, 0xA80B},   {0xA825, 0xA826},   {0xA8C4, 0xA8C5},   {0xA8E0, 0xA8F1},
    {0xA8FF, 0xA8FF},   {0xA926, 0xA92D},   {0xA947, 0xA951},   {0xA980, 0xA982},   {0xA9B3, 0xA9B3},
    {0xA9B6, 0xA9B9},   {0xA9BC, 0xA9BD},   {0xA9E5, 0xA9E5},   {0xAA29, 0xAA2E},   {0xAA31, 0xAA32},
    {0xAA35, 0xAA36},   {0xAA43, 0xAA43},   {0xAA4C, 0xAA4C},   {0xAA7C, 0xAA7C},   {0xAAB0, 0xAAB0},
    {0xAAB2, 0xAAB4},   {0xAAB7, 0xAAB8},   {0xAABE, 0xAABF},   {0xAAC1, 0xAAC1},   {0xAAEC, 0xAAED},
    {0xAAF6, 0xAAF6},   {0xABE5, 0xABE5},   {0xABE8, 0xABE8},   {0xABED, 0xABED},   {0xD7B0, 0xD7FF},
    {0xFB1E, 0xFB1E},   {0xFE00, 0xFE0F},   {0xFE20, 0xFE2F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},
    {0x101FD, 0x101FD}, {0x1D167, 0x1D169}, {0x1D173, 0x1D182}, {0x1D185, 0x1D18B}, {0x1D1AA, 0x1D1AD},
    {0x1F3FB, 0x1F3FF}, {0xE0001, 0xE007F}, {0xE0100, 0xE01EF},
};

// East Asian wide and full-width characters, emoji presentation among them.
constexpr TCodePointRange kDoubleWidth[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x267F, 0x267F},
    {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},
    {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},   {0x2728, 0x2728},
    {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},   {0x2757, 0x2757},   {0x2795, 0x2797},
    {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
    {0x2E80, 0x3029},   {0x302E, 0x303E},   {0x3041, 0x3098},   {0x309B, 0x33FF},   {0x3400, 0x4DBF},
    {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
    {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x17000, 0x18AFF}, {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E},
    {0x1F191, 0x1F19A}, {0x1F200, 0x1F202}, {0x1F210, 0x1F23B}, {0x1F240, 0x1F248}, {0x1F250, 0x1F251},
    {0x1F260, 0x1F265}, {0x1F300, 0x1F320}, {0x1F32D, 0x1F335}, {0x1F337, 0x1F37C}, {0x1F37E, 0x1F393},
    {0x1F3A0, 0x1F3CA}, {0x1F3CF, 0x1F3D3}, {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4}, {0x1F3F8, 0x1F3FA},
    {0x1F400, 0x1F43E}, {0x1F440, 0x1F440}, {0x1F442, 0x1F4FC}, {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E},
    {0x1F550, 0x1F567}, {0x1F57A, 0x1F57A}, {0x1F595, 0x1F596}, {0x1F5A4, 0x1F5A4}, {0x1F5FB, 0x1F64F},
    {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2}, {0x1F6D5, 0x1F6D7}, {0x1F6DC, 0x1F6DF},
    {0x1F6EB, 0x1F6EC}, {0x1F6F4, 0x1F6FC}, {0x1F7E0, 0x1F7EB}, {0x1F7F0, 0x1F7F0}, {0x1F90C, 0x1F93A},
    {0x1F93C, 0x1F945}, {0x1F947, 0x1F9FF}, {0x1FA70, 0x1FAFF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <std::size_t N>
bool InRanges(const TCodePointRange (&ranges)[N], char32_t code_point) {
  std::size_t low = 0;
  std::size_t high = N;
  while (low < high) {
    const std::size_t middle = (low + high) / 2;
    if (code_point < ranges[middle].First) {
      high = middle;
    } else if (code_point > ranges[middle].Last) {
      low = middle + 1;
    } else {
      return true;
    }
  }
  return false;
}

}  // namespace

int CodePointCells(char32_t code_point) {
  if (code_point < 0x0300) return 1;
  if (InRanges(kZeroWidth, code_point)) return 0;
  return InRanges(kDoubleWidth, code_point) ? 2 : 1;
}

std::size_t DisplayCells(std::string_view text) {
  return SumOverCodePoints(text,
                           [](char32_t code_point) { return static_cast<std::size_t>(CodePointCells(code_point)); });
}

}  // namespace velmora
