#include "formats/html/tabulo_html.h"

#include <algorithm>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/output_file_set.h"
#include "platform/text_escape.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

// Declared first in the head of every page, so that readers never guess the
// encoding of the UTF-8 text.
constexpr std::string_view kCharsetLine =
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";

// The eleven colours a template sets, as #rrggbb numbers in the order of THTMLTemplate.
struct TTemplateColors {
  std::uint32_t Background, Link, VLink, ALink, Text, HeadBg, HeadFont, TableBg, TableFont, OddBg;
};
constexpr TTemplateColors kTemplateColors[] = {
    // htBW
    {0xffffff, 0xff0000, 0x800080, 0x0000ff, 0x000000, 0x000000, 0xffffff, 0xffffff, 0x000000, 0xf3f3f3},
    // htClassic
    {0x333399, 0x69ef7d, 0xff00ff, 0x00ff00, 0xffffff, 0xff0000, 0xffffff, 0x007aec, 0xffffff, 0x006bce},
    // htColorFul
    {0x339966, 0x0066cc, 0x923fc1, 0x0000ff, 0xffffff, 0xcc0033, 0xffffff, 0xffffff, 0x000000, 0xfaf100},
    // htGray
    {0xffffff, 0xff0000, 0x800080, 0x0000ff, 0x000000, 0x808080, 0xffffff, 0xffffff, 0x000000, 0xeeeeee},
    // htMS_Money
    {0xffffff, 0xff0000, 0x800080, 0x0000ff, 0x000000, 0xcec6b5, 0x000000, 0xdee7de, 0x000000, 0xfffbf0},
    // htMurky
    {0x317676, 0xffe760, 0xcccc39, 0xffff00, 0xffffff, 0x3a9393, 0xffffff, 0x276262, 0xffe760, 0x367800},
    // htOlive
    {0xffffff, 0xff0000, 0x800080, 0x0000ff, 0x5f605f, 0xcfc890, 0x000000, 0xffffff, 0x5f605f, 0xffffcf},
    // htPlain
    {0xffffff, 0xff0000, 0x800080, 0x0000ff, 0x000000, 0x068fe6, 0xffffff, 0xffffff, 0x000000, 0xfffcd9},
    // htSimple
    {0xffffff, 0xff0000, 0x800080, 0x0000ff, 0x004080, 0x336699, 0xffffff, 0xffffff, 0x000000, 0xffffcf},
};

// The families CSS defines for any machine, as written (ASCII letters, any case).
constexpr std::string_view kGenericFamilies[] = {
    "serif",         "sans-serif",   "monospace",  "cursive", "fantasy", "system-ui", "ui-serif",
    "ui-sans-serif", "ui-monospace", "ui-rounded", "math",    "emoji",   "fangsong"};

// Parts of font names that tell their kind; any other name falls back to
// sans-serif, the kind of the fonts a template names most.
constexpr std::string_view kMonospaceParts[] = {"mono", "courier", "consolas", "console", "typewriter"};
constexpr std::string_view kSerifParts[] = {"serif",    "times",   "georgia", "garamond",
                                            "palatino", "cambria", "antiqua", "bookman"};

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& character : lower) {
    if (character >= 'A' && character <= 'Z') character = static_cast<char>(character - 'A' + 'a');
  }
  return lower;
}

std::string_view GenericFamilyFor(std::string_view name) {
  const std::string lower = AsciiLower(name);
  const auto holds = [&lower](std::string_view part) { return lower.find(part) != std::string::npos; };
  if (std::any_of(std::begin(kMonospaceParts), std::end(kMonospaceParts), holds)) return "monospace";
  if (!holds("sans") && std::any_of(std::begin(kSerifParts), std::end(kSerifParts), holds)) return "serif";
  return "sans-serif";
}

TColor FromHtmlNumber(std::uint32_t rgb) {
  return RGB(int(rgb >> 16), int(rgb >> 8), int(rgb));
}

}  // namespace

// ---------------------------------------------------------------------------
// Text

