#include "engine/char_text.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(CharTextTest, TextToCharacterAndBack) {
  EXPECT_EQ(TextToChar(""), '\0');
  EXPECT_EQ(TextToChar(";"), ';');
  EXPECT_EQ(TextToChar("#"), '#');
  EXPECT_EQ(TextToChar("#9"), '\t');
  EXPECT_EQ(TextToChar("#0044"), ',');
  EXPECT_EQ(TextToChar("#255"), '\xFF');
  EXPECT_EQ(TextToChar("#256"), '\0');
  EXPECT_EQ(TextToChar("#9a"), '\0');
  EXPECT_EQ(TextToChar("ab"), '\0');
  EXPECT_EQ(CharToText(' '), "#32");
  EXPECT_EQ(CharToText('\t'), "#9");
  EXPECT_EQ(CharToText('\0'), "#0");
  EXPECT_EQ(CharToText('!'), "!");
  EXPECT_EQ(CharToText('\x7F'), "\x7F");
  EXPECT_EQ(CharToText('\x80'), "#128");
  for (int code = 0; code < 256; ++code) {
    const char character = static_cast<char>(code);
    EXPECT_EQ(TextToChar(CharToText(character)), character) << code;
  }
}

}  // namespace
}  // namespace velmora
