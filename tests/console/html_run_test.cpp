// HTML items end to end: the example template on the sample database, the keys
// of the HTML and ALIGN sections, and (with the shared data) a larger database
// split into pages.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "console_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using consoletest::TVelmoraResult;

int Occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class HtmlRunTest : public consoletest::ConsoleServerTest {
 protected:
  static std::string SourceDir() {
    const char* directory = std::getenv("VELMORA_SOURCE_DIR");
    return directory != nullptr ? directory : "";
  }
  void LoadScript(const std::string& path) const { testsupport::RunSql(*server_, "source " + path); }
};

TEST_F(HtmlRunTest, ExampleTemplateWritesPagesIndexAndStyleSheet) {
  if (SourceDir().empty()) GTEST_SKIP() << "VELMORA_SOURCE_DIR is not set";
  LoadScript(SourceDir() + "/examples/sample_database.sql");
  fs::copy(SourceDir() + "/examples", dir_.File("examples"), fs::copy_options::recursive);
  const TVelmoraResult result =
      Run("[Tables]\nc=customers\n[Templates]\nc=examples/templates/customers.html.ini\n",
          SocketConnection("velmora_sample"));
  EXPECT_EQ(result.lines, Connected({"customers: 6 records exported to demo-output/customers.html"}));
  EXPECT_EQ(result.exit_status, 0);

  EXPECT_EQ(
      Read("demo-output/customers.html"),
      "<!DOCTYPE html>\r\n<HTML>\r\n<HEAD>\r\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n"
      " <Title>Customers &amp; their cities</Title>\r\n"
      " <link rel=\"stylesheet\" type=\"text/css\" href=\"nursery.css\">\r\n</HEAD>\r\n<BODY>\r\n<UL>\r\n"
      "<LI>\r\n<a href=\"customers01.html\">Page #01</a>\r\n<LI>\r\n"
      "<a href=\"customers02.html\">Page #02</a>\r\n</UL>\r\n</BODY>\r\n</HTML>\r\n");
  const std::string first = Read("demo-output/customers01.html");
  EXPECT_NE(first.find(" <Title>Customers &amp; their cities</Title>\r\n"), std::string::npos);
  EXPECT_NE(first.find("<Table Border=\"1\" Cellpadding=\"3\" Cellspacing=\"0\">"), std::string::npos);
  EXPECT_NE(first.find("<td class=\"ThRows\">Credit limit</td>"), std::string::npos);
  EXPECT_NE(first.find("<td><a href=\"customers02.html\">Previous</a></td>"), std::string::npos);
  EXPECT_NE(first.find("<td class=\"TrOdd\" align=Center>"), std::string::npos);
  // No. and Credit limit are numbers: right-aligned; rows alternate per page.
  EXPECT_EQ(Occurrences(first, "<td class=\"TrOdd\" align=Right>"), 4);
  EXPECT_EQ(Occurrences(Read("demo-output/customers02.html"), "<td class=\"TrRows\" align=Right>"), 2);
  const std::string sheet = Read("demo-output/nursery.css");
  EXPECT_NE(sheet.find("  A:link { color: #0066cc }\n"), std::string::npos) << sheet;
  EXPECT_NE(sheet.find("            background-color: #336633;\n"), std::string::npos);
  EXPECT_NE(sheet.find("font-family: Verdana, sans-serif;\n"), std::string::npos);
  EXPECT_NE(first.find("<td class=\"TrRows\" align=Left>東京 Bonsai Club</td>"), std::string::npos);
}

