// Numbers, times and dates from the server under a German locale: CSV and DIF
// carry every digit of a number without grouping, TXT keeps the display forms,
// and a time's fraction follows the same separator within a day and beyond.
#include <gtest/gtest.h>
#include <locale.h>

#include <string>

#include "console_support.h"

namespace velmora {
namespace {

constexpr const char* kGermanLocale = "de_DE.UTF-8";

constexpr const char* kNumbersSql = R"sql(
DROP DATABASE IF EXISTS velmora_numbers;
CREATE DATABASE velmora_numbers CHARACTER SET utf8mb4;
USE velmora_numbers;
CREATE TABLE numbers (i INT, big BIGINT UNSIGNED, exact DECIMAL(65,30), d DOUBLE, t TIME(6), day DATE);
INSERT INTO numbers VALUES
  (16047, 18446744073709551615, -12345678901234567890123456789012345.123456789012345678901234567891, 0.125,
   '838:59:59.000000', '2024-01-05'),
  (-1500, 0, 0.000000000000000000000000000001, -2.5, '12:34:56.789012', '1999-12-31');
)sql";

class NumberFormsTest : public consoletest::ConsoleServerTest {
 protected:
  static void SetUpTestSuite() {
    ConsoleServerTest::SetUpTestSuite();
    if (server_ && !consoletest::VelmoraBinary().empty()) testsupport::RunSql(*server_, kNumbersSql);
  }

  void SetUp() override {
    ConsoleServerTest::SetUp();
    if (IsSkipped()) return;
    locale_t german = ::newlocale(LC_ALL_MASK, kGermanLocale, static_cast<locale_t>(nullptr));
    if (german == static_cast<locale_t>(nullptr)) GTEST_SKIP() << kGermanLocale << " is not installed";
    ::freelocale(german);
  }

  // Runs velmora under the German locale, connected to the numbers database.
  consoletest::TVelmoraResult RunGerman(const std::string& body) {
    testsupport::WriteFile(dir_.File("run.cfg"), SocketConnection("velmora_numbers") + body);
    return consoletest::RunVelmora({"run.cfg"}, dir_.Path(), kGermanLocale);
  }
};

TEST_F(NumberFormsTest, CsvAndDifCarryEveryDigitWhileTxtKeepsTheDisplayForms) {
  const consoletest::TVelmoraResult result =
      RunGerman("[Tables]\n1=numbers\n2=numbers\n3=numbers\n[Files]\n1=n.csv\n2=n.dif\n3=n.txt\n");
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_EQ(
      Read("n.csv"),
      "\"i\",\"big\",\"exact\",\"d\",\"t\",\"day\"\r\n"
      "\"16047\",\"18446744073709551615\","
      "\"-12345678901234567890123456789012345,123456789012345678901234567891\",\"0,125\","
      "\"838:59:59,000000\",\"05.01.2024\"\r\n"
      "\"-1500\",\"0\",\"0,000000000000000000000000000001\",\"-2,5\",\"12:34:56,789012\",\"31.12.1999\"\r\n");

  const std::string dif = Read("n.dif");
  const std::string first_record = dif.substr(dif.find("BOT\r\n0,"));
  EXPECT_EQ(first_record.substr(0, first_record.find("-1,0")),
            "BOT\r\n0,16047\r\nV\r\n0,18446744073709551615\r\nV\r\n"
            "0,-12345678901234567890123456789012345.123456789012345678901234567891\r\nV\r\n0,0.125\r\nV\r\n"
            "1,0\r\n\"838:59:59,000000\"\r\n1,0\r\n\"05.01.2024\"\r\n");

  const std::string txt = Read("n.txt");
  // Columns as wide as their values, not their declared sizes.
  EXPECT_NE(txt.find("\r\n16.047 18.446.744.073.709.551.615 "), std::string::npos) << txt;
  EXPECT_NE(txt.find(" 0,13 "), std::string::npos) << txt;
}

}  // namespace
}  // namespace velmora
