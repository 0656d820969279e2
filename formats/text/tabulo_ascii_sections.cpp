// The template sections of the text exporter: what a TXT, CSV, DIF or SYLK
// item reads besides the general sections, and the registry rows of the four.
#include "engine/char_text.h"
#include "engine/keyed_sections.h"
#include "formats/text/tabulo_ascii.h"
#include "platform/error.h"
#include "platform/ini_file.h"
#include "platform/text_utils.h"

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

bool TXTReadsAhead(const TIniFile& template_file) {
  return TTXTOptions::Read(template_file, TTXTOptions()).ReadsAhead();
}

// CSV reads nothing ahead; its section is still checked before the result is opened.
bool CSVReadsAhead(const TIniFile& template_file) {
  TCSVOptions::Read(template_file, TCSVOptions());
  return false;
}

// DIF counts the records before it writes the first; its section is checked too.
bool DIFReadsAhead(const TIniFile& template_file) {
  TDIFOptions::Read(template_file, TDIFOptions());
  return true;
}

}  // namespace

TTXTOptions TTXTOptions::Read(const TIniFile& template_file, const TTXTOptions& current) {
  TTXTOptions options;
  options.AutoCalcColWidth = template_file.ReadBool("TXT", "AutoCalcColWidth", current.AutoCalcColWidth);
  options.Spacing = template_file.ReadInteger("TXT", "Spacing", current.Spacing);
  if (options.Spacing > kMaxColumnWidth) {
    throw EVelmoraError(Format("TXT Spacing %d is more than %d", options.Spacing, kMaxColumnWidth));
  }
  return options;
}

TCSVOptions TCSVOptions::Read(const TIniFile& template_file, const TCSVOptions& current) {
  TCSVOptions options;
  options.QuoteStrings = template_file.ReadBool("CSV", "QuoteStrings", current.QuoteStrings);
  options.Comma = ReadCsvCharacter(template_file, "Comma", current.Comma, 1);
  options.Quote = ReadCsvCharacter(template_file, "Quote", current.Quote, 0);
  options.BOM = template_file.ReadBool("CSV", "BOM", current.BOM);
  options.FormulaGuard = template_file.ReadBool("CSV", "FormulaGuard", current.FormulaGuard);
  return options;
}

TDIFOptions TDIFOptions::Read(const TIniFile& template_file, const TDIFOptions& current) {
  TDIFOptions options = current;
  const std::string text = template_file.ReadString("DIF", "Encoding", "");
  if (text.empty()) return options;
  if (SameText(text, "UTF-8")) {
    options.Encoding = deUtf8;
  } else if (SameText(text, "Windows-1252")) {
    options.Encoding = deWindows1252;
  } else {
    throw EVelmoraError(Format("DIF Encoding \"%s\" is not UTF-8 or Windows-1252", text.c_str()));
  }
  return options;
}

void TTabuloASCII::SetTXTOptions(const TTXTOptions& options) {
  AutoCalcColWidth = options.AutoCalcColWidth;
  TXTSpacing = options.Spacing;
}

void TTabuloASCII::SetCSVOptions(const TCSVOptions& options) {
  CSVComma = options.Comma;
  CSVQuote = options.Quote;
  CSVQuoteStrings = options.QuoteStrings;
  CSVBOM = options.BOM;
  CSVFormulaGuard = options.FormulaGuard;
}

void TTabuloASCII::ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) {
  switch (ExportType()) {
    case etTXT:
      ReadWidthSection(template_file, data_set, *this);
      ReadAlignSection(template_file, data_set, *this);
      SetTXTOptions(TTXTOptions::Read(template_file, TXTOptions()));
      break;
    case etCSV:
      SetCSVOptions(TCSVOptions::Read(template_file, CSVOptions()));
      break;
    case etDIF:
      SetDIFOptions(TDIFOptions::Read(template_file, DIFOptions()));
      break;
    case etSYLK:
      break;
  }
}

const TExportFormat kTXTFormat{4, "TXT", {"txt"}, &CreateExporterOf<TTabuloASCII, etTXT>, &TXTReadsAhead};
const TExportFormat kCSVFormat{8, "CSV", {"csv"}, &CreateExporterOf<TTabuloASCII, etCSV>, &CSVReadsAhead};
// DIF counts the records before it writes the first.
const TExportFormat kDIFFormat{9, "DIF", {"dif"}, &CreateExporterOf<TTabuloASCII, etDIF>, &DIFReadsAhead};
const TExportFormat kSYLKFormat{
    10, "SYLK", {"slk"}, &CreateExporterOf<TTabuloASCII, etSYLK>, &NeverReadsAhead};

}  // namespace velmora
