// The template sections of the PDF exporter: page and spacing in PDF, one font
// in each of PDF_OPTION_HEADER, _CAPTION, _DATA and _FOOTER.
#include <cmath>

#include "engine/font_color.h"
#include "engine/keyed_sections.h"
#include "formats/pdf/tabulo_pdf.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/ini_file.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

// The largest page side PDF readers are bound to accept, in points.
constexpr int kMaxPageSide = 14400;
// Spacing, in multiples of the font size or in average characters, and rule
// widths in points, beyond which a table no longer fits any page.
constexpr double kMaxSpacing = 100;
constexpr int kMaxGridLineWidth = 100;
constexpr TColor kMaxRgbColor = 0xFFFFFF;

// An enumeration: a number outside lowest .. highest takes the default.
int ReadEnumeration(const TIniFile& template_file, const char* section, const char* key, int current,
                    int lowest, int highest) {
  const int value = template_file.ReadInteger(section, key, current);
  return value >= lowest && value <= highest ? value : current;
}

double ReadSpacing(const TIniFile& template_file, const char* key, double current) {
  const double value = template_file.ReadFloat("PDF", key, current);
  if (!std::isfinite(value) || value < 0 || value > kMaxSpacing) {
    RefuseTemplateValue(template_file, "PDF", key,
                        Format("give a number from 0 to %d", static_cast<int>(kMaxSpacing)));
  }
  return value;
}

void ReadPDFFont(const TIniFile& template_file, const char* section, TPDFFont& font) {
  font.BaseFont = static_cast<TPDFFontName>(
      ReadEnumeration(template_file, section, "FontName", font.BaseFont, poHelvetica, poZapfDingbats));
  font.FontEncoding = static_cast<TPDFFontEncoding>(ReadEnumeration(
      template_file, section, "FontEncoding", font.FontEncoding, poStandardEncoding, poPDFDocEncoding));
  font.FontSize =
      ReadBoundedInteger(template_file, section, "FontSize", font.FontSize, kMinFontSize, kMaxFontSize);
  // An RGB colour only: a system colour or a value past 24 bits would print
  // as white (its low bytes), on the white page.
  const TColor color = ReadColorKey(template_file, section, "FontColor", font.FontColor);
  if (color >= 0 && color <= kMaxRgbColor) font.FontColor = color;
}

// Refuses margins that leave no printable length of a side: the printable
// box runs from the first margin to side - second margin - 1. The refusal
// names the first of the three keys the template sets, margins first.
void CheckRoom(const TIniFile& template_file, int side, int first, int second, const char* side_key,
               const char* first_key, const char* second_key) {
  if (side - second - 1 - first > 0) return;
  const char* key = side_key;
  for (const char* candidate : {first_key, second_key}) {
    if (!template_file.ReadString("PDF", candidate, "").empty()) {
      key = candidate;
      break;
    }
  }
  RefuseTemplateValue(
      template_file, "PDF", key,
      Format("a page of %d points with margins of %d and %d leaves no room to print", side, first, second));
}

// Page size and margins in points.
void ReadPage(const TIniFile& template_file, TTabuloPDFPageOptions& page) {
  page.Units = unDot;
  const int old_width = page.WidthPoints();
  const int old_height = page.HeightPoints();
  const int width = ReadBoundedInteger(template_file, "PDF", "PageWidth", old_width, 1, kMaxPageSide);
  const int height = ReadBoundedInteger(template_file, "PDF", "PageHeight", old_height, 1, kMaxPageSide);
  const int left = ReadBoundedInteger(template_file, "PDF", "PageMarginLeft",
                                      static_cast<int>(page.MarginLeft()), 0, kMaxPageSide);
  const int right = ReadBoundedInteger(template_file, "PDF", "PageMarginRight",
                                       static_cast<int>(page.MarginRight()), 0, kMaxPageSide);
  const int top = ReadBoundedInteger(template_file, "PDF", "PageMarginTop",
                                     static_cast<int>(page.MarginTop()), 0, kMaxPageSide);
  const int bottom = ReadBoundedInteger(template_file, "PDF", "PageMarginBottom",
                                        static_cast<int>(page.MarginBottom()), 0, kMaxPageSide);
  CheckRoom(template_file, width, left, right, "PageWidth", "PageMarginLeft", "PageMarginRight");
  CheckRoom(template_file, height, top, bottom, "PageHeight", "PageMarginTop", "PageMarginBottom");
  if (width != old_width) page.SetWidth(width);
  if (height != old_height) page.SetHeight(height);
  page.SetMarginLeft(left);
  page.SetMarginRight(right);
  page.SetMarginTop(top);
  page.SetMarginBottom(bottom);
}

