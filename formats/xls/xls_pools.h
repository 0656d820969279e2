#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/xls/xls_styles.h"

namespace velmora {

// A user number format: its number and format code.
struct TxlsTextFormat {
  std::uint16_t Index = 0;
  std::string Format = "General";
};

// A user cell format (XF): references into the font and number-format pools
// (null for the built-in font 1 and the General format) and its own parts.
struct TxlsXFormat {
  std::uint16_t Index = 0;
  const TxlsFont* Font = nullptr;
  std::uint16_t FontIndex = 1;
  const TxlsTextFormat* TextFormat = nullptr;
  TxlsBorders Borders;
  TxlsFill Fill;
  TxlsAlignment Alignment;
  bool Wrap = false;
};

// The cell format of the default cell and of every cell that has no style.
constexpr std::uint16_t kDefaultXF = 15;

// The pools that hand out font, number-format and XF numbers for one workbook,
// each distinct item once, in order of first use: fonts from 5, number formats
// from 50, XFs from 16. Lookups are linear: a workbook holds few styles.
class TxlsStylePools {
 public:
  // The XF of a format code and a style (null: none). "General" without a
  // style is the default XF; an empty code is "General". A style whose font
  // equals data_font (the font of the built-in fonts 1 to 3) uses font 1.
  std::uint16_t GetXFIndex(std::string_view format, const TxlsFormat* style, const TxlsFont& data_font);
  // The pooled XF of that number; null for the built-in XFs.
  const TxlsXFormat* FindXF(std::uint16_t index) const;

  // The XF registered for a field of a sheet (field names compared without
  // regard to letter case); kDefaultXF when there is none.
  void AddFieldXF(int sheet, std::string_view field_name, std::uint16_t xf);
  std::uint16_t FieldXF(int sheet, std::string_view field_name) const;
  // Strip XFs by (sheet, column + 1000 * strip).
  void AddStripXF(int sheet, int key, std::uint16_t xf) { strip_xfs_[{sheet, key}] = xf; }
  std::uint16_t StripXF(int sheet, int key) const;

  // The FORMAT, FONT and XF records of the pooled items, in that order.
  void AppendRecords(std::string& out) const;

 private:
  std::vector<std::unique_ptr<TxlsTextFormat>> text_formats_;
  struct TPooledFont {
    std::uint16_t Index;
    TxlsFont Font;
  };
  std::vector<std::unique_ptr<TPooledFont>> fonts_;
  std::vector<std::unique_ptr<TxlsXFormat>> xfs_;
  std::map<std::pair<int, std::string>, std::uint16_t> field_xfs_;  // upper-case field names
  std::map<std::pair<int, int>, std::uint16_t> strip_xfs_;
  std::uint16_t last_format_number_ = 49;
  std::uint16_t last_xf_index_ = 15;
  std::uint16_t last_font_index_ = 4;
};

// Record bodies of the style records (without the 4-byte record header).
std::string FontRecordBody(const TxlsFont& font);
std::string XFRecordBody(const TxlsXFormat& xf);

}  // namespace velmora
