// XML and SQL items end to end: the example templates on the sample database,
// and a table of hostile values whose SQL script, replayed by the command-line
// client into a scratch database, gives back every value byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "console_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using consoletest::TVelmoraResult;

constexpr const char* kHostileTable = R"sql(
DROP DATABASE IF EXISTS velmora_sql_source;
CREATE DATABASE velmora_sql_source CHARACTER SET utf8mb4;
USE velmora_sql_source;
SET SESSION sql_mode = '';
CREATE TABLE hostile (
  id INT NOT NULL PRIMARY KEY,
  `first name` VARCHAR(100),
  `order` TEXT,
  memo MEDIUMTEXT,
  d DECIMAL(65,30),
  u BIGINT UNSIGNED,
  i BIGINT,
  f DOUBLE,
  dt DATETIME(6),
  dz DATE,
  t TIME(6),
  y YEAR,
  bin VARBINARY(20),
  bl BLOB
) DEFAULT CHARSET=latin1;
ALTER TABLE hostile CONVERT TO CHARACTER SET utf8mb4;
INSERT INTO hostile VALUES
  (1, 'O''Neil "quoted" <b>&amp;</b>', '\\', REPEAT('m', 70000),
   99999999999999999999999999999999999.999999999999999999999999999999, 18446744073709551615,
   -9223372036854775808, 1.7976931348623157e308, '2004-02-29 12:34:56.123456', '0000-00-00',
   '838:59:59.000001', 0, 0x00FF27, 0x5C00),
  (2, ',1);DROP TABLE W;-- ', 'line1\r\nline2\rx\ty', CONCAT('nul', CHAR(0), 'end'),
   -0.000000000000000000000000000001, 0, 9007199254740993, 0.1, '1000-01-01 00:00:00', '2004-02-29',
   '-12:30:00.5', 2155, '', ''),
  (3, '東京 Bonsai 😀🎉', '{braces} %percent ^caret ~tilde $dollar', '', 0, NULL, NULL, -2.5e-300, NULL, NULL,
   NULL, NULL, NULL, NULL),
  (4, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
)sql";

constexpr const char* kColumns[] = {"id", "`first name`", "`order`", "memo", "d", "u",   "i",
                                    "f",  "dt",           "dz",      "t",    "y", "bin", "bl"};

class XmlSqlRunTest : public consoletest::ConsoleServerTest {
 protected:
  static std::string SourceDir() {
    const char* directory = std::getenv("VELMORA_SOURCE_DIR");
    return directory != nullptr ? directory : "";
  }

  // Every value of the table as the hex of its text (binary data as it is),
  // "N" for NULL, by id.
  std::vector<testsupport::TSqlRow> HexValues(const std::string& database, const std::string& table) const {
    std::string select = "SELECT ";
    for (const char* column : kColumns) {
      if (select.size() > 7) select += ", ";
      select += std::string("IFNULL(HEX(CONCAT(") + column + ")), 'N')";
    }
    return testsupport::RunSql(*server_, select + " FROM " + table + " ORDER BY id", database);
  }

  // Runs the script through the command-line client into database.
  testsupport::TCommandResult Replay(const std::string& script, const std::string& database) const {
    const std::string client = testsupport::FindExecutable("mariadb");
    return testsupport::RunCommand(
        {"bash", "-c",
         "exec \"$0\" --no-defaults --socket=\"$1\" --user=\"$2\" --password=\"$3\" "
         "--default-character-set=utf8mb4 \"$4\" < \"$5\"",
         client, server_->Socket, server_->User, server_->Password, database, script},
        120);
  }
};

TEST_F(XmlSqlRunTest, ReplayedScriptReproducesEveryValue) {
  testsupport::RunSql(*server_, kHostileTable);
  testsupport::RunSql(
      *server_,
      "DROP DATABASE IF EXISTS velmora_sql_copy; CREATE DATABASE velmora_sql_copy CHARACTER SET latin1");
  Write("sql.ini",
        "[SQL]\nCreateTable=1\nCommitRecCount=2\nCommitAfterScript=1\n[FORMATS]\nNullString=null\n"
        "Float=#,##0.0\n[FIELDS]\n1=id\n2=first name\n3=order\n4=memo\n5=d\n6=u\n7=i\n8=f\n9=dt\n"
        "10=dz\n11=t\n12=y\n13=bin\n14=bl\n");
  // A German locale: the script's numbers still use "." and no grouping.
  testsupport::WriteFile(dir_.File("run.cfg"), SocketConnection("velmora_sql_source") +
                                                   "[Tables]\nhostile=hostile\n[Files]\nhostile=out/h.sql\n"
                                                   "[Templates]\nhostile=sql.ini\n");
  const TVelmoraResult result = consoletest::RunVelmora({"run.cfg"}, dir_.Path(), "de_DE.UTF-8");
  EXPECT_EQ(result.lines, Connected({"hostile: 4 records exported to out/h.sql"})) << result.output;
  const std::string script = Read("out/h.sql");
  EXPECT_TRUE(script.starts_with("SET NAMES utf8mb4;\r\nCREATE TABLE hostile(\r\n  id  INTEGER,\r\n"))
      << script;

  const auto replay = Replay(dir_.File("out/h.sql"), "velmora_sql_copy");
  ASSERT_EQ(replay.exit_status, 0) << replay.output;
  EXPECT_EQ(replay.output, "");
  const auto source = HexValues("velmora_sql_source", "hostile");
  ASSERT_EQ(source.size(), 4u);
  EXPECT_EQ(HexValues("velmora_sql_copy", "hostile"), source);
}