// The settings are checked before the result is opened.
bool PDFReadsAhead(const TIniFile& template_file) {
  TPDFOptions::Read(template_file, TPDFOptions());
  return false;
}

}  // namespace

TPDFOptions TPDFOptions::Read(const TIniFile& template_file, const TPDFOptions& current) {
  TPDFOptions options = current;
  options.ColSpacing = ReadSpacing(template_file, "ColSpacing", options.ColSpacing);
  options.ColSpacingGiven =
      options.ColSpacingGiven || !template_file.ReadString("PDF", "ColSpacing", "").empty();
  options.RowSpacing = ReadSpacing(template_file, "RowSpacing", options.RowSpacing);
  options.GridLineWidth =
      ReadBoundedInteger(template_file, "PDF", "GridLineWidth", options.GridLineWidth, 0, kMaxGridLineWidth);
  options.PageNumbers = template_file.ReadBool("PDF", "PageNumbers", options.PageNumbers);
  options.EmbedFonts = template_file.ReadBool("PDF", "EmbedFonts", options.EmbedFonts);
  // Font files must exist before the export starts.
  const auto font_file = [&](const char* key, std::string& file) {
    file = Trim(template_file.ReadString("PDF", key, file));
    if (!file.empty() && !FileExists(file)) {
      RefuseTemplateValue(template_file, "PDF", key, "no such font file");
    }
  };
  font_file("FontFile", options.FontFile);
  font_file("BoldFontFile", options.BoldFontFile);
  const std::string fallbacks = template_file.ReadString("PDF", "FallbackFontFiles", "");
  if (!fallbacks.empty()) {
    options.FallbackFontFiles.clear();
    for (std::size_t start = 0; start <= fallbacks.size();) {
      const std::size_t end = std::min(fallbacks.find(';', start), fallbacks.size());
      const std::string file(Trim(std::string_view(fallbacks).substr(start, end - start)));
      if (!file.empty()) {
        if (!FileExists(file))
          RefuseTemplateValue(template_file, "PDF", "FallbackFontFiles", "no such font file: " + file);
        options.FallbackFontFiles.push_back(file);
      }
      start = end + 1;
    }
  }
  ReadPage(template_file, options.PageOptions);
  options.PageGiven = options.PageGiven || !template_file.ReadString("PDF", "PageWidth", "").empty() ||
                      !template_file.ReadString("PDF", "PageHeight", "").empty();
  ReadPDFFont(template_file, "PDF_OPTION_HEADER", options.HeaderFont);
  ReadPDFFont(template_file, "PDF_OPTION_CAPTION", options.CaptionFont);
  ReadPDFFont(template_file, "PDF_OPTION_DATA", options.DataFont);
  ReadPDFFont(template_file, "PDF_OPTION_FOOTER", options.FooterFont);
  // A data font size the template names is kept, unless it names the smallest too.
  const bool size_given = !template_file.ReadString("PDF_OPTION_DATA", "FontSize", "").empty();
  options.MinFontSize = ReadBoundedInteger(template_file, "PDF", "MinFontSize",
                                           size_given ? options.DataFont.FontSize : options.MinFontSize,
                                           kMinFontSize, kMaxFontSize);
  return options;
}

void TTabuloPDF::ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) {
  // Read whole before it replaces the options: a refused value changes none.
  TPDFOptions options = TPDFOptions::Read(template_file, Options);
  ReadWidthSection(template_file, data_set, *this);
  Options = options;
}

const TExportFormat kPDFFormat{7, "PDF", {"pdf"}, &CreateExporterOf<TTabuloPDF>, &PDFReadsAhead};

}  // namespace velmora
