#include "formats/latex/tabulo_latex.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/error.h"
#include "platform/ini_file.h"
#include "platform/text_utils.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

// The table environment that breaks across pages.
constexpr std::string_view kTableEnvironment = "longtable";
constexpr std::string_view kCellSeparator = " & ";
// A word gets a break point after every so many characters: pieces this
// long are the narrowest a text column needs.
constexpr int kBreakEvery = 5;
// A break inside a word, taken only where the column has no other; its
// demerits stay small enough that many of them in one cell still add up to a
// feasible paragraph.
constexpr std::string_view kWordBreak = "\\penalty1000\\relax ";
// A break after the punctuation that joins the parts of a name, an address
// or a path ("customer_id", "a.b@example.org"): preferred to kWordBreak.
constexpr std::string_view kJoinBreak = "\\penalty500\\relax ";

bool JoinsParts(char character) {
  return character == '_' || character == '-' || character == '.' || character == '@' || character == '/';
}

// The characters pdflatex typesets with UTF-8 input and the standard fonts,
// found by compiling each: ASCII, Latin-1, most of Latin Extended-A, the
// accents, dashes, quotes and the symbols of the companion font.
constexpr char32_t kPdfLaTeXRanges[][2] = {
    {0x20, 0x7E},     {0xA0, 0x125},    {0x128, 0x137},   {0x139, 0x13E},   {0x141, 0x148},   {0x14A, 0x165},
    {0x168, 0x17E},   {0x192, 0x192},   {0x1C4, 0x1D4},   {0x1E2, 0x1E3},   {0x1E6, 0x1EB},   {0x1F0, 0x1F0},
    {0x1F4, 0x1F5},   {0x218, 0x21B},   {0x232, 0x233},   {0x237, 0x237},   {0x2C6, 0x2C7},   {0x2D8, 0x2D9},
    {0x2DB, 0x2DD},   {0x200C, 0x200C}, {0x2010, 0x2016}, {0x2018, 0x201A}, {0x201C, 0x201E}, {0x2020, 0x2022},
    {0x2026, 0x2026}, {0x2030, 0x2031}, {0x2039, 0x203B}, {0x203D, 0x203D}, {0x2044, 0x2044}, {0x204E, 0x204E},
    {0x2052, 0x2052}, {0x20AC, 0x20AC}, {0x2103, 0x2103}, {0x2116, 0x2117}, {0x2120, 0x2120}, {0x2122, 0x2122},
    {0x2126, 0x2127}, {0x212E, 0x212E}, {0x2190, 0x2193}, {0x2422, 0x2423}, {0x25E6, 0x25E6}, {0x27E8, 0x27E9},
    {0x3008, 0x3009}, {0xFB00, 0xFB02},
    // Declared by the preamble as a boxed question mark.
    {0xFFFD, 0xFFFD}};

// Advance widths of the printable ASCII characters, as escaped, in
// thousandths of an em: Computer Modern Roman (pdflatex) and DejaVu Serif
// (xelatex), measured by typesetting each.
constexpr short kAsciiWidths[2][95] = {
    {333, 278, 500, 833, 500, 833, 778, 278, 389, 389, 500, 778, 278, 333, 278, 500, 500, 500, 500, 500,
     500, 500, 500, 500, 500, 500, 278, 278, 778, 778, 778, 472, 778, 750, 708, 722, 764, 681, 653, 785,
     750, 361, 514, 778, 625, 917, 750, 778, 681, 778, 736, 556, 722, 750, 750, 1028, 750, 750, 611, 278,
     500, 278, 500, 360, 278, 500, 556, 444, 556, 444, 306, 500, 556, 278, 306, 528, 278, 833, 556, 500,
     556, 528, 392, 394, 389, 556, 528, 722, 528, 528, 444, 500, 278, 500, 500},
    {318, 402, 511, 838, 636, 950, 890, 318, 390, 390, 500, 838, 318, 338, 318, 337, 636, 636, 636, 636,
     636, 636, 636, 636, 636, 636, 337, 337, 778, 838, 778, 536, 1000, 722, 735, 765, 802, 730, 694, 799,
     872, 395, 401, 747, 664, 1024, 875, 820, 673, 820, 753, 685, 667, 843, 722, 1028, 712, 660, 695, 390,
     337, 390, 838, 500, 318, 596, 640, 560, 640, 592, 370, 640, 644, 320, 310, 606, 320, 948, 644, 602,
     640, 640, 478, 513, 402, 644, 565, 856, 564, 565, 527, 636, 337, 636, 838}};
