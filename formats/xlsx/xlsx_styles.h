#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/xls/xls_pools.h"

namespace velmora {

// The style sheet (xl/styles.xml) of an Office Open XML workbook, made from
// the XF numbers of the workbook's style pools as cells use them: each XF
// used becomes one cell format, and its font, number format, fill and border
// are each stored once. Cell format 0, the one cells without a style take, is
// the data font with the General format.
class TXlsxStyleSheet {
 public:
  void Reset(const TxlsFont& data_font);
  // The cell format of an XF number (kDefaultXF and unknown numbers: 0).
  int StyleOf(std::uint16_t xf, const TxlsStylePools& pools) {
    if (xf < style_of_xf_.size() && style_of_xf_[xf] >= 0) return style_of_xf_[xf];
    return AddStyle(xf, pools);
  }
  // The whole part.
  std::string Part() const;

 private:
  struct TCellFormat {
    int NumberFormat = 0;  // 0 General, else 164 + its index in number_formats_
    int Font = 0;
    int Fill = 0;
    int Border = 0;
    TxlsAlignment Alignment;
    bool Wrap = false;
  };
  int AddStyle(std::uint16_t xf, const TxlsStylePools& pools);
  template <class Item>
  static int IndexOf(std::vector<Item>& items, const Item& item);

  std::vector<int> style_of_xf_;
  std::vector<TCellFormat> formats_;
  std::vector<TxlsFont> fonts_;
  std::vector<std::string> number_formats_;
  std::vector<TxlsFill> fills_;       // from fill 2: fills 0 and 1 are the fixed ones
  std::vector<TxlsBorders> borders_;  // from border 1
};

}  // namespace velmora
