// RTF and DOC items end to end: the sample template of examples/ against the
// sample database, and a query of awkward values read back by the office
// suite's word processor.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "console_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using consoletest::TVelmoraResult;
using testsupport::ReadFile;

class RtfRunTest : public consoletest::ConsoleServerTest {
 protected:
  static std::string SourceDir() {
    const char* directory = std::getenv("VELMORA_SOURCE_DIR");
    return directory != nullptr ? directory : "";
  }
};

TEST_F(RtfRunTest, SampleTemplateSetsFontsPaperWidthsAlignmentsHeaderAndFooter) {
  if (SourceDir().empty()) GTEST_SKIP() << "VELMORA_SOURCE_DIR is not set";
  testsupport::RunSql(*server_, "source " + SourceDir() + "/examples/sample_database.sql");
  fs::copy(SourceDir() + "/examples", dir_.File("examples"), fs::copy_options::recursive);
  const TVelmoraResult result =
      Run("[Tables]\nrtf=customers\ndoc=customers\n"
          "[Files]\nrtf=out/customers.rtf\ndoc=out/customers.doc\n"
          "[Templates]\nAll=examples/templates/customers.rtf.ini\n",
          SocketConnection("velmora_sample"));
  EXPECT_EQ(result.lines, Connected({"customers: 6 records exported to out/customers.rtf",
                                     "customers: 6 records exported to out/customers.doc"}));
  EXPECT_EQ(result.errors, "");
  const std::string document = Read("out/customers.rtf");
  EXPECT_EQ(Read("out/customers.doc"), document);

  EXPECT_EQ(document.substr(0, document.find("\\cellx")),
            "{\\rtf1\\ansi\\deff0\\deftab720\r\n"
            "{\\fonttbl{\\f0\\fnil Arial;}{\\f1\\fnil Times New Roman;}}\r\n"
            "{\\colortbl\\red0\\green0\\blue0;}\r\n"
            "\\f1\\fs22\r\n\\landscape\r\n\\paperw16838\r\n\\paperh11906\r\n"
            "\\margl1134\\margr1134\\margt1134\\margb1134\r\n"
            "Customers of the nursery \\{all cities\\}\r\n\\par\r\n\\par\r\n"
            "\\trowd\\trql\\trgaph0\\trleft36\\trhdr\r\n"
            "\\clbrdrl\\brdrs\\brdrw10 \\clbrdrr\\brdrs\\brdrw10 \\clbrdrt\\brdrs\\brdrw10 "
            "\\clbrdrb\\brdrs\\brdrw10\r\n");
  std::vector<std::string> edges;
  // The caption row's definition; the data rows repeat it.
  for (std::size_t at = document.find("\\cellx"); at < document.find("\\row");
       at = document.find("\\cellx", at + 1)) {
    edges.push_back(document.substr(at + 6, document.find('\r', at) - at - 6));
  }
  // Widths 5, 24, 12, 10, 11 and 30 characters fit the landscape page unscaled.
  EXPECT_EQ(edges, (std::vector<std::string>{"646", "3536", "4986", "6196", "7526", "11136"}));
  for (const char* piece : {
           "\r\n\\f0\\fs24\r\n\\pard\\intbl\\li30\\ri30{\\b\\i No.}\\cell\\pard\\intbl\\li30\\ri30{\\b\\i "
           "Customer}",
           "{\\b\\i Notes}\\cell\\row\r\n\\trowd\\trql\\trgaph0\\trleft36\r\n",
           "\\cellx11136\r\n\\f1\\fs22\r\n\\pard\\intbl\\li30\\ri30\\qr{1}\\cell",
           "\\qc{Z\\u252?rich}\\cell",
           "\\ql{\\u26481?\\u20140? Bonsai "
           "Club}\\cell\\pard\\intbl\\li30\\ri30\\qc{\\u26481?\\u20140?}\\cell",
           "\\ql{Line one \\par Line two}\\cell\\row\r\n",
           "\\ql{14.03.2019}\\cell",
           "\\qc{-}\\cell",
       }) {
    EXPECT_NE(document.find(piece), std::string::npos) << piece;
  }
  const std::string ending = "\\row\r\n\\pard\r\n\\par\r\n\\par\r\nEnd of list\r\n}";
  EXPECT_TRUE(document.ends_with(ending)) << document.substr(document.size() - 40);
}