// Other characters: an estimate by the cells they take.
constexpr double kOtherWidth[2] = {0.75, 0.82};
// The width of a digit, the unit of a WIDTH entry.
constexpr double kDigitWidth[2] = {0.5, 0.636};
// The text width of the standard classes, in em of their text font (345pt
// at 10pt, a little less at 11pt and 12pt); the table's columns are written
// as parts of the real width, this only decides which columns keep their
// natural width.
constexpr double kNominalLineWidth = 33.0;
// A rule between columns, in em at 10pt.
constexpr double kRuleWidth = 0.04;
// Room for the estimate's error, so that a text that fits is not wrapped.
constexpr double kSlack = 0.3;
// Text columns narrower than this wrap every few characters.
constexpr double kNarrowestText = 3.5;
// A long text reads well in a column about this wide (some 30 characters):
// a page is chosen on which the text columns get at least that much.
constexpr double kComfortableText = 14.0;
// The pages a table may take, tried in order: the class's own text width,
// then A4 with narrower margins, then A4 turned. Widths in em at 10pt.
struct TPageLayout {
  const char* Geometry;  // options of the geometry package; empty: none
  double LineWidth;
};
constexpr TPageLayout kPageLayouts[] = {{"", kNominalLineWidth},
                                        {"a4paper,margin=1.5cm", 50.5},
                                        {"a4paper,landscape,margin=1.5cm", 75.0}};
// The font sizes a table too wide for the text font steps down to, with
// their em against the text font's (Computer Modern's smaller sizes are
// relatively wider; DejaVu scales as it is) and the column separation there.
struct TTableSize {
  const char* Command;
  double Scale[2];
  double Separation;  // 2\\tabcolsep in em of that size
};
constexpr TTableSize kTableSizes[] = {{"", {1.0, 1.0}, 1.2},
                                      {"\\small", {0.925, 0.9}, 0.8},
                                      {"\\footnotesize", {0.85, 0.8}, 0.5},
                                      {"\\scriptsize", {0.797, 0.7}, 0.4}};

bool IsBlank(char32_t code_point) {
  return code_point == ' ' || code_point == '\t' || code_point == '\r' || code_point == '\n' ||
         code_point == 0x2028 || code_point == 0x2029;
}

double CharacterWidth(int engine, char32_t code_point) {
  if (code_point >= 0x20 && code_point <= 0x7E) return kAsciiWidths[engine][code_point - 0x20] / 1000.0;
  const int cells = CodePointCells(code_point);
  if (cells <= 0) return 0;
  return cells == 2 ? 1.0 : kOtherWidth[engine];
}

// A length in em with two decimals, whatever the locale.
std::string Em(double value) {
  const long hundredths = std::lround(std::max(value, 0.0) * 100);
  char text[32];
  std::snprintf(text, sizeof text, "%ld.%02ldem", hundredths / 100, hundredths % 100);
  return text;
}

bool IsSoundFontName(const std::string& name) {
  if (Trim(name).empty()) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' || c == '-' ||
           c == '_' || c == '.';
  });
}

}  // namespace

bool TypesetsWithPdfLaTeX(char32_t code_point) {
  for (const auto& range : kPdfLaTeXRanges) {
    if (code_point < range[0]) return false;
    if (code_point <= range[1]) return true;
  }
  return false;
}

TLaTeXOptions TLaTeXOptions::Read(const TIniFile& template_file, const TLaTeXOptions& current) {
  TLaTeXOptions options = current;
  const std::string engine(Trim(template_file.ReadString("LaTeX", "Engine", "")));
  if (SameText(engine, "auto")) {
    options.Engine = leAuto;
  } else if (SameText(engine, "pdflatex")) {
    options.Engine = lePdfLaTeX;
  } else if (SameText(engine, "xelatex")) {
    options.Engine = leXeLaTeX;
  } else if (!engine.empty()) {
    throw EVelmoraError(Format("LaTeX Engine \"%s\" is not auto, pdflatex or xelatex", engine.c_str()));
  }
  for (const auto& [key, target] : {std::pair<const char*, std::string*>{"Font", &options.Font},
                                    std::pair<const char*, std::string*>{"CJKFont", &options.CJKFont}}) {
    const std::string name(Trim(template_file.ReadString("LaTeX", key, *target)));
    if (!IsSoundFontName(name)) {
      throw EVelmoraError(Format("LaTeX %s \"%s\" is not a font name of letters, digits, blanks, \"-\", \"_\" and \".\"",
                                 key, name.c_str()));
    }
    *target = name;
  }
  options.DocumentParams = template_file.ReadString("LaTeX", "DocumentParams", options.DocumentParams);
  return options;
}

