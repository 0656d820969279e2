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

  // Every value of the columns (those of the hostile table unless told) as
  // the hex of its text (binary data as it is), "N" for NULL, by the first.
  std::vector<testsupport::TSqlRow> HexValues(const std::string& database, const std::string& table,
                                              const std::vector<std::string>& columns = {
                                                  std::begin(kColumns), std::end(kColumns)}) const {
    std::string select = "SELECT ";
    for (const std::string& column : columns) {
      if (select.size() > 7) select += ", ";
      select += "IFNULL(HEX(CONCAT(" + column + ")), 'N')";
    }
    return testsupport::RunSql(*server_, select + " FROM " + table + " ORDER BY 1", database);
  }

  // Runs the script through the command-line client into database, in a
  // session that runs init first.
  testsupport::TCommandResult Replay(const std::string& script, const std::string& database,
                                     const std::string& init = "DO 0") const {
    const std::string client = testsupport::FindExecutable("mariadb");
    return testsupport::RunCommand(
        {"bash", "-c",
         "exec \"$0\" --no-defaults --socket=\"$1\" --user=\"$2\" --password=\"$3\" "
         "--default-character-set=utf8mb4 --init-command=\"$6\" \"$4\" < \"$5\"",
         client, server_->Socket, server_->User, server_->Password, database, script, init},
        120);
  }

  // Name, type, character set and collation of every column of the table.
  std::vector<testsupport::TSqlRow> Declarations(const std::string& database,
                                                 const std::string& table) const {
    return testsupport::RunSql(
        *server_,
        "SELECT CONCAT_WS(' ', COLUMN_NAME, COLUMN_TYPE, CHARACTER_SET_NAME, COLLATION_NAME) "
        "FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '" +
            database + "' AND TABLE_NAME = '" + table + "' ORDER BY ORDINAL_POSITION");
  }
};

TEST_F(XmlSqlRunTest, ReplayedScriptReproducesEveryValue) {
  testsupport::RunSql(*server_, kHostileTable);
  // One statement a record, and records three to a statement (two, where
  // a commit falls due).
  for (const std::string rows_per_insert : {"", "RowsPerInsert=3\n"}) {
    SCOPED_TRACE(rows_per_insert);
    testsupport::RunSql(
        *server_,
        "DROP DATABASE IF EXISTS velmora_sql_copy; CREATE DATABASE velmora_sql_copy CHARACTER SET latin1");
    Write("sql.ini",
          "[SQL]\nCreateTable=1\nCommitRecCount=2\nCommitAfterScript=1\n" + rows_per_insert +
              "[FORMATS]\nNullString=null\n"
              "Float=#,##0.0\n[FIELDS]\n1=id\n2=first name\n3=order\n4=memo\n5=d\n6=u\n7=i\n8=f\n9=dt\n"
              "10=dz\n11=t\n12=y\n13=bin\n14=bl\n");
    // A German locale: the script's numbers still use "." and no grouping.
    testsupport::WriteFile(dir_.File("run.cfg"), SocketConnection("velmora_sql_source") +
                                                     "[Tables]\nhostile=hostile\n[Files]\nhostile=out/h.sql\n"
                                                     "[Templates]\nhostile=sql.ini\n");
    const TVelmoraResult result = consoletest::RunVelmora({"run.cfg"}, dir_.Path(), "de_DE.UTF-8");
    EXPECT_EQ(result.lines, Connected({"hostile: 4 records exported to out/h.sql"})) << result.output;
    const std::string script = Read("out/h.sql");
    EXPECT_NE(
        script.find("CREATE TABLE hostile(\r\n  id  int(11),\r\n  `first name`  varchar(100) CHARACTER SET "
                    "utf8mb4 COLLATE utf8mb4_general_ci,\r\n"),
        std::string::npos)
        << script;
    EXPECT_EQ(script.find("),\r\n(") != std::string::npos, !rows_per_insert.empty()) << script;

    const auto replay = Replay(dir_.File("out/h.sql"), "velmora_sql_copy");
    ASSERT_EQ(replay.exit_status, 0) << replay.output;
    EXPECT_EQ(replay.output, "");
    const auto source = HexValues("velmora_sql_source", "hostile");
    ASSERT_EQ(source.size(), 4u);
    EXPECT_EQ(HexValues("velmora_sql_copy", "hostile"), source);
  }
}

