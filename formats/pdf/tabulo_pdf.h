#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/export_format.h"
#include "engine/page_fit.h"
#include "engine/tabulo.h"
#include "formats/pdf/pdf_document.h"
#include "formats/pdf/pdf_page_options.h"

namespace velmora {

// The column spacing, in average characters, of a table too wide for its
// page when the template sets none.
constexpr double kCrowdedColSpacing = 1.0;

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
  // "Page N of M" centred below the table of every page, in the footer font.
  bool PageNumbers = true;
  // True when the template set the page's width or height: the page is then
  // kept; otherwise a table that a turned page lets keep a larger font (or
  // fit at all) turns it.
  bool PageGiven = false;
  // True when the template set ColSpacing: it is then kept; otherwise a
  // table that does not fit the page at the data font's size gets the
  // narrower spacing kCrowdedColSpacing.
  bool ColSpacingGiven = false;
  // The smallest size in points the data and caption fonts shrink to when
  // the numbers and words of a table do not fit the page at the data font's
  // size; the data font's size or more keeps the fonts as they are. A
  // template that sets the data font's size keeps it unless it sets this too.
  int MinFontSize = 6;
  // TrueType files to draw with ([PDF] FontFile, BoldFontFile, and the
  // FallbackFontFiles after them, separated by ";"). Naming one embeds the
  // fonts whatever the text; without, the fonts fontconfig finds are embedded
  // only when a text holds characters the standard fonts lack.
  std::string FontFile;
  std::string BoldFontFile;
  std::vector<std::string> FallbackFontFiles;
  // False: without a font file named, text stays in the standard fonts and
  // characters their encodings lack print as "?" (small files, no fonts).
  bool EmbedFonts = true;
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
// lines, a caption row at the top of every page, one row per record, footer
// lines, and a page number below each page's table.
//
// A column without a WIDTH entry is as wide as its caption and its widest
// value measured in their fonts (over the rows the width pass reads). When
// the columns together are wider than the printable width they share it:
// every column that needs no more than an equal share keeps its width, the
// others divide the rest in proportion to their content, a number or date
// column never narrower than its widest value while the page allows. A text longer than its column wraps onto
// more lines of its cell (at blanks, a longer word between characters) and the row grows to its tallest cell;
// nothing is cut. A row moves whole to the next page unless it alone is taller than a page. Text is written
// in the fonts' 8-bit encodings; characters they lack print as "?" and are counted (ReplacedCharacters).
class TTabuloPDF : public TTabuloFormatText {
 public:
  // Object offsets are counted as the bytes go; nothing is patched.
  bool SeeksBack() const override { return false; }

  TPDFOptions Options;

  unsigned PublishedSettings() const override {
    return TTabuloFormatText::PublishedSettings() | psColumnsWidth | psColumnsAlign;
  }

  // PDF, then PDF_OPTION_HEADER, _CAPTION, _DATA and _FOOTER, as
  // TPDFOptions::Read, and the WIDTH section; a refused template changes no
  // option.
  void ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) override;

  // Numbers in the cell texts are written with a decimal point while the
  // export runs; the separators in force before are restored after it.
  void Execute() override;
  std::uint64_t ReplacedCharacters() const override { return replaced_characters_; }
  // Characters no embedded font had, with the fonts that were asked.
  std::vector<std::string> ExportNotes(const std::string& file_name) const override;
  // True when the last export drew its text with embedded fonts.
  bool EmbedsFonts() const { return unicode_; }

  // Columns are measured in the data font's metrics, whatever their cells.
  int ContentWidthCap() const override { return 0; }
  bool MeasuresValues() const override { return true; }
  void MeasureValue(int column, std::string_view text) override;

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
  // One cell of the row being drawn: its text broken into lines.
  struct TCell {
    std::string Text;
    std::vector<TTextLine> Lines;
    TTabuloColAlign Align = ecaLeft;
    TColor Color = clBlack;
    TColor Background = clWhite;
    // The font of a cell the row's font cannot show, else null.
    const TPDFFont* Font = nullptr;
  };

