#pragma once

#include <string>
#include <string_view>

#include "engine/tabulo_columns.h"

namespace velmora {

// ---------------------------------------------------------------------------
// Text in the workbook

// The UTF-16 code units of a UTF-8 text. Each maximal invalid subsequence
// becomes one U+FFFD, as every other format writes it, so any server text
// converts.
std::u16string Utf8ToUtf16(std::string_view text);

// True when every unit is at most U+00FF: the text is then stored with one byte
// per character (option byte 0), else as UTF-16LE (option byte 1).
bool FitsCompressed(std::u16string_view units);

// Appends the option byte and the characters of a workbook string.
void AppendStringBody(std::string& out, std::u16string_view units);
// A 16-bit character count, then the body.
void AppendString16(std::string& out, std::u16string_view units);
// An 8-bit character count, then the body; units must be at most 255.
void AppendString8(std::string& out, std::u16string_view units);

// The first max_units units of text, never cutting a surrogate pair.
std::u16string_view CutUnits(std::u16string_view text, std::size_t max_units);

// A sheet name readers accept: at most 31 units with the suffix (" (2)" for
// continuation sheets), the characters :\/?*[] and an apostrophe at either
// end of the title replaced by "_", never empty.
std::u16string SheetName(std::string_view title, std::string_view suffix);

// The name a spreadsheet gives the cell of a 0-based row and column: the
// column's letters and the row's number from 1 (row 1, column 3 is "D2").
std::string CellName(int row, int column);

// ---------------------------------------------------------------------------
// Values

// The number format code of a column for the workbook: date and time columns
// get their display format translated to the spreadsheet's codes, number
// columns keep theirs with literal text quoted, every other type and an empty
// format give "General".
std::string SpreadsheetFormatOf(const TTabuloColumn& column);
// The translations themselves: the engine's date-time language ("n" minutes,
// "z" milliseconds, "c" the locale's date and time, single-quoted text) and
// number language (literal text quoted).
std::string TranslateDateTimeFormat(std::string_view pattern);
std::string TranslateNumberFormat(std::string_view pattern);

// Reads a number cell's text (the locale's form). Returns false when the text
// is no number. exact is false when the double does not carry the text's
// exact value (integers beyond 2^53, long decimals): the cell then keeps the
// text.
bool ReadCellNumber(std::string_view text, double& value, bool& exact);
// As ReadCellNumber, for C-form decimal text ("-12.50", "1.5e-07").
bool ReadDecimalNumber(std::string_view decimal_text, double& value, bool& exact);

}  // namespace velmora
