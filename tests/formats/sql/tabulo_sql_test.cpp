// The SQL script byte for byte: statements, commits, header and footer, safe
// literals, quoted names and CREATE TABLE types that hold the values.
#include "formats/sql/tabulo_sql.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "platform/ini_file.h"
#include "platform/locale_settings.h"
#include "support/expect_error.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::ReadFile;
using testsupport::TTempDir;

// What every script sets first and puts back last.
const std::string kBegin =
    "SET NAMES utf8mb4;\r\n/*!40101 SET @VELMORA_OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='NO_AUTO_VALUE_ON_ZERO' "
    "*/;\r\n";
const std::string kEnd = "/*!40101 SET SQL_MODE=@VELMORA_OLD_SQL_MODE */;\r\n";

std::string Insert(const std::string& values) {
  return "INSERT INTO ORDERS\r\n  (ID,NAME)\r\nVALUES(" + values + ");\r\n\r\n";
}

class SqlExportTest : public testsupport::TFileExportTest<TTabuloSQL> {
 protected:
  SqlExportTest() : TFileExportTest("sql", "script.sql") { exporter_.TableName = "ORDERS"; }

  void IdAndName(const std::vector<TMemoryDataSet::TRecord>& records) {
    TFileExportTest::IdAndName(records, 0, 20);
  }
};

TEST_F(SqlExportTest, HeaderThenSessionSettingsThenOneInsertPerRecordThenSettingsBackThenFooter) {
  IdAndName({{"7", "Smith"}});
  exporter_.Header = {"-- orders"};
  exporter_.Footer = {"-- end"};
  EXPECT_EQ(Export(), "-- orders\r\n" + kBegin + Insert("7,'Smith'") + kEnd + "-- end\r\n");
  // The time zone the TIMESTAMP values were read in, while the script runs.
  exporter_.TimeZone = "+05:00";
  EXPECT_EQ(Export(), "-- orders\r\n" + kBegin +
                          "/*!40103 SET @VELMORA_OLD_TIME_ZONE=@@TIME_ZONE, TIME_ZONE='+05:00' */;\r\n" +
                          Insert("7,'Smith'") + "/*!40103 SET TIME_ZONE=@VELMORA_OLD_TIME_ZONE */;\r\n" +
                          kEnd + "-- end\r\n");
}

TEST_F(SqlExportTest, CommitsAfterEveryNthRecordAndAfterTheScript) {
  IdAndName({{"1", "a"}, {"2", "b"}, {"3", "c"}, {"4", "d"}, {"5", "e"}});
  exporter_.CommitRecCount = 2;
  exporter_.CommitAfterScript = true;
  exporter_.StatementTerm = '/';
  const std::string commit = "COMMIT WORK;\r\n";
  auto insert = [](const std::string& values) {
    return "INSERT INTO ORDERS\r\n  (ID,NAME)\r\nVALUES(" + values + ")/\r\n\r\n";
  };
  EXPECT_EQ(Export(), kBegin + insert("1,'a'") + insert("2,'b'") + commit + "\r\n" + insert("3,'c'") +
                          insert("4,'d'") + commit + "\r\n" + insert("5,'e'") + commit + kEnd);
}

