#include "formats/xls/xls_pools.h"

#include "formats/xls/biff_records.h"
#include "formats/xls/xls_text.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

bool SameXF(const TxlsXFormat& a, const TxlsXFormat& b) {
  const bool same_format = (a.TextFormat == nullptr) == (b.TextFormat == nullptr) &&
                           (a.TextFormat == nullptr || a.TextFormat->Format == b.TextFormat->Format);
  const bool same_font =
      (a.Font == nullptr) == (b.Font == nullptr) && (a.Font == nullptr || *a.Font == *b.Font);
  return same_format && same_font && a.Borders == b.Borders && a.Fill == b.Fill && a.Alignment == b.Alignment &&
         a.Wrap == b.Wrap;
}

// The longest format code a FORMAT record carries.
constexpr std::size_t kMaxFormatUnits = 255;

}  // namespace

std::uint16_t TxlsStylePools::GetXFIndex(std::string_view format, const TxlsFormat* style,
                                         const TxlsFont& data_font) {
  if (format.empty()) format = "General";
  if (format == "General" && style == nullptr) return kDefaultXF;

  TxlsTextFormat candidate_format;
  candidate_format.Format = std::string(format);
  TxlsFont candidate_font;
  TxlsXFormat candidate;
  if (format != "General") candidate.TextFormat = &candidate_format;
  if (style != nullptr) {
    if (!(style->Font == data_font)) {
      candidate_font = style->Font;
      candidate.Font = &candidate_font;
    }
    candidate.Borders = style->Borders;
    candidate.Fill = style->Fill;
    candidate.Alignment = style->Alignment;
    candidate.Wrap = style->Wrap;
  }
  for (const auto& xf : xfs_) {
    if (SameXF(*xf, candidate)) return xf->Index;
  }

  if (candidate.Font != nullptr) {
    const TPooledFont* pooled = nullptr;
    for (const auto& font : fonts_) {
      if (font->Font == candidate_font) pooled = font.get();
    }
    if (pooled == nullptr) {
      fonts_.push_back(std::make_unique<TPooledFont>(TPooledFont{++last_font_index_, candidate_font}));
      pooled = fonts_.back().get();
    }
    candidate.Font = &pooled->Font;
    candidate.FontIndex = pooled->Index;
  }
  if (candidate.TextFormat != nullptr) {
    const TxlsTextFormat* pooled = nullptr;
    for (const auto& text_format : text_formats_) {
      if (text_format->Format == candidate_format.Format) pooled = text_format.get();
    }
    if (pooled == nullptr) {
      candidate_format.Index = ++last_format_number_;
      text_formats_.push_back(std::make_unique<TxlsTextFormat>(candidate_format));
      pooled = text_formats_.back().get();
    }
    candidate.TextFormat = pooled;
  }
  candidate.Index = ++last_xf_index_;
  xfs_.push_back(std::make_unique<TxlsXFormat>(candidate));
  return candidate.Index;
}

const TxlsXFormat* TxlsStylePools::FindXF(std::uint16_t index) const {
  for (const auto& xf : xfs_) {
    if (xf->Index == index) return xf.get();
  }
  return nullptr;
}

void TxlsStylePools::AddFieldXF(int sheet, std::string_view field_name, std::uint16_t xf) {
  if (xf == kDefaultXF) return;
  field_xfs_.try_emplace({sheet, UpperCase(field_name)}, xf);
}

std::uint16_t TxlsStylePools::FieldXF(int sheet, std::string_view field_name) const {
  const auto found = field_xfs_.find({sheet, UpperCase(field_name)});
  return found == field_xfs_.end() ? kDefaultXF : found->second;
}

std::uint16_t TxlsStylePools::StripXF(int sheet, int key) const {
  const auto found = strip_xfs_.find({sheet, key});
  return found == strip_xfs_.end() ? kDefaultXF : found->second;
}

void TxlsStylePools::AppendRecords(std::string& out) const {
  std::string body;
  for (const auto& text_format : text_formats_) {
    body.clear();
    AppendUInt16(body, text_format->Index);
    AppendString16(body, CutUnits(Utf8ToUtf16(text_format->Format), kMaxFormatUnits));
    AppendRecord(out, kFormatRecord, body);
  }
  for (const auto& font : fonts_) AppendRecord(out, kFontRecord, FontRecordBody(font->Font));
  for (const auto& xf : xfs_) AppendRecord(out, kXFRecord, XFRecordBody(*xf));
}

