// Runs that go on past a failed item, items lost with their connection, and
// items exported at once on connections of their own.

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "console/console_support.h"

namespace velmora::consoletest {
namespace {

class RunItemsTest : public ConsoleServerTest {
 protected:
  // Waits until a statement beginning with text runs on the server and gives
  // its connection's id; empty when none shows within 30 seconds.
  static std::string RunningConnection(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      const std::vector<testsupport::TSqlRow> rows = testsupport::RunSql(
          *server_, "SELECT id FROM information_schema.processlist WHERE info LIKE '" + text + "%'");
      if (!rows.empty() && !rows.front().empty() && rows.front().front().has_value())
        return *rows.front().front();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "";
  }
};

// A missing table and a statement the server refuses between good items. With
// ContinueOnError every other item is exported; without it the run ends at the
// first failure. Either way the failure line names its item, the exit status
// is 1, and several threads print the same lines as one.
TEST_F(RunItemsTest, FailedStatementFailsItsItemOrEndsTheRun) {
  const std::string items =
      "[Tables]\n1=orders\n2=missing_table\n3=clients\n[Queries]\nbad=bad\nlast=last\n"
      "[SQL_bad]\n1=selec 1\n[SQL_last]\n1=select 7 as n\n[Files]\nAll=.csv\nbad=bad.csv\nlast=last.csv\n";
  const std::string missing = "missing_table: ERROR: Table 'velmora_console.missing_table' doesn't exist";
  const std::string refused =
      "bad: ERROR: You have an error in your SQL syntax; check the manual that corresponds to your MariaDB "
      "server "
      "version for the right syntax to use near 'selec 1' at line 1";
  const std::vector<std::string> all = {"orders: 3 records exported to orders.csv", missing,
                                        "clients: 2 records exported to clients.csv", refused,
                                        "last: 1 records exported to last.csv"};
  const struct {
    std::string Settings;
    std::vector<std::string> Lines;
  } cases[] = {
      {"", {"orders: 3 records exported to orders.csv", missing}},
      {"ContinueOnError=1\n", all},
      {"ContinueOnError=1\nThreads=3\n", all},
      {"ContinueOnError=1\nThreads=2\nSnapshot=1\n", all},
  };
  for (const auto& test_case : cases) {
    for (const char* file : {"orders.csv", "clients.csv", "last.csv"})
      std::filesystem::remove(dir_.File(file));
    const TVelmoraResult result = Run(items, SocketConnection() + test_case.Settings);
    EXPECT_EQ(result.lines, Connected(test_case.Lines)) << test_case.Settings << result.errors;
    EXPECT_EQ(result.exit_status, 1) << test_case.Settings;
    EXPECT_EQ(Exists("clients.csv"), test_case.Lines.size() > 2) << test_case.Settings;
    if (test_case.Lines.size() > 2) {
      EXPECT_EQ(Read("last.csv"), "\"n\"\r\n\"7\"\r\n") << test_case.Settings;
    }
  }
}

// Items run at once still never write one file: the claims are decided in item
// order before any item starts, and the refused item is the later one.
TEST_F(RunItemsTest, ThreadsKeepTheOrderOfLinesAndOfFileClaims) {
  const TVelmoraResult result =
      Run("[Tables]\n1=orders\n2=clients\n3=v_orders\n[Queries]\nslow=slow\n[SQL_slow]\n1=select sleep(0.5) "
          "as z\n"
          "[Files]\nAll=.csv\n3=orders.csv\nslow=slow.csv\n",
          SocketConnection() + "Threads=4\n");
  EXPECT_EQ(result.lines, Connected({"orders: 3 records exported to orders.csv",
                                     "clients: 2 records exported to clients.csv",
                                     "v_orders: Output file orders.csv is already used by an earlier item",
                                     "slow: 1 records exported to slow.csv"}))
      << result.errors;
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(Read("orders.csv").substr(0, 5), "\"id\",");

  // Standard output is no file to claim: items writing it take turns in item
  // order, the slow first one before the quick second one.
  Write("csv.ini", "[GENERAL]\nFileName=/dev/stdout\nExportType=8\n");
  const TVelmoraResult piped =
      Run("[Queries]\nslow=slow\nquick=quick\n[SQL_slow]\n1=select sleep(0.5) as z\n[SQL_quick]\n"
          "1=select 'b' as q\n[Templates]\nslow=csv.ini\nquick=csv.ini\n",
          SocketConnection() + "Threads=2\n");
  EXPECT_EQ(piped.output.substr(0, 100), "\"z\"\r\n\"0\"\r\n\"q\"\r\n\"b\"\r\n") << piped.errors;
  EXPECT_EQ(piped.exit_status, 0);
}

// Rows inserted while items run: with Snapshot every connection reads the data
// as it was when the run began; without it an item that reads later sees them
// (which shows the insert does come in time).
TEST_F(RunItemsTest, ThreadsWithSnapshotReadOneSnapshot) {
  const std::string items =
      "[Queries]\nlong=long\nshort=short\nlater=later\n"
      "[SQL_long]\n1=select sleep(2) as z, (select group_concat(id order by id) from snap) as ids\n"
      "[SQL_short]\n1=select sleep(0.5) as z, (select group_concat(id order by id) from snap) as ids\n"
      "[SQL_later]\n1=select id from snap order by id\n"
      "[Files]\nlong=long.csv\nshort=short.csv\nlater=later.csv\n";
  const std::string kIdsOne = "\"z\",\"ids\"\r\n\"0\",\"1\"\r\n";
  for (const bool snapshot : {true, false}) {
    testsupport::RunSql(*server_,
                        "DROP TABLE IF EXISTS velmora_console.snap;"
                        "CREATE TABLE velmora_console.snap (id INT) ENGINE=InnoDB;"
                        "INSERT INTO velmora_console.snap VALUES (1)");
    std::future<TVelmoraResult> running = std::async(std::launch::async, [&] {
      return Run(items, SocketConnection() + "Threads=2\n" + (snapshot ? "Snapshot=1\n" : ""));
    });
    EXPECT_FALSE(RunningConnection("select sleep(2)").empty());
    testsupport::RunSql(*server_, "INSERT INTO velmora_console.snap VALUES (777)");
    const TVelmoraResult result = running.get();
    EXPECT_EQ(result.lines,
              Connected({"long: 1 records exported to long.csv", "short: 1 records exported to short.csv",
                         "later: " + std::string(snapshot ? "1" : "2") + " records exported to later.csv"}))
        << result.errors;
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(Read("long.csv"), snapshot ? kIdsOne : "\"z\",\"ids\"\r\n\"0\",\"1,777\"\r\n");
    EXPECT_EQ(Read("later.csv"), snapshot ? "\"id\"\r\n\"1\"\r\n" : "\"id\"\r\n\"1\"\r\n\"777\"\r\n");
    if (snapshot) {
      EXPECT_EQ(Read("short.csv"), kIdsOne);
    }
  }
}

// Without the privilege of the global read lock, or when the lock is not
// granted in time, the connections cannot be brought to one snapshot: the run
// ends before any item, never exporting items that might disagree.
TEST_F(RunItemsTest, ThreadsWithSnapshotNeedTheGlobalReadLock) {
  testsupport::RunSql(*server_,
                      "CREATE USER IF NOT EXISTS 'velmora_plain'@'localhost' IDENTIFIED BY 'plain';"
                      "GRANT SELECT ON velmora_console.* TO 'velmora_plain'@'localhost'");
  const TVelmoraResult result =
      Run("[Tables]\n1=orders\n2=clients\n[Files]\nAll=.csv\n",
          "[Connection]\nHost=localhost\nPort=" + server_->Socket +
              "\nLogin=velmora_plain\nPassword=plain\nDBName=velmora_console\nThreads=2\nSnapshot=1\n");
  EXPECT_EQ(
      result.lines,
      Connected({"ERROR: Snapshot=1 with Threads above 1 needs the global read lock (the RELOAD privilege): "
                 "Access denied; you need (at least one of) the RELOAD privilege(s) for this operation"}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(Exists("orders.csv"));

  // A session holding a table lock keeps the global read lock from being
  // granted: the run waits LockWaitTimeout seconds, not until the lock goes.
  std::future<void> holder = std::async(std::launch::async, [] {
    testsupport::RunSql(*server_, "LOCK TABLES clients WRITE; SELECT SLEEP(20); UNLOCK TABLES",
                        "velmora_console");
  });
  const std::string holder_id = RunningConnection("SELECT SLEEP(20)");
  ASSERT_FALSE(holder_id.empty());
  const auto started = std::chrono::steady_clock::now();
  const TVelmoraResult waited = Run("[Tables]\n1=orders\n2=clients\n[Files]\nAll=.csv\n",
                                    SocketConnection() + "Threads=2\nSnapshot=1\nLockWaitTimeout=1\n");
  const auto waited_for = std::chrono::steady_clock::now() - started;
  // The killed session's lock goes with it (its client reports the kill).
  testsupport::RunSql(*server_, "KILL " + holder_id);
  holder.wait();
  EXPECT_EQ(waited.lines, Connected({"ERROR: Snapshot=1 with Threads above 1: the global read lock was not "
                                     "granted within 1 seconds (LockWaitTimeout): Lock wait timeout exceeded; "
                                     "try restarting transaction"}));
  EXPECT_EQ(waited.exit_status, 1);
  EXPECT_LT(waited_for, std::chrono::seconds(15));
  EXPECT_FALSE(Exists("orders.csv"));
}

// A connection killed while an item runs: with ContinueOnError the item is
// exported again on a new connection and the run goes on; inside a snapshot a
// new connection would read other data, so the run ends on the item's line.
TEST_F(RunItemsTest, LostConnectionIsRetriedOnceOutsideASnapshot) {
  const std::string items =
      "[Queries]\nslow=slow\nnext=next\n[SQL_slow]\n1=select sleep(1) as z\n[SQL_next]\n1=select 2 as n\n"
      "[Files]\nslow=slow.csv\nnext=next.csv\n";
  for (const bool snapshot : {false, true}) {
    std::filesystem::remove(dir_.File("next.csv"));
    std::future<TVelmoraResult> running = std::async(std::launch::async, [&] {
      return Run(items, SocketConnection() + "ContinueOnError=1\n" + (snapshot ? "Snapshot=1\n" : ""));
    });
    const std::string id = RunningConnection("select sleep(1)");
    ASSERT_FALSE(id.empty());
    testsupport::RunSql(*server_, "KILL CONNECTION " + id);
    const TVelmoraResult result = running.get();
    if (!snapshot) {
      EXPECT_EQ(result.lines,
                Connected({"slow: 1 records exported to slow.csv", "next: 1 records exported to next.csv"}))
          << result.errors;
      EXPECT_NE(result.errors.find("; connecting again to export the item once more"), std::string::npos)
          << result.errors;
      EXPECT_EQ(result.exit_status, 0);
    } else {
      ASSERT_EQ(result.lines.size(), 7U) << result.output;
      EXPECT_EQ(result.lines[6].rfind("slow: ERROR: ", 0), 0U) << result.lines[6];
      EXPECT_EQ(result.exit_status, 1);
      EXPECT_FALSE(Exists("next.csv"));
    }
  }
}

}  // namespace
}  // namespace velmora::consoletest
