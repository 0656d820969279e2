#include "formats/xls/xls_styles.h"

#include "engine/font_color.h"
#include "platform/ini_file.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

struct TPaletteColor {
  std::uint32_t Rgb;  // red, green, blue from the high byte down
  std::uint16_t Index;
};

// In TxlsColor order.
constexpr TPaletteColor kPalette[kXlsColorCount] = {
    {0x000000, 8},  {0x993300, 60}, {0x333300, 59}, {0x003300, 58}, {0x003366, 56}, {0x000080, 18},
    {0x333399, 62}, {0x333333, 63}, {0x800000, 16}, {0xFF6600, 53}, {0x808000, 19}, {0x008000, 17},
    {0x008080, 21}, {0x0000FF, 12}, {0x666699, 54}, {0x808080, 23}, {0xFF0000, 10}, {0xFF9900, 52},
    {0x99CC00, 50}, {0x339966, 57}, {0x33CCCC, 49}, {0x3366FF, 48}, {0x800080, 20}, {0x969696, 55},
    {0xFF00FF, 14}, {0xFFCC00, 51}, {0xFFFF00, 13}, {0x00FF00, 11}, {0x00FFFF, 15}, {0x00CCFF, 40},
    {0x993366, 61}, {0xC0C0C0, 22}, {0xFF99CC, 45}, {0xFFCC99, 47}, {0xFFFF99, 43}, {0xCCFFCC, 42},
    {0xCCFFFF, 41}, {0x99CCFF, 44}, {0xCC99FF, 46}, {0xFFFFFF, 9},
};

// An enumeration value from a template integer: the value when it names one, else the default.
template <class Enum>
Enum ReadEnum(const TIniFile& ini, std::string_view section, std::string_view key, Enum last, Enum fallback) {
  const int value = ini.ReadInteger(section, key, static_cast<int>(fallback));
  if (value < 0 || value > static_cast<int>(last)) return fallback;
  return static_cast<Enum>(value);
}

TxlsColor ReadColor(const TIniFile& ini, std::string_view section, std::string_view key, TxlsColor fallback) {
  if (Trim(ini.ReadString(section, key, "")).empty()) return fallback;
  return ColorToXlsColor(ReadColorKey(ini, section, key, clBlack));
}

void ReadBorder(const TIniFile& ini, std::string_view section, const std::string& side, TxlsBorder& border) {
  border.Style = ReadEnum(ini, section, "Border" + side, bstSlantedDashDot, bstNone);
  border.Color = ReadColor(ini, section, "Border" + side + "Color", clrBlack);
}

}  // namespace

TColor XlsColorToColor(TxlsColor color) {
  const std::uint32_t rgb = kPalette[color].Rgb;
  return RGB(static_cast<int>(rgb >> 16), static_cast<int>(rgb >> 8 & 0xFF), static_cast<int>(rgb & 0xFF));
}

std::uint16_t PaletteIndex(TxlsColor color) { return kPalette[color].Index; }

TxlsColor ColorToXlsColor(TColor color) {
  for (int index = 0; index < kXlsColorCount; ++index) {
    if (XlsColorToColor(static_cast<TxlsColor>(index)) == color) return static_cast<TxlsColor>(index);
  }
  return clrBlack;
}

std::uint8_t UnderlineCode(TxlsFontUnderline underline) {
  switch (underline) {
    case fulNone: return 0;
    case fulSingle: return 1;
    case fulDouble: return 2;
    case fulSingleAccounting: return 0x21;
    case fulDoubleAccounting: return 0x22;
  }
  return 0;
}

void TxlsFont::AssignFont(const TFont& font) {
  Size = font.Size >= kMinFontSize && font.Size <= kMaxFontSize ? font.Size : 10;
  Charset = font.Charset;
  Name = font.Name;
  Style = 0;
  Set(xfsBold, font.Style.Contains(fsBold));
  Set(xfsItalic, font.Style.Contains(fsItalic));
  Set(xfsStrikeOut, font.Style.Contains(fsStrikeOut));
  Underline = font.Style.Contains(fsUnderline) ? fulSingle : fulNone;
  Script = fscNone;
  switch (font.Color) {
    case clMaroon: Color = clrDarkRed; break;
    case clRed: Color = clrRed; break;
    case clGreen: Color = clrGreen; break;
    case clOlive: Color = clrDarkYellow; break;
    case clLime: Color = clrBrightGreen; break;
    case clYellow: Color = clrYellow; break;
    case clNavy: Color = clrDarkBlue; break;
    case clPurple: Color = clrViolet; break;
    case clTeal: Color = clrTeal; break;
    case clGray: Color = clrGray50Percent; break;
    case clSilver: Color = clrGray25Percent; break;
    case clBlue: Color = clrBlue; break;
    case clFuchsia: Color = clrPink; break;
    case clAqua: Color = clrTurquoise; break;
    case clWhite: Color = clrWhite; break;
    default: Color = clrBlack; break;
  }
}

