// Whole databases through the velmora binary: the bundled sample with the
// sample parameter file and templates of examples/, and (when the shared data
// directory is there) a larger third-party database in every text format,
// JSON Lines and XLSX.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "console_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using consoletest::TVelmoraResult;
using testsupport::ReadFile;

class SampleDataTest : public consoletest::ConsoleServerTest {
 protected:
  static std::string SourceDir() {
    const char* directory = std::getenv("VELMORA_SOURCE_DIR");
    return directory != nullptr ? directory : "";
  }

  // Runs a script through the client's source command (scripts too large for
  // one command-line argument).
  void LoadScript(const std::string& path) const { testsupport::RunSql(*server_, "source " + path); }
};

// The demonstration's own files: the sample parameter file, its templates and
// the sample database must work together.
TEST_F(SampleDataTest, SampleParameterFileExportsTheSampleDatabase) {
  if (SourceDir().empty()) GTEST_SKIP() << "VELMORA_SOURCE_DIR is not set";
  LoadScript(SourceDir() + "/examples/sample_database.sql");
  fs::copy(SourceDir() + "/examples", dir_.File("examples"), fs::copy_options::recursive);
  // The first Connection section counts: this one comes before the sample's.
  const TVelmoraResult result =
      Run(ReadFile(SourceDir() + "/examples/sample.cfg"), SocketConnection("velmora_sample"));
  EXPECT_EQ(result.lines,
            Connected({"customers: 6 records exported to demo-output/customers.txt",
                       "plants: 6 records exported to demo-output/plants.csv",
                       "orders: 5 records exported to demo-output/orders.dif",
                       "customers: 6 records exported to demo-output/customers.html",
                       "customers: 6 records exported to demo-output/customers.rtf",
                       "customers: 6 records exported to demo-output/customers.json",
                       "plants: 6 records exported to demo-output/plants.pdf",
                       "plants: 6 records exported to demo-output/plants.dbf",
                       "orders: 5 records exported to demo-output/orders.tex",
                       "orders: 5 records exported to demo-output/orders.xml",
                       "orders: 5 records exported to demo-output/orders.sql",
                       "v_order_totals: 5 records exported to demo-output/order_totals.slk",
                       "Order lines with plant names: 7 records exported to demo-output/lines.csv",
                       "Order book: 5 records exported to demo-output/order_book.xls",
                       "Order book: 5 records exported to demo-output/order_book.xlsx"}));
  EXPECT_EQ(result.exit_status, 0);
  // One plants item names no fields: the picture column is left out, and said so.
  EXPECT_EQ(result.errors, "plants: column label_photo (blob) left out; name it in [FIELDS] to export it\n");
  const std::string plants = Read("demo-output/plants.csv");
  EXPECT_EQ(plants.substr(0, plants.find("\r\n\"BU")),
            "Plant catalogue;\r\n\"SKU\";\"Plant\";\"Botanical name\";\"category\";\"features\";\"price\";"
            "\"weight_kg\";\"stock\";\"barcode\";\"first_listed\"");
  EXPECT_NE(plants.find("\"SU-0304\";\"Jade plant\";\"Crassula ovata\";\"succulent\";\"evergreen\";\"12.00\";"
                        "\"1.200\";\"55\";\"18446744073709551615\";\"2019\"\r\n"),
            std::string::npos);
  const std::string lines = Read("demo-output/lines.csv");
  EXPECT_EQ(
      lines.substr(0, lines.find("\r\n", lines.find("\r\n") + 2) + 2),
      "\"order_id\"\t\"line_no\"\t\"title\"\t\"quantity\"\t\"unit_price\"\t\"amount\"\t\"gift_note\"\r\n"
      "\"1001\"\t\"1\"\t\"Japanese maple\"\t\"2\"\t\"89.90\"\t\"179.80\"\t\"NULL\"\r\n");
  // The default template quotes every field: quotes inside a value are doubled.
  EXPECT_NE(lines.find("\t\"Leave at the \"\"back\"\" gate; ring twice\"\r\n"), std::string::npos) << lines;
  EXPECT_NE(Read("demo-output/customers.txt").find("   4  東京 Bonsai Club"), std::string::npos);
}

// Every table of a third-party database in each text format: each count line
// matches the server's row count.
TEST_F(SampleDataTest, ThirdPartyDatabaseInEveryTextFormat) {
  const std::string script = SourceDir() + "/../shared/data/chinook.sql";
  if (SourceDir().empty() || !fs::exists(script)) GTEST_SKIP() << "no shared data directory";
  // Loaded under a name of its own, so that no other test's database is touched.
  std::string sql = ReadFile(script);
  for (std::size_t at = sql.find("`Chinook`"); at != std::string::npos; at = sql.find("`Chinook`", at)) {
    sql.replace(at, 9, "`velmora_console_chinook`");
  }
  testsupport::WriteFile(dir_.File("chinook.sql"), sql);
  LoadScript(dir_.File("chinook.sql"));

  std::map<std::string, std::string> counts;
  std::vector<std::string> tables;
  for (const testsupport::TSqlRow& row :
       testsupport::RunSql(*server_, "SHOW TABLES", "velmora_console_chinook")) {
    tables.push_back(row.at(0).value());
    counts[tables.back()] = testsupport::QueryValue(*server_, "SELECT COUNT(*) FROM `" + tables.back() + "`",
                                                    "velmora_console_chinook")
                                .value();
  }
  ASSERT_FALSE(tables.empty());
  for (const char* extension : {"txt", "csv", "dif", "slk", "jsonl", "xlsx"}) {
    const TVelmoraResult result = Run(std::string("[Tables]\nAll=1\n[Files]\nAll=out/x.") + extension + "\n",
                                      SocketConnection("velmora_console_chinook"));
    std::vector<std::string> expected;
    for (const std::string& table : tables) {
      expected.push_back(table + ": " + counts[table] + " records exported to out/" + table + "." +
                         extension);
    }
    EXPECT_EQ(result.lines, Connected(expected)) << extension;
    EXPECT_EQ(result.exit_status, 0) << extension;
  }
  // JSON Lines: one object per record.
  for (const std::string& table : tables) {
    const std::string lines = Read("out/" + table + ".jsonl");
    EXPECT_EQ(std::to_string(std::count(lines.begin(), lines.end(), '\n')), counts[table]) << table;
  }
  testsupport::RunSql(*server_, "DROP DATABASE velmora_console_chinook");
}

}  // namespace
}  // namespace velmora
