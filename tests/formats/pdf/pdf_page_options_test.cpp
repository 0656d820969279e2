// Page size, units, orientation and margins of the paged export, and the two
// boxes derived from them.
#include "formats/pdf/pdf_page_options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velmora {
namespace {

TEST(PDFPageOptionsTest, DefaultsAreA4InInchesWithTheirBoxes) {
  TTabuloPDFPageOptions options;
  EXPECT_EQ(options.Format(), pfA4);
  EXPECT_EQ(options.WidthPoints(), 595);
  EXPECT_EQ(options.HeightPoints(), 842);
  EXPECT_DOUBLE_EQ(options.Width(), 8.26);
  EXPECT_DOUBLE_EQ(options.Height(), 11.69);
  // 0.59 inch is 42 points, which read back as 0.58 inch.
  EXPECT_DOUBLE_EQ(options.MarginRight(), 0.58);
  EXPECT_EQ(options.PageBox(), (TPDFBox{0, 0, 594, 841}));
  EXPECT_EQ(options.PrintableBox(), (TPDFBox{85, 57, 552, 784}));

  options.Units = unMillimeter;
  EXPECT_DOUBLE_EQ(options.Width(), 210);
  EXPECT_DOUBLE_EQ(options.Height(), 297);
  options.Units = unDot;
  EXPECT_DOUBLE_EQ(options.MarginLeft(), 85);
}

TEST(PDFPageOptionsTest, LengthsRoundToWholePointsHalvesToEven) {
  TTabuloPDFPageOptions options;
  options.Units = unDot;
  options.SetMarginLeft(84.5);
  EXPECT_EQ(options.PrintableBox().Left, 84);
  options.SetMarginLeft(85.5);
  EXPECT_EQ(options.PrintableBox().Left, 86);
  options.Units = unMillimeter;
  options.SetMarginTop(10);  // 28.35 points
  EXPECT_EQ(options.PrintableBox().Top, 842 - 28 - 1);
  EXPECT_DOUBLE_EQ(options.MarginTop(), 10);
  // Values from a settings file may be anything; they stay defined.
  options.Units = unDot;
  options.SetWidth(1e30);
  EXPECT_EQ(options.WidthPoints(), std::numeric_limits<int>::max());
  options.SetHeight(std::nan(""));
  EXPECT_EQ(options.HeightPoints(), 0);
}

TEST(PDFPageOptionsTest, SettingASizeMakesTheFormatUserDefined) {
  TTabuloPDFPageOptions options;
  options.Units = unDot;
  options.SetWidth(595);
  EXPECT_EQ(options.Format(), pfUser);
  options.SetFormat(pfLetter);
  EXPECT_EQ(options.WidthPoints(), 612);
  EXPECT_EQ(options.HeightPoints(), 792);
  options.SetHeight(800);
  options.SetFormat(pfUser);
  EXPECT_EQ(options.HeightPoints(), 800);
}

TEST(PDFPageOptionsTest, OrientationTurnsPaperAndMarginsAndTurnsBack) {
  TTabuloPDFPageOptions options;
  options.Units = unDot;
  options.SetMarginLeft(10);
  options.SetMarginRight(20);
  options.SetMarginTop(30);
  options.SetMarginBottom(40);
  options.SetOrientation(poLandscape);
  EXPECT_EQ(options.WidthPoints(), 842);
  EXPECT_EQ(options.HeightPoints(), 595);
  // Left, right, top and bottom are the old bottom, top, left and right.
  EXPECT_EQ(options.PrintableBox(), (TPDFBox{40, 20, 842 - 30 - 1, 595 - 10 - 1}));
  options.SetOrientation(poLandscape);  // no change, nothing turns
  EXPECT_EQ(options.WidthPoints(), 842);
  // A paper format chosen in landscape is laid on its side too.
  options.SetFormat(pfA5);
  EXPECT_EQ(options.WidthPoints(), 595);
  EXPECT_EQ(options.HeightPoints(), 420);
  options.SetOrientation(poPortrait);
  EXPECT_EQ(options.WidthPoints(), 420);
  EXPECT_DOUBLE_EQ(options.MarginLeft(), 10);
  EXPECT_DOUBLE_EQ(options.MarginRight(), 20);
  EXPECT_DOUBLE_EQ(options.MarginTop(), 30);
  EXPECT_DOUBLE_EQ(options.MarginBottom(), 40);
}

}  // namespace
}  // namespace velmora
