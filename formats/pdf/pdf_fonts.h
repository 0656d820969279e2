#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The 14 standard fonts every PDF reader has; no font program is embedded.
enum TPDFFontName {
  poHelvetica,
  poHelveticaBold,
  poHelveticaOblique,
  poHelveticaBoldOblique,
  poCourier,
  poCourierBold,
  poCourierOblique,
  poCourierBoldOblique,
  poTimesRoman,
  poTimesBold,
  poTimesItalic,
  poTimesBoldItalic,
  poSymbol,
  poZapfDingbats,
};

// The encoding a font record asks for. Only WinAnsi and MacRoman are font
// encodings PDF readers know; see CharCodesOf for what is written.
enum TPDFFontEncoding { poStandardEncoding, poWinAnsiEncoding, poMacRomanEncoding, poPDFDocEncoding };

// The character codes text is really written in, and named in the font dictionary.
enum TPDFCharCodes { ccWinAnsi, ccMacRoman, ccBuiltIn };

// "Helvetica", "Helvetica-Bold", ... "ZapfDingbats".
const char* BaseFontName(TPDFFontName font);

// Symbol and ZapfDingbats always draw through their built-in encoding (any other
// would select glyphs they do not have). Text fonts use MacRoman when asked for
// and WinAnsi otherwise: StandardEncoding lacks every accented letter and
// PDFDocEncoding is no font encoding at all.
TPDFCharCodes CharCodesOf(TPDFFontName font, TPDFFontEncoding encoding);

// The /Encoding name of the font dictionary; nullptr for ccBuiltIn (no entry).
const char* EncodingName(TPDFCharCodes codes);

// Advance widths of the 256 codes in thousandths of the font size (0 where a
// code draws nothing); the real metrics of the standard fonts.
const std::uint16_t* GlyphWidths(TPDFFontName font, TPDFCharCodes codes);

// Appends the UTF-8 text to out in the character codes, and returns how many
// characters could not be represented and were written as "?" (each maximal
// invalid UTF-8 subsequence counts as one such character). Tab, line feed and
// carriage return become a space. For ccBuiltIn the text is taken in WinAnsi codes, which then
// select the symbol font's own glyphs.
std::size_t EncodeText(std::string_view utf8, TPDFCharCodes codes, std::string& out);

// The width of UTF-8 text written in the character codes, in thousandths of
// the font size.
std::int64_t MeasureText(std::string_view utf8, TPDFCharCodes codes, const std::uint16_t* widths);

// The byte length of the longest start of the UTF-8 text, cut between
// characters, whose encoded width is at most max_width thousandths.
std::size_t FittingLength(std::string_view utf8, TPDFCharCodes codes, const std::uint16_t* widths,
                          std::int64_t max_width);

// One line of a wrapped text: the bytes [Begin, End) of the text.
struct TTextLine {
  std::size_t Begin = 0;
  std::size_t End = 0;
  bool operator==(const TTextLine&) const = default;
};

// Breaks the UTF-8 text into lines at most max_width thousandths wide and
// appends them to lines: at every line break (LF, CR or CR LF), otherwise
// after the last blank that fits (the blanks at the break are dropped), and a
// word wider than the line between two characters. Every line but an empty
// one holds at least one character, however narrow max_width; blanks at the
// end of a line are left out of it. An empty text gives one empty line.
void WrapText(std::string_view utf8, TPDFCharCodes codes, const std::uint16_t* widths, std::int64_t max_width,
              std::vector<TTextLine>& lines);

// The width of the widest line of the UTF-8 text (split at line breaks only),
// in thousandths of the font size.
std::int64_t WidestLine(std::string_view utf8, TPDFCharCodes codes, const std::uint16_t* widths);

// The width of the widest word of the UTF-8 text (split at blanks and line
// breaks), in thousandths of the font size.
std::int64_t WidestWord(std::string_view utf8, TPDFCharCodes codes, const std::uint16_t* widths);

// Advance widths character by character, for fonts other than the standard
// ones: Advance gives the bytes of the character text starts with and sets
// its advance in thousandths of the font size.
struct TCharMetrics {
  std::size_t (*Advance)(const void* context, std::string_view text, std::int64_t& advance) = nullptr;
  const void* Context = nullptr;
  // The advances of ASCII when known, taken without calling Advance.
  const std::int32_t* Ascii = nullptr;

  std::size_t AdvanceOf(std::string_view text, std::int64_t& advance) const {
    const auto byte = static_cast<unsigned char>(text[0]);
    if (Ascii != nullptr && byte < 0x80) {
      advance = Ascii[byte];
      return 1;
    }
    return Advance(Context, text, advance);
  }
};
// WrapText, MeasureText, WidestLine and WidestWord over such widths.
void WrapText(std::string_view utf8, const TCharMetrics& metrics, std::int64_t max_width,
              std::vector<TTextLine>& lines);
std::int64_t MeasureText(std::string_view utf8, const TCharMetrics& metrics);
std::int64_t WidestLine(std::string_view utf8, const TCharMetrics& metrics);
std::int64_t WidestWord(std::string_view utf8, const TCharMetrics& metrics);

// Appends the bytes as the inside of a PDF literal string: backslash and both
// parentheses get a backslash before them, so that any text (an unbalanced
// parenthesis, a trailing backslash) stays one string.
void AppendEscapedString(std::string_view bytes, std::string& out);

}  // namespace velmora