std::string TTabuloHTMLWriter::AlignmentText(TTabuloColAlign align) const {
  switch (align) {
    case ecaLeft:
      return "Left";
    case ecaCenter:
      return "Center";
    case ecaRight:
      return "Right";
  }
  return "Left";
}

void AppendHtmlCellText(std::string& target, std::string_view text) {
  // Each piece between line breaks is escaped as an attribute value (& < > "
  // and the controls HTML forbids); each break becomes <br>.
  std::size_t run_start = 0;
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char character = text[index];
    if (character != '\r' && character != '\n') continue;
    AppendHtmlAttribute(target, text.substr(run_start, index - run_start));
    target += "<br>";
    // CR LF and LF CR are one line break; two LFs are two.
    const char partner = character == '\r' ? '\n' : '\r';
    if (index + 1 < text.size() && text[index + 1] == partner) ++index;
    run_start = index + 1;
  }
  AppendHtmlAttribute(target, text.substr(run_start));
}

std::string CssFontList(std::string_view names) {
  // A list that ends in a comma ends at its last name.
  names = TrimRight(names);
  while (names.ends_with(',')) names = TrimRight(names.substr(0, names.size() - 1));
  const std::size_t comma = names.rfind(',');
  const std::string_view last = Trim(comma == std::string_view::npos ? names : names.substr(comma + 1));
  // A quoted item names a font, even one called like a generic family.
  const std::string lower = AsciiLower(last);
  if (std::find(std::begin(kGenericFamilies), std::end(kGenericFamilies), lower) !=
      std::end(kGenericFamilies)) {
    return std::string(names);
  }
  const std::string_view generic = GenericFamilyFor(last);
  if (names.empty()) return std::string(generic);
  std::string list(names);
  list += ", ";
  list += generic;
  return list;
}

void TTabuloHTML::EscapeText(std::string& text) const {
  const bool plain = std::all_of(text.begin(), text.end(), [](char character) {
    const auto byte = static_cast<unsigned char>(character);
    return byte >= 0x20 && byte < 0x7F && character != '"' && character != '&' && character != '<' && character != '>';
  });
  if (plain) return;
  std::string escaped;
  escaped.reserve(text.size() + 16);
  AppendHtmlCellText(escaped, text);
  text.swap(escaped);
}

// ---------------------------------------------------------------------------
// Options

TTabuloHTML::TTabuloHTML() {
  Header = {"<br>"};
  Footer = {"<br>"};
  SetHTMLTemplate(htClassic);
}

void TTabuloHTML::SetHTMLTemplate(THTMLTemplate html_template) {
  if (html_template == html_template_) return;
  html_template_ = html_template;
  if (html_template == htCustom) return;
  const TTemplateColors& colors = kTemplateColors[html_template - htBW];
  HTMLOptions.BackgroundColor = FromHtmlNumber(colors.Background);
  HTMLOptions.LinkColor = FromHtmlNumber(colors.Link);
  HTMLOptions.VLinkColor = FromHtmlNumber(colors.VLink);
  HTMLOptions.ALinkColor = FromHtmlNumber(colors.ALink);
  HTMLOptions.TextFont.Color = FromHtmlNumber(colors.Text);
  HTMLOptions.TextFont.Name = "Arial";
  TableOptions.HeadersRowBgColor = FromHtmlNumber(colors.HeadBg);
  TableOptions.HeadersRowFontColor = FromHtmlNumber(colors.HeadFont);
  TableOptions.TableBgColor = FromHtmlNumber(colors.TableBg);
  TableOptions.TableFontColor = FromHtmlNumber(colors.TableFont);
  TableOptions.OddRowBgColor = FromHtmlNumber(colors.OddBg);
}

TTabuloWriterClass TTabuloHTML::GetWriterClass() const {
  return &CreateWriterOf<TTabuloHTMLWriter>;
}

bool TTabuloHTML::TableBackgroundExists() const {
  return !TableOptions.BackgroundFileName.empty() && FileExists(TableOptions.BackgroundFileName);
}

// ---------------------------------------------------------------------------
// Style sheet

