#include "formats/pdf/pdf_page_options.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace velmora {

namespace {

struct TPaperSize {
  int width;  // points, portrait
  int height;
};

// In the order of TTabuloPageFormat, pfUser excluded.
constexpr TPaperSize kPaperSizes[] = {
    {612, 792},   // pfLetter: 8.5 by 11 inches
    {612, 1008},  // pfLegal: 8.5 by 14 inches
    {842, 1191},  // pfA3
    {595, 842},   // pfA4
    {420, 595},   // pfA5
    {516, 729},   // pfB5_JIS
    {1071, 792},  // pfUS_Std_Fanfold: 14.88 by 11 inches
    {612, 864},   // pfFanfold: 8.5 by 12 inches
};

}  // namespace

int RoundHalfEven(double value) {
  // Values from settings files may be anything; keep the conversion defined.
  constexpr double kLimit = 2147483647.0;
  if (std::isnan(value)) return 0;
  // The default floating-point rounding mode rounds halves to even.
  return static_cast<int>(std::nearbyint(std::clamp(value, -kLimit, kLimit)));
}

TTabuloPDFPageOptions::TTabuloPDFPageOptions() {
  SetFormat(pfA4);
}

void TTabuloPDFPageOptions::SetFormat(TTabuloPageFormat format) {
  format_ = format;
  if (format == pfUser) return;
  const TPaperSize& size = kPaperSizes[format];
  width_ = size.width;
  height_ = size.height;
  if (orientation_ == poLandscape) std::swap(width_, height_);
}

void TTabuloPDFPageOptions::SetOrientation(TTabuloPageOrientation orientation) {
  if (orientation == orientation_) return;
  orientation_ = orientation;
  std::swap(width_, height_);
  const int left = margin_left_, right = margin_right_, top = margin_top_, bottom = margin_bottom_;
  if (orientation == poLandscape) {
    margin_left_ = bottom, margin_right_ = top, margin_top_ = left, margin_bottom_ = right;
  } else {
    margin_left_ = top, margin_right_ = bottom, margin_top_ = right, margin_bottom_ = left;
  }
}

void TTabuloPDFPageOptions::SetWidth(double width) {
  width_ = ToPoints(width);
  format_ = pfUser;
}

void TTabuloPDFPageOptions::SetHeight(double height) {
  height_ = ToPoints(height);
  format_ = pfUser;
}

TPDFBox TTabuloPDFPageOptions::PageBox() const {
  return {0, 0, width_ - 1, height_ - 1};
}

TPDFBox TTabuloPDFPageOptions::PrintableBox() const {
  return {margin_left_, margin_bottom_, width_ - margin_right_ - 1, height_ - margin_top_ - 1};
}

int TTabuloPDFPageOptions::ToPoints(double value) const {
  switch (Units) {
    case unInch:
      return RoundHalfEven(value * 72);
    case unMillimeter:
      return RoundHalfEven(value / 25.4 * 72);
    case unDot:
      break;
  }
  return RoundHalfEven(value);
}

double TTabuloPDFPageOptions::FromPoints(int points) const {
  switch (Units) {
    case unInch:
      return std::nearbyint(points / 72.0 * 100) / 100;
    case unMillimeter:
      return std::nearbyint(points / 72.0 * 25.4);
    case unDot:
      break;
  }
  return points;
}

}  // namespace velmora
