#pragma once

#include <string>
#include <vector>

#include "engine/export_format.h"
#include "engine/font_color.h"
#include "engine/page_orientation.h"
#include "engine/tabulo.h"

namespace velmora {

class TTabuloRTFWriter;

// A4 in twips, portrait.
constexpr int kRtfPaperWidth = 11906;
constexpr int kRtfPaperHeight = 16838;
// The left and right margins a reader applies to a document that names none.
constexpr int kRtfDefaultMargin = 1800;
// The width of the cell border lines, in twips: by default a thin line, at
// most the widest line a reader draws.
constexpr int kRtfDefaultBorderWidth = 10;
constexpr int kRtfMaxBorderWidth = 75;

struct TRTFOptions {
  TFont DefaultFont;  // data cells: Arial, 10 points, no style
  TFont HeaderFont;   // caption cells: the default font in bold
  TTabuloPageOrientation PageOrientation = poPortrait;
  // Every side of every cell gets a single line this wide; 0 draws none.
  int BorderWidth = kRtfDefaultBorderWidth;

  TRTFOptions() { HeaderFont.Style.Include(fsBold); }

  // RTF_DefaultFont, RTF_HeaderFont and RTF over current: an absent key keeps
  // its value, a number that names no orientation keeps the current one, a
  // border width outside 0 .. kRtfMaxBorderWidth raises EVelmoraError.
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

  // The right edge of every column in twips: from 36, each column adding its
  // width × 120 + 10; scaled down to end at printable_width when wider.
  static std::vector<long long> CellEdges(const std::vector<int>& widths, long long printable_width);

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
  void WriteTableDefinition();

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
