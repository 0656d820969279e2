#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/export_format.h"
#include "engine/tabulo.h"
#include "platform/text_encoder.h"

namespace velmora {

// The four line-oriented layouts of TTabuloASCII. The ordinals are the values
// templates use.
enum TTabuloASCIIType { etTXT, etCSV, etDIF, etSYLK };

// The settings of the TXT section.
struct TTXTOptions {
  bool AutoCalcColWidth = true;  // the width pass
  int Spacing = 1;               // blanks after every column

  // The TXT section over current: an absent key keeps its value. Raises
  // EVelmoraError for a Spacing past the widest column.
  static TTXTOptions Read(const TIniFile& template_file, const TTXTOptions& current);
  // The width pass reads every record before the first is written.
  bool ReadsAhead() const { return AutoCalcColWidth; }
};

// The settings of the CSV section.
struct TCSVOptions {
  char Comma = ',';
  char Quote = '"';           // '\0': no quote character at all
  bool QuoteStrings = true;   // every field quoted; false: only the fields that need it
  bool BOM = false;
  bool FormulaGuard = false;

  // The CSV section over current: an absent key keeps its value. Raises
  // EVelmoraError for a separator or quote that is not one character (or
  // "#" and a code), and for a separator of code 0.
  static TCSVOptions Read(const TIniFile& template_file, const TCSVOptions& current);
};

// The character sets a DIF file can be written in. The ordinals are not
// template values: the template names them.
enum TDIFEncoding { deUtf8, deWindows1252 };

// The settings of the DIF section.
struct TDIFOptions {
  TDIFEncoding Encoding = deUtf8;

  // The DIF section over current: an absent key keeps its value. Raises
  // EVelmoraError for an Encoding other than UTF-8 or Windows-1252.
  static TDIFOptions Read(const TIniFile& template_file, const TDIFOptions& current);
};

// Writes fixed-width text, CSV, DIF or SYLK through the plain writer. Every line
// ends in CR LF. A row is assembled in a member buffer and written in one piece,
// so the record loop allocates nothing per cell once the buffers are warm.
class TTabuloASCII : public TTabuloFormatText {
 public:
  // DIF counts its records in the data set before writing; the file itself
  // is written in order in every layout.
  bool SeeksBack() const override { return false; }

  TTabuloASCII();
  explicit TTabuloASCII(TTabuloASCIIType type) : TTabuloASCII() { SetExportType(type); }

  TTabuloASCIIType ExportType() const { return export_type_; }
  // Stores a changed type; changing to etTXT also turns AutoCalcColWidth on.
  void SetExportType(TTabuloASCIIType type);

  char CSVComma = ',';
  // '\0': no quote character; a value holding the separator, CR or LF then
  // fails the export, since no reader could tell its fields apart.
  char CSVQuote = '"';
  // Every field in quotes; false quotes only the fields that hold the
  // separator, the quote, CR or LF.
  bool CSVQuoteStrings = true;
  int TXTSpacing = 1;  // blanks after every TXT column
  // CSV: a UTF-8 byte order mark first, so that spreadsheet programs read the
  // file as UTF-8 rather than their legacy code page.
  bool CSVBOM = false;
  // CSV: a text field (captions and every column that is not a number) that
  // begins with "=", "+", "-", "@", TAB or CR gets a leading "'", so that a
  // spreadsheet program opening the file shows it as text instead of running
  // it as a formula. Numbers are never changed.
  bool CSVFormulaGuard = false;
  // DIF: the character set of every text. Windows-1252 writes each character
  // it lacks, and each invalid UTF-8 sequence, as "?" and counts it.
  TDIFEncoding DIFEncoding = deUtf8;

  unsigned PublishedSettings() const override {
    return TTabuloFormatText::PublishedSettings() | psColumnsWidth | psColumnsAlign | psOnFetchedRecord;
  }
  // CSV is read by programs: numbers without a format of the template's own
  // carry every digit and no grouping.
  bool MachineReadDefaults() const override { return export_type_ == etCSV; }
  bool WritesBinaryAsText() const override { return true; }
  std::uint64_t ReplacedCharacters() const override {
    return dif_encoder_ ? dif_encoder_->ReplacedCount() : 0;
  }
  // DIF counts the records before it writes the first; only the fixed-width
  // layout has a width pass.
  bool MovesBack() const override {
    return export_type_ == etDIF || (export_type_ == etTXT && AutoCalcColWidth);
  }

  // TXT: WIDTH, ALIGN and TXT; CSV: CSV; DIF: DIF; SYLK: none. An absent key
  // leaves its option as it is. Defined in tabulo_ascii_sections.cpp.
  void ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) override;
  // The options of the TXT and CSV sections, as the members above hold them.
  TTXTOptions TXTOptions() const { return {AutoCalcColWidth, TXTSpacing}; }
  void SetTXTOptions(const TTXTOptions& options);
  TCSVOptions CSVOptions() const { return {CSVComma, CSVQuote, CSVQuoteStrings, CSVBOM, CSVFormulaGuard}; }
  void SetCSVOptions(const TCSVOptions& options);
  TDIFOptions DIFOptions() const { return {DIFEncoding}; }
  void SetDIFOptions(const TDIFOptions& options) { DIFEncoding = options.Encoding; }

  void BeginExport() override;
  void EndExport() override;
  void GetCaptionRow(std::string& row) override;
  void WriteCaptionRow() override;
  void GetDataRow(bool formatted, std::string& row) override;
  void WriteDataRow() override;
  std::string GetColCaption(int index) override;

 private:
  // Raises when the CSV options cannot give a readable file; runs before the
  // first byte of the export is written.
  void CheckOptions() const;
  void WritePrologue();
  void WriteEpilogue();
  // The number of records the record loop will pass; the source is left where it was.
  int CountTuples();
  // Turns a caption or cell text of a column into its piece of the row: padded
  // TXT column, CSV field, DIF value or SYLK cell record.
  void Decorate(int column_index, bool caption, std::string& text);
  // As Decorate, appending the piece to out (which must not hold text).
  void AppendDecorated(int column_index, bool caption, std::string_view text, std::string& out);
  // Appends a CSV field: quoted when every field is, or when it holds a
  // character that needs quotes; without a quote character such a value raises.
  void AppendCsvField(int column_index, bool caption, std::string_view text, std::string& out);
  // DIF and SYLK: appends a data cell of a number column as a number, from
  // the value itself: "." as the point, no grouping. False, nothing appended,
  // for other layouts and columns, and for NULL or empty values.
  bool AppendNumberCell(const TTabuloCol& cell, std::string& out);
  // Appends DIF text in the export's character set; quoted adds the quotes of
  // a string value and doubles those inside.
  void AppendDifText(std::string_view text, bool quoted, std::string& out);
  // The SYLK row of the current record: captions take row 1.
  int SylkDataRow() const { return records_written_ + (AllowCaptions ? 2 : 1); }

  TTabuloASCIIType export_type_ = etTXT;
  int records_written_ = 0;
  int sylk_row_ = 1;
  std::string row_;
  std::string cell_text_;  // one cell's export text
  std::string scratch_;
  std::string encoded_;
  // The characters that make a CSV field need quotes: separator, quote, CR, LF.
  std::string csv_specials_;
  std::optional<TTextEncoder> dif_encoder_;  // a DIF export in Windows-1252
};

// The registry rows of the formats this exporter writes.
extern const TExportFormat kTXTFormat;
extern const TExportFormat kCSVFormat;
extern const TExportFormat kDIFFormat;
extern const TExportFormat kSYLKFormat;

}  // namespace velmora
