// Exports that read ahead (TXT's width pass, DIF's count, DBF's field sizes)
// take their rows from a spool file of the temporary directory: their files
// are byte for byte those of the rows held in memory, the spool leaves
// nothing behind, and a directory that cannot take it fails the item with the
// directory's name while the run goes on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "console_support.h"

namespace velmora {
namespace {

using consoletest::TVelmoraResult;

// Awkward values, a row larger than the spool's buffers (kept out of the TXT
// item, whose width pass would pad every line to it), and enough rows for many
// reads of its window.
constexpr const char* kSpoolSql = R"sql(
SET SESSION sql_mode = 'ALLOW_INVALID_DATES,NO_ENGINE_SUBSTITUTION';
DROP TABLE IF EXISTS spool_rows;
CREATE TABLE spool_rows (
  id INT PRIMARY KEY, name VARCHAR(40), amount DECIMAL(12,2), ratio DOUBLE, joined DATE,
  moment DATETIME(6), notes MEDIUMTEXT, raw VARBINARY(16), flag TINYINT(1)) CHARACTER SET utf8mb4;
INSERT INTO spool_rows VALUES
  (1, 'say "hi" \\ {x}', -9999999999.99, -1.25e-300,
   '2004-12-31', '2004-12-31 23:59:58.123456', 'line1\nline2\r\n北京 😀', x'00ff20', 1),
  (2, '', -0.5, 5e-324, '0000-00-00', '2024-00-00 10:00:00', '', 'a\0b', 0),
  (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (4, 'tab\there', 0, 0.1, '2004-02-30', '1900-02-28 12:00:00.5', REPEAT('long text ', 250000), '', 1);
INSERT INTO spool_rows
  SELECT 4 + seq, CONCAT('name ', seq), seq * 1.25, seq / 7, '2024-01-01' + INTERVAL (seq % 3650) DAY,
         '2024-01-01 08:00:00' + INTERVAL seq SECOND, IF(seq % 10 = 0, NULL, CONCAT('note "', seq, '"')),
         UNHEX(HEX(seq)), seq % 2
  FROM seq_1_to_3000;
)sql";

class SpoolRunTest : public consoletest::ConsoleServerTest {
 protected:
  void SetUp() override {
    ConsoleServerTest::SetUp();
    if (IsSkipped()) return;
    testsupport::RunSql(*server_, kSpoolSql, "velmora_console");
  }

  // The Connection section without StoreResult, whatever the suite's run asks.
  static std::string SpoolingConnection() {
    std::string connection = SocketConnection();
    if (const std::size_t stored = connection.find("StoreResult=1\n"); stored != std::string::npos) {
      connection.erase(stored, std::string("StoreResult=1\n").size());
    }
    return connection;
  }

  // Runs velmora with TMPDIR set to spool_.
  TVelmoraResult RunWithSpoolDirectory(const std::string& body, const std::string& connection) {
    ::setenv("TMPDIR", spool_.Path().c_str(), 1);
    TVelmoraResult result = Run(body, connection);
    ::unsetenv("TMPDIR");
    return result;
  }

  testsupport::TTempDir spool_{"spool"};
};

TEST_F(SpoolRunTest, SpooledRowsGiveTheFilesOfRowsHeldInMemory) {
  const std::string items =
      "[Queries]\ntxt=spool_rows\n[SQL_txt]\n"
      "1=select id, name, amount, ratio, joined, moment, left(notes, 30) as notes, raw, flag from "
      "spool_rows\n"
      "[Tables]\ndif=spool_rows\ndbf=spool_rows\n"
      "[Files]\ntxt=out/rows.txt\ndif=out/rows.dif\ndbf=out/rows.dbf\n";
  const std::vector<std::string> lines = Connected({"spool_rows: 3004 records exported to out/rows.dif",
                                                    "spool_rows: 3004 records exported to out/rows.dbf",
                                                    "spool_rows: 3004 records exported to out/rows.txt"});
  const TVelmoraResult in_memory = RunWithSpoolDirectory(items, SpoolingConnection() + "StoreResult=1\n");
  ASSERT_EQ(in_memory.lines, lines) << in_memory.errors;
  std::map<std::string, std::string> expected;
  for (const char* name : {"out/rows.txt", "out/rows.dif", "out/rows.dbf", "out/rows.dbt"}) {
    expected[name] = Read(name);
  }
  const TVelmoraResult spooled = RunWithSpoolDirectory(items, SpoolingConnection());
  ASSERT_EQ(spooled.lines, lines) << spooled.errors;
  for (const auto& [name, content] : expected) {
    EXPECT_TRUE(Read(name) == content) << name << " differs";
  }
  EXPECT_GT(expected["out/rows.dbt"].size(), std::size_t{2500000});  // the long text reached the memo file
  EXPECT_TRUE(spool_.Entries().empty());
}

// The process may write no file beyond 2 MiB (and ignores the signal that
// would end it): the spool of the first item fails, the next item is
// exported, and the run ends with status 1.
TEST_F(SpoolRunTest, ATemporaryDirectoryThatCannotHoldTheRowsFailsTheItemByName) {
  Write("run.cfg",
        SpoolingConnection() +
            "[Tables]\nbig=spool_rows\n[Queries]\nsmall=clients\n[SQL_small]\n1=select * from clients\n"
            "[Files]\nbig=out/big.dif\nsmall=out/small.csv\n");
  ::setenv("TMPDIR", spool_.Path().c_str(), 1);
  const TVelmoraResult result = consoletest::RunProgram(
      "/bin/bash", {"-c", "trap '' XFSZ; ulimit -f 2048; exec \"$0\" run.cfg", consoletest::VelmoraBinary()},
      dir_.Path());
  ::unsetenv("TMPDIR");
  EXPECT_EQ(result.lines, Connected({"spool_rows: ProcessedData: Cannot hold the rows in the temporary directory \"" +
                                         spool_.Path() + "\": File too large",
                                     "clients: 2 records exported to out/small.csv"}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(Exists("out/big.dif"));
  EXPECT_TRUE(spool_.Entries().empty());
}

}  // namespace
}  // namespace velmora