// Column types the rows alone cannot tell, and session settings the literals
// depend on.
constexpr const char* kTypedTable = R"sql(
DROP DATABASE IF EXISTS velmora_sql_typed;
CREATE DATABASE velmora_sql_typed CHARACTER SET utf8mb4;
USE velmora_sql_typed;
SET SESSION sql_mode = 'NO_AUTO_VALUE_ON_ZERO';
CREATE TABLE typed (
  id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  f DOUBLE, r FLOAT, d DECIMAL(12,4), u INT UNSIGNED, z TINYINT(3) UNSIGNED ZEROFILL,
  bn BINARY(4), vb VARBINARY(8), bl BLOB,
  l1 VARCHAR(12) CHARACTER SET latin1, k8 CHAR(6) CHARACTER SET koi8r COLLATE koi8r_bin,
  ts TIMESTAMP(3) NULL, path VARCHAR(20), g GEOMETRY
);
INSERT INTO typed VALUES
  (0, 0.1, 0.5, 1.5, 7, 7, 0x00FF, 0x41, 0x5C00, 'é', 'Жук', '2024-03-01 10:00:00.125', 'C:\\new',
   ST_GeomFromText('POINT(1 2)')),
  (5, 1.7976931348623157e308, -3.25e30, -99999999.9999, 4294967295, 255, 'abcd', '', NULL, 'Ç''a', 'ЁЖ',
   '1970-01-01 00:00:01', '\\\\', NULL);
DROP DATABASE IF EXISTS velmora_sql_typed_new;
CREATE DATABASE velmora_sql_typed_new CHARACTER SET utf8mb4;
DROP DATABASE IF EXISTS velmora_sql_typed_like;
CREATE DATABASE velmora_sql_typed_like CHARACTER SET utf8mb4;
CREATE TABLE velmora_sql_typed_like.typed LIKE velmora_sql_typed.typed;
)sql";

// The script creates each column as the server declares it, and replays in a
// session whose settings would change its literals (backslashes read as
// such, a 0 taken for the next AUTO_INCREMENT value, another time zone): every
// value comes back byte for byte. Names one result may carry but one table
// may not (both sides of a join, the same but for letter case, an empty
// alias) are made distinct.
TEST_F(XmlSqlRunTest, ScriptKeepsDeclaredTypesAndReplaysInAnotherSession) {
  testsupport::RunSql(*server_, kTypedTable);
  Write("create.ini", "[SQL]\nCreateTable=1\n");
  Write("insert.ini", "[SQL]\nCreateTable=0\n");
  Write("dup.ini", "[SQL]\nCreateTable=1\nTableName=dup names\n");
  const TVelmoraResult result = Run(
      "[Tables]\nc=typed\ni=typed\nv=typed\n[Queries]\nq=dup\n[SQL_q]\n1=select h.id, h2.id, 1 as a, 3 as A, "
      "'x' as ``, h.l1 as L1 from typed h join typed h2 on h2.id = h.id\n[Files]\nc=out/create.sql\n"
      "i=out/insert.sql\nv=out/t.csv\nq=out/dup.sql\n[Templates]\nc=create.ini\ni=insert.ini\nq=dup.ini\n",
      SocketConnection("velmora_sql_typed"));
  EXPECT_EQ(
      result.lines,
      Connected({"typed: 2 records exported to out/create.sql", "typed: 2 records exported to out/insert.sql",
                 "typed: 2 records exported to out/t.csv", "dup: 2 records exported to out/dup.sql"}))
      << result.output;
  // Only the CSV leaves columns out, and says so once.
  EXPECT_EQ(result.errors,
            "typed: column bl (blob) left out; name it in [FIELDS] to export it\n"
            "typed: column g (geometry) left out; name it in [FIELDS] to export it\n");

  const std::string other_session = "SET SESSION sql_mode = 'NO_BACKSLASH_ESCAPES', time_zone = '+05:00'";
  const std::vector<std::string> columns = {"id", "f",  "r",  "d",  "u",  "z",    "bn",
                                            "vb", "bl", "l1", "k8", "ts", "path", "g"};
  for (const char* target : {"new", "like"}) {
    const std::string database = std::string("velmora_sql_typed_") + target;
    const std::string script = target == std::string("new") ? "out/create.sql" : "out/insert.sql";
    const auto replay = Replay(dir_.File(script), database, other_session);
    ASSERT_EQ(replay.exit_status, 0) << replay.output << Read(script);
    EXPECT_EQ(HexValues(database, "typed", columns), HexValues("velmora_sql_typed", "typed", columns))
        << target;
  }
  EXPECT_EQ(Declarations("velmora_sql_typed_new", "typed"), Declarations("velmora_sql_typed", "typed"));

  const auto replay = Replay(dir_.File("out/dup.sql"), "velmora_sql_typed_new");
  ASSERT_EQ(replay.exit_status, 0) << replay.output << Read("out/dup.sql");
  EXPECT_EQ(Declarations("velmora_sql_typed_new", "dup names"),
            (std::vector<testsupport::TSqlRow>{{"id int(11)"},
                                               {"id_2 int(11)"},
                                               {"a int(1)"},
                                               {"A_2 int(1)"},
                                               {"_ varchar(1) utf8mb4 utf8mb4_general_ci"},
                                               {"L1 varchar(12) latin1 latin1_swedish_ci"}}));
  EXPECT_EQ(HexValues("velmora_sql_typed_new", "`dup names`", {"id", "id_2", "a", "A_2", "_", "L1"}),
            HexValues("velmora_sql_typed", "typed", {"id", "id", "1", "3", "'x'", "l1"}));
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