void TTabuloHTML::AddFontLines(int indent) {
  const std::string blanks(static_cast<std::size_t>(indent), ' ');
  const TFont& font = HTMLOptions.TextFont;
  if (!(HTMLOptions.DefaultOptions & DefaultOptionBit(doFontName))) {
    std::string line = blanks + "font-family: ";
    AppendCssFontFamily(line, CssFontList(font.Name));
    style_sheet_.push_back(line + ";");
  }
  if (!(HTMLOptions.DefaultOptions & DefaultOptionBit(doFontSize))) {
    style_sheet_.push_back(blanks + "font-size: " + std::to_string(font.Size) + "pt;");
  }
}

void TTabuloHTML::BuildStyleSheet() {
  style_sheet_.clear();
  const std::string colors_indent(12, ' ');
  style_sheet_.push_back("  BODY { background: " + ColorToHtml(HTMLOptions.BackgroundColor) +
                         "; color: " + ColorToHtml(HTMLOptions.TextFont.Color) + ";");
  AddFontLines(9);
  if (!HTMLOptions.BackgroundFileName.empty()) {
    std::string line = "background-image: url(";
    AppendCssUrl(line, HTMLOptions.BackgroundFileName);
    style_sheet_.push_back(line + ")");
  }
  style_sheet_.push_back("  }");
  style_sheet_.push_back("  A:link { color: " + ColorToHtml(HTMLOptions.LinkColor) + " }");
  style_sheet_.push_back("  A:visited { color: " + ColorToHtml(HTMLOptions.VLinkColor) + " }");
  style_sheet_.push_back("  A:active { color: " + ColorToHtml(HTMLOptions.ALinkColor) + " }");
  // One rule per row kind: its opening line, and its colours unless the table has a background picture.
  const auto add_rule = [&](const char* opening, TColor background, TColor color, bool bold) {
    style_sheet_.push_back(opening);
    if (!table_background_) {
      style_sheet_.push_back(colors_indent + "background-color: " + ColorToHtml(background) + ";");
      style_sheet_.push_back(colors_indent + "color: " + ColorToHtml(color) + ";");
    }
    if (bold) style_sheet_.push_back(colors_indent + "font-weight: bold; text-align: center;");
    AddFontLines(12);
    style_sheet_.push_back("  }");
  };
  if (AllowCaptions) {
    add_rule("  .ThRows { ", TableOptions.HeadersRowBgColor, TableOptions.HeadersRowFontColor, true);
  }
  add_rule("  .TrRows {", TableOptions.TableBgColor, TableOptions.TableFontColor, false);
  add_rule("  .TrOdd  {", TableOptions.OddRowBgColor, TableOptions.TableFontColor, false);
  border_wrapper_ = TableOptions.BorderColor != clWhite;
  if (border_wrapper_) {
    style_sheet_.push_back("  .TrBC { background-color: " + ColorToHtml(TableOptions.BorderColor) + " }");
  }
}

// ---------------------------------------------------------------------------
// Export steps

void TTabuloHTML::BeginExport() {
  TTabuloFormatText::BeginExport();
  pages_.clear();
  page_count_ = 0;
  page_open_ = false;
  css_written_ = false;
  finished_ = false;
  rows_on_page_ = 0;
  splitting_ = max_records_ > 0 && OutputFiles().MainIsFile();
  page_directory_ = ExtractFileDir(FileName);
  table_background_ = TableBackgroundExists();
  BuildStyleSheet();
  PrepareCells();
}

void TTabuloHTML::PrepareCells() {
  odd_cell_start_.clear();
  even_cell_start_.clear();
  for (int index = 0; index < Columns().Count(); ++index) {
    const std::string align = " align=" + Writer().AlignmentText(Columns()[index].Align);
    odd_cell_start_.push_back("    <td class=\"TrOdd\"" + align);
    even_cell_start_.push_back("    <td class=\"TrRows\"" + align);
  }
}

