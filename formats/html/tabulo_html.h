#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/export_format.h"
#include "engine/font_color.h"
#include "engine/string_list.h"
#include "engine/tabulo.h"

namespace velmora {

// The built-in colour templates, in their published order.
enum THTMLTemplate {
  htCustom,
  htBW,
  htClassic,
  htColorFul,
  htGray,
  htMS_Money,
  htMurky,
  htOlive,
  htPlain,
  htSimple
};

enum TUsingCSS { usInternal, usExternal };

enum TDefaultOption { doFontName, doFontSize };
// A set of TDefaultOption: bit 1 << member.
using TDefaultOptions = unsigned;
constexpr TDefaultOptions DefaultOptionBit(TDefaultOption option) {
  return 1u << option;
}

// Page colours and the text font.
struct THTMLOptions {
  TColor BackgroundColor = clWhite;
  std::string BackgroundFileName;
  TColor LinkColor = clRed;
  TColor VLinkColor = clPurple;
  TColor ALinkColor = clBlue;
  TFont TextFont;
  TStringList AdvancedAttributes;  // kept, not written
  // A member leaves that font property to the browser: no font-family line for
  // doFontName, no font-size line for doFontSize.
  TDefaultOptions DefaultOptions = DefaultOptionBit(doFontSize);
};

// Table attributes and colours.
struct TTableOptions {
  int Border = 1;
  int CellPadding = 4;
  int CellSpacing = 1;
  TColor BorderColor = clWhite;  // any other colour wraps the table in a frame of it
  std::string BackgroundFileName;
  TColor HeadersRowBgColor = clBlack;
  TColor HeadersRowFontColor = clWhite;
  TColor TableBgColor = clWhite;
  TColor TableFontColor = clBlack;
  TColor OddRowBgColor = clWhite;
  TStringList AdvancedAttributes;  // kept, not written
};

// The navigation bar of split pages.
struct TTabuloHTMLNavigation {
  bool OnTop = true;
  bool OnBottom = true;
  std::string IndexLinkTemplate;  // "" links the index by the page file names
  std::string IndexLinkTitle = "Index";
  std::string FirstLinkTitle = "First";
  std::string PriorLinkTitle = "Prior";
  std::string NextLinkTitle = "Next";
  std::string LastLinkTitle = "Last";
};

// Beyond this many pages a navigation bar lists the first, the last and the
// kNavigationWindow pages around its own, so the links grow linearly with the
// page count instead of with its square.
constexpr int kFullNavigationPages = 100;
constexpr int kNavigationWindow = 20;

// Writes through the plain writer; gives the HTML alignment keywords.
class TTabuloHTMLWriter : public TTabuloWriter {
 public:
  using TTabuloWriter::TTabuloWriter;
  // "Left", "Center", "Right".
  std::string AlignmentText(TTabuloColAlign align) const override;
};

// Appends text with ", &, < and > as character references, the controls HTML
// forbids as U+FFFD, and each line break as <br>: CR LF and LF CR give one,
// every other CR or LF one each.
void AppendHtmlCellText(std::string& target, std::string_view text);
// A font-family list that ends in a CSS generic family, for a browser that has
// none of the named fonts: names with ", " and the generic family nearest to
// its last name (monospace, serif or sans-serif) appended, unless the last
// item is a generic family already; a blank text gives the generic family
// alone. Not escaped.
std::string CssFontList(std::string_view names);
// The href of a file seen from a page in page_directory (both relative to the
// current directory, or absolute): the relative path with blanks, quotes, "#",
// "%", "?", "&", "<", ">", control and non-ASCII bytes percent-encoded.
std::string RelativeLink(std::string_view page_directory, std::string_view target);

// The settings of the HTML section, read and checked whole before they
// replace the exporter's.
struct THTMLSectionOptions {
  std::string Title;
  TUsingCSS UsingCSS = usInternal;
  std::string CSSFileName;
  bool OverwriteCSSFile = true;
  int MaxRecords = 0;
  bool GenerateIndex = false;
  TTabuloHTMLNavigation Navigation;
  THTMLOptions HTMLOptions;
  TTableOptions TableOptions;

