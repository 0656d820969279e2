#include "mysql/field_mapping.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

struct TTypeTextCase {
  const char* type_text;
  TFieldType data_type;
  int size;
};

TEST(MapTypeText, FollowsTheTypeTextRules) {
  const TTypeTextCase cases[] = {
      {"int(11)", ftLargeint, 0},
      {"int(10) unsigned", ftLargeint, 0},
      {"bigint(20) unsigned", ftLargeint, 0},
      {"int(9)", ftInteger, 0},
      {"tinyint(4)", ftInteger, 0},
      {"smallint(5) unsigned", ftInteger, 0},
      {"mediumint(9)", ftInteger, 0},
      {"int", ftInteger, 0},
      {"year(4)", ftInteger, 0},
      {"double", ftFloat, 0},
      {"float(7,3)", ftFloat, 0},
      {"decimal(65,30)", ftFloat, 0},
      {"char(10)", ftString, 10},
      {"varchar(20)", ftString, 20},
      {"char", ftString, 50},
      {"date", ftDate, 0},
      {"datetime", ftDateTime, 0},
      {"time", ftTime, 0},
      {"timestamp", ftDateTime, 0},
      {"longblob", ftBlob, 0},
      {"mediumtext", ftMemo, 0},
      {"geometry", ftBlob, 0},
      {"set('a','b')", ftString, 8},
      {"enum('a','bb','it''s')", ftString, 4},
      {"enum('ä','日本語')", ftString, 3},
      {"binary(16)", ftUnknown, 0},
      {"bit(8)", ftUnknown, 0},
  };
  for (const TTypeTextCase& item : cases) {
    const TTypeTextMapping mapping = MapTypeText(item.type_text, false);
    EXPECT_EQ(mapping.DataType, item.data_type) << item.type_text;
    EXPECT_EQ(mapping.Size, item.size) << item.type_text;
  }
  EXPECT_EQ(MapTypeText("decimal(10,2)", false).Decimals, 2);
  EXPECT_EQ(MapTypeText("double", false).Decimals, 4);
  EXPECT_TRUE(MapTypeText("decimal(10,2)", false).ExactDecimal);
  EXPECT_FALSE(MapTypeText("double(10,2)", false).ExactDecimal);
}

// A result column without a table column of its own (an expression, a
// union) is declared from its description: the figures are the server's for
// the expressions in the comments, read over a utf8mb4 connection.
TEST(ResultColumnTypeText, DeclaresATypeThatHoldsEveryValueOfTheDescription) {
  constexpr unsigned kNumber = 63;
  constexpr unsigned kText = 45;
  const struct {
    TResultColumnMetadata metadata;
    const char* expected;
  } cases[] = {
      {{mtNewDecimal, 4, 1, 0, kNumber, 4}, "decimal(2,1)"},  // 1.5
      {{mtNewDecimal, 5, 2, 0, kNumber, 4}, "decimal(3,2)"},  // -1.25
      {{mtNewDecimal, 20, 0, kMySqlUnsignedFlag, kNumber, 4}, "decimal(20,0) unsigned"},
      {{mtDouble, 22, 31, 0, kNumber, 4}, "double"},       // 1e3
      {{mtDouble, 24, 2, 0, kNumber, 4}, "double(24,2)"},  // round(double, 2)
      {{mtLong, 10, 0, kMySqlUnsignedFlag, kNumber, 4}, "int(10) unsigned"},
      {{mtTiny, 3, 0, kMySqlUnsignedFlag | kMySqlZerofillFlag, kNumber, 4}, "tinyint(3) unsigned zerofill"},
      {{mtTimestamp, 23, 3, 0, kNumber, 4}, "timestamp(3)"},
      {{mtDateTime, 26, 6, 0, kNumber, 4}, "datetime(6)"},  // now(6)
      {{mtBit, 5, 0, kMySqlUnsignedFlag, kNumber, 4}, "bit(5)"},
      {{mtVarString, 44, 39, 0, kText, 4}, "varchar(11)"},  // concat(varchar(10), 'x')
      {{mtString, 12, 0, 0, kText, 4}, "char(3)"},
      {{mtVarString, 5, 0, kMySqlBinaryFlag, kNumber, 4}, "varbinary(5)"},
      {{mtBlob, 65535, 0, kMySqlBinaryFlag, kNumber, 4}, "blob"},
      {{mtBlob, 262140, 0, 0, kText, 4}, "mediumtext"},       // a TEXT column, 4 bytes a character
      {{mtVarString, 262140, 0, 0, kText, 4}, "mediumtext"},  // group_concat beyond a VARCHAR
      {{mtGeometry, 4294967295, 0, kMySqlBinaryFlag, kNumber, 4}, "geometry"},
      {{mtNull, 0, 0, 0, kNumber, 4}, "binary(0)"},  // select null
      {{200, 0, 0, 0, kNumber, 4}, "longblob"},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(ResultColumnTypeText(test.metadata), test.expected) << test.expected;
  }
  EXPECT_EQ(CollationCharacterSet("latin1_swedish_ci"), "latin1");
  EXPECT_EQ(CollationCharacterSet("binary"), "binary");
}

