#include "formats/xlsx/xlsx_styles.h"

#include <cstdio>

#include "engine/font_color.h"
#include "formats/xlsx/xlsx_text.h"

namespace velmora {

namespace {

// The first number of the workbook's own number formats.
constexpr int kFirstCustomNumberFormat = 164;

// Patterns in the order of TxlsPattern: the binary workbook numbers them alike.
constexpr const char* kPatternNames[] = {
    "none",           "solid",           "mediumGray",    "darkGray",  "lightGray",
    "darkHorizontal", "darkVertical",    "darkDown",      "darkUp",    "darkGrid",
    "darkTrellis",    "lightHorizontal", "lightVertical", "lightDown", "lightUp",
    "lightGrid",      "lightTrellis",    "gray125",       "gray0625",
};
// Border styles in the order of TxlsBorderStyle.
constexpr const char* kBorderNames[] = {
    "none",
    "thin",
    "medium",
    "dashed",
    "dotted",
    "thick",
    "double",
    "hair",
    "mediumDashed",
    "dashDot",
    "mediumDashDot",
    "dashDotDot",
    "mediumDashDotDot",
    "slantDashDot",
};

// " rgb=\"FFRRGGBB\"" of a palette colour, opaque.
std::string RgbAttribute(TxlsColor color) {
  const TColor value = XlsColorToColor(color);
  char text[32];
  std::snprintf(text, sizeof text, " rgb=\"FF%02X%02X%02X\"", RedOf(value), GreenOf(value), BlueOf(value));
  return text;
}

void AppendFont(std::string& out, const TxlsFont& font) {
  out += "<font>";
  if (font.Has(xfsBold)) out += "<b/>";
  if (font.Has(xfsItalic)) out += "<i/>";
  if (font.Has(xfsStrikeOut)) out += "<strike/>";
  switch (font.Underline) {
    case fulNone:
      break;
    case fulSingle:
      out += "<u/>";
      break;
    case fulDouble:
      out += "<u val=\"double\"/>";
      break;
    case fulSingleAccounting:
      out += "<u val=\"singleAccounting\"/>";
      break;
    case fulDoubleAccounting:
      out += "<u val=\"doubleAccounting\"/>";
      break;
  }
  if (font.Script == fscSuperscript) out += "<vertAlign val=\"superscript\"/>";
  if (font.Script == fscSubscript) out += "<vertAlign val=\"subscript\"/>";
  out += "<sz val=\"" + std::to_string(font.Size) + "\"/>";
  // Black is the automatic colour, left to the reader.
  if (font.Color != clrBlack) out += "<color" + RgbAttribute(font.Color) + "/>";
  out += "<name val=\"";
  AppendAttributeText(out, font.Name);
  out += "\"/><family val=\"2\"/></font>";
}

// Background is the colour a solid fill shows, and the pattern's colour of
// other patterns, drawn over Foreground, as in the binary workbook.
void AppendFill(std::string& out, const TxlsFill& fill) {
  out += "<fill><patternFill patternType=\"";
  out += kPatternNames[fill.Pattern];
  out += "\">";
  if (fill.Pattern == ptSolid) {
    out += "<fgColor" + RgbAttribute(fill.Background) + "/><bgColor indexed=\"64\"/>";
  } else if (fill.Pattern != ptNone) {
    out += "<fgColor" + RgbAttribute(fill.Background) + "/><bgColor" + RgbAttribute(fill.Foreground) + "/>";
  }
  out += "</patternFill></fill>";
}

void AppendBorderSide(std::string& out, const char* side, const TxlsBorder& border) {
  out += '<';
  out += side;
  if (border.Style == bstNone) {
    out += "/>";
    return;
  }
  out += " style=\"";
  out += kBorderNames[border.Style];
  out += "\">";
  if (border.Color != clrBlack) {
    out += "<color" + RgbAttribute(border.Color) + "/>";
  } else {
    out += "<color auto=\"1\"/>";
  }
  out += "</";
  out += side;
  out += '>';
}

// The four sides; diagonal lines are not drawn.
void AppendBorder(std::string& out, const TxlsBorders& borders) {
  out += "<border>";
  AppendBorderSide(out, "left", borders.Left);
  AppendBorderSide(out, "right", borders.Right);
  AppendBorderSide(out, "top", borders.Top);
  AppendBorderSide(out, "bottom", borders.Bottom);
  out += "<diagonal/></border>";
}

bool SameSides(const TxlsBorders& left, const TxlsBorders& right) {
  return left.Left == right.Left && left.Right == right.Right && left.Top == right.Top &&
         left.Bottom == right.Bottom;
}

}  // namespace

template <class Item>
int TXlsxStyleSheet::IndexOf(std::vector<Item>& items, const Item& item) {
  for (std::size_t index = 0; index < items.size(); ++index) {
    if (items[index] == item) return static_cast<int>(index);
  }
  items.push_back(item);
  return static_cast<int>(items.size() - 1);
}

void TXlsxStyleSheet::Reset(const TxlsFont& data_font) {
  style_of_xf_.clear();
  formats_.assign(1, TCellFormat{});
  fonts_.assign(1, data_font);
  number_formats_.clear();
  fills_.clear();
  borders_.clear();
}

int TXlsxStyleSheet::AddStyle(std::uint16_t xf, const TxlsStylePools& pools) {
  if (xf >= style_of_xf_.size()) style_of_xf_.resize(static_cast<std::size_t>(xf) + 1, -1);
  const TxlsXFormat* pooled = xf == kDefaultXF ? nullptr : pools.FindXF(xf);
  if (pooled == nullptr) return style_of_xf_[xf] = 0;
  TCellFormat format;
  format.Font = pooled->Font != nullptr ? IndexOf(fonts_, *pooled->Font) : 0;
  if (pooled->TextFormat != nullptr && pooled->TextFormat->Format != "General" &&
      !pooled->TextFormat->Format.empty()) {
    format.NumberFormat = kFirstCustomNumberFormat + IndexOf(number_formats_, pooled->TextFormat->Format);
  }
  if (pooled->Fill.Pattern != ptNone) format.Fill = 2 + IndexOf(fills_, pooled->Fill);
  if (pooled->Borders.Left.Style != bstNone || pooled->Borders.Right.Style != bstNone ||
      pooled->Borders.Top.Style != bstNone || pooled->Borders.Bottom.Style != bstNone) {
    int found = -1;
    for (std::size_t index = 0; index < borders_.size() && found < 0; ++index) {
      if (SameSides(borders_[index], pooled->Borders)) found = static_cast<int>(index);
    }
    if (found < 0) {
      borders_.push_back(pooled->Borders);
      found = static_cast<int>(borders_.size() - 1);
    }
    format.Border = 1 + found;
  }
  format.Alignment = pooled->Alignment;
  format.Wrap = pooled->Wrap;
  formats_.push_back(format);
  return style_of_xf_[xf] = static_cast<int>(formats_.size() - 1);
}

std::string TXlsxStyleSheet::Part() const {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
  if (!number_formats_.empty()) {
    out += "<numFmts count=\"" + std::to_string(number_formats_.size()) + "\">";
    for (std::size_t index = 0; index < number_formats_.size(); ++index) {
      out += "<numFmt numFmtId=\"" + std::to_string(kFirstCustomNumberFormat + index) + "\" formatCode=\"";
      AppendAttributeText(out, number_formats_[index]);
      out += "\"/>";
    }
    out += "</numFmts>";
  }
  out += "<fonts count=\"" + std::to_string(fonts_.size()) + "\">";
  for (const TxlsFont& font : fonts_) AppendFont(out, font);
  out += "</fonts><fills count=\"" + std::to_string(fills_.size() + 2) + "\">";
  out +=
      "<fill><patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill>";
  for (const TxlsFill& fill : fills_) AppendFill(out, fill);
  out += "</fills><borders count=\"" + std::to_string(borders_.size() + 1) + "\">";
  AppendBorder(out, TxlsBorders{});
  for (const TxlsBorders& borders : borders_) AppendBorder(out, borders);
  out +=
      "</borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
      "</cellStyleXfs>";
  out += "<cellXfs count=\"" + std::to_string(formats_.size()) + "\">";
  for (const TCellFormat& format : formats_) {
    out += "<xf numFmtId=\"" + std::to_string(format.NumberFormat) + "\" fontId=\"" +
           std::to_string(format.Font) + "\" fillId=\"" + std::to_string(format.Fill) + "\" borderId=\"" +
           std::to_string(format.Border) + "\" xfId=\"0\"";
    if (format.NumberFormat != 0) out += " applyNumberFormat=\"1\"";
    if (format.Font != 0) out += " applyFont=\"1\"";
    if (format.Fill != 0) out += " applyFill=\"1\"";
    if (format.Border != 0) out += " applyBorder=\"1\"";
    std::string alignment;
    switch (format.Alignment.Horizontal) {
      case halGeneral:
        break;
      case halLeft:
        alignment += " horizontal=\"left\"";
        break;
      case halCenter:
        alignment += " horizontal=\"center\"";
        break;
      case halRight:
        alignment += " horizontal=\"right\"";
        break;
      case halFill:
        alignment += " horizontal=\"fill\"";
        break;
    }
    switch (format.Alignment.Vertical) {
      case valTop:
        alignment += " vertical=\"top\"";
        break;
      case valCenter:
        alignment += " vertical=\"center\"";
        break;
      case valBottom:
        break;  // the default
      case valJustify:
        alignment += " vertical=\"justify\"";
        break;
    }
    if (format.Wrap) alignment += " wrapText=\"1\"";
    if (alignment.empty()) {
      out += "/>";
    } else {
      out += " applyAlignment=\"1\"><alignment" + alignment + "/></xf>";
    }
  }
  out +=
      "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
      "<dxfs count=\"0\"/><tableStyles count=\"0\"/></styleSheet>";
  return out;
}

}  // namespace velmora
