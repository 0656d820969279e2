// PDF end to end: the sample database through the example template, the note
// on standard error about characters the fonts cannot show, and (when the
// shared data directory is there) tables of dozens of pages whose every key
// must come back from a text extractor.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "console_support.h"
#include "formats/pdf/pdf_unicode_font.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using consoletest::TVelmoraResult;

class PDFRunTest : public consoletest::ConsoleServerTest {
 protected:
  static std::string SourceDir() {
    const char* directory = std::getenv("VELMORA_SOURCE_DIR");
    return directory != nullptr ? directory : "";
  }
  // The text of a PDF file as laid out on its pages; skips when the extractor is missing.
  std::string ExtractText(const std::string& name) {
    const std::string tool = testsupport::FindExecutable("pdftotext");
    if (tool.empty()) return {};
    const testsupport::TCommandResult result = testsupport::RunCommand({tool, "-layout", dir_.File(name), "-"});
    EXPECT_EQ(result.exit_status, 0) << result.output;
    return result.output;
  }
  void ExpectStructureSound(const std::string& name) {
    const std::string qpdf = testsupport::FindExecutable("qpdf");
    if (qpdf.empty()) return;
    const testsupport::TCommandResult check = testsupport::RunCommand({qpdf, "--check", dir_.File(name)});
    EXPECT_EQ(check.exit_status, 0) << check.output;
  }
};

TEST_F(PDFRunTest, SamplePlantsThroughTheExampleTemplate) {
  if (SourceDir().empty()) GTEST_SKIP() << "VELMORA_SOURCE_DIR is not set";
  testsupport::RunSql(*server_, "source " + SourceDir() + "/examples/sample_database.sql");
  fs::copy(SourceDir() + "/examples", dir_.File("examples"), fs::copy_options::recursive);
  const TVelmoraResult result =
      Run("[Tables]\np=plants\n[Files]\np=out/plants.pdf\n[Templates]\np=examples/templates/plants.pdf.ini\n",
          SocketConnection("velmora_sample"));
  EXPECT_EQ(result.lines, Connected({"plants: 6 records exported to out/plants.pdf"}));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.errors, "");
  const std::string file = Read("out/plants.pdf");
  EXPECT_EQ(file.rfind("%PDF-1.3\r", 0), 0u);
  EXPECT_NE(file.find("/MediaBox [0 0 841 594]\r/TrimBox [40 40 801 554]\r"), std::string::npos);
  EXPECT_NE(file.find("/BaseFont /Times-Italic\r"), std::string::npos);
  ExpectStructureSound("out/plants.pdf");
  const std::string text = ExtractText("out/plants.pdf");
  if (text.empty()) GTEST_SKIP() << "pdftotext is not installed";
  for (const char* expected : {"Plant catalogue", "Botanical name", "TR-0001", "SH-0102", "PE-0203", "SU-0304",
                               "BU-0405", "TR-0506", "Lavender 'Hidcote'", "Olive tree (Ø 30 cm pot)", "149.00",
                               "12.500", "End of catalogue"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  }
}

// Text the standard fonts lack is drawn from embedded fonts; with
// EmbedFonts=0 it prints as "?" and the run counts it on standard error.
TEST_F(PDFRunTest, CharactersTheStandardFontsLackAreEmbeddedOrCounted) {
  if (TUnicodeFontChain::DefaultFiles(false).empty()) GTEST_SKIP() << "no TrueType font is installed";
  Write("standard.ini", "[PDF]\nEmbedFonts=0\n");
  const TVelmoraResult result = Run(
      "[Queries]\nq=Greeting\nr=Greeting\n[SQL_q]\n1=select '日本 ok' as t, 'Zoë – 5 €' as u\n"
      "[SQL_r]\n1=select '日本 ok' as t, 'Zoë – 5 €' as u\n[Files]\nq=g.pdf\nr=s.pdf\n"
      "[Templates]\nr=standard.ini\n");
  EXPECT_EQ(result.lines, Connected({"Greeting: 1 records exported to g.pdf", "Greeting: 1 records exported to s.pdf"}));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.errors,
            "Greeting: 2 characters outside the character set of s.pdf were written as \"?\"\n");
  ExpectStructureSound("g.pdf");
  ExpectStructureSound("s.pdf");
  const std::string text = ExtractText("g.pdf");
  if (!text.empty()) {
    EXPECT_NE(text.find("日本 ok"), std::string::npos) << text;
    EXPECT_NE(text.find("Zoë – 5 €"), std::string::npos) << text;
  }
}

// Two tables of dozens of pages: the key of every row comes back in order.
TEST_F(PDFRunTest, ThirdPartyTablesOfManyPagesKeepEveryKey) {
  const std::string script = SourceDir() + "/../shared/data/chinook.sql";
  if (SourceDir().empty() || !fs::exists(script)) GTEST_SKIP() << "no shared data directory";
  if (testsupport::FindExecutable("pdftotext").empty()) GTEST_SKIP() << "pdftotext is not installed";
  std::string sql = testsupport::ReadFile(script);
  for (std::size_t at = sql.find("`Chinook`"); at != std::string::npos; at = sql.find("`Chinook`", at)) {
    sql.replace(at, 9, "`velmora_pdf_chinook`");
  }
  testsupport::WriteFile(dir_.File("chinook.sql"), sql);
  testsupport::RunSql(*server_, "source " + dir_.File("chinook.sql"));
  Write("keys.ini", "[FORMATS]\nInteger=0\n[PDF_OPTION_DATA]\nFontSize=8\n");
  const TVelmoraResult result =
      Run("[Tables]\nt=Track\ni=InvoiceLine\n[Files]\nt=Track.pdf\ni=InvoiceLine.pdf\n"
          "[Templates]\nAll=keys.ini\n",
          SocketConnection("velmora_pdf_chinook"));
  EXPECT_EQ(result.exit_status, 0) << result.output;
  for (const char* table : {"Track", "InvoiceLine"}) {
    const std::string name = std::string(table) + ".pdf";
    ExpectStructureSound(name);
    const std::string count =
        testsupport::QueryValue(*server_, std::string("SELECT COUNT(*) FROM ") + table, "velmora_pdf_chinook")
            .value();
    // The first column is the key: the first word of each row line, 1 .. count in order.
    // The keys are right-aligned in the first column; lines that wrapped
    // texts of later columns add start further right.
    std::vector<std::pair<std::size_t, int>> numbered;  // where the line's first word starts, its number
    std::istringstream lines(ExtractText(name));
    for (std::string line; std::getline(lines, line);) {
      const std::size_t start = line.find_first_not_of(" \f");
      if (start == std::string::npos || !std::isdigit(static_cast<unsigned char>(line[start]))) continue;
      numbered.emplace_back(start, std::stoi(line.substr(start)));
    }
    std::size_t leftmost = std::string::npos;
    for (const auto& line : numbered) leftmost = std::min(leftmost, line.first);
    std::vector<int> keys;
    for (const auto& [start, number] : numbered) {
      if (start <= leftmost + 6) keys.push_back(number);
    }
    ASSERT_EQ(keys.size(), static_cast<std::size_t>(std::stoi(count))) << table;
    for (std::size_t index = 0; index < keys.size(); ++index) {
      ASSERT_EQ(keys[index], static_cast<int>(index) + 1) << table;
    }
  }
  testsupport::RunSql(*server_, "DROP DATABASE velmora_pdf_chinook");
}

}  // namespace
}  // namespace velmora