void TTabuloLaTeX::ReadFormatSections(const TIniFile& template_file, const TDataSet&) {
  Options = TLaTeXOptions::Read(template_file, Options);
}

void TTabuloLaTeXWriter::BeginEnvironment(std::string_view name, std::string_view argument) {
  std::string line = "\\begin{";
  line += name;
  line += '}';
  if (!argument.empty()) {
    line += '{';
    line += argument;
    line += '}';
  }
  WriteLine(line);
}

void TTabuloLaTeXWriter::EndEnvironment(std::string_view name) {
  WriteLine(std::string("\\end{").append(name).append("}"));
}

void TTabuloLaTeXWriter::Package(std::string_view options, std::string_view name) {
  WriteLine(std::string("\\usepackage[").append(options).append("]{").append(name).append("}"));
}

std::size_t AppendLaTeXText(std::string& out, std::string_view text, std::uint64_t* beyond_pdflatex,
                            bool break_words) {
  std::size_t replaced = 0;
  int word_length = 0;  // characters since the last blank or break point
  for (std::size_t position = 0; position < text.size(); ++position) {
    const char character = text[position];
    char32_t code_point = static_cast<unsigned char>(character);
    std::size_t length = 1;
    bool valid = true;
    if (code_point >= 0x80) {
      const TUtf8Sequence sequence = DecodeUtf8(text, position);
      valid = sequence.Valid;
      code_point = sequence.Valid ? sequence.CodePoint : kReplacementCharacter;
      length = static_cast<std::size_t>(sequence.Length);
    }
    if (IsBlank(code_point)) {
      word_length = 0;
    } else if (CodePointCells(code_point) > 0 && code_point >= 0x20 && code_point != 0x7F) {
      // Never between a letter and its combining marks.
      if (break_words && word_length == kBreakEvery) {
        out += kWordBreak;
        word_length = 0;
      }
      ++word_length;
    }
    if (code_point >= 0x80) {
      if (code_point == 0x2028 || code_point == 0x2029) {
        // Line and paragraph separators break lines as CR and LF do.
        out.push_back(' ');
      } else if (valid) {
        out.append(text, position, length);
      } else {
        // The compiler stops at the first byte that is not UTF-8.
        out += kReplacementCharacterUtf8;
        ++replaced;
      }
      if (beyond_pdflatex != nullptr && !IsBlank(code_point) && !TypesetsWithPdfLaTeX(code_point)) {
        ++*beyond_pdflatex;
      }
      position += length - 1;
      continue;
    }
    switch (character) {
      case '#':
      case '$':
      case '%':
      case '&':
      case '_':
      case '{':
      case '}':
        out.push_back('\\');
        out.push_back(character);
        break;
      case '\\':
        out += "\\textbackslash{}";
        break;
      case '^':
        out += "\\^{}";
        break;
      case '~':
        out += "\\~{}";
        break;
      case '|':
        // The text font has no bar at that place (it shows a dash).
        out += "\\textbar{}";
        break;
      case '<':
        out += "$<$";
        break;
      case '>':
        out += "$>$";
        break;
      case '\t':
      case '\r':
      case '\n':
        out.push_back(' ');
        break;
      default:
        // Other control characters have no glyph and stop the compiler.
        if (static_cast<unsigned char>(character) >= 0x20 && character != 0x7F) out.push_back(character);
    }
    // In a word long enough to get break points, a part of it ends here:
    // the next breaks count from it. Not at the word's end, where a blank
    // follows anyway.
    if (break_words && JoinsParts(character)) {
      std::size_t word_end = position + 1;
      while (word_end < text.size() && !IsBlank(static_cast<unsigned char>(text[word_end]))) ++word_end;
      std::size_t word_start = position;
      while (word_start > 0 && !IsBlank(static_cast<unsigned char>(text[word_start - 1]))) --word_start;
      if (word_end > position + 1 && Utf8Length(text.substr(word_start, word_end - word_start)) > kBreakEvery) {
        out += kJoinBreak;
        word_length = 0;
      }
    }
  }
  return replaced;
}

