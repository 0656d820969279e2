#include "formats/pdf/tabulo_pdf.h"

#include <algorithm>
#include <cmath>

#include "engine/keyed_sections.h"
#include "platform/utf8.h"

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

int TTabuloPDF::RoundedStep(double factor, int size) const {
  return RoundHalfEven(factor * size);
}

// Lines of one cell follow each other a little more than a font size apart.
int TTabuloPDF::LinePitch(int size) const {
  return std::max(RoundHalfEven(1.2 * size), 1);
}

int TTabuloPDF::RowHeight(std::size_t count, int size) const {
  const int lines = static_cast<int>(std::max<std::size_t>(count, 1));
  return RoundedStep(run_.RowSpacing / 2 + 1, size) + (lines - 1) * LinePitch(size) +
         RoundedStep(run_.RowSpacing / 2, size);
}

int TTabuloPDF::InnerWidth(std::size_t column, int size) const {
  return std::max(positions_[column + 1] - positions_[column] - 2 * Padding(size), 1);
}

namespace {

// The bold faces of the standard fonts, which the bold embedded fonts stand for.
bool IsBoldFont(TPDFFontName font) {
  return font == poHelveticaBold || font == poHelveticaBoldOblique || font == poCourierBold ||
         font == poCourierBoldOblique || font == poTimesBold || font == poTimesBoldItalic;
}

}  // namespace

void TTabuloPDF::MeasureValue(int column, std::string_view text) {
  if (column < 0 || static_cast<std::size_t>(column) >= measured_.size()) return;
  // A text the standard font cannot show is measured in the embedded fonts
  // that will draw it.
  // Once the fonts are embedded, text beyond ASCII goes to them unasked.
  const bool ascii = AsciiRunLength(text, 0) == text.size();
  if (!Options.FontFile.empty() || (!ascii && (unicode_ || !Fits(text, Options.DataFont)))) {
    if (TUnicodeFontChain* chain = Chain(IsBoldFont(Options.DataFont.BaseFont))) {
      unicode_ = true;
      TPDFFont font = Options.DataFont;
      font.Unicode = chain;
      double& widest = unicode_measured_[static_cast<std::size_t>(column)];
      widest = std::max(widest, TPDFDocument::WidestLine(text, font));
      double& word = unicode_words_[static_cast<std::size_t>(column)];
      word = std::max(word, TPDFDocument::WidestWord(text, font));
      return;
    }
  }
  double& widest = measured_[static_cast<std::size_t>(column)];
  widest = std::max(widest, TPDFDocument::WidestLine(text, run_.DataFont));
  double& word = measured_words_[static_cast<std::size_t>(column)];
  word = std::max(word, TPDFDocument::WidestWord(text, run_.DataFont));
}

// ---------------------------------------------------------------------------
// Layout

