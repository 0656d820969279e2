#include "formats/pdf/pdf_fonts.h"

#include <algorithm>
#include <cassert>

#include "formats/pdf/pdf_font_widths.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

constexpr const char* kBaseFontNames[kStandardFontCount] = {
    "Helvetica",   "Helvetica-Bold", "Helvetica-Oblique", "Helvetica-BoldOblique",
    "Courier",     "Courier-Bold",   "Courier-Oblique",   "Courier-BoldOblique",
    "Times-Roman", "Times-Bold",     "Times-Italic",      "Times-BoldItalic",
    "Symbol",      "ZapfDingbats",
};

// The code of a character above ASCII in an encoding's table; 0 when it has
// none (control characters and U+FFFD included: unused codes hold 0).
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
// returns the bytes it takes. replaced is set when it became "?". An invalid
// sequence takes its maximal subpart and stands for U+FFFD, which no code
// holds: it becomes one "?".
std::size_t EncodeCharacter(std::string_view text, const std::uint16_t* characters, char& code,
                            bool& replaced) {
  // ASCII, which most cut and measured texts are, needs no call of the decoder.
  const auto lead = static_cast<unsigned char>(text[0]);
  const TUtf8Sequence sequence = lead < 0x80 ? TUtf8Sequence{lead, 1, true} : DecodeUtf8(text, 0);
  const char32_t character = sequence.CodePoint;
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
  return static_cast<std::size_t>(sequence.Length);
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

namespace {

bool IsLineBreak(char character) {
  return character == '\n' || character == '\r';
}

bool IsBlank(char character) {
  return character == ' ' || character == '\t';
}

// The bytes of the line break at index: two for CR LF, one otherwise.
std::size_t LineBreakLength(std::string_view text, std::size_t index) {
  return text[index] == '\r' && index + 1 < text.size() && text[index + 1] == '\n' ? 2 : 1;
}

void AddLine(std::string_view text, std::size_t begin, std::size_t end, std::vector<TTextLine>& lines) {
  while (end > begin && IsBlank(text[end - 1])) --end;
  lines.push_back({begin, end});
}

}  // namespace

namespace {

// WrapText over any advance widths: advance_of(rest, advance) gives the bytes
// of the character rest starts with and sets its advance.
template <class TAdvanceOf>
void WrapWith(std::string_view utf8, TAdvanceOf&& advance_of, std::int64_t max_width,
              std::vector<TTextLine>& lines) {
  std::size_t start = 0;                       // of the current line
  std::int64_t width = 0;                      // of the current line so far
  std::size_t blank = std::string_view::npos;  // where the line's last run of blanks begins
  std::size_t after_blank = 0;                 // the first byte after that run
  std::int64_t after_width = 0;                // the width from there on
  // After the last character of the word that joins its parts ("_", "-",
  // ".", "@", "/"): a word too wide for the line breaks there first.
  std::size_t join = std::string_view::npos;
  std::int64_t after_join_width = 0;
  bool in_blank = false;
  std::size_t index = 0;
  while (index < utf8.size()) {
    const char byte = utf8[index];
    if (IsLineBreak(byte)) {
      AddLine(utf8, start, index, lines);
      index += LineBreakLength(utf8, index);
      start = index;
      width = 0;
      blank = std::string_view::npos;
      join = std::string_view::npos;
      in_blank = false;
      continue;
    }
    std::int64_t advance = 0;
    const std::size_t length = advance_of(utf8.substr(index), advance);
    if (IsBlank(byte)) {
      // Blanks may run past the edge: they are dropped at a break. Blanks
      // the text starts with are kept.
      if (!in_blank && index > start) blank = index;
      in_blank = true;
      width += advance;
      index += length;
      after_blank = index;
      after_width = 0;
      join = std::string_view::npos;
      continue;
    }
    in_blank = false;
    if (width + advance > max_width && index > start) {
      if (blank != std::string_view::npos) {
        AddLine(utf8, start, blank, lines);
        start = after_blank;
        width = after_width;
        blank = std::string_view::npos;
      }
      // A word wider than the line breaks after its last joining character
      // on the line, else before the character that does not fit.
      if (width + advance > max_width && join != std::string_view::npos && join > start && join < index) {
        AddLine(utf8, start, join, lines);
        start = join;
        width = after_join_width;
        join = std::string_view::npos;
      }
      if (width + advance > max_width && index > start) {
        AddLine(utf8, start, index, lines);
        start = index;
        width = 0;
        join = std::string_view::npos;
      }
    }
    width += advance;
    after_width += advance;
    after_join_width += advance;
    index += length;
    if (byte == '_' || byte == '-' || byte == '.' || byte == '@' || byte == '/') {
      join = index;
      after_join_width = 0;
    }
  }
  AddLine(utf8, start, utf8.size(), lines);
}

// The width of UTF-8 text over any advance widths.
template <class TAdvanceOf>
std::int64_t MeasureWith(std::string_view utf8, TAdvanceOf&& advance_of) {
  std::int64_t sum = 0;
  for (std::size_t index = 0; index < utf8.size();) {
    std::int64_t advance = 0;
    index += advance_of(utf8.substr(index), advance);
    sum += advance;
  }
  return sum;
}

template <class TMeasure>
std::int64_t WidestLineWith(std::string_view utf8, TMeasure&& measure) {
  std::int64_t widest = 0;
  std::size_t start = 0;
  for (std::size_t index = 0; index <= utf8.size();) {
    if (index < utf8.size() && !IsLineBreak(utf8[index])) {
      ++index;
      continue;
    }
    widest = std::max(widest, measure(utf8.substr(start, index - start)));
    if (index == utf8.size()) break;
    index += LineBreakLength(utf8, index);
    start = index;
  }
  return widest;
}

template <class TMeasure>
std::int64_t WidestWordWith(std::string_view utf8, TMeasure&& measure) {
  std::int64_t widest = 0;
  std::size_t start = 0;
  for (std::size_t index = 0; index <= utf8.size(); ++index) {
    if (index < utf8.size() && !IsBlank(utf8[index]) && !IsLineBreak(utf8[index])) continue;
    if (index > start) widest = std::max(widest, measure(utf8.substr(start, index - start)));
    start = index + 1;
  }
  return widest;
}

}  // namespace

void WrapText(std::string_view utf8, TPDFCharCodes codes, const std::uint16_t* widths, std::int64_t max_width,
              std::vector<TTextLine>& lines) {
  const std::uint16_t* characters = CharactersOf(codes);
  WrapWith(
      utf8,
      [&](std::string_view rest, std::int64_t& advance) {
        char code;
        bool replaced;
        const std::size_t length = EncodeCharacter(rest, characters, code, replaced);
        advance = widths[static_cast<unsigned char>(code)];
        return length;
      },
      max_width, lines);
}

void WrapText(std::string_view utf8, const TCharMetrics& metrics, std::int64_t max_width,
              std::vector<TTextLine>& lines) {
  WrapWith(
      utf8,
      [&](std::string_view rest, std::int64_t& advance) {
        return metrics.AdvanceOf(rest, advance);
      },
      max_width, lines);
}

std::int64_t MeasureText(std::string_view utf8, const TCharMetrics& metrics) {
  return MeasureWith(utf8, [&](std::string_view rest, std::int64_t& advance) {
    return metrics.AdvanceOf(rest, advance);
  });
}

std::int64_t WidestLine(std::string_view utf8, const TCharMetrics& metrics) {
  return WidestLineWith(utf8, [&](std::string_view line) { return MeasureText(line, metrics); });
}

std::int64_t WidestWord(std::string_view utf8, const TCharMetrics& metrics) {
  return WidestWordWith(utf8, [&](std::string_view word) { return MeasureText(word, metrics); });
}

std::int64_t WidestLine(std::string_view utf8, TPDFCharCodes codes, const std::uint16_t* widths) {
  return WidestLineWith(utf8, [&](std::string_view line) { return MeasureText(line, codes, widths); });
}

std::int64_t WidestWord(std::string_view utf8, TPDFCharCodes codes, const std::uint16_t* widths) {
  return WidestWordWith(utf8, [&](std::string_view word) { return MeasureText(word, codes, widths); });
}

void AppendEscapedString(std::string_view bytes, std::string& out) {
  // One pass over the bytes: a search for any of a set of characters costs a
  // search of the set per byte.
  std::size_t start = 0;
  for (std::size_t index = 0; index < bytes.size(); ++index) {
    const char byte = bytes[index];
    if (byte != '\\' && byte != '(' && byte != ')') continue;
    out.append(bytes, start, index - start);
    out += '\\';
    start = index;
  }
  out.append(bytes, start);
}

}  // namespace velmora