TEST_F(RtfRunTest, AwkwardValuesOfAQueryReachTheWordProcessor) {
  const std::string soffice = testsupport::FindExecutable("soffice");
  if (soffice.empty()) GTEST_SKIP() << "soffice is not installed";
  const TVelmoraResult result = Run(
      "[Queries]\nq=Awkward\n[SQL_q]\n"
      "1=select 1 as n, 'a}b' as v union all select 2, 'a{b' union all select 3, 'back\\\\slash \\\\par'\n"
      "2=union all select 4, concat('lf', char(10), 'cr', char(13), 'end') union all select 5, NULL\n"
      "3=union all select 6, 'Zoë 日本 \xF0\x9F\x98\x80' union all select cast(18446744073709551615 as "
      "unsigned), '<&>\"'\n"
      "[Files]\nq=out/q.doc\n");
  EXPECT_EQ(result.lines, Connected({"Awkward: 7 records exported to out/q.doc"}));
  const auto converted = testsupport::RunCommand(
      {soffice, "-env:UserInstallation=file://" + dir_.File("profile"), "--headless", "--convert-to",
       "txt:Text", "--outdir", dir_.File("text"), dir_.File("out/q.doc")},
      300);
  ASSERT_TRUE(Exists("text/q.txt")) << converted.output;
  // The union's number column is a DECIMAL: it shows in the default float format.
  EXPECT_EQ(
      Read("text/q.txt"),
      "\xEF\xBB\xBF\nn\nv\n1.00\na}b\n2.00\na{b\n3.00\nback\\slash \\par\n4.00\nlf \ncr \nend\n5.00\n\n"
      "6.00\nZo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80\n18,446,744,073,709,551,615.00\n<&>\"\n\n");
}

// A third-party database, when the shared data directory is there: three of
// its tables to RTF and DOC, every record counted, every customer's name read
// back by the word processor.
TEST_F(RtfRunTest, ThirdPartyTablesToRtfAndDoc) {
  const std::string script = SourceDir() + "/../shared/data/chinook.sql";
  if (SourceDir().empty() || !fs::exists(script)) GTEST_SKIP() << "no shared data directory";
  std::string sql = ReadFile(script);
  for (std::size_t at = sql.find("`Chinook`"); at != std::string::npos; at = sql.find("`Chinook`", at)) {
    sql.replace(at, 9, "`velmora_rtf_chinook`");
  }
  testsupport::WriteFile(dir_.File("chinook.sql"), sql);
  testsupport::RunSql(*server_, "source " + dir_.File("chinook.sql"));
  const auto count = [&](const std::string& table) {
    return testsupport::QueryValue(*server_, "SELECT COUNT(*) FROM " + table, "velmora_rtf_chinook").value();
  };
  const TVelmoraResult result =
      Run("[Tables]\nt=Track\nc=Customer\ni=Invoice\nd=Invoice\n"
          "[Files]\nt=out/Track.rtf\nc=out/Customer.rtf\ni=out/Invoice.rtf\nd=out/Invoice.doc\n",
          SocketConnection("velmora_rtf_chinook"));
  EXPECT_EQ(result.lines,
            Connected({"Track: " + count("Track") + " records exported to out/Track.rtf",
                       "Customer: " + count("Customer") + " records exported to out/Customer.rtf",
                       "Invoice: " + count("Invoice") + " records exported to out/Invoice.rtf",
                       "Invoice: " + count("Invoice") + " records exported to out/Invoice.doc"}));
  EXPECT_EQ(Read("out/Invoice.doc"), Read("out/Invoice.rtf"));

  const std::string soffice = testsupport::FindExecutable("soffice");
  if (!soffice.empty()) {
    testsupport::RunCommand(
        {soffice, "-env:UserInstallation=file://" + dir_.File("profile"), "--headless", "--convert-to",
         "txt:Text", "--outdir", dir_.File("text"), dir_.File("out/Customer.rtf")},
        300);
    ASSERT_TRUE(Exists("text/Customer.txt"));
    const std::string text = Read("text/Customer.txt");
    for (const testsupport::TSqlRow& row :
         testsupport::RunSql(*server_, "SELECT FirstName, LastName FROM Customer", "velmora_rtf_chinook")) {
      EXPECT_NE(text.find("\n" + row.at(0).value() + "\n" + row.at(1).value() + "\n"), std::string::npos)
          << row.at(0).value();
    }
  }
  testsupport::RunSql(*server_, "DROP DATABASE velmora_rtf_chinook");
}

}  // namespace
}  // namespace velmora