namespace {

// Widths in proportion to the columns' needs, together room wide.
void Proportional(const std::vector<double>& needs, double room, std::vector<double>& widths) {
  double total = 0;
  for (const double need : needs) total += need;
  for (std::size_t column = 0; column < needs.size(); ++column) {
    widths[column] = total > 0 ? needs[column] * room / total : room / static_cast<double>(needs.size());
  }
}

// Shares room among columns that need more together. An explicit width is
// kept, and so is every column that needs no more than an equal share of what
// is left. The other columns divide the rest in proportion to their needs,
// none narrower than its lower bound: the first set of bounds that fits
// (from the most generous: a number's or date's widest value and a text's
// widest word, down to the numbers' and dates' alone). When none fits, the
// widest columns are cut to a common width; when the explicit widths alone
// are too wide, every column gets its proportional part of the room. Texts
// wrap in whatever width they get.
void ShareRoom(const std::vector<double>& needs, const std::vector<bool>& fixed,
               const std::vector<std::vector<double>>& bound_sets, double room, std::vector<double>& widths) {
  const std::size_t count = needs.size();
  std::vector<bool> kept(count, false);
  double left = room;
  for (std::size_t column = 0; column < count; ++column) {
    if (!fixed[column]) continue;
    kept[column] = true;
    widths[column] = needs[column];
    left -= needs[column];
  }
  for (bool changed = true; changed && left > 0;) {
    changed = false;
    std::size_t open = 0;
    for (std::size_t column = 0; column < count; ++column) open += kept[column] ? 0 : 1;
    if (open == 0) break;
    const double share = left / static_cast<double>(open);
    for (std::size_t column = 0; column < count; ++column) {
      if (kept[column] || needs[column] > share) continue;
      kept[column] = changed = true;
      widths[column] = needs[column];
      left -= needs[column];
    }
  }
  // Proportional parts of what is left, each at least its bound; false when
  // the bounds do not fit.
  const auto fill = [&](const std::vector<double>& bounds) {
    std::vector<bool> bounded = kept;
    double rest = left;
    for (bool changed = true; changed && rest >= 0;) {
      changed = false;
      double open_need = 0;
      for (std::size_t column = 0; column < count; ++column) open_need += bounded[column] ? 0 : needs[column];
      for (std::size_t column = 0; column < count; ++column) {
        if (bounded[column]) continue;
        const double part = open_need > 0 ? needs[column] * rest / open_need : 0;
        if (part >= bounds[column]) {
          widths[column] = part;
          continue;
        }
        bounded[column] = changed = true;
        widths[column] = bounds[column];
        rest -= bounds[column];
      }
    }
    return rest >= 0;
  };
  if (left < 0) {
    Proportional(needs, room, widths);
    return;
  }
  for (const std::vector<double>& bounds : bound_sets) {
    if (fill(bounds)) return;
  }
  // Even the numbers and dates are too wide together: the widest give way
  // until the rest fits, every column wider than a common cap cut to it and
  // the narrower ones keeping their width.
  std::vector<double> ascending;
  for (std::size_t column = 0; column < count; ++column) {
    if (!kept[column]) ascending.push_back(needs[column]);
  }
  std::sort(ascending.begin(), ascending.end());
  double cap = 0;
  for (std::size_t rank = 0; rank < ascending.size(); ++rank) {
    const double share = left / static_cast<double>(ascending.size() - rank);
    if (ascending[rank] > share) {
      cap = share;
      break;
    }
    left -= ascending[rank];
  }
  for (std::size_t column = 0; column < count; ++column) {
    if (!kept[column]) widths[column] = std::min(needs[column], cap);
  }
}

// When every column fits at its most generous lower bound (a number's or
// date's widest value, a text's widest word), starts every column there and
// gives each a part of the room left in proportion to what it still lacks:
// a long text gets the most, a caption a little wider than its numbers a
// little (it wraps onto a second line where the page is full). False,
// widths untouched, when the bounds do not fit.
bool FillTowardsNeeds(const std::vector<double>& needs, const std::vector<bool>& fixed,
                      const std::vector<double>& bounds, double room, std::vector<double>& widths) {
  const std::size_t count = needs.size();
  std::vector<double> filled(count);
  double left = room;
  double lacking = 0;
  for (std::size_t column = 0; column < count; ++column) {
    filled[column] = fixed[column] ? needs[column] : std::min(std::max(bounds[column], 1.0), needs[column]);
    left -= filled[column];
    lacking += needs[column] - filled[column];
  }
  if (left < 0) return false;
  const double part = lacking > 0 ? std::min(left / lacking, 1.0) : 0;
  for (std::size_t column = 0; column < count; ++column) {
    filled[column] += (needs[column] - filled[column]) * part;
  }
  widths = filled;
  return true;
}

}  // namespace

