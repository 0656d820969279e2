#include "formats/rtf/tabulo_rtf.h"

#include <algorithm>

#include "formats/rtf/rtf_writer.h"

namespace velmora {

namespace {

constexpr std::string_view kTableLeft = "\\trowd\\trql\\trgaph0\\trleft36";
// Marks a row that a word processor repeats at the top of every page.
constexpr std::string_view kHeaderRow = "\\trhdr";
constexpr long long kFirstCellEdge = 36;
// The left and right paragraph indents of a cell's text, in twips.
constexpr long long kCellIndent = 30;
// Room beyond the estimated text, in twips.
constexpr long long kCellSlack = 40;
// The narrowest a text column becomes when the page is short of room:
// about four characters, in milli-em.
constexpr long long kTextFloor = 4 * 620;
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
  for (const int width : widths) spans.push_back(std::max(width, 0) * 120LL + 10);
  return EdgesOfSpans(spans, printable_width);
}

std::vector<long long> TTabuloRTF::EdgesOfSpans(const std::vector<long long>& spans, long long printable_width) {
  long long total = 0;
  for (const long long span : spans) total += span;
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

long long TTabuloRTF::PrintableWidth(TTabuloPageOrientation orientation) {
  const int paper_width = orientation == poLandscape ? kRtfPaperHeight : kRtfPaperWidth;
  return paper_width - 2LL * kRtfPageMargin;
}

void TTabuloRTF::MeasureValue(int column, std::string_view text) {
  if (column < 0 || static_cast<std::size_t>(column) >= measured_.size()) return;
  measured_[static_cast<std::size_t>(column)].Include(MeasureRtfText(text, measure_font_));
}

std::vector<TRtfColumnNeed> TTabuloRTF::ColumnNeeds(int size, TTabuloPageOrientation orientation) {
  const long long available = PrintableWidth(orientation) - kFirstCellEdge;
  // The paragraph indents of a cell, its border lines and a little room for
  // a reader whose font runs wider than the estimate.
  const long long padding = 2 * kCellIndent + 2LL * std::max(Options.BorderWidth, 0) + kCellSlack;
  const TRtfMeasureFont caption_font = TRtfMeasureFont::Of(Options.HeaderFont);
  const int default_size = std::max(Options.DefaultFont.Size, 1);
  const int caption_size = std::max(1, Options.HeaderFont.Size * size / default_size);
  std::vector<TRtfColumnNeed> needs;
  for (int index = 0; index < Columns().Count(); ++index) {
    const TTabuloColumn& column = Columns()[index];
    TRtfColumnNeed need;
    if (column.WidthGiven) {
      need.Fixed = true;
      need.Desired = std::max(column.Width, 0) * 120LL + 10;
      needs.push_back(need);
      continue;
    }
    const std::size_t at = static_cast<std::size_t>(index);
    const TRtfTextExtent values = at < measured_.size() ? measured_[at] : TRtfTextExtent{};
    const TRtfTextExtent caption =
        AllowCaptions ? MeasureRtfText(column.Caption, caption_font) : TRtfTextExtent{};
    const long long value_line = RtfTwips(values.WidestLine, size) + padding;
    need.Desired = std::max(value_line, RtfTwips(caption.WidestLine, caption_size) + padding);
    // Numbers, dates and times are never broken; a word of a text may be,
    // when it would take more than a third of the page.
    if (column.IsNumeric) {
      need.ValueMinimum = value_line;
      need.Floor = value_line;
    } else {
      need.ValueMinimum = std::min(RtfTwips(values.LongestWord, size) + padding, available / 3);
      need.Floor = RtfTwips(kTextFloor, size) + padding;
    }
    // A caption keeps a few characters on a line, not one letter below the other.
    const long long caption_word = RtfTwips(caption.LongestWord, caption_size) + padding;
    need.ValueMinimum = std::max(need.ValueMinimum, std::min(caption_word, RtfTwips(kTextFloor, caption_size) + padding));
    need.Floor = std::max(need.Floor, RtfTwips(kTextFloor, size) + padding);
    need.Floor = std::min(need.Floor, need.Desired);
    need.Minimum = std::max(need.ValueMinimum, caption_word);
    need.Padding = padding;
    needs.push_back(need);
  }
  return needs;
}

TPageFit TTabuloRTF::FitOn(TTabuloPageOrientation orientation) {
  const long long available = PrintableWidth(orientation) - kFirstCellEdge;
  return FitFontSize(std::max(Options.DefaultFont.Size, 1), Options.MinFontSize, static_cast<double>(available),
                     [&](int size) {
                       long long total = 0;
                       for (const TRtfColumnNeed& need : ColumnNeeds(size, orientation)) {
                         total += need.Fixed ? need.Desired : need.ValueMinimum;
                       }
                       return total;
                     });
}

void TTabuloRTF::LayOutColumns() {
  orientation_ = Options.PageOrientation;
  TPageFit fit = FitOn(orientation_);
  if (orientation_ == poPortrait && !Options.OrientationGiven && fit.Crowded(Options.DefaultFont.Size)) {
    const TPageFit turned = FitOn(poLandscape);
    if (TurnsThePage(fit, turned)) {
      orientation_ = poLandscape;
      fit = turned;
    }
  }
  const int size = fit.Size;
  const int default_size = std::max(Options.DefaultFont.Size, 1);
  table_default_font_ = Options.DefaultFont;
  table_default_font_.Size = size;
  table_header_font_ = Options.HeaderFont;
  table_header_font_.Size = std::max(1, Options.HeaderFont.Size * size / default_size);
  const long long available = PrintableWidth(orientation_) - kFirstCellEdge;
  edges_ = EdgesOfSpans(RtfColumnSpans(ColumnNeeds(size, orientation_), available), PrintableWidth(orientation_));
}

// ---------------------------------------------------------------------------
// Prologue and epilogue

void TTabuloRTF::BeginExport() {
  TTabuloFormatText::BeginExport();
  measured_.assign(static_cast<std::size_t>(Columns().Count()), TRtfTextExtent{});
  measure_font_ = TRtfMeasureFont::Of(Options.DefaultFont);
  laid_out_ = false;
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
  page_written_ = false;
  // The page and the row definition follow the width pass, in the caption step.
}

void TTabuloRTF::WritePageSetup() {
  if (page_written_) return;
  page_written_ = true;
  if (!laid_out_) {
    LayOutColumns();
    laid_out_ = true;
  }
  TTabuloRTFWriter& writer = RTFWriter();
  if (orientation_ == poLandscape) {
    writer.WriteLine("\\landscape");
    writer.WriteLine("\\paperw" + std::to_string(kRtfPaperHeight));
    writer.WriteLine("\\paperh" + std::to_string(kRtfPaperWidth));
  } else {
    writer.WriteLine("\\paperw" + std::to_string(kRtfPaperWidth));
    writer.WriteLine("\\paperh" + std::to_string(kRtfPaperHeight));
  }
  const std::string margin = std::to_string(kRtfPageMargin);
  writer.WriteLine("\\margl" + margin + "\\margr" + margin + "\\margt" + margin + "\\margb" + margin);
  if (Options.PageNumbers) WritePageFooter();
  for (const std::string& line : Header) {
    writer.WriteLine(Escaped(line));
    writer.WriteLine("\\par");
  }
  writer.WriteLine("\\par");
}

void TTabuloRTF::WritePageFooter() {
  RTFWriter().WriteLine("{\\footer\\pard\\qc" + default_font_tag_ +
                        " Page {\\field{\\*\\fldinst PAGE}{\\fldrslt 1}} of "
                        "{\\field{\\*\\fldinst NUMPAGES}{\\fldrslt 1}}\\par}");
}

void TTabuloRTF::WriteTableDefinition(bool caption_row) {
  TTabuloRTFWriter& writer = RTFWriter();
  if (!page_written_) {
    WritePageSetup();
    header_font_tag_ = writer.FontTag(table_header_font_);
    default_font_tag_ = writer.FontTag(table_default_font_);
  }
  writer.WriteLine(caption_row ? std::string(kTableLeft) + std::string(kHeaderRow) : std::string(kTableLeft));
  const std::string borders = CellBorders(Options.BorderWidth);
  for (const long long edge : edges_) {
    if (!borders.empty()) writer.WriteLine(borders);
    writer.WriteLine("\\cellx" + std::to_string(edge));
  }
}

void TTabuloRTF::BeforeExport() {
  TTabuloFormatText::BeforeExport();
  // The data rows get a definition of their own, so that only the caption
  // row repeats on every page.
  WriteTableDefinition(false);
  RTFWriter().WriteLine(default_font_tag_);
}

void TTabuloRTF::EndExport() {
  TTabuloRTFWriter& writer = RTFWriter();
  WritePageSetup();
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
  WriteTableDefinition(true);
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
