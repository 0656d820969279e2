#include "formats/pdf/pdf_fonts.h"

#include <cassert>

#include "formats/pdf/pdf_font_widths.h"

namespace velmora {

namespace {

constexpr const char* kBaseFontNames[kStandardFontCount] = {
    "Helvetica",   "Helvetica-Bold", "Helvetica-Oblique", "Helvetica-BoldOblique",
    "Courier",     "Courier-Bold",   "Courier-Oblique",   "Courier-BoldOblique",
    "Times-Roman", "Times-Bold",     "Times-Italic",      "Times-BoldItalic",
    "Symbol",      "ZapfDingbats",
};

constexpr char32_t kInvalidUtf8 = 0xFFFFFFFF;

// Decodes the UTF-8 sequence at the start of text; sets length to the bytes it
// takes. An invalid sequence (stray follower, truncation, overlong form,
// surrogate, beyond U+10FFFF) gives kInvalidUtf8 with length 1.
char32_t DecodeUtf8(std::string_view text, std::size_t& length) {
  const auto lead = static_cast<unsigned char>(text[0]);
  length = 1;
  if (lead < 0x80) return lead;
  std::size_t followers;
  char32_t minimum;
  char32_t character;
  if (lead >= 0xC2 && lead <= 0xDF) {
    followers = 1, minimum = 0x80, character = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    followers = 2, minimum = 0x800, character = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    followers = 3, minimum = 0x10000, character = lead & 0x07;
  } else {
    return kInvalidUtf8;
  }
  if (text.size() <= followers) return kInvalidUtf8;
  for (std::size_t index = 1; index <= followers; ++index) {
    const auto follower = static_cast<unsigned char>(text[index]);
    if ((follower & 0xC0) != 0x80) return kInvalidUtf8;
    character = (character << 6) | (follower & 0x3F);
  }
  if (character < minimum || character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF)) {
    return kInvalidUtf8;
  }
  length = followers + 1;
  return character;
}

// The code of a character above ASCII in an encoding's table; 0 when it has
// none (control characters and kInvalidUtf8 included: unused codes hold 0).
unsigned char UpperCode(const std::uint16_t* characters, char32_t character) {
  if (character < 0x80 || character > 0xFFFF) return 0;
  // Most of the upper half of WinAnsi is Latin-1, code equal to character.
  if (character >= 0xA0 && character <= 0xFF && characters[character] == character) {
    return static_cast<unsigned char>(character);
  }
  for (int code = 0x80; code <= 0xFF; ++code) {
    if (characters[code] == character) return static_cast<unsigned char>(code);
  }
  return 0;
}

bool IsPrintableAscii(unsigned char byte) {
  return byte >= 0x20 && byte < 0x7F;
}

const std::uint16_t* CharactersOf(TPDFCharCodes codes) {
  return codes == ccMacRoman ? kMacRomanCharacters : kWinAnsiCharacters;
}

// Encodes the character at the start of text (which is not empty) into code;
// returns the bytes it takes. replaced is set when it became "?".
std::size_t EncodeCharacter(std::string_view text, const std::uint16_t* characters, char& code,
                            bool& replaced) {
  std::size_t length;
  const char32_t character = DecodeUtf8(text, length);
  replaced = false;
  if (character >= 0x20 && character < 0x7F) {
    code = static_cast<char>(character);
  } else if (character == U'\t' || character == U'\n' || character == U'\r') {
    code = ' ';
  } else if (const unsigned char upper = UpperCode(characters, character)) {
    code = static_cast<char>(upper);
  } else {
    code = '?';
    replaced = true;
  }
  return length;
}

}  // namespace

const char* BaseFontName(TPDFFontName font) {
  assert(font >= 0 && font < kStandardFontCount);
  return kBaseFontNames[font];
}

TPDFCharCodes CharCodesOf(TPDFFontName font, TPDFFontEncoding encoding) {
  if (font == poSymbol || font == poZapfDingbats) return ccBuiltIn;
  return encoding == poMacRomanEncoding ? ccMacRoman : ccWinAnsi;
}

const char* EncodingName(TPDFCharCodes codes) {
  switch (codes) {
    case ccWinAnsi:
      return "WinAnsiEncoding";
    case ccMacRoman:
      return "MacRomanEncoding";
    case ccBuiltIn:
      break;
  }
  return nullptr;
}

const std::uint16_t* GlyphWidths(TPDFFontName font, TPDFCharCodes codes) {
  assert(font >= 0 && font < kStandardFontCount);
  return kStandardFontWidths[font][codes];
}

std::size_t EncodeText(std::string_view utf8, TPDFCharCodes codes, std::string& out) {
  const std::uint16_t* characters = CharactersOf(codes);
  std::size_t replaced_count = 0;
  std::size_t index = 0;
  while (index < utf8.size()) {
    // Plain ASCII, the bulk of most texts, is copied a run at a time.
    std::size_t run_end = index;
    while (run_end < utf8.size() && IsPrintableAscii(static_cast<unsigned char>(utf8[run_end]))) ++run_end;
    out.append(utf8, index, run_end - index);
    index = run_end;
    if (index == utf8.size()) break;

    char code;
    bool replaced;
    index += EncodeCharacter(utf8.substr(index), characters, code, replaced);
    out += code;
    if (replaced) ++replaced_count;
  }
  return replaced_count;
}

std::int64_t MeasureText(std::string_view utf8, TPDFCharCodes codes, const std::uint16_t* widths) {
  const std::uint16_t* characters = CharactersOf(codes);
  std::int64_t sum = 0;
  std::size_t index = 0;
  while (index < utf8.size()) {
    const auto byte = static_cast<unsigned char>(utf8[index]);
    if (IsPrintableAscii(byte)) {
      sum += widths[byte];
      ++index;
      continue;
    }
    char code;
    bool replaced;
    index += EncodeCharacter(utf8.substr(index), characters, code, replaced);
    sum += widths[static_cast<unsigned char>(code)];
  }
  return sum;
}

std::size_t FittingLength(std::string_view utf8, TPDFCharCodes codes, const std::uint16_t* widths,
                          std::int64_t max_width) {
  const std::uint16_t* characters = CharactersOf(codes);
  std::int64_t sum = 0;
  std::size_t index = 0;
  while (index < utf8.size()) {
    char code;
    bool replaced;
    const std::size_t length = EncodeCharacter(utf8.substr(index), characters, code, replaced);
    sum += widths[static_cast<unsigned char>(code)];
    if (sum > max_width) break;
    index += length;
  }
  return index;
}

void AppendEscapedString(std::string_view bytes, std::string& out) {
  std::size_t start = 0;
  for (std::size_t special = bytes.find_first_of("\\()"); special != std::string_view::npos;
       special = bytes.find_first_of("\\()", special + 1)) {
    out.append(bytes, start, special - start);
    out += '\\';
    start = special;
  }
  out.append(bytes, start);
}

}  // namespace velmora
