// DBF and LaTeX items end to end against the server: a table with a memo
// column, a zero date and a time beyond the clock, read back by the dBASE
// reader; a query with LaTeX's special characters compiled by the TeX compiler.
#include <gtest/gtest.h>

#include <string>

#include "console_support.h"

namespace velmora {
namespace {

using consoletest::TVelmoraResult;

class DbfLaTeXRunTest : public consoletest::ConsoleServerTest {};

TEST_F(DbfLaTeXRunTest, TableWithMemoBecomesTableAndMemoFile) {
  if (testsupport::RunCommand({"/usr/bin/python3", "-c", "import dbfread"}).exit_status != 0) {
    GTEST_SKIP() << "python3-dbfread is not installed";
  }
  testsupport::RunSql(*server_,
                      "CREATE DATABASE IF NOT EXISTS velmora_dbf; USE velmora_dbf; SET SESSION sql_mode='';"
                      "CREATE TABLE w (customer_name_first VARCHAR(3), customer_name_last VARCHAR(4), "
                      "note MEDIUMTEXT, born DATE, took TIME, amount DECIMAL(65,30), big BIGINT UNSIGNED);"
                      "INSERT INTO w VALUES ('日本', 'Null', REPEAT('m', 70000), '0000-00-00', '838:59:59', "
                      "1.5, 18446744073709551615), (NULL, NULL, NULL, '2004-02-29', NULL, NULL, NULL);");
  const TVelmoraResult result =
      Run("[Tables]\nw=w\n[Databases]\nw=velmora_dbf\n[Files]\nw=out/w.dbf\n", SocketConnection("velmora_dbf"));
  EXPECT_EQ(result.lines, Connected({"w: 2 records exported to out/w.dbf"}));
  ASSERT_TRUE(Exists("out/w.dbt"));
  const auto read = testsupport::RunCommand(
      {"/usr/bin/python3", "-c",
       "import sys, dbfread\n"
       "t = dbfread.DBF(sys.argv[1], encoding='utf-8', char_decode_errors='strict')\n"
       "print(len(t), t.field_names)\n"
       "for r in t: print([len(v) if isinstance(v, str) and len(v) > 100 else v for v in r.values()])\n",
       dir_.File("out/w.dbf")});
  EXPECT_EQ(read.output,
            "2 ['CUSTOMER_N', 'CUSTOMER_1', 'NOTE', 'BORN', 'TOOK', 'AMOUNT', 'BIG']\n"
            "['日本', 'Null', 70000, None, '838:59:59', 1.5, 18446744073709551615]\n"
            "['', '', None, datetime.date(2004, 2, 29), '', 0.0, None]\n");
  testsupport::RunSql(*server_, "DROP DATABASE velmora_dbf");
}

TEST_F(DbfLaTeXRunTest, QueryOfSpecialCharactersCompiles) {
  const std::string pdflatex = testsupport::FindExecutable("pdflatex");
  if (pdflatex.empty()) GTEST_SKIP() << "pdflatex is not installed";
  const TVelmoraResult result =
      Run("[Queries]\nq=Special\n[SQL_q]\n"
          "1=select 1 as n, 'C:\\\\temp\\\\' as v union all select 2, 'ends in ^' "
          "union all select 3, '50% & {more} ~ #_$'\n"
          "[Files]\nq=out/q.tex\n");
  EXPECT_EQ(result.lines, Connected({"Special: 3 records exported to out/q.tex"}));
  const auto compiled = testsupport::RunCommand({"timeout", "120", pdflatex, "-interaction=nonstopmode",
                                                 "-halt-on-error", "-output-directory", dir_.File("out"),
                                                 dir_.File("out/q.tex")},
                                                150);
  EXPECT_EQ(compiled.exit_status, 0) << compiled.output;
  EXPECT_NE(Read("out/q.tex").find("C:\\textbackslash{}te\\penalty1000\\relax mp\\textbackslash{}\r\n\\\\\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace velmora
