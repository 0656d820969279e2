// The template sections of the HTML exporter: ALIGN and HTML.
#include <limits>

#include "engine/font_color.h"
#include "engine/keyed_sections.h"
#include "formats/html/tabulo_html.h"
#include "platform/ini_file.h"

namespace velmora {

namespace {

constexpr const char* kSection = "HTML";

// A colour key: a colour name or an integer (decimal, "$" or "0x" hexadecimal);
// absent or empty keeps the current colour, other text fails the export.
void ReadColor(const TIniFile& template_file, const char* key, TColor& color) {
  color = ReadColorKey(template_file, kSection, key, color);
}

void ReadText(const TIniFile& template_file, const char* key, std::string& target) {
  target = template_file.ReadString(kSection, key, target);
}

// A string key that replaces a whole list: its value is the list's one line.
void ReadWholeText(const TIniFile& template_file, const char* key, TStringList& target) {
  std::string current;
  for (const std::string& line : target) current += (current.empty() ? "" : "\n") + line;
  const std::string text = template_file.ReadString(kSection, key, current);
  if (text == current) return;
  target.Clear();
  target.Add(text);
}

// A count or size attribute: HTML has no negative ones.
int ReadCount(const TIniFile& template_file, const char* key, int current) {
  return ReadBoundedInteger(template_file, kSection, key, current, 0, std::numeric_limits<int>::max());
}

// Nothing is read ahead; the section is still checked before the result is
// opened.
bool HTMLReadsAhead(const TIniFile& template_file) {
  THTMLSectionOptions::Read(template_file, THTMLSectionOptions());
  return false;
}

}  // namespace

THTMLSectionOptions THTMLSectionOptions::Read(const TIniFile& template_file,
                                              const THTMLSectionOptions& current) {
  THTMLSectionOptions options = current;
  const TIniFile& file = template_file;
  ReadText(file, "Title", options.Title);
  // An enumeration read from a file takes its default outside its range.
  const int css = file.ReadInteger(kSection, "CSS", options.UsingCSS);
  if (css == usInternal || css == usExternal) options.UsingCSS = static_cast<TUsingCSS>(css);
  ReadText(file, "CSSFile", options.CSSFileName);
  options.OverwriteCSSFile = file.ReadBool(kSection, "OverwriteCSSFile", options.OverwriteCSSFile);
  // 0 or less writes one page.
  options.MaxRecords = file.ReadInteger(kSection, "FileRecCount", options.MaxRecords);
  options.GenerateIndex = file.ReadBool(kSection, "GenerateIndex", options.GenerateIndex);

  TTabuloHTMLNavigation& navigation = options.Navigation;
  ReadText(file, "IndexLinkTemplate", navigation.IndexLinkTemplate);
  navigation.OnTop = file.ReadBool(kSection, "NavigationOnTop", navigation.OnTop);
  navigation.OnBottom = file.ReadBool(kSection, "NavigationOnBottom", navigation.OnBottom);
  ReadText(file, "IndexLinkTitle", navigation.IndexLinkTitle);
  ReadText(file, "FirstLinkTitle", navigation.FirstLinkTitle);
  ReadText(file, "PriorLinkTitle", navigation.PriorLinkTitle);
  ReadText(file, "NextLinkTitle", navigation.NextLinkTitle);
  ReadText(file, "LastLinkTitle", navigation.LastLinkTitle);

  THTMLOptions& page = options.HTMLOptions;
  ReadText(file, "FontName", page.TextFont.Name);
  ReadColor(file, "FontColor", page.TextFont.Color);
  ReadText(file, "BackgroundFile", page.BackgroundFileName);
  ReadColor(file, "BackgroundColor", page.BackgroundColor);
  ReadWholeText(file, "BodyAdvanced", page.AdvancedAttributes);
  ReadColor(file, "LinkColor", page.LinkColor);
  ReadColor(file, "VLinkColor", page.VLinkColor);
  ReadColor(file, "ALinkColor", page.ALinkColor);

  TTableOptions& table = options.TableOptions;
  table.CellPadding = ReadCount(file, "CellPadding", table.CellPadding);
  table.CellSpacing = ReadCount(file, "CellSpacing", table.CellSpacing);
  table.Border = ReadCount(file, "BorderWidth", table.Border);
  ReadText(file, "TableBackground", table.BackgroundFileName);
  ReadWholeText(file, "TableAdvanced", table.AdvancedAttributes);
  ReadColor(file, "HeadBackgroundColor", table.HeadersRowBgColor);
  ReadColor(file, "HeadFontColor", table.HeadersRowFontColor);
  ReadColor(file, "OddRowBackgroundColor", table.OddRowBgColor);
  ReadColor(file, "EvenRowBackgroundColor", table.TableBgColor);
  ReadColor(file, "DataFontColor", table.TableFontColor);
  return options;
}

THTMLSectionOptions TTabuloHTML::SectionOptions() const {
  return {Title,         UsingCSS,   CSSFileName, OverwriteCSSFile, MaxRecords(),
          GenerateIndex, Navigation, HTMLOptions, TableOptions};
}

void TTabuloHTML::SetSectionOptions(const THTMLSectionOptions& options) {
  Title = options.Title;
  UsingCSS = options.UsingCSS;
  CSSFileName = options.CSSFileName;
  OverwriteCSSFile = options.OverwriteCSSFile;
  SetMaxRecords(options.MaxRecords);
  GenerateIndex = options.GenerateIndex;
  Navigation = options.Navigation;
  HTMLOptions = options.HTMLOptions;
  TableOptions = options.TableOptions;
}

void TTabuloHTML::ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) {
  // Read whole first: a refused key leaves ALIGN and every setting as they were.
  const THTMLSectionOptions options = THTMLSectionOptions::Read(template_file, SectionOptions());
  ReadAlignSection(template_file, data_set, *this);
  SetSectionOptions(options);
}

const TExportFormat kHTMLFormat{3, "HTML", {"tml", "htm"}, &CreateExporterOf<TTabuloHTML>, &HTMLReadsAhead};

}  // namespace velmora