TTabuloWriterClass TTabuloLaTeX::GetWriterClass() const { return &CreateWriterOf<TTabuloLaTeXWriter>; }

TTabuloLaTeXWriter& TTabuloLaTeX::LaTeXWriter() const { return static_cast<TTabuloLaTeXWriter&>(Writer()); }

// ---------------------------------------------------------------------------
// Measuring

bool TTabuloLaTeX::Measure(TMeasure& measure, std::string_view text) {
  bool beyond_pdflatex = false;
  std::array<double, 2> width{};
  std::array<double, 2> word{};
  const auto end_word = [&] {
    for (int engine = 0; engine < 2; ++engine) {
      measure.LongestWord[engine] = std::max(measure.LongestWord[engine], word[engine]);
      word[engine] = 0;
    }
  };
  for (std::size_t position = 0; position < text.size();) {
    const TUtf8Sequence sequence = DecodeUtf8(text, position);
    position += static_cast<std::size_t>(sequence.Length);
    const char32_t code_point = sequence.Valid ? sequence.CodePoint : kReplacementCharacter;
    // Control characters are dropped by the escaping.
    if (code_point < 0x20 || code_point == 0x7F) continue;
    if (!TypesetsWithPdfLaTeX(code_point) && !IsBlank(code_point)) beyond_pdflatex = true;
    if (IsBlank(code_point)) end_word();
    for (int engine = 0; engine < 2; ++engine) {
      const double advance = IsBlank(code_point) ? CharacterWidth(engine, ' ') : CharacterWidth(engine, code_point);
      width[engine] += advance;
      if (!IsBlank(code_point)) word[engine] += advance;
    }
  }
  end_word();
  for (int engine = 0; engine < 2; ++engine) measure.Widest[engine] = std::max(measure.Widest[engine], width[engine]);
  return beyond_pdflatex;
}

void TTabuloLaTeX::MeasureValue(int column, std::string_view text) {
  if (column >= 0 && static_cast<std::size_t>(column) < measures_.size()) {
    if (Measure(measures_[static_cast<std::size_t>(column)], text)) needs_unicode_engine_ = true;
  }
}

void TTabuloLaTeX::NoteEngineNeeds(std::string_view text) {
  TMeasure ignored;
  if (Measure(ignored, text)) needs_unicode_engine_ = true;
}

// ---------------------------------------------------------------------------
// Prologue and epilogue

void TTabuloLaTeX::WritePreamble() {
  TTabuloLaTeXWriter& writer = LaTeXWriter();
  const std::string class_name = Options.DocumentStyle == dsBook ? "book" : "article";
  if (Options.LaTeXVersion == LaTeX209) {
    // The old preamble takes packages as options of the style.
    std::string params = Options.DocumentParams;
    if (!params.empty()) params += ',';
    params += kTableEnvironment;
    params += ",array";
    writer.WriteLine("\\documentstyle[" + params + "]{" + class_name + "}");
    return;
  }
  if (engine_used_ == leXeLaTeX) {
    WriteUnicodePreamble(class_name);
  } else {
    if (Options.DocumentParams.empty()) {
      writer.WriteLine("\\documentclass{" + class_name + "}");
    } else {
      writer.WriteLine("\\documentclass[" + Options.DocumentParams + "]{" + class_name + "}");
    }
    writer.Package(Options.CodePage == 0 ? std::string("utf8") : "cp" + std::to_string(Options.CodePage),
                   "inputenc");
    // The replacement character of bytes that are not UTF-8 has no glyph in
    // the standard fonts: it prints as a boxed question mark.
    if (Options.CodePage == 0) writer.WriteLine("\\DeclareUnicodeCharacter{FFFD}{\\fbox{?}}");
    writer.Package(Options.Languages, "babel");
  }
  if (!page_geometry_.empty()) writer.Package(page_geometry_, "geometry");
  writer.Package("", "array");
  writer.Package("", kTableEnvironment);
  if (Preambula.Count() > 0) {
    for (const std::string& line : Preambula) writer.WriteLine(line);
    writer.EmptyLine();
  }
}

