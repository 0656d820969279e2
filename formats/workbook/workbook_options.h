#pragma once

#include "formats/xls/xls_styles.h"

namespace velmora {

class TIniFile;

// The longest font name a style may give, in bytes: the longest both workbook
// formats store whole (a longer name would be cut, in the Office Open XML
// workbook possibly inside a character).
constexpr std::size_t kMaxFontNameBytes = 127;

// The workbook's own template settings: the page texts, sheet title and area
// styles of [XLS] and XLS_OPTION_AREA, the field styles and aggregates of
// XLS_FIELD_FIELD, and the strips of StripType and XLS_STYLE_NAME.
struct TXLSSectionOptions {
  TXLSOptions Options;
  TxlsFieldFormats FieldFormats;
  TxlsFormats StripStyles;
  TxlsStripType StripType = ssNone;

  // [XLS], then the sections beginning with "XLS_" in file order, over
  // current: field and strip styles are added to current's. A StripType
  // outside 0 .. 2 is 0, and strip styles are read only with strips on; style
  // keys out of their range take their defaults. Raises EVelmoraError naming
  // key and value for a value that cannot give a sound file: a colour that is
  // no colour, a font name longer than kMaxFontNameBytes.
  static TXLSSectionOptions Read(const TIniFile& template_file, TXLSSectionOptions current);
};

// The ReadsAhead of the workbook formats: the template sets no sheet and no
// width pass, so the one sheet is written in order; its sections are checked.
bool WorkbookReadsAhead(const TIniFile& template_file);

}  // namespace velmora