TEST_F(XmlSqlRunTest, ExampleTemplatesOnTheSampleDatabase) {
  if (SourceDir().empty()) GTEST_SKIP() << "VELMORA_SOURCE_DIR is not set";
  testsupport::RunSql(*server_, "source " + SourceDir() + "/examples/sample_database.sql");
  fs::copy(SourceDir() + "/examples", dir_.File("examples"), fs::copy_options::recursive);
  const TVelmoraResult result =
      Run("[Tables]\nx=orders\ns=orders\n[Templates]\nx=examples/templates/orders.xml.ini\n"
          "s=examples/templates/orders.sql.ini\n",
          SocketConnection("velmora_sample"));
  EXPECT_EQ(result.lines, Connected({"orders: 5 records exported to demo-output/orders.xml",
                                     "orders: 5 records exported to demo-output/orders.sql"}))
      << result.output;
  const std::string xml = Read("demo-output/orders.xml");
  EXPECT_NE(
      xml.find("<ROW id=\"1001\" customer_id=\"1\" ordered_on=\"2024-04-02\" delivery_window=\"08:00:00\" "
               "status=\"delivered\" updated_at=\"2024-04-05 10:12:00\" discount_pct=\"\"/>\r\n"),
      std::string::npos)
      << xml;
  const auto lint = testsupport::RunCommand({"xmllint", "--noout", dir_.File("demo-output/orders.xml")});
  EXPECT_EQ(lint.exit_status, 0) << lint.output;

  const std::string sql = Read("demo-output/orders.sql");
  EXPECT_NE(
      sql.find("INSERT INTO orders_copy\r\n  (id,customer_id,ordered_on,delivery_window,status,updated_at,"
               "discount_pct)\r\nVALUES(1001,1,'2024-04-02','08:00:00','delivered','2024-04-05 10:12:00',"
               "NULL);\r\n"),
      std::string::npos)
      << sql;
  const auto replay = Replay(dir_.File("demo-output/orders.sql"), "velmora_sample");
  ASSERT_EQ(replay.exit_status, 0) << replay.output;
  EXPECT_EQ(testsupport::QueryValue(*server_,
                                    "SELECT COUNT(*) FROM orders o JOIN orders_copy c USING (id) WHERE "
                                    "o.ordered_on <=> c.ordered_on AND o.discount_pct <=> c.discount_pct AND "
                                    "o.updated_at <=> c.updated_at AND o.status <=> c.status",
                                    "velmora_sample"),
            "5");
}

// Every table of a third-party database as an SQL script with CREATE TABLE,
// replayed into an empty database: every value comes back; and as XML that
// a validating parser accepts.
TEST_F(XmlSqlRunTest, ThirdPartyTablesReplayAndParse) {
  const std::string script = SourceDir() + "/../shared/data/chinook.sql";
  if (SourceDir().empty() || !fs::exists(script)) GTEST_SKIP() << "no shared data directory";
  std::string sql = testsupport::ReadFile(script);
  for (std::size_t at = sql.find("`Chinook`"); at != std::string::npos; at = sql.find("`Chinook`", at)) {
    sql.replace(at, 9, "`velmora_sql_chinook`");
  }
  testsupport::WriteFile(dir_.File("chinook.sql"), sql);
  testsupport::RunSql(*server_, "source " + dir_.File("chinook.sql"));
  testsupport::RunSql(*server_,
                      "DROP DATABASE IF EXISTS velmora_sql_chinook_copy; CREATE DATABASE "
                      "velmora_sql_chinook_copy");
  const std::vector<std::string> tables = {"Album",    "Artist",        "Customer",    "Employee",
                                           "Genre",    "Invoice",       "InvoiceLine", "MediaType",
                                           "Playlist", "PlaylistTrack", "Track"};
  std::string items = "[Tables]\n";
  for (const std::string& table : tables) items += table + "=" + table + "\n";
  Write("create.ini", "[SQL]\nCreateTable=1\nCommitRecCount=1000\nCommitAfterScript=1\n");
  const TVelmoraResult result = Run(items + "[Files]\nAll=out/x.sql\n[Templates]\nAll=create.ini\n",
                                    SocketConnection("velmora_sql_chinook"));
  EXPECT_EQ(result.lines.size(), 6 + tables.size()) << result.output;
  for (const std::string& table : tables) {
    const auto replay = Replay(dir_.File("out/" + table + ".sql"), "velmora_sql_chinook_copy");
    ASSERT_EQ(replay.exit_status, 0) << table << replay.output;
    // One checksum over the hex of every value of every row.
    const auto columns = testsupport::RunSql(
        *server_,
        "SELECT GROUP_CONCAT(CONCAT('IFNULL(HEX(CONCAT(`', COLUMN_NAME, '`)), ''N'')') ORDER BY "
        "ORDINAL_POSITION SEPARATOR ', ''|'', ') FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
        "'velmora_sql_chinook' AND TABLE_NAME = '" +
            table + "'");
    const std::string digest =
        "SELECT COUNT(*), SUM(CRC32(CONCAT(" + *columns.at(0).at(0) + "))) FROM `" + table + "`";
    EXPECT_EQ(testsupport::RunSql(*server_, digest, "velmora_sql_chinook_copy"),
              testsupport::RunSql(*server_, digest, "velmora_sql_chinook"))
        << table;
  }

  const TVelmoraResult xml =
      Run("[Tables]\nTrack=Track\n[Files]\nTrack=out/t.xml\n", SocketConnection("velmora_sql_chinook"));
  EXPECT_EQ(xml.lines, Connected({"Track: 3503 records exported to out/t.xml"}));
  const auto lint = testsupport::RunCommand({"xmllint", "--noout", dir_.File("out/t.xml")}, 120);
  EXPECT_EQ(lint.exit_status, 0) << lint.output.substr(0, 2000);
}

}  // namespace
}  // namespace velmora
