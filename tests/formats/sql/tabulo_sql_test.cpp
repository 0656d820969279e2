// The SQL script byte for byte: statements, commits, header and footer, safe
// literals, quoted names and CREATE TABLE types that hold the values.
#include "formats/sql/tabulo_sql.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "platform/locale_settings.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::ReadFile;
using testsupport::TTempDir;

std::string Insert(const std::string& values) {
  return "INSERT INTO ORDERS\r\n  (ID,NAME)\r\nVALUES(" + values + ");\r\n\r\n";
}

class SqlExportTest : public testsupport::TFileExportTest<TTabuloSQL> {
 protected:
  SqlExportTest() : TFileExportTest("sql", "script.sql") { exporter_.TableName = "ORDERS"; }

  void IdAndName(const std::vector<TMemoryDataSet::TRecord>& records) {
    data_.AddField("ID", ftInteger);
    data_.AddField("NAME", ftString, 20);
    for (const auto& record : records) data_.AppendRecord(record);
  }
};

TEST_F(SqlExportTest, HeaderThenCharacterSetThenOneInsertPerRecordThenFooter) {
  IdAndName({{"7", "Smith"}});
  exporter_.Header = {"-- orders"};
  exporter_.Footer = {"-- end"};
  EXPECT_EQ(Export(), "-- orders\r\nSET NAMES utf8mb4;\r\n" + Insert("7,'Smith'") + "-- end\r\n");
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
  EXPECT_EQ(Export(), "SET NAMES utf8mb4;\r\n" + insert("1,'a'") + insert("2,'b'") + commit + "\r\n" +
                          insert("3,'c'") + insert("4,'d'") + commit + "\r\n" + insert("5,'e'") + commit);
}

TEST_F(SqlExportTest, EmptyCommitStatementWritesNoCommit) {
  IdAndName({{"1", "a"}, {"2", "b"}});
  exporter_.CommitRecCount = 1;
  exporter_.CommitAfterScript = true;
  exporter_.CommitStatement = "";
  EXPECT_EQ(Export(), "SET NAMES utf8mb4;\r\n" + Insert("1,'a'") + Insert("2,'b'"));
}

TEST_F(SqlExportTest, CreateTableNeedsATableName) {
  IdAndName({{"1", "a"}});
  exporter_.CreateTable = true;
  exporter_.TableName = "";
  EXPECT_EQ(Export(), "SET NAMES utf8mb4;\r\nINSERT INTO \r\n  (ID,NAME)\r\nVALUES(1,'a');\r\n\r\n");
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
  EXPECT_EQ(
      script.substr(0, script.find("INSERT")),
      "SET NAMES utf8mb4;\r\nCREATE TABLE `my table`(\r\n  ID  INTEGER,\r\n  `order`  BIGINT UNSIGNED,\r\n"
      "  AMOUNT  DECIMAL(8,3),\r\n  `first name`  VARCHAR(10) CHARACTER SET utf8mb4,\r\n"
      "  AT  DATETIME(3));\r\n\r\n");
  EXPECT_NE(script.find("INSERT INTO `my table`\r\n  (ID,`order`,AMOUNT,`first name`,AT)\r\n"),
            std::string::npos);
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