void TTabuloPDF::LayOutColumns() {
  const int size = run_.DataFont.FontSize;
  const std::size_t count = static_cast<std::size_t>(Columns().Count());
  const int padding = Padding(size);
  std::vector<double> needs(count);
  std::vector<bool> fixed(count);
  // Lower bounds, most generous first: a number's or date's widest value
  // with a text's widest word (up to 20 characters), or with six, four or
  // three of its characters, or the numbers and dates alone.
  std::vector<std::vector<double>> bounds(5, std::vector<double>(count, 0.0));
  std::vector<int> given_widths(count, -1);
  double total = 0;
  for (std::size_t column = 0; column < count; ++column) {
    const TTabuloColumn& source = Columns()[static_cast<int>(column)];
    // Bounded so that the widths stay within the integer range of the measure.
    const int characters = std::clamp(source.Width, 0, kMaxColumnWidth);
    const double given = TPDFDocument::AverageWidth(characters + run_.ColSpacing, size);
    if (source.WidthGiven && !AutoCalcColWidth) {
      // The template's width wins over what the values need.
      needs[column] = given;
      fixed[column] = true;
      given_widths[column] = characters;
    } else {
      const double caption =
          TPDFDocument::WidestLine(GetColCaption(static_cast<int>(column)), run_.CaptionFont) +
          2 * Padding(run_.CaptionFont.FontSize);
      needs[column] = std::ceil(std::max({measured_[column] + 2 * padding, caption, 2.0 * padding + 1}));
      // Widened to the values when the template asks for widths from the data.
      if (source.WidthGiven) needs[column] = std::max(needs[column], given);
      if (source.IsNumeric) {
        const double values = std::min(std::ceil(measured_[column] + 2 * padding), needs[column]);
        for (std::vector<double>& set : bounds) set[column] = values;
      } else {
        const double few = TPDFDocument::AverageWidth(6 + run_.ColSpacing, size);
        const double word = std::min<double>(std::ceil(measured_words_[column] + 2 * padding),
                                             TPDFDocument::AverageWidth(20 + run_.ColSpacing, size));
        bounds[0][column] = std::min(needs[column], std::max(word, few));
        bounds[1][column] = std::min(needs[column], few);
        bounds[2][column] =
            std::min<double>(needs[column], TPDFDocument::AverageWidth(4 + run_.ColSpacing, size));
        bounds[3][column] =
            std::min<double>(needs[column], TPDFDocument::AverageWidth(3 + run_.ColSpacing, size));
      }
    }
    total += needs[column];
  }
  const double room = std::max(printable_.Right - printable_.Left, 0);
  std::vector<double> widths = needs;
  const bool narrowed = total > room;
  if (narrowed && !FillTowardsNeeds(needs, fixed, bounds[0], room, widths)) {
    ShareRoom(needs, fixed, bounds, room, widths);
  }

  positions_.assign(1, printable_.Left);
  double offset = 0;
  for (const double width : widths) {
    offset += width;
    positions_.push_back(printable_.Left + RoundHalfEven(std::min(offset, room)));
  }
  if (narrowed) positions_.back() = printable_.Left + static_cast<int>(room);
  centring_widths_.clear();
  for (std::size_t column = 0; column < count; ++column) {
    const bool kept = given_widths[column] >= 0 && widths[column] == needs[column];
    centring_widths_.push_back(kept ? TPDFDocument::AverageWidth(given_widths[column], size)
                                    : InnerWidth(column, size));
  }
}

void TTabuloPDF::EnsureLayout() {
  if (laid_out_) return;
  laid_out_ = true;
  ChoosePage();
  StartDocument();
  LayOutColumns();
  const TPDFFont& font = run_.CaptionFont;
  captions_.assign(static_cast<std::size_t>(Columns().Count()), TCell{});
  for (std::size_t column = 0; column < captions_.size(); ++column) {
    TCell& caption = captions_[column];
    caption.Text = GetColCaption(static_cast<int>(column));
    caption.Color = font.FontColor;
    TPDFDocument::WrapText(caption.Text, font, InnerWidth(column, font.FontSize), caption.Lines);
  }
}

void TTabuloPDF::BeginExport() {
  TTabuloFormatText::BeginExport();
  document_ = &static_cast<TTabuloPDFWriter&>(Writer()).Document();
  run_ = Options;
  laid_out_ = false;
  positions_.clear();
  measured_.assign(static_cast<std::size_t>(Columns().Count()), 0.0);
  measured_words_.assign(measured_.size(), 0.0);
  unicode_measured_.assign(measured_.size(), 0.0);
  unicode_words_.assign(measured_.size(), 0.0);
  for (auto& chain : chains_) chain.reset();
  chains_tried_[0] = chains_tried_[1] = false;
  unicode_ = false;
  late_font_tried_ = false;
  missing_characters_ = 0;
  chain_names_.clear();
  // The page follows the width pass: the document starts with the layout.
}

bool TTabuloPDF::Fits(std::string_view text, const TPDFFont& font) {
  if (AsciiRunLength(text, 0) == text.size()) return true;
  scratch_.clear();
  return EncodeText(text, CharCodesOf(font.BaseFont, font.FontEncoding), scratch_) == 0;
}

