// The template sections of the text exporter: what a TXT, CSV, DIF or SYLK
// item reads besides the general sections.
#include "engine/char_text.h"
#include "engine/keyed_sections.h"
#include "formats/text/tabulo_ascii.h"
#include "platform/error.h"
#include "platform/ini_file.h"

namespace velmora {

namespace {

// The CSV key as one character: a single character or "#" and its code. A
// separator of code 0 would write NUL bytes between fields; a quote of code 0
// ("#0") is the way to turn quoting off, so only the quote may have it.
char ReadCsvCharacter(const TIniFile& template_file, const char* key, char current, int lowest_code) {
  const std::string text = template_file.ReadString("CSV", key, CharToText(current));
  char character = '\0';
  if (!TryTextToChar(text, character) || static_cast<unsigned char>(character) < lowest_code) {
    throw EVelmoraError(Format("CSV %s \"%s\" is not one character or # and a code from %d to 255", key,
                               text.c_str(), lowest_code));
  }
  return character;
}

}  // namespace

void TTabuloASCII::ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) {
  switch (ExportType()) {
    case etTXT:
      ReadWidthSection(template_file, data_set, *this);
      ReadAlignSection(template_file, data_set, *this);
      AutoCalcColWidth = template_file.ReadBool("TXT", "AutoCalcColWidth", AutoCalcColWidth);
      TXTSpacing = template_file.ReadInteger("TXT", "Spacing", TXTSpacing);
      if (TXTSpacing > kMaxColumnWidth) {
        throw EVelmoraError(Format("TXT Spacing %d is more than %d", TXTSpacing, kMaxColumnWidth));
      }
      break;
    case etCSV:
      CSVQuoteStrings = template_file.ReadBool("CSV", "QuoteStrings", CSVQuoteStrings);
      CSVComma = ReadCsvCharacter(template_file, "Comma", CSVComma, 1);
      CSVQuote = ReadCsvCharacter(template_file, "Quote", CSVQuote, 0);
      CSVBOM = template_file.ReadBool("CSV", "BOM", CSVBOM);
      CSVFormulaGuard = template_file.ReadBool("CSV", "FormulaGuard", CSVFormulaGuard);
      break;
    case etDIF:
    case etSYLK:
      break;
  }
}

}  // namespace velmora