  // The keys of the HTML section over current; a value that cannot give a
  // sound page raises EVelmoraError naming key and value.
  static THTMLSectionOptions Read(const TIniFile& template_file, const THTMLSectionOptions& current);
};

// Writes the records as HTML pages: the head with an inline or external style
// sheet, the header lines, one table (caption row and one row per record) and
// the footer lines. With MaxRecords above 0 and a file as output the records
// are split over numbered page files with a navigation bar, and an index page
// can take the output file's name. All files appear together once the export
// succeeded.
class TTabuloHTML : public TTabuloFormatText {
 public:
  // Page files, which take their navigation late, are made only beside a
  // regular file: a pipe gets one page, written in order.
  bool SeeksBack() const override { return false; }

  TTabuloHTML();

  THTMLTemplate HTMLTemplate() const { return html_template_; }
  // Stores a changed template and, except for htCustom, sets its colours and
  // the text font name Arial.
  void SetHTMLTemplate(THTMLTemplate html_template);

  int MaxRecords() const { return max_records_; }
  void SetMaxRecords(int count) { max_records_ = count < 0 ? 0 : count; }

  TUsingCSS UsingCSS = usInternal;
  std::string CSSFileName;  // "" takes the first page's name with ".css"
  bool OverwriteCSSFile = true;
  bool GenerateIndex = false;
  bool BoolAsCheckBox = false;  // kept, does not change the output
  TTabuloHTMLNavigation Navigation;
  THTMLOptions HTMLOptions;
  TTableOptions TableOptions;

  THTMLSectionOptions SectionOptions() const;
  void SetSectionOptions(const THTMLSectionOptions& options);

  unsigned PublishedSettings() const override {
    return TTabuloFormatText::PublishedSettings() | psColumnsAlign;
  }

  // ALIGN and HTML. Defined in tabulo_html_sections.cpp.
  void ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) override;

  TTabuloWriterClass GetWriterClass() const override;
  void BeginExport() override;
  void AfterExport() override;
  void EndExport() override;
  void WriteCaptionRow() override {}
  void WriteDataRow() override;
  void GetColData(TTabuloCol& cell, std::string& text) override;
  void EscapeText(std::string& text) const override;

  // The name of page 01 after a split export without an index, else FileName.
  std::string GetFileName() const override;
  std::string GetResultFileName() const override { return GetFileName(); }

  // The style-sheet lines of the last export.
  const std::vector<std::string>& StyleSheet() const { return style_sheet_; }
  // The pages the last export wrote (one entry per page file; none unsplit).
  int PageCount() const { return page_count_; }

 private:
  struct THTMLPageOption {
    std::size_t Member = 0;  // its index in the output files
    std::string FileName;
    std::int64_t BodyStart = 0;  // just after the <BODY> line
    std::int64_t BodyEnd = 0;    // just before the </BODY> line
  };

  void BuildStyleSheet();
  void AddFontLines(int indent);
  bool TableBackgroundExists() const;
  bool Splitting() const;
  // Closes the open page (when splitting) and starts the next one.
  void StartPage();
  void OpenPageFile();
  // Gives up the descriptor and buffer of the finished last page.
  void SuspendPageFile();
  // The document type, the head with the title and the style sheet, and <BODY>.
  void WriteHead();
  void WriteStyleSheetReference();
  void EndPage();
  void CloseTable();
  void PrepareCells();
  void AppendCellStyle(int column_index, const std::string& value, TColor default_background);
  void WriteIndex();
  void InsertNavigation();
  std::string NavigationBlock(int page, bool at_top) const;
  std::string PageFileName(int page) const;
  void PrepareLinks();
  // "    <td><a href=LINK>TEXT</a></td>" and CR LF, the text escaped.
  void AppendLinkCell(std::string& block, std::string_view link, std::string_view text) const;
  // Two digits below 10.
  static std::string NumberText(int page);

  THTMLTemplate html_template_ = htCustom;
  int max_records_ = 0;

  // State of one export.
  std::vector<std::string> style_sheet_;
  std::vector<THTMLPageOption> pages_;
  int page_count_ = 0;
  bool page_open_ = false;
  bool border_wrapper_ = false;
  bool table_background_ = false;
  bool css_written_ = false;
  bool finished_ = false;
  bool splitting_ = false;
  int rows_on_page_ = 0;
  std::string page_directory_;
  std::vector<std::string> odd_cell_start_;   // '    <td class="TrOdd" align=X', per column
  std::vector<std::string> even_cell_start_;  // the same with TrRows
  std::vector<std::string> page_links_;       // the link of every page, seen from the pages
  std::string index_link_;
  std::string row_;
  std::string cell_text_;
  std::string style_;
};

// The registry row of the format.
extern const TExportFormat kHTMLFormat;

}  // namespace velmora
