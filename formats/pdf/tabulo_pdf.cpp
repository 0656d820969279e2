#include "formats/pdf/tabulo_pdf.h"

#include <algorithm>

#include "engine/keyed_sections.h"

namespace velmora {

namespace {

TPDFFont DefaultFont(const char* name) {
  TPDFFont font;
  font.Name = name;
  return font;
}

}  // namespace

TPDFOptions::TPDFOptions()
    : HeaderFont(DefaultFont("HeaderFont")),
      CaptionFont(DefaultFont("CaptionFont")),
      DataFont(DefaultFont("DataFont")),
      FooterFont(DefaultFont("FooterFont")) {}

void TTabuloPDF::Execute() {
  replaced_characters_ = 0;
  TTabuloFormatText::Execute();
}

void TTabuloPDF::AdjustLocale(TFormatSettings& settings) const {
  // The document's numbers use a decimal point; a thousands separator of "."
  // would then read as one, so it becomes ",".
  settings.DecimalSeparator = ".";
  if (settings.ThousandSeparator == ".") settings.ThousandSeparator = ",";
}

int TTabuloPDF::RoundedStep(double factor, int size) const { return RoundHalfEven(factor * size); }

std::string_view TTabuloPDF::Fitting(std::string_view text, const TPDFFont& font, int width) const {
  return text.substr(0, TPDFDocument::FittingLength(text, font, std::max(width, 0)));
}

// ---------------------------------------------------------------------------
// Layout

void TTabuloPDF::LayOutColumns(const TPDFBox& printable) {
  const int size = Options.DataFont.FontSize;
  const int count = Columns().Count();
  std::vector<double> widths;
  centring_widths_.clear();
  double total = 0;
  for (int index = 0; index < count; ++index) {
    // Bounded so that the widths stay within the integer range of the measure.
    const int width = std::clamp(Columns()[index].Width, 0, kMaxColumnWidth);
    widths.push_back(TPDFDocument::AverageWidth(width + Options.ColSpacing, size));
    centring_widths_.push_back(TPDFDocument::AverageWidth(width, size));
    total += widths.back();
  }
  const double room = std::max(printable.Right - printable.Left, 0);
  const bool narrowed = total > room;
  if (narrowed) {
    // The widest columns give up width until the table fits: every column
    // wider than a common cap is cut to it, the narrower ones keep theirs, so
    // one long text column does not squeeze the numbers beside it.
    std::vector<double> ascending = widths;
    std::sort(ascending.begin(), ascending.end());
    double remaining = room;
    double cap = 0;
    for (std::size_t rank = 0; rank < ascending.size(); ++rank) {
      const double share = remaining / static_cast<double>(ascending.size() - rank);
      if (ascending[rank] > share) {
        cap = share;
        break;
      }
      remaining -= ascending[rank];
    }
    for (double& width : widths) width = std::min(width, cap);
  }
  positions_.assign(1, printable.Left);
  double offset = 0;
  for (const double width : widths) {
    offset += width;
    positions_.push_back(printable.Left + RoundHalfEven(std::min(offset, room)));
  }
  if (!narrowed) return;
  positions_.back() = printable.Left + static_cast<int>(room);
  for (std::size_t column = 0; column < widths.size(); ++column) {
    centring_widths_[column] = std::max(positions_[column + 1] - positions_[column] - 2 * Padding(size), 0);
  }
}

void TTabuloPDF::BeginExport() {
  TTabuloFormatText::BeginExport();
  document_ = &static_cast<TTabuloPDFWriter&>(Writer()).Document();
  const TTabuloPDFPageOptions& page = Options.PageOptions;
  printable_ = page.PrintableBox();
  y_ = printable_.Top;
  table_top_ = printable_.Top;
  LayOutColumns(printable_);

  TPDFDocument& document = Document();
  document.MediaBox = page.PageBox();
  document.TrimBox = printable_;
  document.BeginDoc();
  document.NewPage();
  document.LineWidth = Options.GridLineWidth;
  document.LineSpacing = Options.RowSpacing;
  document.SetStrokeColor(Options.GridLineColor);
  if (Header.Count() > 0) {
    WriteLines(Header, Options.HeaderFont, true);
    y_ -= RoundedStep(Options.RowSpacing * 0.5, Options.HeaderFont.FontSize);
  }
  table_top_ = y_;
  document.AddFont(Options.DataFont);
  document.AddFont(Options.CaptionFont);
  document.AddFont(Options.HeaderFont);
  document.AddFont(Options.FooterFont);
}

void TTabuloPDF::WriteLines(const TStringList& lines, const TPDFFont& font, bool set_colors_on_new_page) {
  TPDFDocument& document = Document();
  document.SetFont(font);
  const int step = RoundedStep(Options.RowSpacing * 0.5 + 1, font.FontSize);
  for (int index = 0; index < lines.Count(); ++index) {
    y_ -= step;
    if (y_ < printable_.Bottom) {
      document.NewPage();
      if (set_colors_on_new_page) {
        document.SetFillColor(font.FontColor);
        document.SetStrokeColor(Options.GridLineColor);
      }
      y_ = printable_.Top - step;
    }
    document.TextOut(printable_.Left, y_, font.FontColor,
                     Fitting(lines[index], font, printable_.Right - printable_.Left));
  }
}

void TTabuloPDF::HorizontalRule(int y) {
  Document().DrawLine(Options.GridLineColor, positions_.front(), y, positions_.back(), y);
}

void TTabuloPDF::VerticalRules(int top, int bottom) {
  const double overhang = Options.GridLineWidth / 2.0;
  for (const int position : positions_) {
    Document().DrawLine(Options.GridLineColor, position, top + overhang, position, bottom - overhang);
  }
}

void TTabuloPDF::WriteCaptionRow() {
  TPDFDocument& document = Document();
  const TPDFFont& font = Options.CaptionFont;
  document.SetFont(font);
  HorizontalRule(y_);
  y_ -= RoundedStep(Options.RowSpacing * 0.5 + 1, font.FontSize);
  const int padding = Padding(font.FontSize);
  for (int index = 0; index < Columns().Count(); ++index) {
    const std::size_t column = static_cast<std::size_t>(index);
    const int left = positions_[column];
    text_ = GetColCaption(index);
    document.TextOut(left + padding, y_, font.FontColor,
                     Fitting(text_, font, positions_[column + 1] - left - 2 * padding));
  }
  y_ -= RoundedStep(Options.RowSpacing * 0.5, font.FontSize);
  HorizontalRule(y_);
}

void TTabuloPDF::WriteDataRow() {
  TPDFDocument& document = Document();
  const TPDFFont& font = Options.DataFont;
  const int size = font.FontSize;
  document.SetFont(font);
  if (y_ - RoundedStep(1 + Options.RowSpacing, size) < printable_.Bottom) {
    VerticalRules(table_top_, y_);
    y_ = printable_.Top;
    table_top_ = printable_.Top;
    document.NewPage();
    document.SetFillColor(font.FontColor);
    document.SetStrokeColor(Options.GridLineColor);
    HorizontalRule(y_);
  }
  y_ -= RoundedStep(Options.RowSpacing / 2 + 1, size);
  const int padding = Padding(size);
  for (TTabuloCol& cell : ExportRow()) {
    const int index = cell.ColumnIndex;
    const std::size_t column = static_cast<std::size_t>(index);
    CellExportText(cell, true, text_);
    TFont cell_font;
    cell_font.Color = font.FontColor;
    TTabuloColAlign align = Columns()[index].Align;
    TColor background = clWhite;
    GetCellParams(RecordCounter(), index, text_, align, cell_font, background);
    const int left = positions_[column];
    const int right = positions_[column + 1];
    if (background != clWhite) {
      document.Rectangle(background, left, y_ - size * Options.RowSpacing / 2, right - left,
                         (1 + Options.RowSpacing) * size - Options.GridLineWidth / 2.0);
    }
    std::string_view text = Fitting(text_, font, right - left - 2 * padding);
    if (text.size() < text_.size() && Columns()[index].IsNumeric) {
      // The start of a number or a date reads as a different value: a value
      // that does not fit shows as "#" marks instead.
      overflow_.assign(text_.size(), '#');
      text = Fitting(overflow_, font, right - left - 2 * padding);
    }
    int x = left + padding;
    if (align == ecaCenter) {
      x += (centring_widths_[column] - TPDFDocument::TextWidth(text, font)) / 2;
    } else if (align == ecaRight) {
      x = right - padding - TPDFDocument::TextWidth(text, font);
    }
    document.TextOut(x, y_, cell_font.Color, text);
  }
  y_ -= RoundedStep(Options.RowSpacing / 2, size);
  HorizontalRule(y_);
}

void TTabuloPDF::EndExport() {
  TPDFDocument& document = Document();
  if (y_ != printable_.Top) VerticalRules(table_top_, y_);
  if (Footer.Count() > 0) WriteLines(Footer, Options.FooterFont, false);
  document.EndDoc();
  replaced_characters_ = document.ReplacedCharacters();
  TTabuloFormatText::EndExport();
}

}  // namespace velmora