void TTabuloHTML::WriteHead() {
  TTabuloWriter& writer = Writer();
  // The document type keeps browsers out of their quirks mode.
  writer.WriteLine("<!DOCTYPE html>");
  writer.WriteLine("<HTML>");
  writer.WriteLine("<HEAD>");
  writer.WriteLine(kCharsetLine);
  std::string title = " <Title>";
  AppendHtmlCellText(title, Title);
  title += "</Title>";
  writer.WriteLine(title);
  if (UsingCSS == usInternal) {
    writer.WriteLine("<Style type=\"text/css\">");
    for (const std::string& line : style_sheet_) writer.WriteLine(line);
    writer.WriteLine("</STYLE>");
  } else if (OutputFiles().MainIsFile()) {
    WriteStyleSheetReference();
  }
  writer.WriteLine("</HEAD>");
  writer.WriteLine("<BODY>");
}

// The link line of the external style sheet; the sheet itself is written once
// per export, beside the other files of the export.
void TTabuloHTML::WriteStyleSheetReference() {
  if (CSSFileName.empty()) {
    CSSFileName = ChangeFileExt(splitting_ ? pages_.back().FileName : FileName, ".css");
  }
  Writer().WriteLine(" <link rel=\"stylesheet\" type=\"text/css\" href=\"" +
                     RelativeLink(page_directory_, CSSFileName) + "\">");
  if (css_written_) return;
  css_written_ = true;
  if (FileExists(CSSFileName) && !OverwriteCSSFile) return;
  const std::string directory = ExtractFileDir(CSSFileName);
  if (!directory.empty() && !DirectoryExists(directory) && !ForceDirectories(directory)) {
    throw EVelmoraError(Format("Directory '%s' not found and cannot be created", directory.c_str()));
  }
  std::string text;
  for (const std::string& line : style_sheet_) {
    text += line;
    text += '\n';
  }
  // Items of a run may share one style sheet as long as they write the same one.
  OutputFiles().AddShared(CSSFileName, text);
}

void TTabuloHTML::StartPage() {
  if (splitting_) {
    if (page_open_) EndPage();
    ++page_count_;
    OpenPageFile();
    rows_on_page_ = 0;
  }
  WriteHead();
  TTabuloWriter& writer = Writer();
  if (splitting_) pages_.back().BodyStart = writer.Stream().Size();
  for (const std::string& line : Header) writer.WriteLine(line);
  if (border_wrapper_) {
    writer.WriteLine("<Table cellspacing=0 cellpadding=0 class=\"TrBC\">");
    writer.WriteLine("<tr><td>");
  }
  std::string line = "<Table Border=\"" + std::to_string(TableOptions.Border) + "\" Cellpadding=\"" +
                     std::to_string(TableOptions.CellPadding) + "\" Cellspacing=\"" +
                     std::to_string(TableOptions.CellSpacing) + "\"";
  if (table_background_) {
    line += " Background=\"" + RelativeLink(page_directory_, TableOptions.BackgroundFileName) + "\"";
  }
  line += ">";
  writer.WriteLine(line);
  if (AllowCaptions) {
    row_ = "  <tr>\r\n";
    for (int index = 0; index < Columns().Count(); ++index) {
      row_ += "    <td class=\"ThRows\">";
      row_ += GetColCaption(index);
      row_ += "</td>\r\n";
    }
    row_ += "  </tr>\r\n";
    writer.Write(row_);
  }
  page_open_ = true;
}

void TTabuloHTML::EndPage() {
  TTabuloWriter& writer = Writer();
  writer.WriteLine("</Table>");
  if (border_wrapper_) {
    writer.WriteLine("</td></tr>");
    writer.WriteLine("</Table>");
  }
  for (const std::string& line : Footer) writer.WriteLine(line);
  if (splitting_) pages_.back().BodyEnd = writer.Stream().Size();
  writer.WriteLine("</BODY>");
  writer.WriteLine("</HTML>");
  if (splitting_) SuspendPageFile();
  page_open_ = false;
}

void TTabuloHTML::GetColData(TTabuloCol& cell, std::string& text) {
  if (cell.Data.empty()) {
    text.assign("&nbsp;");
  } else {
    text.assign(cell.Data);
  }
}