// Unicode fonts for every script: the text font, and the CJK font for the
// characters of the CJK blocks, which switch to it through XeTeX's character
// classes; lines break between CJK characters as between words.
void TTabuloLaTeX::WriteUnicodePreamble(const std::string& class_name) {
  TTabuloLaTeXWriter& writer = LaTeXWriter();
  if (Options.DocumentParams.empty()) {
    writer.WriteLine("\\documentclass{" + class_name + "}");
  } else {
    writer.WriteLine("\\documentclass[" + Options.DocumentParams + "]{" + class_name + "}");
  }
  writer.Package("", "fontspec");
  writer.WriteLine("\\setmainfont{" + Options.Font + "}");
  writer.WriteLine("\\newfontfamily\\VelmoraCJKFont{" + Options.CJKFont + "}");
  writer.Package(Options.Languages, "babel");
  writer.WriteLine("\\newXeTeXintercharclass\\VelmoraCJKClass");
  writer.WriteLine("\\newcount\\VelmoraCode");
  writer.WriteLine("\\def\\VelmoraCJKRange#1#2{\\VelmoraCode=#1\\relax\\loop\\XeTeXcharclass\\VelmoraCode="
                   "\\VelmoraCJKClass\\ifnum\\VelmoraCode<#2\\relax\\advance\\VelmoraCode by 1\\repeat}");
  // Hangul Jamo; radicals to Yi (kana, bopomofo, ideographs); Hangul;
  // compatibility ideographs and forms; full-width forms; the
  // supplementary ideographs.
  writer.WriteLine("\\VelmoraCJKRange{\"1100}{\"11FF}\\VelmoraCJKRange{\"2E80}{\"A4CF}"
                   "\\VelmoraCJKRange{\"A960}{\"A97F}\\VelmoraCJKRange{\"AC00}{\"D7FF}");
  writer.WriteLine("\\VelmoraCJKRange{\"F900}{\"FAFF}\\VelmoraCJKRange{\"FE30}{\"FE4F}"
                   "\\VelmoraCJKRange{\"FF00}{\"FFEF}\\VelmoraCJKRange{\"20000}{\"3FFFF}");
  writer.WriteLine("\\XeTeXinterchartokenstate=1");
  writer.WriteLine("\\XeTeXinterchartoks 0 \\VelmoraCJKClass = {\\begingroup\\VelmoraCJKFont}");
  writer.WriteLine("\\XeTeXinterchartoks 4095 \\VelmoraCJKClass = {\\begingroup\\VelmoraCJKFont}");
  writer.WriteLine("\\XeTeXinterchartoks \\VelmoraCJKClass 0 = {\\endgroup}");
  writer.WriteLine("\\XeTeXinterchartoks \\VelmoraCJKClass 4095 = {\\endgroup}");
  writer.WriteLine("\\XeTeXlinebreaklocale \"zh\"");
  writer.WriteLine("\\XeTeXlinebreakskip=0pt plus 1pt");
}

