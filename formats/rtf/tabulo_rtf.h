#pragma once

#include <string>
#include <vector>

#include "engine/export_format.h"
#include "engine/font_color.h"
#include "engine/page_fit.h"
#include "engine/page_orientation.h"
#include "engine/tabulo.h"
#include "formats/rtf/rtf_layout.h"

namespace velmora {

class TTabuloRTFWriter;

// A4 in twips, portrait.
constexpr int kRtfPaperWidth = 11906;
constexpr int kRtfPaperHeight = 16838;
// The margins the document names on every side: 2 cm.
constexpr int kRtfPageMargin = 1134;
// The width of the cell border lines, in twips: by default a thin line, at
// most the widest line a reader draws.
constexpr int kRtfDefaultBorderWidth = 10;
constexpr int kRtfMaxBorderWidth = 75;
constexpr int kRtfDefaultMinFontSize = 7;

struct TRTFOptions {
  TFont DefaultFont;  // data cells: Arial, 10 points, no style
  TFont HeaderFont;   // caption cells: the default font in bold
  TTabuloPageOrientation PageOrientation = poPortrait;
  // True when the template named the orientation: the page is then kept;
  // otherwise a table that a turned page lets keep a larger font (or fit at
  // all) turns it.
  bool OrientationGiven = false;
  // Every side of every cell gets a single line this wide; 0 draws none.
  int BorderWidth = kRtfDefaultBorderWidth;
  // A footer "Page N of M" on every page.
  bool PageNumbers = false;
  // The smallest size in points the table's fonts shrink to when its numbers
  // and words do not fit the page at the default font's size; the default
  // font's size or more keeps the fonts as they are.
  int MinFontSize = kRtfDefaultMinFontSize;

  TRTFOptions() { HeaderFont.Style.Include(fsBold); }

  // RTF_DefaultFont, RTF_HeaderFont and RTF over current: an absent key keeps
  // its value, a number that names no orientation keeps the current one, a
  // border width outside 0 .. kRtfMaxBorderWidth raises EVelmoraError,
  // PageNumbers is a Boolean key, MinFontSize a number of points from 1 to
  // 1638 (an explicit FontSize of RTF_DefaultFont is its default, so that
  // the template's size is kept unless both are given).
  // Defined in tabulo_rtf_sections.cpp.
  static TRTFOptions Read(const TIniFile& template_file, const TRTFOptions& current);
};

// Writes the records as an RTF document holding one table: the header lines,
// an optional caption row in the header font, one row per record in the
// default font, then the footer lines. Every text is escaped as RTF document
// text (non-ASCII as Unicode escapes, line breaks as paragraph breaks), so
// any value keeps the document's structure. The same bytes serve ".doc" files.
class TTabuloRTF : public TTabuloFormatText {
 public:
  TRTFOptions Options;

  unsigned PublishedSettings() const override {
    return TTabuloFormatText::PublishedSettings() | psColumnsWidth | psColumnsAlign;
  }

  // WIDTH, ALIGN, RTF_DefaultFont, RTF_HeaderFont and RTF. Defined in
  // tabulo_rtf_sections.cpp.
  void ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) override;

  // The columns are laid out from what they hold: the width pass measures
  // every value in the data font.
  int ContentWidthCap() const override { return 0; }
  bool MeasuresValues() const override { return true; }
  void MeasureValue(int column, std::string_view text) override;

  // The right edge of every column in twips: from 36, each column adding its
  // width × 120 + 10; scaled down to end at printable_width when wider.
  static std::vector<long long> CellEdges(const std::vector<int>& widths, long long printable_width);
  // The right edges of columns spans twips wide: from 36, scaled down to end
  // at printable_width when wider.
  static std::vector<long long> EdgesOfSpans(const std::vector<long long>& spans, long long printable_width);
  // The paper width less the margins, in twips, for the orientation.
  static long long PrintableWidth(TTabuloPageOrientation orientation);
  // The orientation of the page the table is laid out on (once laid out).
  TTabuloPageOrientation PageOrientation() const { return orientation_; }

  TTabuloWriterClass GetWriterClass() const override;
  void BeginExport() override;
  void BeforeExport() override;
  void EndExport() override;
  void GetCaptionRow(std::string& row) override;
  void WriteCaptionRow() override;
  void GetDataRow(bool formatted, std::string& row) override;
  void WriteDataRow() override;
  void EscapeText(std::string& text) const override;

 private:
  TTabuloRTFWriter& RTFWriter() const;
  // The row definition with the edges of the columns; a caption row repeats
  // at the top of every page.
  void WriteTableDefinition(bool caption_row);
  // The widths of the columns at a data font of size points (the caption
  // font in proportion), from the template's widths and the measured texts.
  std::vector<TRtfColumnNeed> ColumnNeeds(int size, TTabuloPageOrientation orientation);
  // The table's font size on a page of the orientation (see FitFontSize).
  TPageFit FitOn(TTabuloPageOrientation orientation);
  // Chooses the page, the table's font size and the edges of its columns.
  void LayOutColumns();
  // The page, its margins and footer, and the header lines: once the
  // columns chose the page.
  void WritePageSetup();
  void WritePageFooter();

  // What the width pass measured of each column's values, in the data font.
  std::vector<TRtfTextExtent> measured_;
  TRtfMeasureFont measure_font_;
  std::vector<long long> edges_;
  bool laid_out_ = false;
  bool page_written_ = false;
  TTabuloPageOrientation orientation_ = poPortrait;
  // The font sizes of the table's rows, once laid out.
  TFont table_default_font_;
  TFont table_header_font_;

  std::string default_font_tag_;
  std::string header_font_tag_;
  std::string data_prefix_;
  std::string row_;
  std::string cell_text_;
};

// The registry rows of the formats this exporter writes.
extern const TExportFormat kDOCFormat;
extern const TExportFormat kRTFFormat;

}  // namespace velmora
