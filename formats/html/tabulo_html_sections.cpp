// The template sections of the HTML exporter: ALIGN and HTML.
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

}  // namespace

void TTabuloHTML::ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) {
  ReadAlignSection(template_file, data_set, *this);
  const TIniFile& file = template_file;
  ReadText(file, "Title", Title);
  // An enumeration read from a file takes its default outside its range.
  const int css = file.ReadInteger(kSection, "CSS", UsingCSS);
  if (css == usInternal || css == usExternal) UsingCSS = static_cast<TUsingCSS>(css);
  ReadText(file, "CSSFile", CSSFileName);
  OverwriteCSSFile = file.ReadBool(kSection, "OverwriteCSSFile", OverwriteCSSFile);
  SetMaxRecords(file.ReadInteger(kSection, "FileRecCount", MaxRecords()));
  GenerateIndex = file.ReadBool(kSection, "GenerateIndex", GenerateIndex);

  ReadText(file, "IndexLinkTemplate", Navigation.IndexLinkTemplate);
  Navigation.OnTop = file.ReadBool(kSection, "NavigationOnTop", Navigation.OnTop);
  Navigation.OnBottom = file.ReadBool(kSection, "NavigationOnBottom", Navigation.OnBottom);
  ReadText(file, "IndexLinkTitle", Navigation.IndexLinkTitle);
  ReadText(file, "FirstLinkTitle", Navigation.FirstLinkTitle);
  ReadText(file, "PriorLinkTitle", Navigation.PriorLinkTitle);
  ReadText(file, "NextLinkTitle", Navigation.NextLinkTitle);
  ReadText(file, "LastLinkTitle", Navigation.LastLinkTitle);

  ReadText(file, "FontName", HTMLOptions.TextFont.Name);
  ReadColor(file, "FontColor", HTMLOptions.TextFont.Color);
  ReadText(file, "BackgroundFile", HTMLOptions.BackgroundFileName);
  ReadColor(file, "BackgroundColor", HTMLOptions.BackgroundColor);
  ReadWholeText(file, "BodyAdvanced", HTMLOptions.AdvancedAttributes);
  ReadColor(file, "LinkColor", HTMLOptions.LinkColor);
  ReadColor(file, "VLinkColor", HTMLOptions.VLinkColor);
  ReadColor(file, "ALinkColor", HTMLOptions.ALinkColor);

  TableOptions.CellPadding = file.ReadInteger(kSection, "CellPadding", TableOptions.CellPadding);
  TableOptions.CellSpacing = file.ReadInteger(kSection, "CellSpacing", TableOptions.CellSpacing);
  TableOptions.Border = file.ReadInteger(kSection, "BorderWidth", TableOptions.Border);
  ReadText(file, "TableBackground", TableOptions.BackgroundFileName);
  ReadWholeText(file, "TableAdvanced", TableOptions.AdvancedAttributes);
  ReadColor(file, "HeadBackgroundColor", TableOptions.HeadersRowBgColor);
  ReadColor(file, "HeadFontColor", TableOptions.HeadersRowFontColor);
  ReadColor(file, "OddRowBackgroundColor", TableOptions.OddRowBgColor);
  ReadColor(file, "EvenRowBackgroundColor", TableOptions.TableBgColor);
  ReadColor(file, "DataFontColor", TableOptions.TableFontColor);
}

const TExportFormat kHTMLFormat{3, "HTML", {"tml", "htm"}, &CreateExporterOf<TTabuloHTML>, &NeverReadsAhead};

}  // namespace velmora