bool TxlsBorders::AnyStyle() const {
  for (const TxlsBorder* border : {&Left, &Right, &Top, &Bottom, &DiagDown, &DiagUp}) {
    if (border->Style != bstNone) return true;
  }
  return false;
}

void TxlsFormat::SetDefault() {
  Font = TxlsFont();
  Borders = TxlsBorders();
  Fill = TxlsFill();
  Alignment = TxlsAlignment();
  Wrap = false;
}

bool TxlsFormat::IsDefault() const {
  const TxlsFont arial{.Name = "arial"};
  return Font == arial && !Borders.AnyStyle() && Fill.Background == clrWhite && Fill.Pattern == ptNone &&
         Fill.Foreground == clrWhite && Alignment == TxlsAlignment() && !Wrap;
}

void TxlsFormat::LoadFromIni(const TIniFile& ini, std::string_view section) {
  Font.Name = ini.ReadString(section, "FontName", "arial");
  Font.Size = ini.ReadInteger(section, "FontSize", 10);
  if (Font.Size < kMinFontSize || Font.Size > kMaxFontSize) Font.Size = 10;
  Font.Color = ReadColor(ini, section, "FontColor", clrBlack);
  Font.Style = 0;
  Font.Set(xfsBold, ini.ReadBool(section, "FontBold", false));
  Font.Set(xfsItalic, ini.ReadBool(section, "FontItalic", false));
  Font.Set(xfsStrikeOut, ini.ReadBool(section, "FontStrikeOut", false));
  Font.Underline = ReadEnum(ini, section, "FontUnderline", fulDoubleAccounting, fulNone);
  Alignment.Horizontal = ReadEnum(ini, section, "HorAlignment", halFill, halGeneral);
  Alignment.Vertical = ReadEnum(ini, section, "VertAlignment", valJustify, valBottom);
  ReadBorder(ini, section, "Top", Borders.Top);
  ReadBorder(ini, section, "Bottom", Borders.Bottom);
  ReadBorder(ini, section, "Left", Borders.Left);
  ReadBorder(ini, section, "Right", Borders.Right);
  Fill.Pattern = ReadEnum(ini, section, "FillPattern", ptThinThinSpots, ptNone);
  Fill.Background = ReadColor(ini, section, "FillBackground", clrWhite);
  Fill.Foreground = ReadColor(ini, section, "FillForeground", clrBlack);
}

void TxlsFieldFormat::SetDefault() {
  TxlsFormat::SetDefault();
  Aggregate = aggNone;
  Width = 0;
  FieldName.clear();
}

void TxlsFieldFormat::LoadFromIni(const TIniFile& ini, std::string_view section) {
  TxlsFormat::LoadFromIni(ini, section);
  Aggregate = ReadEnum(ini, section, "Aggregate", aggMax, aggNone);
}

TxlsFieldFormat& TxlsFieldFormats::Add() { return *items_.emplace_back(std::make_unique<TxlsFieldFormat>()); }

int TxlsFieldFormats::IndexOf(std::string_view field_name) const {
  for (std::size_t index = 0; index < items_.size(); ++index) {
    if (SameText(items_[index]->FieldName, field_name)) return static_cast<int>(index);
  }
  return -1;
}

void TxlsFieldFormats::Assign(const TxlsFieldFormats& source) {
  items_.clear();
  for (const auto& item : source.items_) items_.push_back(std::make_unique<TxlsFieldFormat>(*item));
}

TxlsFormat& TxlsFormats::Add() { return *items_.emplace_back(std::make_unique<TxlsFormat>()); }

void TxlsFormats::Assign(const TxlsFormats& source) {
  items_.clear();
  for (const auto& item : source.items_) items_.push_back(std::make_unique<TxlsFormat>(*item));
}

TXLSOptions::TXLSOptions() {
  CaptionsFormat.SetDefault();
  CaptionsFormat.Font.Set(xfsBold, true);
}

}  // namespace velmora
