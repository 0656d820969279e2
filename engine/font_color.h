#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace velmora {

class TIniFile;

// ---------------------------------------------------------------------------
// Colours

// Non-negative values are RGB colours laid out as 0x00BBGGRR (red in the low
// byte); negative values name system colours, which no format resolves further.
using TColor = std::int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clInfoBk = 0xE1FFFF;

struct TColorName {
  std::string_view Name;
  TColor Value;
};

// The 96 colour names in search order. Where a value has several names, the
// first one is the name colour-to-text gives.
std::span<const TColorName> ColorNames();

// The colour's name when it has one, else "$" and the value's 32 bits as eight
// upper-case hexadecimal digits (-15 gives "$FFFFFFF1"). StringToColor reads
// every result back to the same value.
std::string ColorToString(TColor color);

// A colour name in any letter case, a decimal integer, or "$" (or "0x") and up to
// eight hexadecimal digits taken as 32 bits. Anything else raises EVelmoraError
// "'TEXT' is not a valid integer value".
TColor StringToColor(std::string_view text);
// As StringToColor, but gives false instead of raising.
bool TryStringToColor(std::string_view text, TColor& color);

// The RGB colour a system colour (a negative value: a role of a desktop
// theme such as the window text or the button face) shows in a light theme;
// other colours unchanged. The formats write RGB only, so a system colour is
// resolved where a template names it.
TColor SystemColorRgb(TColor color);

// The colour of a template key: a colour name or an integer as StringToColor
// reads them, blanks around ignored, a system colour as SystemColorRgb gives
// it; fallback when the key is absent or empty. Other text raises EVelmoraError "Invalid colour "TEXT" for KEY in
// [SECTION]: ...", which lists every colour name, so that a misspelt name
// fails its item instead of passing for the default.
TColor ReadColorKey(const TIniFile& ini, std::string_view section, std::string_view key, TColor fallback);

// red + green * 256 + blue * 65536, each component taken modulo 256.
TColor RGB(int red, int green, int blue);
int RedOf(TColor color);    // the low byte
int GreenOf(TColor color);  // the second byte
int BlueOf(TColor color);   // the third byte

// "#rrggbb" in lower-case digits from the low 24 bits (10040115 gives "#333399").
std::string ColorToHtml(TColor color);

// ---------------------------------------------------------------------------
// Fonts

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };

// A set of font styles: bit 0 bold, bit 1 italic, bit 2 underline, bit 3 strike-out.
class TFontStyles {
 public:
  constexpr TFontStyles() = default;
  constexpr TFontStyles(std::initializer_list<TFontStyle> styles) {
    for (const TFontStyle style : styles) Include(style);
  }
  // Bits above bit 3 name no style and are dropped.
  static constexpr TFontStyles FromBits(unsigned bits) {
    TFontStyles styles;
    styles.bits_ = static_cast<std::uint8_t>(bits & 0x0F);
    return styles;
  }

  constexpr bool Contains(TFontStyle style) const { return (bits_ & Bit(style)) != 0; }
  constexpr void Include(TFontStyle style) { bits_ = static_cast<std::uint8_t>(bits_ | Bit(style)); }
  constexpr void Exclude(TFontStyle style) { bits_ = static_cast<std::uint8_t>(bits_ & ~Bit(style)); }
  constexpr void Set(TFontStyle style, bool on) { on ? Include(style) : Exclude(style); }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr unsigned Bits() const { return bits_; }
  constexpr bool operator==(const TFontStyles&) const = default;

 private:
  static constexpr unsigned Bit(TFontStyle style) { return 1u << static_cast<unsigned>(style); }
  std::uint8_t bits_ = 0;
};

// Font sizes in points that every format can carry (the workbook stores the
// size in twentieths of a point in a signed 16-bit field).
constexpr int kMinFontSize = 1;
constexpr int kMaxFontSize = 1638;

// The font record of the formats that style text; a plain value, copied by assignment.
struct TFont {
  TFontStyles Style;
  int Size = 10;             // points
  TColor Color = clBlack;    // text colour
  std::uint8_t Charset = 1;  // character-set code, passed through to the formats
  std::string Name = "Arial";

  bool operator==(const TFont&) const = default;
};

// Reads the font keys of one section (FontName, FontBold, FontItalic,
// FontUnderline, FontStrikeOut, FontSize, FontColor, FontCharset) into target,
// each absent key taking the field of defaults. A size outside kMinFontSize ..
// kMaxFontSize, a charset outside 0..255 and an invalid integer or Boolean take
// the default; a colour text that is neither a name nor an integer raises
// EVelmoraError as ReadColorKey does. target and defaults may be the same object.
void ReadFont(TFont& target, const TFont& defaults, const TIniFile& ini, std::string_view section);

}  // namespace velmora