void TTabuloHTML::WriteDataRow() {
  if (!page_open_ || (splitting_ && rows_on_page_ == max_records_)) StartPage();
  // The first, third ... row of a page is an odd row; its default background is OddRowBgColor.
  const bool odd_row = rows_on_page_ % 2 == 0;
  const TColor default_background = odd_row ? TableOptions.OddRowBgColor : TableOptions.TableBgColor;
  const std::vector<std::string>& cell_start = odd_row ? odd_cell_start_ : even_cell_start_;
  row_.assign("  <tr>\r\n");
  for (TTabuloCol& cell : ExportRow()) {
    CellExportText(cell, true, cell_text_);
    if (OnGetCellParams) {
      row_ += odd_row ? "    <td class=\"TrOdd\"" : "    <td class=\"TrRows\"";
      AppendCellStyle(cell.ColumnIndex, cell.Data, default_background);
    } else {
      row_ += cell_start[static_cast<std::size_t>(cell.ColumnIndex)];
    }
    row_ += '>';
    row_ += cell_text_;
    row_ += "</td>\r\n";
  }
  row_ += "  </tr>\r\n";
  Writer().Write(row_);
  ++rows_on_page_;
}

// The align attribute and the style items the cell-parameters hook changed.
void TTabuloHTML::AppendCellStyle(int column_index, const std::string& value, TColor default_background) {
  const TFont& default_font = HTMLOptions.TextFont;
  TTabuloColAlign align = Columns()[column_index].Align;
  TFont font = default_font;
  TColor background = default_background;
  GetCellParams(RecordCounter(), column_index, value, align, font, background);
  row_ += " align=";
  row_ += Writer().AlignmentText(align);
  style_.clear();
  const auto add = [this](std::string_view item) {
    if (!style_.empty()) style_ += "; ";
    style_ += item;
  };
  if (background != default_background) add("background-color: " + ColorToHtml(background));
  if (!SameText(font.Name, default_font.Name)) {
    std::string name = "font-family: ";
    AppendHtmlCellText(name, CssFontList(font.Name));
    add(name);
  }
  if (font.Size != default_font.Size) add("font-size: " + std::to_string(font.Size) + "pt");
  if (font.Color != default_font.Color) add("color: " + ColorToHtml(font.Color));
  const auto add_switch = [&](TFontStyle style, const char* on, const char* off) {
    const bool now = font.Style.Contains(style);
    if (now != default_font.Style.Contains(style)) add(now ? on : off);
  };
  add_switch(fsBold, "font-weight: bold", "font-weight: normal");
  add_switch(fsItalic, "font-style: italic", "font-style: normal");
  add_switch(fsUnderline, "text-decoration: underline", "text-decoration: none");
  if (style_.empty()) return;
  row_ += " style=\"";
  row_ += style_;
  row_ += '"';
}

void TTabuloHTML::AfterExport() {
  // A page is started by its first record: an export without records still
  // gets one complete page with its caption row.
  if (!page_open_) StartPage();
  EndPage();
  finished_ = true;
}

void TTabuloHTML::EndExport() {
  // An abort before the record loop ended skips AfterExport: the open page is
  // still completed. After a failure nothing is completed, as nothing is kept.
  if (!finished_ && Aborted()) AfterExport();
  if (finished_ && splitting_) {
    PrepareLinks();
    if (GenerateIndex) {
      WriteIndex();
    } else {
      // The records are in the page files.
      OutputFiles().RemoveAtCommit(FileName);
    }
    if ((Navigation.OnTop || Navigation.OnBottom) && page_count_ > 1) InsertNavigation();
    // Pages beyond today's last one are left from an earlier, longer export.
    OutputFiles().RemoveSeriesAtCommit(
        [name = FileName](long long page) { return NumberedFileName(name, page, 2); }, page_count_ + 1);
  }
  TTabuloFormatText::EndExport();
}

std::string TTabuloHTML::GetFileName() const {
  if (max_records_ > 0 && !GenerateIndex) {
    const std::string first_page = PageFileName(1);
    if (FileExists(first_page)) return first_page;
  }
  return FileName;
}

}  // namespace velmora