TUnicodeFontChain* TTabuloPDF::Chain(bool bold) {
  const int which = bold ? 1 : 0;
  if (chains_tried_[which]) return chains_[which].get();
  chains_tried_[which] = true;
  // The named file first (the bold one, else the regular one for bold text
  // too), then the fallbacks named, else those fontconfig finds.
  std::vector<std::string> files;
  const std::string& named = bold && !Options.BoldFontFile.empty() ? Options.BoldFontFile : Options.FontFile;
  if (named.empty() && !Options.EmbedFonts) return nullptr;
  if (!named.empty()) files.push_back(named);
  const std::vector<std::string> rest = Options.FallbackFontFiles.empty()
                                            ? TUnicodeFontChain::DefaultFiles(bold && named.empty())
                                            : Options.FallbackFontFiles;
  for (const std::string& file : rest) {
    if (std::find(files.begin(), files.end(), file) == files.end()) files.push_back(file);
  }
  if (files.empty()) return nullptr;
  chains_[which] = std::make_unique<TUnicodeFontChain>(files);
  return chains_[which].get();
}

const TPDFFont* TTabuloPDF::LateFont() {
  if (!late_font_tried_) {
    late_font_tried_ = true;
    late_font_ = run_.DataFont;
    late_font_.Unicode = Chain(IsBoldFont(late_font_.BaseFont));
    if (late_font_.Unicode != nullptr) {
      ChainNames(*late_font_.Unicode);
    }
  }
  return late_font_.Unicode != nullptr ? &late_font_ : nullptr;
}

void TTabuloPDF::ChainNames(const TUnicodeFontChain& chain) {
  chain_names_.clear();
  for (int face = 0; face < chain.FaceCount(); ++face) {
    if (!chain_names_.empty()) chain_names_ += ", ";
    chain_names_ += chain.Metrics(face).PostScriptName;
  }
}

void TTabuloPDF::UseChains() {
  TUnicodeFontChain* regular = Chain(false);
  if (regular == nullptr) return;
  // The widths measured in the standard font grow to the embedded one's:
  // by how much wider its digits and its letters run, whichever is more.
  TPDFFont standard = Options.DataFont;
  TPDFFont embedded = Options.DataFont;
  embedded.Unicode = Chain(IsBoldFont(Options.DataFont.BaseFont));
  if (embedded.Unicode == nullptr) embedded.Unicode = regular;
  double scale = 1;
  for (const char* sample : {"0123456789", "abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"}) {
    const double before = TPDFDocument::WidestLine(sample, standard);
    if (before > 0) scale = std::max(scale, TPDFDocument::WidestLine(sample, embedded) / before);
  }
  for (std::size_t column = 0; column < measured_.size(); ++column) {
    measured_[column] = std::max(measured_[column] * scale, unicode_measured_[column]);
    measured_words_[column] = std::max(measured_words_[column] * scale, unicode_words_[column]);
  }
  for (TPDFFont* font : {&run_.HeaderFont, &run_.CaptionFont, &run_.DataFont, &run_.FooterFont}) {
    font->Unicode = Chain(IsBoldFont(font->BaseFont));
    if (font->Unicode == nullptr) font->Unicode = regular;
  }
  unicode_ = true;
  ChainNames(*regular);
}

TPageFit TTabuloPDF::FitOn(const TTabuloPDFPageOptions& page, double spacing) {
  const TPDFBox printable = page.PrintableBox();
  const double room = std::max(printable.Right - printable.Left, 0);
  const int measured_size = std::max(Options.DataFont.FontSize, 1);
  // What the columns need at least at a data font of size points: a width the
  // template gave, a number's or date's widest value, a text's widest word
  // (up to 20 characters, at least 6).
  const auto least_at = [&](int size) {
    const double scale = static_cast<double>(size) / measured_size;
    const double padding = 2.0 * TPDFDocument::AverageWidth(spacing * 0.5, size);
    double total = 0;
    for (std::size_t column = 0; column < measured_.size(); ++column) {
      const TTabuloColumn& source = Columns()[static_cast<int>(column)];
      if (source.WidthGiven && !AutoCalcColWidth) {
        total += TPDFDocument::AverageWidth(std::clamp(source.Width, 0, kMaxColumnWidth) + spacing, size);
      } else if (source.IsNumeric) {
        total += measured_[column] * scale + padding;
      } else {
        const double word = std::min<double>(measured_words_[column] * scale + padding,
                                             TPDFDocument::AverageWidth(20 + spacing, size));
        const double whole = measured_[column] * scale + padding;
        total += std::min(whole, std::max(word, 1.0 * TPDFDocument::AverageWidth(6 + spacing, size)));
      }
    }
    return total;
  };
  return FitFontSize(measured_size, Options.MinFontSize, room, least_at);
}