// The columns: numbers right-aligned and dates at their natural width (never
// wrapped), a WIDTH entry as that many digits, and text columns that wrap.
// Text columns that fit keep their natural width; the others share what the
// rest leaves of the line in proportion to their content. Sets before_table
// to the lines that compute that share in the document.
std::string TTabuloLaTeX::ColumnSpec(std::string& before_table) {
  before_table.clear();
  const int engine = engine_used_ == leXeLaTeX ? 1 : 0;
  const int count = Columns().Count();
  const bool keep_given = !AutoCalcColWidth;
  struct TPlan {
    bool text = false;
    double natural = 0;
    double narrowest = 0;
    double fixed = -1;  // the width in em once decided
    double caption = 0;  // numbers and dates: the width of the whole caption
  };
  // Numbers and dates: the widest value whole, the caption wrapped if need be.
  // A table that fits the line with every column at its natural width
  // (captions whole) keeps them so; in a wider one a number's caption wraps.
  bool captions_whole = false;
  const auto numeric_width = [&](int index) {
    TMeasure values = index < static_cast<int>(measures_.size()) ? measures_[static_cast<std::size_t>(index)]
                                                                   : TMeasure{};
    TMeasure caption;
    Measure(caption, Columns()[index].Caption);
    const double caption_part = captions_whole ? caption.Widest[engine] : std::min(caption.Widest[engine], kNarrowestText);
    return std::max(values.Widest[engine], caption_part) + kSlack;
  };
  {
    double natural = count * kTableSizes[0].Separation + (count + 1) * kRuleWidth;
    for (int index = 0; index < count; ++index) {
      const TTabuloColumn& column = Columns()[index];
      TMeasure measure = index < static_cast<int>(measures_.size()) ? measures_[static_cast<std::size_t>(index)]
                                                                      : TMeasure{};
      Measure(measure, column.Caption);
      natural += column.WidthGiven && keep_given ? column.Width * kDigitWidth[engine] : measure.Widest[engine] + kSlack;
    }
    captions_whole = natural <= kNominalLineWidth;
  }
  std::vector<TPlan> plans(static_cast<std::size_t>(count));
  double fixed_em = 0;  // widths of the fixed text columns, written into the share
  double natural_numbers = 0;
  for (int index = 0; index < count; ++index) {
    const TTabuloColumn& column = Columns()[index];
    TPlan& plan = plans[static_cast<std::size_t>(index)];
    TMeasure measure = index < static_cast<int>(measures_.size()) ? measures_[static_cast<std::size_t>(index)]
                                                                    : TMeasure{};
    Measure(measure, column.Caption);
    plan.natural = measure.Widest[engine] + kSlack;
    if (column.WidthGiven && keep_given) {
      plan.fixed = column.Width * kDigitWidth[engine];
      fixed_em += plan.fixed;
    } else if (column.IsNumeric) {
      plan.fixed = numeric_width(index);
      plan.caption = measure.Widest[engine] + kSlack;
      natural_numbers += plan.fixed;
    } else {
      plan.text = true;
      plan.narrowest = std::min(measure.LongestWord[engine] + kSlack, kNarrowestText);
    }
  }
  // The first page, and on it the largest size, at which the text columns
  // get a comfortable width (or their natural one, when less); failing
  // that, the widest page where they fit at their narrowest (the caption's
  // pieces break every few characters). Only A4 of the default document
  // options may be changed: a template's own paper or orientation is kept.
  double least = natural_numbers + fixed_em;
  double comfortable = least;
  for (const TPlan& plan : plans) {
    if (!plan.text) continue;
    least += std::min(plan.natural, plan.narrowest);
    comfortable += std::min(plan.natural, std::max(plan.narrowest, kComfortableText));
  }
  const bool may_change_page = Options.LaTeXVersion == LaTeX2e && SameText(Options.DocumentParams, "a4paper");
  const TPageLayout* page = &kPageLayouts[0];
  const TTableSize* size = &kTableSizes[0];
  too_wide_ = true;
  // Fitting only at their narrowest, the text columns get the most room on
  // the widest page.
  const std::vector<const TPageLayout*> pages =
      may_change_page ? std::vector<const TPageLayout*>{&kPageLayouts[0], &kPageLayouts[1], &kPageLayouts[2]}
                      : std::vector<const TPageLayout*>{&kPageLayouts[0]};
  for (const double needed : {comfortable, least}) {
    const bool widest_first = needed == least && comfortable != least;
    for (std::size_t order = 0; order < pages.size(); ++order) {
      const TPageLayout& page_candidate = *pages[widest_first ? pages.size() - 1 - order : order];
      for (const TTableSize& candidate : kTableSizes) {
        const double line = page_candidate.LineWidth / candidate.Scale[engine];
        if (needed + count * candidate.Separation + (count + 1) * kRuleWidth / candidate.Scale[engine] <= line) {
          page = &page_candidate;
          size = &candidate;
          too_wide_ = false;
          break;
        }
      }
      if (!too_wide_) break;
    }
    if (!too_wide_) break;
  }
  if (too_wide_) {
    page = may_change_page ? &kPageLayouts[std::size(kPageLayouts) - 1] : &kPageLayouts[0];
    size = &kTableSizes[std::size(kTableSizes) - 1];
  }
  page_geometry_ = page->Geometry;
  if (size != &kTableSizes[0]) {
    before_table += std::string("\\begingroup") + size->Command + "\\setlength\\tabcolsep{" + Em(size->Separation / 2) +
                    "}\r\n";
  }
  table_size_changed_ = size != &kTableSizes[0];
  // Share the rest among the text columns: those within their part keep
  // their natural width, then those below their narrowest get it.
  double rest = page->LineWidth / size->Scale[engine] - count * size->Separation -
                (count + 1) * kRuleWidth / size->Scale[engine] - natural_numbers - fixed_em;
  const auto flexible_total = [&] {
    double total = 0;
    for (const TPlan& plan : plans)
      if (plan.text && plan.fixed < 0) total += plan.natural;
    return total;
  };
  const auto flexible_count = [&] {
    int flexible = 0;
    for (const TPlan& plan : plans)
      if (plan.text && plan.fixed < 0) ++flexible;
    return flexible;
  };
  // A column within an equal part keeps its natural width; the widest
  // column stays flexible, so that the table takes the whole line.
  for (bool narrowest_pass : {false, true}) {
    for (bool moved = true; moved;) {
      moved = false;
      const double total = flexible_total();
      const int flexible = flexible_count();
      if (flexible == 0) break;
      TPlan* widest = nullptr;
      for (TPlan& plan : plans)
        if (plan.text && plan.fixed < 0 && (widest == nullptr || plan.natural > widest->natural)) widest = &plan;
      for (TPlan& plan : plans) {
        if (!plan.text || plan.fixed >= 0) continue;
        const double part = std::max(rest, 0.0) / flexible;
        const double share = std::max(rest, 0.0) * plan.natural / total;
        const bool fixes = narrowest_pass ? share < plan.narrowest && &plan != widest
                                          : total <= rest || plan.natural <= part;
        if (fixes) {
          plan.fixed = narrowest_pass ? plan.narrowest : plan.natural;
          rest -= plan.fixed;
          fixed_em += plan.fixed;
          moved = true;
          break;
        }
      }
    }
  }
  // Without a text column to take it, room left on the line lets the
  // captions of numbers and dates unwrap, the narrowest need first.
  if (flexible_total() == 0 && rest > 0) {
    std::vector<TPlan*> wrapped;
    for (TPlan& plan : plans)
      if (!plan.text && plan.caption > plan.fixed) wrapped.push_back(&plan);
    std::sort(wrapped.begin(), wrapped.end(),
              [](const TPlan* a, const TPlan* b) { return a->caption - a->fixed < b->caption - b->fixed; });
    for (TPlan* plan : wrapped) {
      const double more = std::min(plan->caption - plan->fixed, rest);
      if (more <= 0) break;
      plan->fixed += more;
      natural_numbers += more;
      rest -= more;
    }
  }
  const double flexible = flexible_total();
  double narrowest_flexible = 0;
  for (const TPlan& plan : plans)
    if (plan.text && plan.fixed < 0) narrowest_flexible += plan.narrowest;
  if (flexible > 0) {
    // \linewidth less the separations, the rules, the fixed text columns and
    // the number columns' estimate; never less than the columns' narrowest.
    before_table += "\\newlength\\VelmoraRest\r\n\\setlength\\VelmoraRest{\\dimexpr\\linewidth-" +
                   std::to_string(2 * count) + "\\tabcolsep-" + std::to_string(count + 1) + "\\arrayrulewidth-" +
                   Em(fixed_em + natural_numbers) + "\\relax}\r\n\\ifdim\\VelmoraRest<" + Em(narrowest_flexible) +
                   "\\setlength\\VelmoraRest{" + Em(narrowest_flexible) + "}\\fi\r\n";
  }
  std::string spec = "|";
  for (int index = 0; index < count; ++index) {
    const TTabuloColumn& column = Columns()[index];
    const TPlan& plan = plans[static_cast<std::size_t>(index)];
    spec += column.IsNumber ? ">{\\raggedleft\\arraybackslash}p{" : ">{\\raggedright\\arraybackslash}p{";
    if (plan.fixed >= 0) {
      spec += Em(plan.fixed);
    } else {
      const long part = std::max(1L, std::lround(1000 * plan.natural / flexible));
      spec += "\\dimexpr\\VelmoraRest*" + std::to_string(part) + "/1000\\relax";
    }
    spec += "}|";
  }
  return spec;
}

