#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/font_color.h"

namespace velmora {

class TIniFile;

// ---------------------------------------------------------------------------
// Enumerations of the workbook's style vocabulary. Values read from a template
// are checked against their range: an unknown value takes the default.

enum TxlsFontStyle { xfsBold, xfsItalic, xfsStrikeOut };
enum TxlsFontScript { fscNone, fscSuperscript, fscSubscript };
enum TxlsFontUnderline { fulNone, fulSingle, fulDouble, fulSingleAccounting, fulDoubleAccounting };
enum TxlsHorizontalAlignment { halGeneral, halLeft, halCenter, halRight, halFill };
enum TxlsVerticalAlignment { valTop, valCenter, valBottom, valJustify };
enum TxlsBorderStyle {
  bstNone, bstThin, bstMedium, bstDashed, bstDotted, bstThick, bstDouble, bstHair, bstMediumDashed,
  bstDashDot, bstMediumDashDot, bstDashDotDot, bstMediumDashDotDot, bstSlantedDashDot
};
enum TxlsPattern {
  ptNone, ptSolid, ptChess, ptWhiteSpots, ptBlackSpots, ptBoldHorizontal, ptBoldVertical, ptBoldDiagRight,
  ptBoldDiagLeft, ptBoldChess, ptRingMail, ptThinGorizontal, ptThinVertical, ptThinDiagLeft, ptThinDiagRight,
  ptCells, ptCrissCross, ptThinSpots, ptThinThinSpots
};
enum TxlsAggregate { aggNone, aggSum, aggAvg, aggMin, aggMax };
enum TxlsStripType { ssNone, ssCol, ssRow };

// The 40 colours a style can name, each a colour of the built-in palette.
enum TxlsColor {
  clrBlack, clrBrown, clrOliveGreen, clrDarkGreen, clrDarkTeal, clrDarkBlue, clrIndigo, clrGray80Percent,
  clrDarkRed, clrOrange, clrDarkYellow, clrGreen, clrTeal, clrBlue, clrBlueGray, clrGray50Percent, clrRed,
  clrLightOrange, clrLime, clrSeaGreen, clrAqua, clrLightBlue, clrViolet, clrGray40Percent, clrPink, clrGold,
  clrYellow, clrBrightGreen, clrTurquoise, clrSkyBlue, clrPlum, clrGray25Percent, clrRose, clrTan,
  clrLightYellow, clrLihtGreen, clrLightTurquoise, clrPaleBlue, clrLavender, clrWhite
};
constexpr int kXlsColorCount = 40;

// The colour as a TColor (red in the low byte) and its index in the palette.
TColor XlsColorToColor(TxlsColor color);
std::uint16_t PaletteIndex(TxlsColor color);
// The first workbook colour of exactly that value; clrBlack when none has it.
TxlsColor ColorToXlsColor(TColor color);
// The value the underline byte of a FONT record holds.
std::uint8_t UnderlineCode(TxlsFontUnderline underline);

// ---------------------------------------------------------------------------
// Style objects

struct TxlsFont {
  int Size = 10;  // points, kMinFontSize .. kMaxFontSize
  unsigned Style = 0;  // bits 1 << TxlsFontStyle
  TxlsColor Color = clrBlack;
  TxlsFontScript Script = fscNone;
  TxlsFontUnderline Underline = fulNone;
  std::uint8_t Charset = 1;
  std::string Name = "adobe-helvetica";

  bool Has(TxlsFontStyle style) const { return (Style & (1u << style)) != 0; }
  void Set(TxlsFontStyle style, bool on) { Style = on ? Style | (1u << style) : Style & ~(1u << style); }
  // Takes a general font: styles, size, charset and name; the colour maps to the
  // palette colour of the same value, black for colours the palette lacks.
  void AssignFont(const TFont& font);
  bool operator==(const TxlsFont&) const = default;
};

struct TxlsBorder {
  TxlsBorderStyle Style = bstNone;
  TxlsColor Color = clrBlack;
  bool operator==(const TxlsBorder&) const = default;
};

struct TxlsBorders {
  TxlsBorder Left, Right, Top, Bottom, DiagDown, DiagUp;
  bool AnyStyle() const;
  bool operator==(const TxlsBorders&) const = default;
};

struct TxlsFill {
  TxlsColor Background = clrWhite;
  TxlsPattern Pattern = ptNone;
  TxlsColor Foreground = clrBlack;
  bool operator==(const TxlsFill&) const = default;
};

struct TxlsAlignment {
  TxlsHorizontalAlignment Horizontal = halGeneral;
  TxlsVerticalAlignment Vertical = valBottom;
  bool operator==(const TxlsAlignment&) const = default;
};

// The style of a cell: font, borders, fill, alignment and wrap.
class TxlsFormat {
 public:
  virtual ~TxlsFormat() = default;
  TxlsFont Font;
  TxlsBorders Borders;
  TxlsFill Fill;
  TxlsAlignment Alignment;
  bool Wrap = false;

  virtual void SetDefault();
  // The style that needs no cell format of its own: arial 10 in black, no
  // borders, white fill without pattern, general bottom alignment, no wrap.
  bool IsDefault() const;
  // Reads the style keys of a template section; every absent or invalid key
  // takes its fixed default, not the style's current value.
  virtual void LoadFromIni(const TIniFile& ini, std::string_view section);
};

class TxlsFieldFormat : public TxlsFormat {
 public:
  std::string FieldName;
  int Width = 0;
  TxlsAggregate Aggregate = aggNone;

  void SetDefault() override;
  // The style keys, then Aggregate.
  void LoadFromIni(const TIniFile& ini, std::string_view section) override;
};

class TxlsFieldFormats {
 public:
  TxlsFieldFormat& Add();
  int Count() const { return static_cast<int>(items_.size()); }
  TxlsFieldFormat& operator[](int index) const { return *items_.at(static_cast<std::size_t>(index)); }
  // The first item for that field name, letter case ignored; -1 when none.
  int IndexOf(std::string_view field_name) const;
  void Clear() { items_.clear(); }
  void Assign(const TxlsFieldFormats& source);

 private:
  std::vector<std::unique_ptr<TxlsFieldFormat>> items_;
};

class TxlsFormats {
 public:
  TxlsFormat& Add();
  int Count() const { return static_cast<int>(items_.size()); }
  TxlsFormat& operator[](int index) const { return *items_.at(static_cast<std::size_t>(index)); }
  void Clear() { items_.clear(); }
  void Assign(const TxlsFormats& source);
  // "StripStyle_" and the index: how an item of a strip-style list is shown.
  static std::string DisplayName(int index) { return "StripStyle_" + std::to_string(index); }

 private:
  std::vector<std::unique_ptr<TxlsFormat>> items_;
};

class TXLSOptions {
 public:
  TXLSOptions();
  std::string PageHeader;
  std::string PageFooter = "Page &P of &N";
  const std::string& SheetTitle() const { return sheet_title_; }
  // An empty title is stored as "Sheet1".
  void SetSheetTitle(std::string_view title) { sheet_title_ = title.empty() ? "Sheet1" : std::string(title); }
  TxlsFormat HeaderFormat;
  TxlsFormat CaptionsFormat;  // bold
  TxlsFormat DataFormat;
  TxlsFormat AggregateFormat;
  TxlsFormat FooterFormat;

 private:
  std::string sheet_title_ = "Sheet 1";
};

}  // namespace velmora
