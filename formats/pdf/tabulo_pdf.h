#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/export_format.h"
#include "engine/tabulo.h"
#include "formats/pdf/pdf_document.h"
#include "formats/pdf/pdf_page_options.h"

namespace velmora {

// The layout options of the PDF table export.
struct TPDFOptions {
  TPDFOptions();

  // The PDF and PDF_OPTION_ sections over current; page values are points.
  // Raises EVelmoraError, naming key and value, for a value that cannot give
  // a sound page: a size, spacing or rule width out of range, margins that
  // leave no room. A font or encoding number outside its list keeps its
  // value. Defined in tabulo_pdf_sections.cpp.
  static TPDFOptions Read(const TIniFile& template_file, const TPDFOptions& current);

  TPDFFont HeaderFont;   // header lines
  TPDFFont CaptionFont;  // caption row
  TPDFFont DataFont;     // data rows; also the basis of every column width
  TPDFFont FooterFont;   // footer lines
  TTabuloPDFPageOptions PageOptions;
  double RowSpacing = 1.0;  // extra height of a row, in multiples of the font size
  double ColSpacing = 3.0;  // extra width of a column, in average characters
  int GridLineWidth = 1;    // points
  TColor GridLineColor = clBlack;
};

// The writer of the PDF export: owns the document drawn into the export's stream.
class TTabuloPDFWriter : public TTabuloWriter {
 public:
  TTabuloPDFWriter(TTabulo& owner, TOutputStream& stream) : TTabuloWriter(owner, stream), document_(stream) {}

  TPDFDocument& Document() { return document_; }

 private:
  TPDFDocument document_;
};

// Lays the export out as a ruled table over as many pages as it needs: header
// lines, a caption row, one row per record, footer lines. Columns that would
// together be wider than the printable width are narrowed in proportion, and
// every text is cut to the room it has, so no text runs into the next column
// or off the page; a number or date too wide for its column shows as "#"
// marks rather than as a cut value. Text is written in the fonts' 8-bit encodings; characters
// they lack print as "?" and are counted (ReplacedCharacters).
class TTabuloPDF : public TTabuloFormatText {
 public:
  // Object offsets are counted as the bytes go; nothing is patched.
  bool SeeksBack() const override { return false; }

  TPDFOptions Options;

  unsigned PublishedSettings() const override {
    return TTabuloFormatText::PublishedSettings() | psColumnsWidth | psColumnsAlign;
  }

  // PDF, then PDF_OPTION_HEADER, _CAPTION, _DATA and _FOOTER, as
  // TPDFOptions::Read; a refused template changes no option.
  void ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) override;

  // Numbers in the cell texts are written with a decimal point while the
  // export runs; the separators in force before are restored after it.
  void Execute() override;
  std::uint64_t ReplacedCharacters() const override { return replaced_characters_; }

  TTabuloWriterClass GetWriterClass() const override { return &CreateWriterOf<TTabuloPDFWriter>; }
  void BeginExport() override;
  void EndExport() override;
  void WriteCaptionRow() override;
  void WriteDataRow() override;
  // The document escapes what a PDF string needs as it writes it.
  void EscapeText(std::string&) const override {}
  void AdjustLocale(TFormatSettings& settings) const override;

  // Column borders of the running export, in points: the column count + 1.
  const std::vector<int>& ColumnPositions() const { return positions_; }

 private:
  TPDFDocument& Document() { return *document_; }
  void LayOutColumns(const TPDFBox& printable);
  // Header or footer lines from the left margin; a line that does not fit on
  // the page opens the next one.
  void WriteLines(const TStringList& lines, const TPDFFont& font, bool set_colors_on_new_page);
  void HorizontalRule(int y);
  void VerticalRules(int top, int bottom);
  // The start of text that fits in width points in the font.
  std::string_view Fitting(std::string_view text, const TPDFFont& font, int width) const;
  // Distance of text from a column border in a font of size points.
  int Padding(int size) const { return TPDFDocument::AverageWidth(Options.ColSpacing * 0.5, size); }
  int RoundedStep(double factor, int size) const;

  TPDFDocument* document_ = nullptr;
  TPDFBox printable_;
  int y_ = 0;
  int table_top_ = 0;
  std::vector<int> positions_;
  // Per column, the width centred text is centred in: the column's width in
  // characters, or its share of the page when the columns were narrowed.
  std::vector<int> centring_widths_;
  std::uint64_t replaced_characters_ = 0;
  std::string text_;
  std::string overflow_;
};

// The registry row of the format.
extern const TExportFormat kPDFFormat;

}  // namespace velmora
