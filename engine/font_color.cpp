#include "engine/font_color.h"

#include <iterator>

#include "platform/ini_file.h"
#include "platform/text_utils.h"
#include "platform/error.h"

namespace velmora {

namespace {

// Searched in this order both ways: by name (letter case ignored) and by value
// (the first name of a value is the one written).
constexpr TColorName kColorNames[] = {
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clNone", clNone},
    {"clInfoBk", clInfoBk},
    // System colours.
    {"clBackground", -11},
    {"clHighlight", -13},
    {"clHighlightText", -14},
    {"clForeground", -1},
    {"clButton", -2},
    {"clLight", -3},
    {"clMidlight", -4},
    {"clDark", -5},
    {"clMid", -6},
    {"clText", -7},
    {"clBrightText", -8},
    {"clButtonText", -9},
    {"clBase", -10},
    {"clShadow", -12},
    {"clNormalForeground", -33},
    {"clNormalButton", -34},
    {"clNormalLight", -35},
    {"clNormalMidlight", -36},
    {"clNormalDark", -37},
    {"clNormalMid", -38},
    {"clNormalText", -39},
    {"clNormalBrightText", -40},
    {"clNormalButtonText", -41},
    {"clNormalBase", -42},
    {"clNormalBackground", -43},
    {"clNormalShadow", -44},
    {"clNormalHighlight", -45},
    {"clNormalHighlightedText", -46},
    {"clDisabledForeground", -65},
    {"clDisabledButton", -66},
    {"clDisabledLight", -67},
    {"clDisabledMidlight", -68},
    {"clDisabledDark", -69},
    {"clDisabledMid", -70},
    {"clDisabledText", -71},
    {"clDisabledBrightText", -72},
    {"clDisabledButtonText", -73},
    {"clDisabledBase", -74},
    {"clDisabledBackground", -75},
    {"clDisabledShadow", -76},
    {"clDisabledHighlight", -77},
    {"clDisabledHighlightedText", -78},
    {"clActiveForeground", -97},
    {"clActiveButton", -98},
    {"clActiveLight", -99},
    {"clActiveMidlight", -100},
    {"clActiveDark", -101},
    {"clActiveMid", -102},
    {"clActiveText", -103},
    {"clActiveBrightText", -104},
    {"clActiveButtonText", -105},
    {"clActiveBase", -106},
    {"clActiveBackground", -107},
    {"clActiveShadow", -108},
    {"clActiveHighlight", -109},
    {"clActiveHighlightedText", -110},
    // Aliases: never written, since an earlier name holds each value.
    {"clScrollBar", -2},
    {"clActiveCaption", -110},
    {"clInactiveCaption", -78},
    {"clMenu", -6},
    {"clWindow", -10},
    {"clWindowFrame", -13},
    {"clMenuText", -9},
    {"clWindowText", -7},
    {"clCaptionText", -14},
    {"clActiveBorder", -109},
    {"clInactiveBorder", -77},
    {"clAppWorkSpace", -6},
    {"clBtnFace", -2},
    {"clBtnShadow", -5},
    {"clGrayText", -3},
    {"clBtnText", -9},
    {"clInactiveCaptionText", -78},
    {"clBtnHighlight", -99},
    {"cl3DDkShadow", -6},
    {"cl3DLight", -4},
    {"clInfoText", -7},
    {"clHighlightedText", -14},
};
static_assert(std::size(kColorNames) == 96);

std::string HexDigits(std::uint32_t value, int digits, const char* alphabet) {
  std::string text(static_cast<std::size_t>(digits), '0');
  for (int index = digits - 1; index >= 0; --index) {
    text[static_cast<std::size_t>(index)] = alphabet[value & 0x0F];
    value >>= 4;
  }
  return text;
}

}  // namespace

std::span<const TColorName> ColorNames() {
  return kColorNames;
}

std::string ColorToString(TColor color) {
  for (const TColorName& entry : kColorNames) {
    if (entry.Value == color) return std::string(entry.Name);
  }
  return "$" + HexDigits(static_cast<std::uint32_t>(color), 8, "0123456789ABCDEF");
}

bool TryStringToColor(std::string_view text, TColor& color) {
  for (const TColorName& entry : kColorNames) {
    if (SameText(entry.Name, text)) {
      color = entry.Value;
      return true;
    }
  }
  int value = 0;
  if (!TryParseIniInteger(text, value)) return false;
  color = value;
  return true;
}

TColor StringToColor(std::string_view text) {
  TColor color = clBlack;
  if (!TryStringToColor(text, color)) {
    throw EVelmoraError("'" + std::string(text) + "' is not a valid integer value");
  }
  return color;
}

TColor SystemColorRgb(TColor color) {
  if (color >= 0) return color;
  // The roles of a theme, in the order of their numbers within each group
  // (-1 to -14 and the same roles 32, 64 and 96 further down), as a light
  // desktop theme shows them.
  static constexpr TColor kRoles[] = {
      clBlack,   // foreground
      clSilver,  // button
      clWhite,   // light
      0xDFDFDF,  // midlight
      clGray,    // dark
      0xA0A0A0,  // mid
      clBlack,   // text
      clWhite,   // bright text
      clBlack,   // button text
      clWhite,   // base
      clSilver,  // background
      clBlack,   // shadow
      clNavy,    // highlight
      clWhite,   // highlighted text
  };
  const std::int64_t number = -static_cast<std::int64_t>(color) - 1;
  const std::int64_t role = number % 32;
  const std::int64_t group = number / 32;  // 0 and 1 current, 2 disabled, 3 active
  if (group > 3 || role >= static_cast<std::int64_t>(std::size(kRoles))) return clBlack;
  const TColor rgb = kRoles[role];
  // Disabled text of every kind is grey.
  if (group == 2 && (role == 0 || role == 6 || role == 8)) return clGray;
  return rgb;
}

TColor ReadColorKey(const TIniFile& ini, std::string_view section, std::string_view key, TColor fallback) {
  const std::string text(Trim(ini.ReadString(section, key, "")));
  if (text.empty()) return fallback;
  TColor color = fallback;
  if (TryStringToColor(text, color)) return SystemColorRgb(color);
  std::string names;
  for (const TColorName& entry : kColorNames) {
    if (!names.empty()) names += ", ";
    names += entry.Name;
  }
  throw EVelmoraError("Invalid colour \"" + text + "\" for " + std::string(key) + " in [" +
                      std::string(section) +
                      "]: give a number (decimal, or $BBGGRR in hexadecimal) or one of the names " + names);
}

TColor RGB(int red, int green, int blue) {
  return static_cast<TColor>((red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16);
}

int RedOf(TColor color) {
  return static_cast<int>(static_cast<std::uint32_t>(color) & 0xFF);
}

int GreenOf(TColor color) {
  return static_cast<int>(static_cast<std::uint32_t>(color) >> 8 & 0xFF);
}

int BlueOf(TColor color) {
  return static_cast<int>(static_cast<std::uint32_t>(color) >> 16 & 0xFF);
}

std::string ColorToHtml(TColor color) {
  // Red first: the byte order of TColor reversed.
  const std::uint32_t rgb = static_cast<std::uint32_t>(RedOf(color)) << 16 |
                            static_cast<std::uint32_t>(GreenOf(color)) << 8 |
                            static_cast<std::uint32_t>(BlueOf(color));
  return "#" + HexDigits(rgb, 6, "0123456789abcdef");
}

void ReadFont(TFont& target, const TFont& defaults, const TIniFile& ini, std::string_view section) {
  // Built apart and assigned at the end, so target may be defaults itself.
  TFont font;
  font.Name = ini.ReadString(section, "FontName", defaults.Name);
  font.Style = defaults.Style;
  font.Style.Set(fsBold, ini.ReadBool(section, "FontBold", defaults.Style.Contains(fsBold)));
  font.Style.Set(fsItalic, ini.ReadBool(section, "FontItalic", defaults.Style.Contains(fsItalic)));
  font.Style.Set(fsUnderline, ini.ReadBool(section, "FontUnderline", defaults.Style.Contains(fsUnderline)));
  font.Style.Set(fsStrikeOut, ini.ReadBool(section, "FontStrikeOut", defaults.Style.Contains(fsStrikeOut)));

  const int size = ini.ReadInteger(section, "FontSize", defaults.Size);
  font.Size = size >= kMinFontSize && size <= kMaxFontSize ? size : defaults.Size;

  font.Color = ReadColorKey(ini, section, "FontColor", defaults.Color);

  const int charset = ini.ReadInteger(section, "FontCharset", defaults.Charset);
  font.Charset = charset >= 0 && charset <= 255 ? static_cast<std::uint8_t>(charset) : defaults.Charset;
  target = std::move(font);
}

}  // namespace velmora