  TPDFDocument& Document() { return *document_; }
  // Lays the columns out once the width pass has measured them.
  void EnsureLayout();
  void LayOutColumns();
  // Header or footer lines from the left margin, wrapped at the right one; a
  // line that does not fit on the page opens the next one.
  void WriteLines(const TStringList& lines, const TPDFFont& font, bool set_colors_on_new_page);
  void HorizontalRule(int y);
  void VerticalRules(int top, int bottom);
  // Draws the caption row at y_, rules above and below it included.
  void DrawCaptionRow();
  // Ends the page's table and starts the next page's, under the captions.
  void BreakPage();
  // Draws lines [first, first + count) of every cell as one row part of
  // count lines from y_, and the rule below it.
  void DrawRowPart(std::vector<TCell>& cells, const TPDFFont& font, std::size_t first, std::size_t count);
  // The height of a row part of count lines in a font of size points.
  int RowHeight(std::size_t count, int size) const;
  int LinePitch(int size) const;
  // Distance of text from a column border in a font of size points.
  int Padding(int size) const { return TPDFDocument::AverageWidth(run_.ColSpacing * 0.5, size); }
  // Chooses the page and the fonts' sizes the table is drawn with (run_),
  // from what the width pass measured.
  void ChoosePage();
  // The data font's size on the page with the spacing (see FitFontSize),
  // from what the width pass measured.
  TPageFit FitOn(const TTabuloPDFPageOptions& page, double spacing);
  // Opens the document on the chosen page and draws the header lines.
  void StartDocument();
  int InnerWidth(std::size_t column, int size) const;
  int RoundedStep(double factor, int size) const;

  // The options the export draws with: the template's, on the page and at
  // the font sizes ChoosePage chose.
  TPDFOptions run_;
  // The embedded fonts of an export, regular and bold, loaded when first
  // needed; null when none is installed or named.
  TUnicodeFontChain* Chain(bool bold);
  // True when the font's 8-bit encoding holds every character of text.
  bool Fits(std::string_view text, const TPDFFont& font);
  // Sets the embedded fonts on the options the export draws with, and
  // brings the widths measured in the standard fonts to them.
  void UseChains();
  // Names the faces of the chain for the note on missing characters.
  void ChainNames(const TUnicodeFontChain& chain);
  std::unique_ptr<TUnicodeFontChain> chains_[2];
  bool chains_tried_[2] = {false, false};
  bool unicode_ = false;
  // The data font over the embedded fonts, for the values of a document
  // begun in the standard fonts that those cannot show: rows after the ones
  // the width pass read.
  TPDFFont late_font_;
  bool late_font_tried_ = false;
  const TPDFFont* LateFont();
  // Per column, the widest value and word of the texts measured in the
  // embedded fonts, in points of the data font.
  std::vector<double> unicode_measured_;
  std::vector<double> unicode_words_;
  std::string scratch_;
  std::uint64_t missing_characters_ = 0;
  std::string chain_names_;
  TPDFDocument* document_ = nullptr;
  TPDFBox printable_;
  int bottom_ = 0;  // the lowest a row may reach: the printable box's bottom, or above the page number
  int y_ = 0;
  int table_top_ = 0;
  bool laid_out_ = false;
  std::vector<int> positions_;
  // Per column, the width centred text is centred in: the column's width in
  // characters when WIDTH gave it, its inner width otherwise.
  std::vector<int> centring_widths_;
  // Per column, the widest value the width pass measured, in points of the data font.
  std::vector<double> measured_;
  // And its widest word, in the same unit.
  std::vector<double> measured_words_;
  std::vector<TCell> captions_;
  std::vector<TCell> cells_;
  std::vector<TTextLine> lines_;
  std::uint64_t replaced_characters_ = 0;
};

// The registry row of the format.
extern const TExportFormat kPDFFormat;

}  // namespace velmora
