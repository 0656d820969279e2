#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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

// Appends the bytes as the inside of a PDF literal string: backslash and both
// parentheses get a backslash before them, so that any text (an unbalanced
// parenthesis, a trailing backslash) stays one string.
void AppendEscapedString(std::string_view bytes, std::string& out);

}  // namespace velmora
