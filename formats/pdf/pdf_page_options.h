#pragma once

#include "engine/page_orientation.h"

namespace velmora {

// A rectangle on the page in whole points, origin at the lower left corner.
struct TPDFBox {
  int Left = 0;
  int Bottom = 0;
  int Right = 0;
  int Top = 0;

  bool operator==(const TPDFBox&) const = default;
};

enum TTabuloPageFormat {
  pfLetter,
  pfLegal,
  pfA3,
  pfA4,
  pfA5,
  pfB5_JIS,
  pfUS_Std_Fanfold,
  pfFanfold,
  pfUser,
};

enum TTabuloUnits { unInch, unMillimeter, unDot };

// Paper size, orientation and margins of a paged export. Lengths are kept as
// whole points; Width, Height and the margins are read and written in Units.
class TTabuloPDFPageOptions {
 public:
  TTabuloPDFPageOptions();

  TTabuloPageFormat Format() const { return format_; }
  // A paper format (other than pfUser) sets width and height, in the current
  // orientation; pfUser changes nothing else.
  void SetFormat(TTabuloPageFormat format);

  TTabuloUnits Units = unInch;

  TTabuloPageOrientation Orientation() const { return orientation_; }
  // A change swaps width and height and turns the margins with the paper, so
  // that switching back restores them.
  void SetOrientation(TTabuloPageOrientation orientation);

  double Width() const { return FromPoints(width_); }
  double Height() const { return FromPoints(height_); }
  // Either makes the format pfUser.
  void SetWidth(double width);
  void SetHeight(double height);

  double MarginLeft() const { return FromPoints(margin_left_); }
  double MarginRight() const { return FromPoints(margin_right_); }
  double MarginTop() const { return FromPoints(margin_top_); }
  double MarginBottom() const { return FromPoints(margin_bottom_); }
  void SetMarginLeft(double margin) { margin_left_ = ToPoints(margin); }
  void SetMarginRight(double margin) { margin_right_ = ToPoints(margin); }
  void SetMarginTop(double margin) { margin_top_ = ToPoints(margin); }
  void SetMarginBottom(double margin) { margin_bottom_ = ToPoints(margin); }

  int WidthPoints() const { return width_; }
  int HeightPoints() const { return height_; }

  // The whole page: 0, 0, width - 1, height - 1.
  TPDFBox PageBox() const;
  // Inside the margins: left margin, bottom margin, width - right margin - 1,
  // height - top margin - 1.
  TPDFBox PrintableBox() const;

  // A length in Units as whole points: inches × 72 and millimetres ÷ 25.4 × 72,
  // rounded to the nearest integer, halves to the even one; dots are points.
  int ToPoints(double value) const;
  // Points in Units: inches rounded to two decimals, millimetres to whole ones.
  double FromPoints(int points) const;

 private:
  TTabuloPageFormat format_ = pfA4;
  TTabuloPageOrientation orientation_ = poPortrait;
  int width_ = 0;
  int height_ = 0;
  int margin_left_ = 85;
  int margin_right_ = 42;
  int margin_top_ = 57;
  int margin_bottom_ = 57;
};

// Rounds to the nearest integer, halves to the even neighbour.
int RoundHalfEven(double value);

}  // namespace velmora