void TTabuloLaTeX::BeginExport() {
  replaced_characters_ = 0;
  beyond_pdflatex_ = 0;
  count_beyond_pdflatex_ = false;
  prologue_written_ = false;
  table_size_changed_ = false;
  too_wide_ = false;
  needs_unicode_engine_ = false;
  TTabuloFormatText::BeginExport();
  // The columns are there once the inherited step has run.
  measures_.assign(static_cast<std::size_t>(Columns().Count()), TMeasure{});
}

void TTabuloLaTeX::WritePrologue() {
  if (prologue_written_) return;
  prologue_written_ = true;
  for (const auto& column : Columns()) NoteEngineNeeds(column->Caption);
  for (const std::string& line : Header) NoteEngineNeeds(line);
  for (const std::string& line : Footer) NoteEngineNeeds(line);
  if (Options.LaTeXVersion == LaTeX209 || Options.Engine == lePdfLaTeX) {
    engine_used_ = lePdfLaTeX;
  } else if (Options.Engine == leXeLaTeX) {
    engine_used_ = leXeLaTeX;
  } else {
    engine_used_ = needs_unicode_engine_ ? leXeLaTeX : lePdfLaTeX;
  }
  count_beyond_pdflatex_ = engine_used_ == lePdfLaTeX;
  TTabuloLaTeXWriter& writer = LaTeXWriter();
  // The columns decide the page, which the preamble sets.
  std::string before_table;
  const std::string columns = ColumnSpec(before_table);
  WritePreamble();
  writer.BeginEnvironment("document");
  if (UpperCase(Options.Languages).find("RUSSIAN") != std::string::npos) writer.WriteLine("\\Rus");
  writer.EmptyLine();
  for (const std::string& line : Header) writer.WriteLine(line);
  writer.WriteLine("\\par\\bigskip");
  writer.Write(before_table);
  writer.BeginEnvironment(kTableEnvironment, columns);
  writer.Rule();
}

