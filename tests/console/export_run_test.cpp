// End-to-end runs of velmora against the suite's MariaDB server: the
// connection, the source sections, databases, output files and the messages
// of the run, checked line by line with the exit status and the files.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "console_support.h"

namespace velmora {
namespace {

using consoletest::kBanner;
using consoletest::TVelmoraResult;
using Lines = std::vector<std::string>;

constexpr const char* kClientsCsv = "\"ID\",\"NAME\"\r\n\"1\",\"Alpha\"\r\n\"2\",\"Beta\"\r\n";

class ExportRunTest : public consoletest::ConsoleServerTest {};

// ---------------------------------------------------------------------------
// Connection

TEST_F(ExportRunTest, ConnectsThroughTheSocketAndThroughTheTcpPort) {
  TVelmoraResult result = Run("[Tables]\n1=clients\n[Files]\n1=socket.csv\n");
  EXPECT_EQ(result.lines, Connected({"clients: 2 records exported to socket.csv"}));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(Read("socket.csv"), kClientsCsv);

  const std::string tcp = "[Connection]\nHost=127.0.0.1\nPort=" + server_->Port + "\nLogin=" + server_->User +
                          "\nPassword=" + server_->Password + "\nDBName=velmora_console\n";
  result = Run("[Tables]\n1=clients\n[Files]\n1=tcp.csv\n", tcp);
  EXPECT_EQ(result.lines, Connected({"clients: 2 records exported to tcp.csv"}, "127.0.0.1"));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(Read("tcp.csv"), kClientsCsv);
  EXPECT_EQ(result.errors, "");
}

TEST_F(ExportRunTest, WrongPasswordEndsTheRunWithTheServersMessage) {
  const std::string connection =
      "[Connection]\nPort=" + server_->Socket + "\nLogin=" + server_->User + "\nPassword=wrong\n";
  const TVelmoraResult result = Run("[Tables]\n1=clients\n[Files]\n1=c.csv\n", connection);
  EXPECT_EQ(result.lines,
            (Lines{kBanner, "", "", "Connecting to localhost...",
                   "ERROR: Access denied for user 'velmora'@'localhost' (using password: YES)"}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(Exists("c.csv"));
}

TEST_F(ExportRunTest, PortThatIsNoNumberEndsTheRunBeforeConnecting) {
  const struct {
    const char* Host;
    const char* Port;
  } cases[] = {{"127.0.0.1", "abc"},   {"127.0.0.1", "65536"},       {"127.0.0.1", "-1"},
               {"127.0.0.1", "33 06"}, {"127.0.0.1", "99999999999"}, {"127.0.0.1", "/run/mysqld.sock"}};
  for (const auto& test_case : cases) {
    const std::string connection =
        std::string("[Connection]\nHost=") + test_case.Host + "\nPort=" + test_case.Port + "\n";
    const TVelmoraResult result = Run("[Tables]\n1=clients\n[Files]\n1=c.csv\n", connection);
    EXPECT_EQ(result.lines,
              (Lines{kBanner, "", "",
                     "ERROR: Port \"" + std::string(test_case.Port) + "\" is not a number from 0 to 65535"}))
        << test_case.Port;
    EXPECT_EQ(result.exit_status, 1);
  }
}

// ---------------------------------------------------------------------------
// Sources: Tables, All, Views, Queries

TEST_F(ExportRunTest, AllExportsEveryTableAndViewOfDBNameInServerOrder) {
  const std::map<std::string, std::string> line_of = {
      {"a/b", "a/b: 1 records exported to out/a_b.csv"},
      {"clients", "clients: 2 records exported to out/clients.csv"},
      {"empty_table", "empty_table: Dataset is empty"},
      {"odd`name", "odd`name: 1 records exported to out/odd`name.csv"},
      {"orders", "orders: 3 records exported to out/orders.csv"},
      {"v_orders", "v_orders: 2 records exported to out/v_orders.csv"},
  };
  Lines expected;
  for (const testsupport::TSqlRow& row : testsupport::RunSql(*server_, "SHOW TABLES FROM velmora_console")) {
    expected.push_back(line_of.at(row.at(0).value()));
  }
  const TVelmoraResult result = Run("[Tables]\nAll=1\n[Files]\nAll=out/x.csv\n");
  EXPECT_EQ(result.lines, Connected(expected));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(Read("out/odd`name.csv"), "\"v\"\r\n\"5\"\r\n");
  EXPECT_EQ(Read("out/a_b.csv"), "\"v\"\r\n\"6\"\r\n");
  EXPECT_EQ(Read("out/empty_table.csv"), "\"id\"\r\n");
}

TEST_F(ExportRunTest, AllNeedsDBName) {
  const TVelmoraResult result =
      Run("[Tables]\nAll=1\n[Databases]\nAll=velmora_console\n", SocketConnection(""));
  EXPECT_EQ(result.lines, Connected({"ERROR: The Tables entry All=1 needs the database in DBName of the "
                                     "Connection section"}));
  EXPECT_EQ(result.exit_status, 1);
}

// "all=1" and "All=yes" are ordinary entries: tables of those names.
TEST_F(ExportRunTest, AllMatchesExactly) {
  const TVelmoraResult result = Run("[Tables]\nall=1\n[Files]\nall=a.csv\n");
  EXPECT_EQ(result.lines, Connected({"1: ERROR: Table 'velmora_console.1' doesn't exist"}));
  EXPECT_EQ(result.exit_status, 1);
}

TEST_F(ExportRunTest, TableNameWithBackquote) {
  const TVelmoraResult result = Run("[Tables]\nodd=odd`name\n[Files]\nodd=odd.csv\n");
  EXPECT_EQ(result.lines, Connected({"odd`name: 1 records exported to odd.csv"}));
  EXPECT_EQ(Read("odd.csv"), "\"v\"\r\n\"5\"\r\n");
}

TEST_F(ExportRunTest, ViewsFollowTheTablesWithTheSettingsOfTheirKey) {
  const TVelmoraResult result =
      Run("[Views]\n1=v_orders\n[Tables]\n1=orders\n[Databases]\n1=velmora_console\n[Files]\nAll=o/x.csv\n",
          SocketConnection(""));
  EXPECT_EQ(result.lines, Connected({"orders: 3 records exported to o/orders.csv",
                                     "v_orders: 2 records exported to o/v_orders.csv"}));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(Read("o/v_orders.csv"), "\"id\",\"customer\"\r\n\"1\",\"Ann\"\r\n\"2\",\"Bob\"\r\n");
}

TEST_F(ExportRunTest, QueriesTakeTheirTextFromTheirSqlSection) {
  const TVelmoraResult result =
      Run("[Queries]\nbig=Big orders\nlost=Lost query\nblank=Blank query\n"
          "[sql_BIG]\n1=select customer, note\n2=from orders -- every order\n3=where amount > 10\n"
          "[SQL_blank]\n1=\n[Files]\nbig=big.csv\nlost=lost.csv\nblank=blank.csv\n");
  EXPECT_EQ(result.lines,
            Connected({"Big orders: 1 records exported to big.csv", "Lost query: No SQL statement specified",
                       "Blank query: No SQL statement specified"}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(Read("big.csv"), "\"customer\",\"note\"\r\n\"Ann\",\"say \"\"hi\"\"\"\r\n");
  EXPECT_FALSE(Exists("lost.csv"));
  EXPECT_FALSE(Exists("blank.csv"));
}

// An entry without a value ended the whole run with "Incorrect table name ''".
TEST_F(ExportRunTest, EntryWithoutValueIsSkippedAndTheRunGoesOn) {
  const TVelmoraResult result =
      Run("[Tables]\nlonely\nblank=\n1=clients\n[Views]\nview=\n[Queries]\nq\n[SQL_q]\n1=select 1\n"
          "[Files]\n1=c.csv\n");
  EXPECT_EQ(result.lines,
            Connected({"lonely: No name specified in [Tables]", "blank: No name specified in [Tables]",
                       "clients: 2 records exported to c.csv", "view: No name specified in [Views]",
                       "q: No name specified in [Queries]"}));
  EXPECT_EQ(result.exit_status, 1);
}

TEST_F(ExportRunTest, QueryDefaultFileIsNamedAfterItsKey) {
  const TVelmoraResult result =
      Run("[Queries]\nq=Named query\n[SQL_q]\n1=select 1 as one\n[Files]\nAll=res/any.csv\n");
  EXPECT_EQ(result.lines, Connected({"Named query: 1 records exported to res/q.csv"}));
  EXPECT_EQ(Read("res/q.csv"), "\"one\"\r\n\"1\"\r\n");
}

// ---------------------------------------------------------------------------
// Databases

TEST_F(ExportRunTest, DatabasePerKeyWithDBNameAsDefault) {
  const TVelmoraResult result =
      Run("[Tables]\nB=orders\nmain=v_orders\nnone=clients\n"
          "[Databases]\nb=velmora_console_b\nMAIN=velmora_console\n"
          "[Files]\nB=b.csv\nmain=main.csv\nnone=none.csv\n",
          SocketConnection(""));
  EXPECT_EQ(result.lines,
            Connected({"orders: 1 records exported to b.csv", "v_orders: 2 records exported to main.csv",
                       "clients: No database specified"}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(Read("b.csv"), "\"id\",\"customer\"\r\n\"9\",\"Other\"\r\n");
  EXPECT_FALSE(Exists("none.csv"));
}

// An item whose database cannot be selected must not be read from the database
// the previous item left current.
TEST_F(ExportRunTest, DatabaseThatCannotBeSelectedSkipsTheItem) {
  const TVelmoraResult result =
      Run("[Tables]\n1=orders\n2=orders\n3=clients\n[Databases]\n2=no_such_database\n"
          "[Files]\n1=one.csv\n2=two.csv\n3=three.csv\n");
  EXPECT_EQ(result.lines,
            Connected({"orders: 3 records exported to one.csv", "orders: ERROR: Unknown database 'no_such_database'",
                       "clients: 2 records exported to three.csv"}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(Exists("two.csv"));
}

TEST_F(ExportRunTest, ResultThatCannotBeOpenedEndsTheRun) {
  const TVelmoraResult result = Run("[Tables]\n1=missing_table\n2=clients\n[Files]\nAll=x.csv\n");
  EXPECT_EQ(result.lines, Connected({"missing_table: ERROR: Table 'velmora_console.missing_table' doesn't exist"}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(Exists("clients.csv"));
}

// A server that dies while the rows come in: the run ends on an error line,
// and neither the item's file nor a temporary one appears; the file of an
// earlier run stays as it was. In the streamed mode the rows are read while
// the file is written; in the stored mode while the result is opened.
TEST_F(ExportRunTest, ServerKilledInTheMiddleOfTheRowsEndsTheRunAndKeepsTheEarlierFile) {
  const char* source = std::getenv("VELMORA_SOURCE_DIR");
  if (source == nullptr) GTEST_SKIP() << "VELMORA_SOURCE_DIR is not set";
  const std::string script = std::string(source) + "/tests/support/test_server.sh";
  testsupport::TTempDir server_dir("killed-server");
  const std::string directory = server_dir.File("server");
  ASSERT_EQ(std::system(("bash '" + script + "' start '" + directory + "' >/dev/null").c_str()), 0);
  struct TServerStop {
    std::string command;
    ~TServerStop() { (void)std::system(command.c_str()); }
  } stop{"bash '" + script + "' stop '" + directory + "' >/dev/null 2>&1"};
  ::setenv("VELMORA_KILLED_SERVER_DIR", directory.c_str(), 1);
  const std::optional<testsupport::TTestServer> server = testsupport::FindTestServer("VELMORA_KILLED_SERVER_DIR");
  ASSERT_TRUE(server.has_value());

  Write("rows.csv", "earlier run\r\n");
  // About 2 KB a row and a pause of 10 ms each: the rows come for 30 seconds.
  std::thread killer([&] {
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const std::string pid = testsupport::ReadFile(directory + "/mysqld.pid");
    ::kill(static_cast<pid_t>(std::stol(pid)), SIGKILL);
  });
  const TVelmoraResult result =
      Run("[Queries]\nslow=Slow rows\n[SQL_slow]\n1=select seq, repeat('x', 2000) as pad, sleep(0.01) as pause"
          " from seq_1_to_3000\n[Files]\nslow=rows.csv\n",
          SocketConnection(*server, server->Database));
  killer.join();
  ASSERT_EQ(result.lines.size(), 7U) << result.output;
  EXPECT_EQ(result.lines[6].rfind("Slow rows: ERROR: Lost connection", 0), 0U) << result.lines[6];
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(Read("rows.csv"), "earlier run\r\n");
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"rows.csv", "run.cfg"}));
}

// A person at a terminal sees one line follow a long item, redrawn in place and
// cleared before the item's line; with standard error a pipe (cron, scripts)
// nothing at all is written there.
TEST_F(ExportRunTest, LongItemShowsAProgressLineOnlyOnATerminal) {
  const std::string body =
      "[Queries]\nslow=Slow rows\n[SQL_slow]\n1=select seq, repeat('x', 2000) as pad, sleep(0.004) as pause"
      " from seq_1_to_500\n[Files]\nslow=slow.csv\n";
  Write("run.cfg", SocketConnection() + body);
  const TVelmoraResult shown = consoletest::RunVelmora({"run.cfg"}, dir_.Path(), "C", true);
  EXPECT_EQ(shown.lines, Connected({"Slow rows: 500 records exported to slow.csv"}));
  EXPECT_EQ(shown.exit_status, 0);
  // Stored, the total is known and the time left is shown; streamed, neither.
  const std::regex drawn("\r\x1b\\[KSlow rows: [0-9]+( of 500)? rows(, [0-9]+ rows/s(, [0-9]+:[0-9]{2} left)?)?");
  EXPECT_TRUE(std::regex_search(shown.errors, drawn)) << shown.errors;
  EXPECT_TRUE(shown.errors.ends_with("\r\x1b[K")) << shown.errors;
  EXPECT_EQ(std::regex_replace(shown.errors, drawn, ""), "\r\x1b[K");

  const TVelmoraResult piped = Run(body);
  EXPECT_EQ(piped.lines, shown.lines);
  EXPECT_EQ(piped.errors, "");
}

// ---------------------------------------------------------------------------
// Output files and export types

TEST_F(ExportRunTest, FilesAllGivesDirectoryAndExtensionToItemsWithoutTheirOwn) {
  const TVelmoraResult result =
      Run("[Tables]\n1=clients\nown=orders\n[Files]\nAll=deep/er/x.CSV\nown=own.txt\nOWN=other.csv\n");
  EXPECT_EQ(result.lines, Connected({"clients: 2 records exported to deep/er/clients.CSV",
                                     "orders: 3 records exported to own.txt"}));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(Read("deep/er/clients.CSV"), kClientsCsv);
  EXPECT_NE(Read("own.txt").find("customer"), std::string::npos);
}

TEST_F(ExportRunTest, FilesAllWithoutDirectoryWritesIntoTheCurrentDirectory) {
  const TVelmoraResult result = Run("[Tables]\n1=clients\n[Files]\nAll=x.csv\n");
  EXPECT_EQ(result.lines, Connected({"clients: 2 records exported to clients.csv"}));
  EXPECT_EQ(Read("clients.csv"), kClientsCsv);
}

// Every export type has its exporter: no item is refused for its format.
TEST_F(ExportRunTest, EveryFileEndingFindsItsExporter) {
  const TVelmoraResult result =
      Run("[Tables]\nx=clients\nq=clients\nt=clients\nu=clients\nok=clients\n"
          "[Files]\nq=c.sql\nt=c.tex\nu=c.unknown\nok=ok.slk\n");
  EXPECT_EQ(result.lines, Connected({"clients: 2 records exported to clients.xls",
                                     "clients: 2 records exported to c.sql",
                                     "clients: 2 records exported to c.tex",
                                     "clients: 2 records exported to c.unknown",
                                     "clients: 2 records exported to ok.slk"}));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_TRUE(Exists("c.sql"));
  EXPECT_TRUE(Exists("c.tex"));
}

// Two items naming one file: the second would silently overwrite the first.
// Spellings of one path are one file; devices may be written by every item.
TEST_F(ExportRunTest, SecondItemWithTheSameOutputFileFails) {
  std::filesystem::create_directory(dir_.File("real"));
  std::filesystem::create_directory_symlink("real", dir_.File("link"));
  std::filesystem::create_symlink("/dev/null", dir_.File("null.csv"));
  const TVelmoraResult result =
      Run("[Tables]\n1=clients\n2=orders\n3=orders\n4=orders\n5=orders\n6=clients\n7=orders\n8=orders\n"
          "[Files]\n1=real/c.csv\n2=./real/c.csv\n3=link/c.csv\n4=new/../real/c.csv\n5=" +
          dir_.File("real/c.csv") + "\n6=null.csv\n7=null.csv\n8=real/C.csv\n");
  EXPECT_EQ(
      result.lines,
      Connected({"clients: 2 records exported to real/c.csv",
                 "orders: Output file ./real/c.csv is already used by an earlier item",
                 "orders: Output file link/c.csv is already used by an earlier item",
                 "orders: Output file new/../real/c.csv is already used by an earlier item",
                 "orders: Output file " + dir_.File("real/c.csv") + " is already used by an earlier item",
                 "clients: 2 records exported to null.csv", "orders: 3 records exported to null.csv",
                 "orders: 3 records exported to real/C.csv"}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(Read("real/c.csv"), kClientsCsv);
}

// Every file an item writes is claimed: the pages of a later item overwrote an
// earlier item's p01.html, a memo file an earlier m.dbt, a style sheet an
// earlier CSV, all with exit status 0. No file of a refused item appears; items
// may share a style sheet that they write alike.
TEST_F(ExportRunTest, SideFilesOfALaterItemNeverReplaceAnEarlierItemsFiles) {
  Write("pages.ini", "[HTML]\nFileRecCount=2\n");
  Write("sheet.ini", "[HTML]\nCSS=1\nCSSFile=first.csv\n");
  Write("shared.ini", "[HTML]\nCSS=1\nCSSFile=site.css\n");
  const std::string memo_query = "1=select id, repeat('m', 70000) as memo from orders\n";
  const TVelmoraResult result =
      Run("[Tables]\n1=clients\n2=orders\n3=clients\n4=orders\n5=clients\n6=orders\n"
          "[Queries]\nm1=Memo one\nm2=Memo two\nm3=Memo name\n[SQL_m1]\n" +
          memo_query + "[SQL_m2]\n" + memo_query + "[SQL_m3]\n" + memo_query +
          "[Files]\n1=p01.html\n2=p.html\n3=first.csv\n4=s.html\nm1=m.dbf\nm2=m.DBF\nm3=./m.dbt\n"
          "5=c.html\n6=o.html\n[Templates]\n2=pages.ini\n4=sheet.ini\n5=shared.ini\n6=shared.ini\n");
  EXPECT_EQ(
      result.lines,
      Connected(
          {"clients: 2 records exported to p01.html",
           "orders: Output file p01.html is already used by an earlier item (clients wrote it as "
           "p01.html)",
           "clients: 2 records exported to first.csv",
           "orders: Output file first.csv is already used by an earlier item (clients wrote it as "
           "first.csv)",
           "clients: 2 records exported to c.html", "orders: 3 records exported to o.html",
           "Memo one: 3 records exported to m.dbf",
           "Memo two: Output file m.dbt is already used by an earlier item (Memo one wrote it as m.dbt)",
           "Memo name: Output file ./m.dbt is already used by an earlier item"}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(Read("first.csv"), kClientsCsv);
  EXPECT_NE(Read("p01.html").find("Alpha"), std::string::npos);
  EXPECT_EQ(Read("m.dbt").size() % 512, 0u);
  EXPECT_EQ(dir_.Entries(), (Lines{"c.html", "first.csv", "m.dbf", "m.dbt", "o.html", "p01.html", "pages.ini",
                                   "run.cfg", "shared.ini", "sheet.ini", "site.css"}));
}

// A failed export prints no count line: "0 records exported to FILE" read as
// success to scripts, while no file was written.
TEST_F(ExportRunTest, FailedExportIsReportedWithoutCountLineAndTheRunGoesOn) {
  const TVelmoraResult result =
      Run("[Tables]\n1=clients\n2=clients\n[Files]\n1=/proc/velmora-none/c.csv\n2=c.csv\n");
  EXPECT_EQ(result.lines,
            Connected({"clients: ProcessedData: Directory '/proc/velmora-none' not found and cannot be created",
                       "clients: 2 records exported to c.csv"}));
  EXPECT_EQ(result.exit_status, 1);
}

// An empty result replaces the item's file with an export of no records:
// yesterday's file left in place would pass for today's data.
TEST_F(ExportRunTest, EmptyResultReplacesTheFileWithAnExportOfNoRecords) {
  Write("e.csv", "stale\r\n");
  Write("q.txt", "stale\r\n");
  Write("t.ini", "[HEADER]\n1=Head\n[FOOTER]\n1=Foot\n");
  const TVelmoraResult result =
      Run("[Tables]\n1=empty_table\n[Queries]\nq=No rows\n[SQL_q]\n1=select * from clients where ID > 99\n"
          "[Files]\n1=e.csv\nq=q.txt\n[Templates]\n1=t.ini\n");
  EXPECT_EQ(result.lines, Connected({"empty_table: Dataset is empty", "No rows: Dataset is empty"}));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(Read("e.csv"), "Head,\r\n\"id\"\r\nFoot,\r\n");
  // The caption row alone, padded to the columns' widths.
  const std::string text = Read("q.txt");
  EXPECT_TRUE(std::regex_match(text, std::regex(" *ID NAME +\r\n"))) << text;
}

}  // namespace
}  // namespace velmora