// Records go several to a statement, each on a line of its own; a statement
// ends early where the next record would take it past the byte limit, or a
// commit falls due.
TEST_F(SqlExportTest, RowsPerInsertGroupsRecordsWithinTheByteLimitAndTheCommits) {
  IdAndName({{"1", "a"}, {"2", "b"}, {"3", std::string(1000, 'c')}, {"4", "d"}, {"5", "e"}});
  const std::string start = "INSERT INTO ORDERS\r\n  (ID,NAME)\r\nVALUES";
  const std::string c = "(3,'" + std::string(1000, 'c') + "')";
  const std::string commit = "COMMIT WORK;\r\n\r\n";
  const struct {
    int RowsPerInsert;
    std::int64_t MaxStatementBytes;
    int CommitRecCount;
    std::string Statements;
  } cases[] = {
      {2, 1 << 20, 0,
       start + "(1,'a'),\r\n(2,'b');\r\n\r\n" + start + c + ",\r\n(4,'d');\r\n\r\n" + start +
           "(5,'e');\r\n\r\n"},
      {10, 1 << 20, 0, start + "(1,'a'),\r\n(2,'b'),\r\n" + c + ",\r\n(4,'d'),\r\n(5,'e');\r\n\r\n"},
      // The long record would pass 1,024 bytes with the two before it.
      {10, 1024, 0,
       start + "(1,'a'),\r\n(2,'b');\r\n\r\n" + start + c + ";\r\n\r\n" + start +
           "(4,'d'),\r\n(5,'e');\r\n\r\n"},
      {10, 1 << 20, 3,
       start + "(1,'a'),\r\n(2,'b'),\r\n" + c + ";\r\n\r\n" + commit + start +
           "(4,'d'),\r\n(5,'e');\r\n\r\n"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(testing::Message() << test.RowsPerInsert << " " << test.MaxStatementBytes);
    exporter_.RowsPerInsert = test.RowsPerInsert;
    exporter_.MaxStatementBytes = test.MaxStatementBytes;
    exporter_.CommitRecCount = test.CommitRecCount;
    EXPECT_EQ(Export(), kBegin + test.Statements + kEnd);
  }
}

TEST_F(SqlExportTest, EmptyCommitStatementWritesNoCommit) {
  IdAndName({{"1", "a"}, {"2", "b"}});
  exporter_.CommitRecCount = 1;
  exporter_.CommitAfterScript = true;
  exporter_.CommitStatement = "";
  EXPECT_EQ(Export(), kBegin + Insert("1,'a'") + Insert("2,'b'") + kEnd);
}

// A refused template leaves every setting as it was, even the keys before the
// refused one.
TEST_F(SqlExportTest, TemplateRefusingAKeyChangesNoSetting) {
  const struct {
    const char* Template;
    const char* Error;
  } cases[] = {
      {"[SQL]\nTableName=T2\nCreateTable=1\nStatementTerm=\\\\\n",
       "Invalid value \"\\\\\" for StatementTerm in [SQL]: quotes, # and backslashes do not end a statement"},
      {"[SQL]\nTableName=T2\nStatementTerm=#\n",
       "Invalid value \"#\" for StatementTerm in [SQL]: quotes, # and backslashes do not end a statement"},
      {"[SQL]\nTableName=T2\nStatementTerm='x\n",
       "Invalid value \"'x\" for StatementTerm in [SQL]: quotes, # and backslashes do not end a statement"},
      {"[SQL]\nTableName=T2\nRowsPerInsert=0\n",
       "Invalid value \"0\" for RowsPerInsert in [SQL]: a statement holds one record at least"},
      {"[SQL]\nTableName=T2\nMaxStatementBytes=1000\n",
       "Invalid value \"1000\" for MaxStatementBytes in [SQL]: a statement may take 1024 bytes at least"},
      {"[SQL]\nTableName=T2\nMaxStatementBytes=4X\n",
       "Invalid value \"4X\" for MaxStatementBytes in [SQL]: give a number of bytes, with K, M or G for KiB, "
       "MiB or GiB"},
  };
  for (const auto& test_case : cases) {
    SCOPED_TRACE(test_case.Template);
    EXPECT_VELMORA_ERROR(exporter_.ReadFormatSections(TIniFile::FromText(test_case.Template), data_),
                         test_case.Error);
    EXPECT_EQ(exporter_.TableName, "ORDERS");
    EXPECT_FALSE(exporter_.CreateTable);
    EXPECT_EQ(exporter_.StatementTerm, ';');
  }
  exporter_.ReadFormatSections(
      TIniFile::FromText(
          "[SQL]\nCommitRecCount=3\nStatementTerm=//\nRowsPerInsert=500\nMaxStatementBytes=64K\n"),
      data_);
  EXPECT_EQ(exporter_.CommitRecCount, 3);
  EXPECT_EQ(exporter_.RowsPerInsert, 500);
  EXPECT_EQ(exporter_.MaxStatementBytes, 65536);
  EXPECT_EQ(exporter_.StatementTerm, '/');
  EXPECT_EQ(exporter_.TableName, "ORDERS");
  // Without a table name set, the item's name is the default.
  exporter_.TableName = "";
  exporter_.Name = "item";
  exporter_.ReadFormatSections(TIniFile::FromText(""), data_);
  EXPECT_EQ(exporter_.TableName, "item");
}

TEST_F(SqlExportTest, CreateTableNeedsATableName) {
  IdAndName({{"1", "a"}});
  exporter_.CreateTable = true;
  exporter_.TableName = "";
  EXPECT_EQ(Export(), kBegin + "INSERT INTO \r\n  (ID,NAME)\r\nVALUES(1,'a');\r\n\r\n" + kEnd);
}

// Two values that, joined without escapes, would end the statement and drop a table.
TEST_F(SqlExportTest, StringLiteralsEscapeBackslashesAndControls) {
  data_.AddField("A", ftString, 40);
  data_.AddField("B", ftString, 40);
  data_.AppendRecord({"\\", ",1);DROP TABLE W;-- "});
  data_.AppendRecord({std::string("O'Neil\0\r\n", 9), std::nullopt});
  exporter_.Formats.SetNullString("nothing");
  const std::string script = Export();
  EXPECT_NE(script.find("VALUES('\\\\',',1);DROP TABLE W;-- ');"), std::string::npos) << script;
  EXPECT_NE(script.find("VALUES('O''Neil\\0\\r\\n',NULL);"), std::string::npos) << script;
}

TEST_F(SqlExportTest, NumbersThatAreNoLiteralsAndBinaryDataAreQuotedOrHex) {
  data_.AddField("N", ftFloat);
  data_.AddField("BIN", ftBlob);
  data_.AddField("T", ftString, 10);
  data_.AppendRecord({"1);DROP TABLE W;--", std::string("\x00\xFF", 2),
                      "a\xFF"
                      "b"});
  data_.AppendRecord({"-1.5e-300", "", "é"});
  exporter_.ExportedFields = {"N", "BIN", "T"};
  const std::string script = Export();
  EXPECT_NE(script.find("VALUES('1);DROP TABLE W;--',0x00FF,0x61FF62);"), std::string::npos) << script;
  EXPECT_NE(script.find("VALUES(-1.5e-300,'','é');"), std::string::npos) << script;
}

// Text of a number column that only looked like a number went out bare: "e5"
// named a column and "1.2.3" or "1e" broke the statement.
TEST_F(SqlExportTest, NumberTextTheServerCannotReadIsQuoted) {
  data_.AddField("N", ftFloat);
  for (const char* text : {"e5", "1.2.3", "1e", "-", "+.5", "5.", "007", "1E+05", ".", "1e+", "--1", "-12"}) {
    data_.AppendRecord({text});
  }
  exporter_.ExportedFields = {"N"};
  const std::string script = Export();
  for (const char* expected : {"('e5')", "('1.2.3')", "('1e')", "('-')", "(+.5)", "(5.)", "(007)", "(1E+05)",
                               "('.')", "('1e+')", "('--1')", "(-12)"}) {
    EXPECT_NE(script.find(std::string("VALUES") + expected + ";"), std::string::npos) << expected << script;
  }
}

// A row handler reads the row's texts and may leave a record out; the texts
// it gives the row do not reach the script, which carries the source's values.
TEST_F(SqlExportTest, RowHandlersChooseRecordsButTheScriptKeepsTheSourceValues) {
  data_.AddField("ID", ftInteger);
  data_.AddField("AT", ftDate);
  data_.AppendRecord({"1", "2024-03-05"});
  data_.AppendRecord({"2", "2024-03-06"});
  data_.AppendRecord({"3", "0000-00-00"});
  std::vector<std::string> seen;
  exporter_.OnBeforeExportRow = [&](TTabulo&, TTabuloRow& row, bool& accept) {
    seen.push_back(row[1].Data);
    accept = row[0].Data != "2";
    row[0].Data = "99";
    row[1].Data = "changed";
  };
  EXPECT_EQ(Export(), kBegin + "INSERT INTO ORDERS\r\n  (ID,AT)\r\nVALUES(1,'2024-03-05');\r\n\r\n" +
                          "INSERT INTO ORDERS\r\n  (ID,AT)\r\nVALUES(3,'0000-00-00');\r\n\r\n" + kEnd);
  EXPECT_EQ(seen, (std::vector<std::string>{"2024-03-05", "2024-03-06", "0000-00-00"}));
}

TEST_F(SqlExportTest, CreateTableTypesHoldTheValues) {
  data_.AddField("ID", ftInteger);
  data_.AddField("order", ftLargeint);
  data_.AddField("AMOUNT", ftFloat);
  data_.AddField("first name", ftString, 5);
  data_.AddField("AT", ftDateTime);
  data_.AppendRecord({"1", "18446744073709551615", "-12345.678", "  padded  ", "2004-02-29 12:34:56.123"});
  data_.AppendRecord({"2147483647", "0", "0.5", std::nullopt, "0000-00-00 00:00:00"});
  exporter_.CreateTable = true;
  exporter_.TableName = "my table";
  const std::string script = Export();
  EXPECT_EQ(script.substr(0, script.find("INSERT")),
            kBegin +
                "CREATE TABLE `my table`(\r\n  ID  INTEGER,\r\n  `order`  BIGINT UNSIGNED,\r\n"
                "  AMOUNT  DECIMAL(8,3),\r\n  `first name`  VARCHAR(10) CHARACTER SET utf8mb4,\r\n"
                "  AT  DATETIME(3));\r\n\r\n");
  EXPECT_NE(script.find("INSERT INTO `my table`\r\n  (ID,`order`,AMOUNT,`first name`,AT)\r\n"),
            std::string::npos);
}

// Fields that tell their source's declaration keep it, whatever the values
// exported: a DOUBLE stays DOUBLE (a value fitted to the rows would clip a
// later one), a column keeps its character set, binary data stays binary.
TEST_F(SqlExportTest, CreateTableTakesTheTypesTheSourceDeclares) {
  struct TDeclared {
    const char* name;
    TFieldType type;
    TSourceColumnType source;
  } const declared[] = {
      {"f", ftFloat, {"double", "", ""}},
      {"d", ftFloat, {"decimal(10,3)", "", ""}},
      {"u", ftLargeint, {"int(10) unsigned", "", ""}},
      {"t", ftString, {"varchar(10)", "koi8r", "koi8r_bin"}},
      {"ts", ftDateTime, {"timestamp(3)", "", ""}},
      {"b", ftString, {"varbinary(4)", "", ""}},
      {"g", ftBlob, {"geometry", "", ""}},
      {"yn", ftBoolean, {"enum('y','n')", "latin1", "latin1_swedish_ci"}},
  };
  for (const TDeclared& column : declared)
    data_.AddField(column.name, column.type).SourceType = column.source;
  data_.Field(5).ValueKind = vkBinary;
  data_.Field(6).ValueKind = vkBinary;
  data_.AppendRecord(
      {"0.5", "1.500", "7", "x", "2004-02-29 12:34:56.123", "abc", std::string("\0\1", 2), "n"});
  exporter_.CreateTable = true;
  const std::string script = Export();
  EXPECT_EQ(script.substr(0, script.find("INSERT")),
            kBegin +
                "CREATE TABLE ORDERS(\r\n  f  double,\r\n  d  decimal(10,3),\r\n  u  int(10) unsigned,\r\n"
                "  t  varchar(10) CHARACTER SET koi8r COLLATE koi8r_bin,\r\n  ts  timestamp(3) NULL,\r\n"
                "  b  varbinary(4),\r\n  g  geometry,\r\n"
                "  yn  enum('y','n') CHARACTER SET latin1 COLLATE latin1_swedish_ci);\r\n\r\n");
  // Every column by default, the geometry too; binary data in hexadecimal,
  // the enumeration's own text rather than a Boolean word.
  EXPECT_NE(script.find("VALUES(0.5,1.500,7,'x','2004-02-29 12:34:56.123',0x616263,0x0001,'n');"),
            std::string::npos)
      << script;
}

TEST_F(SqlExportTest, VarcharsBeyondTheRowRoomBecomeTextOfTheirCharacterSet) {
  data_.AddField("a", ftString).SourceType = {"varchar(16000)", "utf8mb4", ""};
  data_.AddField("b", ftString).SourceType = {"varchar(1000)", "latin1", "latin1_bin"};
  data_.AddField("c", ftString).SourceType = {"varchar(30000)", "latin1", ""};
  data_.AppendRecord({"x", "y", "z"});
  exporter_.CreateTable = true;
  const std::string script = Export();
  EXPECT_NE(script.find("  a  varchar(16000) CHARACTER SET utf8mb4,\r\n  b  varchar(1000) CHARACTER SET "
                        "latin1 COLLATE latin1_bin,\r\n  c  text CHARACTER SET latin1);"),
            std::string::npos)
      << script;
}

// Names the server would refuse as one table's columns: the same twice, the
// same but for letter case, empty, ending in a blank.
TEST_F(SqlExportTest, ColumnNamesAreMadeDistinctAsTheServerComparesThem) {
  for (const char* name : {"id", "id", "a", "A", "", "b ", "id_2"}) data_.AddField(name, ftInteger);
  data_.AppendRecord({"1", "2", "3", "4", "5", "6", "7"});
  exporter_.CreateTable = true;
  const std::string script = Export();
  EXPECT_NE(script.find("INSERT INTO ORDERS\r\n  (id,id_3,a,A_2,_,b,id_2)\r\n"), std::string::npos) << script;
  EXPECT_NE(script.find("(\r\n  id  INTEGER,\r\n  id_3  INTEGER,\r\n  a  INTEGER,\r\n  A_2  INTEGER,"),
            std::string::npos)
      << script;
  EXPECT_EQ(SqlColumnNames({std::string(70, 'x'), "Ab", "aB"}),
            (std::vector<std::string>{std::string(64, 'x'), "Ab", "aB_2"}));
}

TEST(SqlColumnTypeTest, IntegersWidenToTheLargestValue) {
  TTabuloColumn column;
  column.ColumnType = ctLargeInt;
  column.SQLType = "INTEGER";
  struct TCase {
    std::vector<std::string> values;
    std::string expected;
  } const cases[] = {
      {{"2147483647", "-2147483648"}, "INTEGER"},
      {{"2147483648"}, "BIGINT"},
      {{"-2147483649"}, "BIGINT"},
      {{"9223372036854775807", "-9223372036854775808"}, "BIGINT"},
      {{"9223372036854775808"}, "BIGINT UNSIGNED"},
      {{"18446744073709551616"}, "DECIMAL(20,0)"},
      {{"-9223372036854775809"}, "DECIMAL(19,0)"},
      {{"0007"}, "INTEGER"},
  };
  for (const TCase& test : cases) {
    TSqlValueExtent extent;
    for (const std::string& value : test.values) extent.Add(column, value);
    EXPECT_EQ(SqlColumnType(column, extent, true), test.expected) << test.values[0];
  }
}

TEST(SqlColumnTypeTest, TextBeyondVarcharOrRowRoomBecomesText) {
  TMemoryDataSet data;
  TTabuloColumn column;
  column.Field = &data.AddField("T", ftString, 20);
  column.ColumnType = ctString;
  TSqlValueExtent extent;
  extent.Add(column, std::string(16383, 'x'));
  EXPECT_EQ(SqlColumnType(column, extent, true), "VARCHAR(16383) CHARACTER SET utf8mb4");
  EXPECT_EQ(SqlColumnType(column, extent, false), "TEXT CHARACTER SET utf8mb4");
  extent.Add(column, std::string(70000, 'x'));
  EXPECT_EQ(SqlColumnType(column, extent, true), "MEDIUMTEXT CHARACTER SET utf8mb4");
}

TEST(SqlNameTest, NamesAreQuotedOnlyWhenTheyNeedIt) {
  struct TCase {
    std::string name, expected;
  } const cases[] = {
      {"ORDERS", "ORDERS"},       {"_x1", "_x1"},     {"order", "`order`"},
      {"Select", "`Select`"},     {"1e5", "`1e5`"},   {"a b", "`a b`"},
      {"a`b", "`a``b`"},          {"名前", "`名前`"}, {"", "``"},
      {"count(*)", "`count(*)`"},
  };
  for (const TCase& test : cases) {
    std::string out;
    AppendSqlName(out, test.name);
    EXPECT_EQ(out, test.expected) << test.name;
  }
}

}  // namespace
}  // namespace velmora