TEST_F(HtmlRunTest, HtmlAndAlignSectionKeys) {
  Write("t.ini",
        "[ALIGN]\ncustomer=r\nid=L\n[HTML]\nCSS=7\nFileRecCount=-5\nBorderWidth=3\nCellPadding=0\n"
        "CellSpacing=2\nFontColor=$0000FF\nFontName=Courier\nBackgroundColor=16711680\n"
        "HeadBackgroundColor=clYellow\nHeadFontColor=0x00FF00\nEvenRowBackgroundColor=$123456\n"
        "OddRowBackgroundColor=\nDataFontColor=clNavy\nLinkColor=1\nVLinkColor=2\nALinkColor=3\n"
        "BackgroundFile=paper.png\nTitle=<Orders>\n[GENERAL]\nAllowCaptions=0\n");
  Write("split.ini",
        "[HTML]\nFileRecCount=2\nNavigationOnTop=0\nFirstLinkTitle=|<\nLastLinkTitle=>|\nGenerateIndex=0\n");
  const TVelmoraResult result = Run(
      "[Tables]\n1=orders\n2=orders\n[Templates]\n1=t.ini\n2=split.ini\n[Files]\n1=one.html\n2=out/s.htm\n");
  EXPECT_EQ(result.lines,
            Connected({"orders: 3 records exported to one.html", "orders: 3 records exported to out/s.htm"}));
  const std::string one = Read("one.html");
  EXPECT_NE(
      one.find(
          " <Title>&lt;Orders&gt;</Title>\r\n<Style type=\"text/css\">\r\n"
          "  BODY { background: #0000ff; color: #ff0000;\r\n         font-family: Courier, monospace;\r\n"
          "background-image: url(paper.png)\r\n  }\r\n  A:link { color: #010000 }\r\n"
          "  A:visited { color: #020000 }\r\n  A:active { color: #030000 }\r\n  .TrRows {\r\n"
          "            background-color: #563412;\r\n            color: #000080;\r\n"),
      std::string::npos)
      << one;
  EXPECT_NE(one.find("  .TrOdd  {\r\n            background-color: #006bce;\r\n"), std::string::npos);
  EXPECT_NE(
      one.find(
          "<Table Border=\"3\" Cellpadding=\"0\" Cellspacing=\"2\">\r\n  <tr>\r\n"
          "    <td class=\"TrOdd\" align=Left>1</td>\r\n    <td class=\"TrOdd\" align=Right>Ann</td>\r\n"),
      std::string::npos);
  EXPECT_EQ(Occurrences(one, "<HTML>"), 1);

  EXPECT_FALSE(Exists("out/s.htm"));
  const std::string second = Read("out/s02.htm");
  // A template without HEADER clears the header lines: the table follows <BODY>.
  EXPECT_NE(second.find("<BODY>\r\n<Table Border=\"1\""), std::string::npos);
  EXPECT_NE(second.find("    <td><a href=\"s01.htm\">|&lt;</a></td>\r\n"), std::string::npos);
  EXPECT_TRUE(
      second.ends_with("    <td><a href=\"s02.htm\">&gt;|</a></td>\r\n  </tr>\r\n</Table>\r\n</BODY>\r\n"
                       "</HTML>\r\n"));
}

// Tables of a third-party database split into pages of 500 records with an
// index: every record lands on a page.
TEST_F(HtmlRunTest, ThirdPartyTablesSplitIntoPages) {
  const std::string script = SourceDir() + "/../shared/data/chinook.sql";
  if (SourceDir().empty() || !fs::exists(script)) GTEST_SKIP() << "no shared data directory";
  std::string sql = testsupport::ReadFile(script);
  for (std::size_t at = sql.find("`Chinook`"); at != std::string::npos; at = sql.find("`Chinook`", at)) {
    sql.replace(at, 9, "`velmora_html_chinook`");
  }
  testsupport::WriteFile(dir_.File("chinook.sql"), sql);
  LoadScript(dir_.File("chinook.sql"));
  Write("pages.ini", "[HTML]\nFileRecCount=500\nGenerateIndex=1\nCSS=1\n");
  const TVelmoraResult result =
      Run("[Tables]\nTrack=Track\nCustomer=Customer\nInvoice=Invoice\n[Files]\nAll=out/x.html\n"
          "[Templates]\nAll=pages.ini\n",
          SocketConnection("velmora_html_chinook"));
  std::vector<std::string> expected;
  for (const char* table : {"Track", "Customer", "Invoice"}) {
    const std::string count = testsupport::QueryValue(*server_, std::string("SELECT COUNT(*) FROM ") + table,
                                                      "velmora_html_chinook")
                                  .value();
    expected.push_back(std::string(table) + ": " + count + " records exported to out/" + table + ".html");
    const int pages = (std::stoi(count) + 499) / 500;
    int rows = 0;
    for (int page = 1; page <= pages; ++page) {
      const std::string name =
          "out/" + std::string(table) + (page < 10 ? "0" : "") + std::to_string(page) + ".html";
      const std::string text = Read(name);
      rows += Occurrences(text, "  <tr>\r\n    <td class=\"Tr");
    }
    EXPECT_EQ(rows, std::stoi(count)) << table;
    EXPECT_EQ(Occurrences(Read("out/" + std::string(table) + ".html"), "<LI>"), pages) << table;
  }
  EXPECT_EQ(result.lines, Connected(expected));
  testsupport::RunSql(*server_, "DROP DATABASE velmora_html_chinook");
}

}  // namespace
}  // namespace velmora