std::string FontRecordBody(const TxlsFont& font) {
  std::string body;
  AppendUInt16(body, static_cast<std::uint16_t>(font.Size * 20));
  AppendUInt16(body, static_cast<std::uint16_t>((font.Has(xfsItalic) ? 0x0002 : 0) |
                                                (font.Has(xfsStrikeOut) ? 0x0008 : 0)));
  AppendUInt16(body, PaletteIndex(font.Color));
  AppendUInt16(body, font.Has(xfsBold) ? 700 : 400);
  AppendUInt16(body, static_cast<std::uint16_t>(font.Script));
  body += static_cast<char>(UnderlineCode(font.Underline));
  body += '\0';  // family
  body += static_cast<char>(font.Charset);
  body += '\0';
  AppendString8(body, CutUnits(Utf8ToUtf16(font.Name), 255));
  return body;
}

std::string XFRecordBody(const TxlsXFormat& xf) {
  std::uint16_t font = 1;
  std::uint16_t format = 0;
  std::uint16_t used = 0x4000 | 0x1000;  // pattern and alignment attributes
  std::uint16_t border_styles = 0;
  std::uint16_t border_colors = 0;
  std::uint32_t border_and_pattern = static_cast<std::uint32_t>(xf.Fill.Pattern) << 26;
  const std::uint16_t fill_colors = static_cast<std::uint16_t>(PaletteIndex(xf.Fill.Background) |
                                                               PaletteIndex(xf.Fill.Foreground) << 7);
  if (xf.Font != nullptr) {
    used |= 0x0800;
    font = xf.FontIndex;
  }
  if (xf.TextFormat != nullptr) format = xf.TextFormat->Index;
  const TxlsBorders& borders = xf.Borders;
  if (borders.AnyStyle()) {
    used |= 0x2000;
    auto style = [](const TxlsBorder& border) { return static_cast<std::uint32_t>(border.Style) & 0x0F; };
    auto color = [](const TxlsBorder& border) { return static_cast<std::uint32_t>(PaletteIndex(border.Color)); };
    if (borders.Left.Style != bstNone) {
      border_styles |= static_cast<std::uint16_t>(style(borders.Left));
      border_colors |= static_cast<std::uint16_t>(color(borders.Left));
    }
    if (borders.Right.Style != bstNone) {
      border_styles |= static_cast<std::uint16_t>(style(borders.Right) << 4);
      border_colors |= static_cast<std::uint16_t>(color(borders.Right) << 7);
    }
    if (borders.Top.Style != bstNone) {
      border_styles |= static_cast<std::uint16_t>(style(borders.Top) << 8);
      border_and_pattern |= color(borders.Top);
    }
    if (borders.Bottom.Style != bstNone) {
      border_styles |= static_cast<std::uint16_t>(style(borders.Bottom) << 12);
      border_and_pattern |= color(borders.Bottom) << 7;
    }
    const bool down = borders.DiagDown.Style != bstNone;
    const bool up = borders.DiagUp.Style != bstNone;
    if (down || up) {
      if (down) border_colors |= 0x4000;
      if (up) border_colors |= 0x8000;
      const TxlsBorder& diagonal = down ? borders.DiagDown : borders.DiagUp;
      border_and_pattern |= color(diagonal) << 14 | style(diagonal) << 21;
    }
  }
  const std::uint16_t alignment = static_cast<std::uint16_t>(
      (static_cast<unsigned>(xf.Alignment.Horizontal) & 0x07) | (xf.Wrap ? 0x08 : 0) |
      (static_cast<unsigned>(xf.Alignment.Vertical) & 0x07) << 4);

  std::string body;
  AppendUInt16(body, font);
  AppendUInt16(body, format);
  AppendUInt16(body, 0x0001);  // locked, parent style XF 0
  AppendUInt16(body, alignment);
  AppendUInt16(body, used);
  AppendUInt16(body, border_styles);
  AppendUInt16(body, border_colors);
  AppendUInt32(body, border_and_pattern);
  AppendUInt16(body, fill_colors);
  return body;
}

}  // namespace velmora