void TTabuloLaTeX::EndExport() {
  WritePrologue();
  TTabuloLaTeXWriter& writer = LaTeXWriter();
  writer.EndEnvironment(kTableEnvironment);
  if (table_size_changed_) writer.WriteLine("\\endgroup");
  writer.EmptyLine();
  for (const std::string& line : Footer) writer.WriteLine(line);
  writer.EndEnvironment("document");
  TTabuloFormatText::EndExport();
}

std::vector<std::string> TTabuloLaTeX::ExportNotes(const std::string& file_name) const {
  std::vector<std::string> notes;
  if (engine_used_ == leXeLaTeX && Options.Engine == leAuto) {
    notes.push_back(file_name + " holds text that pdflatex cannot typeset: compile it with xelatex");
  }
  if (too_wide_) {
    notes.push_back("the table of " + file_name +
                    " is wider than the page even in the smallest size: export fewer columns ([FIELDS])");
  }
  if (beyond_pdflatex_ > 0) {
    notes.push_back(std::to_string(beyond_pdflatex_) + " characters that pdflatex cannot typeset were written to " +
                    file_name + "; export it with [LaTeX] Engine=xelatex and compile it with xelatex");
  }
  return notes;
}

// ---------------------------------------------------------------------------
// Rows

void TTabuloLaTeX::WriteRow(const std::string& row) {
  TTabuloLaTeXWriter& writer = LaTeXWriter();
  writer.WriteLine(row);
  writer.RowEnd();
  writer.Rule();
}

void TTabuloLaTeX::GetCaptionRow(std::string& row) {
  row.clear();
  for (int index = 0; index < Columns().Count(); ++index) {
    if (index > 0) row += kCellSeparator;
    row += GetColCaption(index);
  }
}

void TTabuloLaTeX::WriteCaptionRow() {
  WritePrologue();
  GetCaptionRow(row_);
  WriteRow(row_);
  // The rows above repeat on top of every page.
  LaTeXWriter().WriteLine("\\endhead");
}

void TTabuloLaTeX::GetDataRow(bool formatted, std::string& row) {
  row.clear();
  bool first = true;
  for (TTabuloCol& cell : ExportRow()) {
    // Numbers and dates are never wrapped: their columns are as wide as they.
    break_words_ = cell.ColumnIndex < 0 || cell.ColumnIndex >= Columns().Count() ||
                   !Columns()[cell.ColumnIndex].IsNumeric;
    CellExportText(cell, formatted, cell_text_);
    break_words_ = true;
    if (!first) row += kCellSeparator;
    first = false;
    row += cell_text_;
  }
}

void TTabuloLaTeX::WriteDataRow() {
  WritePrologue();
  GetDataRow(true, row_);
  WriteRow(row_);
}

void TTabuloLaTeX::EscapeText(std::string& text) const {
  std::string escaped;
  escaped.reserve(text.size() + 8);
  replaced_characters_ +=
      AppendLaTeXText(escaped, text, count_beyond_pdflatex_ ? &beyond_pdflatex_ : nullptr, break_words_);
  text.swap(escaped);
}

const TExportFormat kTeXFormat{11, "TEX", {"tex"}, &CreateExporterOf<TTabuloLaTeX>, &NeverReadsAhead};

}  // namespace velmora