void TTabuloPDF::ChoosePage() {
  run_ = Options;
  // Captions, header and footer lines the standard fonts cannot show call
  // for the embedded fonts too.
  bool embed = unicode_ || !Options.FontFile.empty();
  for (int column = 0; column < Columns().Count() && !embed; ++column) {
    embed = !Fits(GetColCaption(column), Options.CaptionFont);
  }
  for (const TStringList* lines : {&Header, &Footer}) {
    for (int index = 0; index < lines->Count() && !embed; ++index)
      embed = !Fits((*lines)[index], Options.HeaderFont);
  }
  unicode_ = false;
  if (embed) UseChains();
  TPageFit fit = FitOn(run_.PageOptions, run_.ColSpacing);
  // A table too wide for the page at its font's size gets narrower spacing
  // first, unless the template set it.
  const int measured_size = std::max(Options.DataFont.FontSize, 1);
  if (!Options.ColSpacingGiven && fit.Crowded(measured_size) && run_.ColSpacing > kCrowdedColSpacing) {
    run_.ColSpacing = kCrowdedColSpacing;
    fit = FitOn(run_.PageOptions, run_.ColSpacing);
  }
  // A portrait page the template did not size may turn.
  if (!Options.PageGiven && run_.PageOptions.Orientation() == poPortrait &&
      run_.PageOptions.WidthPoints() < run_.PageOptions.HeightPoints() && fit.Crowded(measured_size)) {
    TTabuloPDFPageOptions turned = run_.PageOptions;
    turned.SetOrientation(poLandscape);
    const TPageFit turned_fit = FitOn(turned, run_.ColSpacing);
    if (TurnsThePage(fit, turned_fit)) {
      run_.PageOptions = turned;
      fit = turned_fit;
    }
  }
  const int size = fit.Size;
  if (size != measured_size) {
    // The measures scale with the font; the caption font keeps its proportion.
    const double scale = static_cast<double>(size) / measured_size;
    for (double& width : measured_) width *= scale;
    for (double& width : measured_words_) width *= scale;
    run_.DataFont.FontSize = size;
    run_.CaptionFont.FontSize = std::max(1, Options.CaptionFont.FontSize * size / measured_size);
  }
}

void TTabuloPDF::StartDocument() {
  const TTabuloPDFPageOptions& page = run_.PageOptions;
  printable_ = page.PrintableBox();
  bottom_ = printable_.Bottom;
  y_ = printable_.Top;
  table_top_ = printable_.Top;

  TPDFDocument& document = Document();
  document.MediaBox = page.PageBox();
  document.TrimBox = printable_;
  document.PageNumbers = TPDFPageNumbers{};
  if (run_.PageNumbers) {
    // Below the printable box where the margin has room for the number,
    // otherwise in the box, the table ending above it.
    const int size = run_.FooterFont.FontSize;
    const int step = RoundedStep(run_.RowSpacing * 0.5 + 1, size);
    const int descent = RoundedStep(0.25, size);
    int baseline = printable_.Bottom - step;
    if (baseline - descent < page.PageBox().Bottom) {
      baseline = printable_.Bottom + descent;
      bottom_ = std::min(printable_.Bottom + step + descent, printable_.Top - 1);
    }
    // "Page N of M" is ASCII: the standard footer font always shows it.
    TPDFFont number_font = run_.FooterFont;
    if (number_font.Unicode != nullptr) {
      number_font.Unicode = nullptr;
      number_font.Name = "PageNumberFont";
    }
    document.PageNumbers = TPDFPageNumbers{true, number_font, printable_.Left, printable_.Right, baseline};
  }
  // Glyph ids take more bytes than the characters they draw: such pages are deflated.
  document.CompressContent = unicode_;
  document.BeginDoc();
  document.NewPage();
  document.LineWidth = run_.GridLineWidth;
  document.LineSpacing = run_.RowSpacing;
  document.SetStrokeColor(run_.GridLineColor);
  if (Header.Count() > 0) {
    WriteLines(Header, run_.HeaderFont, true);
    y_ -= RoundedStep(run_.RowSpacing * 0.5, run_.HeaderFont.FontSize);
  }
  table_top_ = y_;
  document.AddFont(run_.DataFont);
  document.AddFont(run_.CaptionFont);
  document.AddFont(run_.HeaderFont);
  document.AddFont(run_.FooterFont);
}

