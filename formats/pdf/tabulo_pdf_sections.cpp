// The template sections of the PDF exporter: page and spacing in PDF, one font
// in each of PDF_OPTION_HEADER, _CAPTION, _DATA and _FOOTER.
#include <cmath>

#include "engine/font_color.h"
#include "formats/pdf/tabulo_pdf.h"
#include "platform/ini_file.h"

namespace velmora {

namespace {

// The largest page side PDF readers are bound to accept, in points.
constexpr int kMaxPageSide = 14400;
// Spacing, in multiples of the font size or in average characters, and rule
// widths in points, beyond which a table no longer fits any page.
constexpr double kMaxSpacing = 100;
constexpr int kMaxGridLineWidth = 100;
constexpr TColor kMaxRgbColor = 0xFFFFFF;

int ReadIntegerIn(const TIniFile& template_file, const char* section, const char* key, int current, int lowest,
                  int highest) {
  const int value = template_file.ReadInteger(section, key, current);
  return value >= lowest && value <= highest ? value : current;
}

double ReadSpacing(const TIniFile& template_file, const char* key, double current) {
  const double value = template_file.ReadFloat("PDF", key, current);
  return std::isfinite(value) && value >= 0 && value <= kMaxSpacing ? value : current;
}

void ReadPDFFont(const TIniFile& template_file, const char* section, TPDFFont& font) {
  font.BaseFont = static_cast<TPDFFontName>(
      ReadIntegerIn(template_file, section, "FontName", font.BaseFont, poHelvetica, poZapfDingbats));
  font.FontEncoding = static_cast<TPDFFontEncoding>(ReadIntegerIn(
      template_file, section, "FontEncoding", font.FontEncoding, poStandardEncoding, poPDFDocEncoding));
  font.FontSize = ReadIntegerIn(template_file, section, "FontSize", font.FontSize, kMinFontSize, kMaxFontSize);
  // An RGB colour only: a system colour or a value past 24 bits would print
  // as white (its low bytes), on the white page.
  const TColor color = ReadColorKey(template_file, section, "FontColor", font.FontColor);
  if (color >= 0 && color <= kMaxRgbColor) font.FontColor = color;
}

// Page size and margins in points. A side outside 1 .. kMaxPageSide or a
// negative margin keeps its value; margins that leave no printable width (or
// height) keep theirs, and when even those leave none the side keeps its own.
void ReadPage(const TIniFile& template_file, TTabuloPDFPageOptions& page) {
  page.Units = unDot;
  const int old_width = page.WidthPoints();
  const int old_height = page.HeightPoints();
  const int old_left = static_cast<int>(page.MarginLeft());
  const int old_right = static_cast<int>(page.MarginRight());
  const int old_top = static_cast<int>(page.MarginTop());
  const int old_bottom = static_cast<int>(page.MarginBottom());
  const int width = ReadIntegerIn(template_file, "PDF", "PageWidth", old_width, 1, kMaxPageSide);
  const int height = ReadIntegerIn(template_file, "PDF", "PageHeight", old_height, 1, kMaxPageSide);
  int left = ReadIntegerIn(template_file, "PDF", "PageMarginLeft", old_left, 0, kMaxPageSide);
  int right = ReadIntegerIn(template_file, "PDF", "PageMarginRight", old_right, 0, kMaxPageSide);
  int top = ReadIntegerIn(template_file, "PDF", "PageMarginTop", old_top, 0, kMaxPageSide);
  int bottom = ReadIntegerIn(template_file, "PDF", "PageMarginBottom", old_bottom, 0, kMaxPageSide);
  // The printable box runs from the first margin to side - second margin - 1.
  const auto fits = [](int side, int first, int second) { return side - second - 1 - first > 0; };
  const auto settle = [&fits](int& side, int old_side, int& first, int old_first, int& second, int old_second) {
    if (fits(side, first, second)) return;
    first = old_first;
    second = old_second;
    if (!fits(side, first, second)) side = old_side;
  };
  int settled_width = width;
  int settled_height = height;
  settle(settled_width, old_width, left, old_left, right, old_right);
  settle(settled_height, old_height, top, old_top, bottom, old_bottom);
  if (settled_width != old_width) page.SetWidth(settled_width);
  if (settled_height != old_height) page.SetHeight(settled_height);
  page.SetMarginLeft(left);
  page.SetMarginRight(right);
  page.SetMarginTop(top);
  page.SetMarginBottom(bottom);
}

}  // namespace

void TTabuloPDF::ReadFormatSections(const TIniFile& template_file, const TDataSet&) {
  Options.ColSpacing = ReadSpacing(template_file, "ColSpacing", Options.ColSpacing);
  Options.RowSpacing = ReadSpacing(template_file, "RowSpacing", Options.RowSpacing);
  Options.GridLineWidth =
      ReadIntegerIn(template_file, "PDF", "GridLineWidth", Options.GridLineWidth, 0, kMaxGridLineWidth);
  ReadPage(template_file, Options.PageOptions);
  ReadPDFFont(template_file, "PDF_OPTION_HEADER", Options.HeaderFont);
  ReadPDFFont(template_file, "PDF_OPTION_CAPTION", Options.CaptionFont);
  ReadPDFFont(template_file, "PDF_OPTION_DATA", Options.DataFont);
  ReadPDFFont(template_file, "PDF_OPTION_FOOTER", Options.FooterFont);
}

const TExportFormat kPDFFormat{7, "PDF", {"pdf"}, &CreateExporterOf<TTabuloPDF>, &NeverReadsAhead};

}  // namespace velmora
