#include "formats/rtf/tabulo_rtf.h"

#include <algorithm>

#include "formats/rtf/rtf_writer.h"

namespace velmora {

namespace {

constexpr std::string_view kTableLeft = "\\trowd\\trql\\trgaph0\\trleft36";
constexpr long long kFirstCellEdge = 36;
constexpr std::string_view kCellStart = "\\pard\\intbl\\li30\\ri30";
constexpr std::string_view kCellEnd = "}\\cell";
constexpr std::string_view kRowEnd = "\\row\r\n";

// The border controls of one cell: a single line of width twips on each
// side; nothing for width 0, so that the cell has no lines.
std::string CellBorders(int width) {
  if (width <= 0) return "";
  std::string line;
  for (const char* side : {"l", "r", "t", "b"}) {
    if (!line.empty()) line += ' ';
    line += "\\clbrdr";
    line += side;
    line += "\\brdrs\\brdrw";
    line += std::to_string(width);
  }
  return line;
}

// The style tags of a font and the blank that ends them; nothing for a plain
// font, whose text then follows the brace directly.
std::string StylePrefix(const TFont& font) {
  std::string prefix = TTabuloRTFWriter::StyleTags(font);
  if (!prefix.empty()) prefix += ' ';
  return prefix;
}

}  // namespace

TTabuloWriterClass TTabuloRTF::GetWriterClass() const {
  return &CreateWriterOf<TTabuloRTFWriter>;
}

TTabuloRTFWriter& TTabuloRTF::RTFWriter() const {
  return static_cast<TTabuloRTFWriter&>(Writer());
}

std::vector<long long> TTabuloRTF::CellEdges(const std::vector<int>& widths, long long printable_width) {
  std::vector<long long> spans;
  long long total = 0;
  for (const int width : widths) {
    spans.push_back(std::max(width, 0) * 120LL + 10);
    total += spans.back();
  }
  const long long available = printable_width - kFirstCellEdge;
  const bool scaled = kFirstCellEdge + total > printable_width && available > 0;
  std::vector<long long> edges;
  long long sum = 0;
  for (const long long span : spans) {
    sum += span;
    // Each edge is scaled from the running sum, so rounding never adds up.
    edges.push_back(kFirstCellEdge + (scaled ? sum * available / total : sum));
  }
  return edges;
}

// ---------------------------------------------------------------------------
// Prologue and epilogue

void TTabuloRTF::BeginExport() {
  TTabuloFormatText::BeginExport();
  TTabuloRTFWriter& writer = RTFWriter();
  writer.FontTable.Clear();
  writer.ColorTable.Clear();
  // Both fonts are listed even when they share a name; a tag names the first.
  writer.FontTable.Add(Options.HeaderFont.Name);
  writer.FontTable.Add(Options.DefaultFont.Name);
  writer.ColorTable.Add(clBlack);
  writer.WriteTables();
  header_font_tag_ = writer.FontTag(Options.HeaderFont);
  default_font_tag_ = writer.FontTag(Options.DefaultFont);
  data_prefix_ = StylePrefix(Options.DefaultFont);
  writer.WriteLine(default_font_tag_);
  if (Options.PageOrientation == poLandscape) {
    writer.WriteLine("\\landscape");
    writer.WriteLine("\\paperw" + std::to_string(kRtfPaperHeight));
    writer.WriteLine("\\paperh" + std::to_string(kRtfPaperWidth));
  } else {
    writer.WriteLine("\\paperw" + std::to_string(kRtfPaperWidth));
    writer.WriteLine("\\paperh" + std::to_string(kRtfPaperHeight));
  }
  for (const std::string& line : Header) {
    writer.WriteLine(Escaped(line));
    writer.WriteLine("\\par");
  }
  writer.WriteLine("\\par");
  WriteTableDefinition();
}

void TTabuloRTF::WriteTableDefinition() {
  TTabuloRTFWriter& writer = RTFWriter();
  writer.WriteLine(kTableLeft);
  std::vector<int> widths;
  for (const auto& column : Columns()) widths.push_back(column->Width);
  const int paper_width = Options.PageOrientation == poLandscape ? kRtfPaperHeight : kRtfPaperWidth;
  const std::string borders = CellBorders(Options.BorderWidth);
  for (const long long edge : CellEdges(widths, paper_width - 2 * kRtfDefaultMargin)) {
    if (!borders.empty()) writer.WriteLine(borders);
    writer.WriteLine("\\cellx" + std::to_string(edge));
  }
}

void TTabuloRTF::BeforeExport() {
  TTabuloFormatText::BeforeExport();
  RTFWriter().WriteLine(default_font_tag_);
}

void TTabuloRTF::EndExport() {
  TTabuloRTFWriter& writer = RTFWriter();
  writer.WriteLine("\\pard");
  writer.WriteLine("\\par");
  for (const std::string& line : Footer) {
    writer.WriteLine("\\par");
    writer.WriteLine(Escaped(line));
  }
  writer.Write("}");
  TTabuloFormatText::EndExport();
}

// ---------------------------------------------------------------------------
// Rows

void TTabuloRTF::GetCaptionRow(std::string& row) {
  row.clear();
  const std::string prefix = StylePrefix(Options.HeaderFont);
  for (int index = 0; index < Columns().Count(); ++index) {
    row += kCellStart;
    row += '{';
    row += prefix;
    row += GetColCaption(index);
    row += kCellEnd;
  }
  row += kRowEnd;
}

void TTabuloRTF::WriteCaptionRow() {
  RTFWriter().WriteLine(header_font_tag_);
  GetCaptionRow(row_);
  RTFWriter().Write(row_);
}

void TTabuloRTF::GetDataRow(bool formatted, std::string& row) {
  row.clear();
  const TTabuloRTFWriter& writer = RTFWriter();
  for (TTabuloCol& cell : ExportRow()) {
    CellExportText(cell, formatted, cell_text_);
    row += kCellStart;
    row += writer.AlignmentText(Columns()[cell.ColumnIndex].Align);
    row += '{';
    row += data_prefix_;
    row += cell_text_;
    row += kCellEnd;
  }
  row += kRowEnd;
}

void TTabuloRTF::WriteDataRow() {
  GetDataRow(true, row_);
  RTFWriter().Write(row_);
}

void TTabuloRTF::EscapeText(std::string& text) const {
  std::string escaped;
  escaped.reserve(text.size() + 8);
  AppendRtfText(escaped, text);
  text.swap(escaped);
}

}  // namespace velmora