void TTabuloPDF::WriteLines(const TStringList& lines, const TPDFFont& font, bool set_colors_on_new_page) {
  TPDFDocument& document = Document();
  document.SetFont(font);
  const int step = RoundedStep(run_.RowSpacing * 0.5 + 1, font.FontSize);
  for (int index = 0; index < lines.Count(); ++index) {
    const std::string& line = lines[index];
    TPDFDocument::WrapText(line, font, printable_.Right - printable_.Left, lines_);
    for (const TTextLine& part : lines_) {
      y_ -= step;
      if (y_ < bottom_) {
        document.NewPage();
        if (set_colors_on_new_page) {
          document.SetFillColor(font.FontColor);
          document.SetStrokeColor(run_.GridLineColor);
        }
        y_ = printable_.Top - step;
      }
      document.TextOut(printable_.Left, y_, font.FontColor,
                       std::string_view(line).substr(part.Begin, part.End - part.Begin));
    }
  }
}

void TTabuloPDF::HorizontalRule(int y) {
  Document().DrawLine(run_.GridLineColor, positions_.front(), y, positions_.back(), y);
}

void TTabuloPDF::VerticalRules(int top, int bottom) {
  const double overhang = run_.GridLineWidth / 2.0;
  for (const int position : positions_) {
    Document().DrawLine(run_.GridLineColor, position, top + overhang, position, bottom - overhang);
  }
}

void TTabuloPDF::DrawRowPart(std::vector<TCell>& cells, const TPDFFont& font, std::size_t first,
                             std::size_t count) {
  TPDFDocument& document = Document();
  const int size = font.FontSize;
  const int padding = Padding(size);
  const int pitch = LinePitch(size);
  const int baseline = y_ - RoundedStep(run_.RowSpacing / 2 + 1, size);
  for (std::size_t column = 0; column < cells.size(); ++column) {
    const TCell& cell = cells[column];
    const int left = positions_[column];
    const int right = positions_[column + 1];
    if (cell.Background != clWhite) {
      const int lowest = baseline - static_cast<int>(count - 1) * pitch;
      document.Rectangle(
          cell.Background, left, lowest - size * run_.RowSpacing / 2, right - left,
          (1 + run_.RowSpacing) * size + static_cast<double>(count - 1) * pitch - run_.GridLineWidth / 2.0);
    }
    const std::size_t end = std::min(first + count, cell.Lines.size());
    for (std::size_t line = first; line < end; ++line) {
      const TTextLine& part = cell.Lines[line];
      // An empty line between others draws nothing.
      if (part.Begin == part.End && cell.Lines.size() > 1) continue;
      const std::string_view text = std::string_view(cell.Text).substr(part.Begin, part.End - part.Begin);
      if (cell.Font != nullptr) document.SetFont(*cell.Font);
      int x = left + padding;
      if (cell.Align == ecaCenter) {
        x += (centring_widths_[column] - document.WidthToDraw(text)) / 2;
      } else if (cell.Align == ecaRight) {
        x = right - padding - document.WidthToDraw(text);
      }
      document.TextOut(x, baseline - static_cast<int>(line - first) * pitch, cell.Color, text);
      if (cell.Font != nullptr) document.SetFont(font);
    }
  }
  y_ -= RowHeight(count, size);
  HorizontalRule(y_);
}

void TTabuloPDF::DrawCaptionRow() {
  const TPDFFont& font = run_.CaptionFont;
  Document().SetFont(font);
  HorizontalRule(y_);
  std::size_t lines = 1;
  for (const TCell& caption : captions_) lines = std::max(lines, caption.Lines.size());
  DrawRowPart(captions_, font, 0, lines);
}