TEST(MapTypeText, AlternativeViewMakesYesNoEnumerationsBoolean) {
  EXPECT_EQ(MapTypeText("enum('Y','N')", true).DataType, ftBoolean);
  EXPECT_EQ(MapTypeText("enum('f','t')", true).DataType, ftBoolean);
  EXPECT_EQ(MapTypeText("enum('y','n')", false).DataType, ftString);
  EXPECT_EQ(MapTypeText("enum('y','n','x')", true).DataType, ftString);
}

// Regressions: a bare "int unsigned" was a 32-bit field; "point" and a SET
// whose values contain "int" or "text" matched the integer and memo rules;
// DATETIME(6) and TIME(3) had no type at all.
TEST(MapTypeText, TypeNamesDecideNotTheirArguments) {
  EXPECT_EQ(MapTypeText("int unsigned", false).DataType, ftLargeint);
  EXPECT_EQ(MapTypeText("point", false).DataType, ftBlob);
  EXPECT_EQ(MapTypeText("multipolygon", false).DataType, ftBlob);
  EXPECT_EQ(MapTypeText("set('print','text')", false).DataType, ftString);
  EXPECT_EQ(MapTypeText("datetime(6)", false).DataType, ftDateTime);
  EXPECT_EQ(MapTypeText("time(3)", false).DataType, ftTime);
}

TEST(MapResultColumnType, FollowsTheTypeCodes) {
  constexpr unsigned int kText = 45;  // utf8mb4_general_ci
  EXPECT_EQ(MapResultColumnType(mtTiny, 0, kMySqlBinaryCharset), ftInteger);
  EXPECT_EQ(MapResultColumnType(mtYear, 0, kMySqlBinaryCharset), ftInteger);
  EXPECT_EQ(MapResultColumnType(mtShort, kMySqlAutoIncrementFlag, kMySqlBinaryCharset), ftAutoInc);
  EXPECT_EQ(MapResultColumnType(mtLongLong, 0, kMySqlBinaryCharset), ftLargeint);
  EXPECT_EQ(MapResultColumnType(mtLong, kMySqlAutoIncrementFlag, kMySqlBinaryCharset), ftAutoInc);
  EXPECT_EQ(MapResultColumnType(mtBit, 0, kMySqlBinaryCharset), ftLargeint);
  EXPECT_EQ(MapResultColumnType(mtDouble, 0, kMySqlBinaryCharset), ftFloat);
  // DECIMAL of current servers
  EXPECT_EQ(MapResultColumnType(mtNewDecimal, 0, kMySqlBinaryCharset), ftFloat);
  EXPECT_EQ(MapResultColumnType(mtNewDate, 0, kMySqlBinaryCharset), ftDate);
  EXPECT_EQ(MapResultColumnType(mtTime, 0, kMySqlBinaryCharset), ftTime);
  EXPECT_EQ(MapResultColumnType(mtDateTime, 0, kMySqlBinaryCharset), ftDateTime);
  EXPECT_EQ(MapResultColumnType(mtTimestamp, 0, kMySqlBinaryCharset), ftString);
  EXPECT_EQ(MapResultColumnType(mtVarString, 0, kText), ftString);
  // Large objects: the character set tells binary data from text, whatever
  // the binary flag (set for text in a binary collation too) says.
  EXPECT_EQ(MapResultColumnType(mtBlob, 128, kMySqlBinaryCharset), ftBlob);
  EXPECT_EQ(MapResultColumnType(mtBlob, 128, 46), ftMemo);
  EXPECT_EQ(MapResultColumnType(mtMediumBlob, 0, kText), ftMemo);
}

TEST(DefaultDisplayWidth, DependsOnTheType) {
  EXPECT_EQ(DefaultDisplayWidth(ftString, 37), 37);
  EXPECT_EQ(DefaultDisplayWidth(ftLargeint, 0), 15);
  EXPECT_EQ(DefaultDisplayWidth(ftAutoInc, 0), 15);
  EXPECT_EQ(DefaultDisplayWidth(ftDateTime, 0), 18);
  EXPECT_EQ(DefaultDisplayWidth(ftBoolean, 0), 5);
  EXPECT_EQ(DefaultDisplayWidth(ftMemo, 0), 10);
}

}  // namespace
}  // namespace velmora
