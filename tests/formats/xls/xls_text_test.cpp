// Cell values and format codes as the workbook needs them.
#include <gtest/gtest.h>

#include <string>

#include "formats/xls/xls_text.h"
#include "platform/locale_settings.h"
#include "tests/formats/xls/xls_test_support.h"

namespace velmora {
namespace {

class XlsTextTest : public ::testing::Test {
 protected:
  testsupport::TFormatSettingsScope locale_;
};

TEST_F(XlsTextTest, NumbersStayNumbersOnlyWhenTheDoubleCarriesTheirDigits) {
  struct TCase {
    const char* text;
    bool number;
    bool exact;
  } cases[] = {
      {"9007199254740992", true, true},   {"9007199254740993", true, false}, {"-9007199254740993", true, false},
      {"0.1", true, true},                {"123.4500", true, true},          {"1e300", true, true},
      {"1e400", true, false},             {"0.000", true, true},             {"-0", true, true},
      {"12345678901234567890", true, false},
      {"-9223372036854775808", true, true},  // powers of two beyond 2^53 are carried whole
      {"18446744073709551616", true, true},
      {"1.000000000000000000000000000001", true, false},
      {"99999999999999999999999999999999999.000000000000000000000000000000", true, false},
      {"abc", false, false},              {"", false, false},
  };
  for (const TCase& entry : cases) {
    double value = 0;
    bool exact = false;
    EXPECT_EQ(ReadCellNumber(entry.text, value, exact), entry.number) << entry.text;
    if (entry.number) {
      EXPECT_EQ(exact, entry.exact) << entry.text;
    }
  }
}

TEST_F(XlsTextTest, EngineFormatsBecomeSpreadsheetCodes) {
  const std::pair<const char*, const char*> date_cases[] = {
      {"yyyy-mm-dd hh:nn:ss", "yyyy-mm-dd hh:mm:ss"},
      {"dd/mm/yy h:n", "dd/mm/yy h:m"},
      {"hh:nn:ss.zzz", "hh:mm:ss.000"},
      {"c", "yyyy-mm-dd hh:mm:ss"},
      {"d mmm yyyy 'at' h am/pm", "d mmm yyyy \"at\" h AM/PM"},
      {"yyyy\"T\"hh", "yyyy\"T\"hh"},
      {"yyyyThh", "yyyy\"T\"hh"},
      {"", "General"},
  };
  for (const auto& [pattern, code] : date_cases) EXPECT_EQ(TranslateDateTimeFormat(pattern), code) << pattern;
  const std::pair<const char*, const char*> number_cases[] = {
      {"#,###,##0.00", "#,###,##0.00"},
      {"0.00E+00", "0.00E+00"},
      {"0.00 Kč;-0.00 Kč", "0.00 \"Kč\";-0.00 \"Kč\""},
      {"'Fr.' 0.00", "\"Fr.\" 0.00"},
      {"$#,##0", "$#,##0"},
  };
  for (const auto& [pattern, code] : number_cases) EXPECT_EQ(TranslateNumberFormat(pattern), code) << pattern;
}

TEST_F(XlsTextTest, SheetNamesAreCutAndCleaned) {
  EXPECT_EQ(SheetName("a:b\\c/d?e*f[g]h", ""), u"a_b_c_d_e_f_g_h");
  EXPECT_EQ(SheetName("", ""), u"Sheet1");
  EXPECT_EQ(SheetName("'quoted' it's'", " (2)"), u"_quoted' it's_ (2)");
  EXPECT_EQ(SheetName(std::string(40, 'x'), " (12)"), std::u16string(26, u'x') + u" (12)");
  // A cut never separates a surrogate pair.
  EXPECT_EQ(SheetName(std::string(30, 'y') + "\xF0\x9F\x98\x80", ""), std::u16string(30, u'y'));
}

// Messages named cells "R2,C4" (0-based row and column); the spreadsheet
// calls that cell E3.
TEST_F(XlsTextTest, CellNamesAreTheSpreadsheetsOwn) {
  const struct {
    int row, column;
    const char* name;
  } cases[] = {{0, 0, "A1"},
               {1, 3, "D2"},
               {2, 4, "E3"},
               {9, 25, "Z10"},
               {0, 26, "AA1"},
               {0, 51, "AZ1"},
               {0, 52, "BA1"},
               {65535, 255, "IV65536"},
               {0, 701, "ZZ1"},
               {0, 702, "AAA1"},
               {1048575, 16383, "XFD1048576"}};
  for (const auto& [row, column, name] : cases)
    EXPECT_EQ(CellName(row, column), name) << row << "," << column;
}

}  // namespace
}  // namespace velmora
