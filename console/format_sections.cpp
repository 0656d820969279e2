#include "console/format_sections.h"

#include "console/template_sections.h"
#include "engine/char_text.h"
#include "formats/text/tabulo_ascii.h"

namespace velmora {

void ReadWidthSection(const TIniFile& template_file, const TDataSet& data_set, TTabulo& exporter) {
  ReadKeyedSection(template_file, "WIDTH", data_set, exporter.ColumnsWidth);
}

void ReadAlignSection(const TIniFile& template_file, const TDataSet& data_set, TTabulo& exporter) {
  ReadKeyedSection(template_file, "ALIGN", data_set, exporter.ColumnsAlign);
}

void ReadTextFormatSections(const TIniFile& template_file, const TDataSet& data_set, TTabuloASCII& exporter) {
  switch (exporter.ExportType()) {
    case etTXT:
      ReadWidthSection(template_file, data_set, exporter);
      ReadAlignSection(template_file, data_set, exporter);
      exporter.AutoCalcColWidth =
          template_file.ReadBool("TXT", "AutoCalcColWidth", exporter.AutoCalcColWidth);
      exporter.TXTSpacing = template_file.ReadInteger("TXT", "Spacing", exporter.TXTSpacing);
      break;
    case etCSV:
      exporter.CSVQuoteStrings = template_file.ReadBool("CSV", "QuoteStrings", exporter.CSVQuoteStrings);
      exporter.CSVComma = TextToChar(template_file.ReadString("CSV", "Comma", CharToText(exporter.CSVComma)));
      exporter.CSVQuote = TextToChar(template_file.ReadString("CSV", "Quote", CharToText(exporter.CSVQuote)));
      break;
    case etDIF:
    case etSYLK:
      break;
  }
}

}  // namespace velmora
