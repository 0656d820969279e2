// The width of texts in the unit of spreadsheet column widths.
#include "formats/workbook/sheet_widths.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(SheetTextCharsTest, CountsDigitWidthsOfTheSheetFont) {
  const struct {
    const char* Text;
    int Chars;
  } cases[] = {
      {"", 0},
      {"0123456789", 10},
      {"iiiiii", 3},                          // narrow letters
      {"WWWWWWWWWW", 17},                     // wide capitals
      {"a@b.example", 12},                    // an e-mail address
      {"\xE6\x97\xA5\xE6\x9C\xAC", 4},        // two ideographs: two digits each
      {"e\xCC\x81", 1},                       // a combining mark takes no room
      {"\xD0\x94\xD0\xB0", 3},                // Cyrillic as capitals
  };
  for (const auto& test : cases) EXPECT_EQ(SheetTextChars(test.Text), test.Chars) << test.Text;
}

}  // namespace
}  // namespace velmora