void TTabuloPDF::WriteCaptionRow() {
  EnsureLayout();
  DrawCaptionRow();
}

void TTabuloPDF::BreakPage() {
  TPDFDocument& document = Document();
  VerticalRules(table_top_, y_);
  y_ = printable_.Top;
  table_top_ = printable_.Top;
  document.NewPage();
  document.SetFillColor(run_.DataFont.FontColor);
  document.SetStrokeColor(run_.GridLineColor);
  if (AllowCaptions) {
    DrawCaptionRow();
  } else {
    HorizontalRule(y_);
  }
  document.SetFont(run_.DataFont);
}

void TTabuloPDF::WriteDataRow() {
  EnsureLayout();
  TPDFDocument& document = Document();
  const TPDFFont& font = run_.DataFont;
  const int size = font.FontSize;
  document.SetFont(font);
  cells_.resize(static_cast<std::size_t>(Columns().Count()));
  std::size_t lines = 1;
  for (TTabuloCol& source : ExportRow()) {
    const int index = source.ColumnIndex;
    const std::size_t column = static_cast<std::size_t>(index);
    TCell& cell = cells_[column];
    CellExportText(source, true, cell.Text);
    TFont cell_font;
    cell_font.Color = font.FontColor;
    cell.Align = Columns()[index].Align;
    cell.Background = clWhite;
    GetCellParams(RecordCounter(), index, cell.Text, cell.Align, cell_font, cell.Background);
    cell.Color = cell_font.Color;
    // A document begun in the standard fonts draws a later value they
    // cannot show in the embedded fonts.
    cell.Font = !unicode_ && !Fits(cell.Text, font) ? LateFont() : nullptr;
    TPDFDocument::WrapText(cell.Text, cell.Font != nullptr ? *cell.Font : font, InnerWidth(column, size),
                           cell.Lines);
    lines = std::max(lines, cell.Lines.size());
  }
  // A row that does not fit below the last one starts the next page, unless
  // it is taller than a whole page: it then begins here if a line fits, and
  // goes on over the pages after.
  const int height = RowHeight(lines, size);
  if (y_ - height < bottom_) {
    int fresh_room = printable_.Top - bottom_;
    if (AllowCaptions) {
      std::size_t caption_lines = 1;
      for (const TCell& caption : captions_) caption_lines = std::max(caption_lines, caption.Lines.size());
      fresh_room -= RowHeight(caption_lines, run_.CaptionFont.FontSize);
    }
    if (height <= fresh_room || y_ - RowHeight(1, size) < bottom_) BreakPage();
  }
  const int steps = RoundedStep(run_.RowSpacing / 2 + 1, size) + RoundedStep(run_.RowSpacing / 2, size);
  const int pitch = LinePitch(size);
  for (std::size_t first = 0;;) {
    // As many lines as reach no lower than the bottom, and one at least.
    const int room = y_ - bottom_ - steps;
    const std::size_t fitting = room >= 0 ? static_cast<std::size_t>(room / pitch) + 1 : 1;
    const std::size_t count = std::clamp<std::size_t>(fitting, 1, lines - first);
    DrawRowPart(cells_, font, first, count);
    first += count;
    if (first >= lines) break;
    BreakPage();
  }
}

void TTabuloPDF::EndExport() {
  EnsureLayout();
  TPDFDocument& document = Document();
  if (y_ != printable_.Top) VerticalRules(table_top_, y_);
  if (Footer.Count() > 0) WriteLines(Footer, run_.FooterFont, false);
  document.EndDoc();
  replaced_characters_ = document.ReplacedCharacters();
  missing_characters_ = 0;
  for (const auto& chain : chains_) {
    if (chain != nullptr) missing_characters_ += chain->MissingCharacters();
  }
  TTabuloFormatText::EndExport();
}

std::vector<std::string> TTabuloPDF::ExportNotes(const std::string& file_name) const {
  std::vector<std::string> notes = TTabuloFormatText::ExportNotes(file_name);
  if (missing_characters_ > 0) {
    notes.push_back(std::to_string(missing_characters_) + " characters that none of the fonts " +
                    chain_names_ + " has were drawn in " + file_name + " as the missing glyph");
  }
  return notes;
}

}  // namespace velmora
