// The template sections of the text exporter: what a TXT, CSV, DIF or SYLK
// item reads besides the general sections.
#include "engine/char_text.h"
#include "engine/keyed_sections.h"
#include "formats/text/tabulo_ascii.h"
#include "platform/ini_file.h"

namespace velmora {

void TTabuloASCII::ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) {
  switch (ExportType()) {
    case etTXT:
      ReadWidthSection(template_file, data_set, *this);
      ReadAlignSection(template_file, data_set, *this);
      AutoCalcColWidth = template_file.ReadBool("TXT", "AutoCalcColWidth", AutoCalcColWidth);
      TXTSpacing = template_file.ReadInteger("TXT", "Spacing", TXTSpacing);
      break;
    case etCSV:
      CSVQuoteStrings = template_file.ReadBool("CSV", "QuoteStrings", CSVQuoteStrings);
      CSVComma = TextToChar(template_file.ReadString("CSV", "Comma", CharToText(CSVComma)));
      CSVQuote = TextToChar(template_file.ReadString("CSV", "Quote", CharToText(CSVQuote)));
      break;
    case etDIF:
    case etSYLK:
      break;
  }
}

}  // namespace velmora
