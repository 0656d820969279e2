#include <gmock/gmock.h>

#include <map>
#include <utility>

#include "connected_test.h"
#include "support/test_files.h"
#include "engine/tabulo_columns.h"
#include "engine/tabulo_formats.h"
#include "mysql/statement_text.h"
#include "platform/utf8.h"
#include "platform/value_format.h"

namespace velmora {
namespace {

using testsupport::FromHex;
using testsupport::TSqlRow;

// One table with every column type, filled with the smallest and largest
// values, NULLs, zero dates and awkward text.
const char* const kAllTypesFixture = R"sql(
SET SESSION sql_mode = 'ALLOW_INVALID_DATES';
SET SESSION time_zone = '+00:00';
DROP TABLE IF EXISTS all_types;
CREATE TABLE all_types (
  id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  c_tinyint TINYINT, c_tinyint_u TINYINT UNSIGNED, c_smallint SMALLINT, c_smallint_u SMALLINT UNSIGNED,
  c_mediumint MEDIUMINT, c_mediumint_u MEDIUMINT UNSIGNED, c_int INT, c_int_u INT UNSIGNED, c_int9 INT(9),
  c_bigint BIGINT, c_bigint_u BIGINT UNSIGNED,
  c_decimal DECIMAL(65,30), c_decimal2 DECIMAL(10,2), c_float FLOAT, c_double DOUBLE,
  c_date DATE, c_time TIME, c_time3 TIME(3), c_datetime DATETIME, c_datetime6 DATETIME(6),
  c_timestamp TIMESTAMP NULL DEFAULT NULL, c_timestamp3 TIMESTAMP(3) NULL DEFAULT NULL, c_year YEAR,
  c_char CHAR(10), c_varchar VARCHAR(20), c_tinytext TINYTEXT, c_text TEXT, c_mediumtext MEDIUMTEXT,
  c_longtext LONGTEXT, c_binary BINARY(4), c_varbinary VARBINARY(10), c_tinyblob TINYBLOB, c_blob BLOB,
  c_mediumblob MEDIUMBLOB, c_longblob LONGBLOB, c_enum ENUM('small','medium','large'),
  c_set SET('red','green','blue'), c_json JSON, c_bit BIT(8), c_geometry GEOMETRY, c_point POINT
) CHARACTER SET utf8mb4;
INSERT INTO all_types VALUES (1,
  -128, 0, -32768, 0, -8388608, 0, -2147483648, 0, -123456789, -9223372036854775808, 0,
  '-12345678901234567890123456789012345.123456789012345678901234567891', -12.5, -3.5, -0.001,
  '1000-01-01', '00:00:00', '00:00:00.000', '1000-01-01 00:00:00', '1000-01-01 00:00:00.000001',
  '1970-01-01 00:00:01', '2000-02-29 12:00:00.5', 1901,
  'a', '', '', 'x', 'y', 'z', 'ab', '', '', '', '', '', 'small', '', '[]', b'0',
  ST_GeomFromText('POINT(0 0)'), ST_GeomFromText('POINT(1 2)'));
INSERT INTO all_types VALUES (2,
  127, 255, 32767, 65535, 8388607, 16777215, 2147483647, 4294967295, 999999999,
  9223372036854775807, 18446744073709551615,
  '99999999999999999999999999999999999.999999999999999999999999999999', 99999999.99, 1234.5,
  123456789012.345, '9999-12-31', '23:59:59', '23:59:59.999', '9999-12-31 23:59:59',
  '9999-12-31 23:59:59.999999', '2038-01-19 03:14:07', '2038-01-19 03:14:07.999', 2155,
  'ten chars!', '日本語のテキストは二十文字まで続きますね', 'a"b''c;d,e\nf\r\ng\\h{i}<j>&k\tl',
  REPEAT('long text ', 6000), CONCAT('Grüße ', 0xF09F9880), REPEAT('ж', 100000),
  0x00FF0020, 0x000102FF00, 0x00FF00, 0x000102FF, '', REPEAT(0x00, 1000),
  'large', 'red,blue', '{"a": [1, 2, {"b": null}]}', b'11111111',
  ST_GeomFromText('LINESTRING(0 0, 1 1, 2 5)'), ST_GeomFromText('POINT(-1.5 2.25)'));
INSERT INTO all_types (id) VALUES (3);
INSERT INTO all_types (id, c_date, c_datetime, c_datetime6, c_timestamp, c_year)
  VALUES (4, '0000-00-00', '0000-00-00 00:00:00', '0000-00-00 00:00:00.000000', '0000-00-00 00:00:00', 0);
INSERT INTO all_types (id, c_date, c_varchar, c_char, c_decimal2)
  VALUES (5, '2004-02-30', 'ab  ', 'x', 0);
)sql";

class ResultSetTest : public ConnectedTest {
 protected:
  void SetUp() override {
    ConnectedTest::SetUp();
    if (IsSkipped()) return;
    static bool loaded = false;
    if (!loaded) Sql(kAllTypesFixture);
    loaded = true;
    database.Connect();
    // TIMESTAMP values read in the zone they were written in.
    query.Sql = "SET time_zone = '+00:00'";
    query.ExecSql();
  }

  // The server's CAST(... AS CHAR) text of every value (HEX of the bytes for the
  // binary kinds), the record order of the fixture.
  std::vector<TSqlRow> ServerTexts() {
    std::string select = "SET time_zone = '+00:00'; select ";
    for (int index = 0; index < query.FieldCount(); ++index) {
      const TField& field = query.Field(index);
      const std::string name = "`" + field.FieldName + "`";
      if (index > 0) select += ", ";
      if (field.FieldName == "c_bit") {
        select += "HEX(CAST(" + name + " + 0 AS CHAR))";  // the bits as a number
      } else if (field.DataType == ftBlob || field.FieldName == "c_binary" ||
                 field.FieldName == "c_varbinary") {
        select += "HEX(CAST(" + name + " AS BINARY))";
      } else {
        select += "HEX(CAST(" + name + " AS CHAR))";
      }
    }
    return Sql(select + " from all_types order by id");
  }

  // Moves to the record whose first field reads id.
  void MoveToId(const std::string& id) {
    for (query.First(); !query.Eof(); query.Next()) {
      if (query.Field(0).AsString() == id) return;
    }
    FAIL() << "no record " << id;
  }
};

struct TExpectedField {
  const char* name;
  TFieldType data_type;
  int size;
};

TEST_F(ResultSetTest, FieldTypesFollowTheTableColumnsAndTheResult) {
  OpenQuery("select * from all_types");
  const TExpectedField expected[] = {
      {"id", ftLargeint, 0},           {"c_tinyint", ftInteger, 0},     {"c_tinyint_u", ftInteger, 0},
      {"c_smallint", ftInteger, 0},    {"c_smallint_u", ftInteger, 0},  {"c_mediumint", ftInteger, 0},
      {"c_mediumint_u", ftInteger, 0}, {"c_int", ftLargeint, 0},        {"c_int_u", ftLargeint, 0},
      {"c_int9", ftInteger, 0},        {"c_bigint", ftLargeint, 0},     {"c_bigint_u", ftLargeint, 0},
      {"c_decimal", ftFloat, 0},       {"c_decimal2", ftFloat, 0},      {"c_float", ftFloat, 0},
      {"c_double", ftFloat, 0},        {"c_date", ftDate, 0},           {"c_time", ftTime, 0},
      {"c_time3", ftTime, 0},          {"c_datetime", ftDateTime, 0},   {"c_datetime6", ftDateTime, 0},
      {"c_timestamp", ftDateTime, 0},  {"c_timestamp3", ftDateTime, 0}, {"c_year", ftInteger, 4},
      {"c_char", ftString, 10},        {"c_varchar", ftString, 20},     {"c_tinytext", ftMemo, 0},
      {"c_text", ftMemo, 0},           {"c_mediumtext", ftMemo, 0},     {"c_longtext", ftMemo, 0},
      {"c_binary", ftString, 4},       {"c_varbinary", ftString, 10},   {"c_tinyblob", ftBlob, 0},
      {"c_blob", ftBlob, 0},           {"c_mediumblob", ftBlob, 0},     {"c_longblob", ftBlob, 0},
      {"c_enum", ftString, 6},         {"c_set", ftString, 21},         {"c_json", ftMemo, 0},
      {"c_bit", ftLargeint, 8},        {"c_geometry", ftBlob, 0},       {"c_point", ftBlob, 0},
  };
  ASSERT_EQ(query.FieldCount(), static_cast<int>(std::size(expected)));
  for (int index = 0; index < query.FieldCount(); ++index) {
    const TField& field = query.Field(index);
    EXPECT_EQ(field.FieldName, expected[index].name);
    EXPECT_EQ(field.DisplayLabel, expected[index].name);
    EXPECT_EQ(field.DataType, expected[index].data_type) << field.FieldName;
    EXPECT_EQ(field.Size, expected[index].size) << field.FieldName;
    EXPECT_EQ(field.Index, index);
    EXPECT_TRUE(field.Visible);
  }
  EXPECT_EQ(query.FindField("C_VARCHAR"), &query.Field(25));
  EXPECT_EQ(query.FindField("no_such_field"), nullptr);
  EXPECT_EQ(query.FindField("c_varchar")->DisplayWidth, 20);
  EXPECT_EQ(query.FindField("id")->DisplayWidth, 15);
  EXPECT_EQ(query.FindField("c_datetime")->DisplayWidth, 18);
  EXPECT_EQ(query.FindField("c_date")->DisplayWidth, 10);
  EXPECT_EQ(query.FindField("c_bit")->ValueKind, vkBit);
  EXPECT_EQ(query.FindField("c_year")->ValueKind, vkYear);
  EXPECT_EQ(query.FindField("c_int")->ValueKind, vkPlain);

  // The listings of the FROM clause's table were read.
  ASSERT_EQ(query.TableColumns().size(), std::size(expected));
  const TMySqlTableColumn& id = query.TableColumns()[0];
  EXPECT_TRUE(id.AutoIncrement);
  EXPECT_TRUE(id.PrimaryKey);
  EXPECT_FALSE(id.NullAllowed);
  EXPECT_TRUE(query.TableColumns()[1].NullAllowed);
}

TEST_F(ResultSetTest, ExpressionsTakeTheirTypesFromTheResult) {
  OpenQuery(
      "select count(*) as n, 1.5 as d, now() as t, 'abc' as s, c_varchar as v, c_blob as b, "
      "c_text as m, cast(c_bigint_u as unsigned) as u from all_types where id = 2 group by id");
  EXPECT_EQ(query.FindField("n")->DataType, ftLargeint);
  EXPECT_EQ(query.FindField("d")->DataType, ftFloat);
  EXPECT_EQ(query.FindField("t")->DataType, ftDateTime);
  EXPECT_EQ(query.FindField("s")->DataType, ftString);
  EXPECT_EQ(query.FindField("s")->Size, 3);
  EXPECT_EQ(query.FindField("b")->DataType, ftBlob);
  EXPECT_EQ(query.FindField("m")->DataType, ftMemo);
  // Sizes count characters: twenty CJK characters are sixty bytes.
  EXPECT_EQ(query.FindField("v")->Size, 20);
  EXPECT_EQ(query.FindField("v")->AsString(), "日本語のテキストは二十文字まで続きますね");
  EXPECT_EQ(query.FindField("u")->AsString(), "18446744073709551615");
  EXPECT_EQ(query.FindField("d")->AsString(), "1.5");
}

TEST_F(ResultSetTest, ValuesReadAsTheServerWritesThem) {
  OpenQuery("select * from all_types order by id");
  // Where the text forms differ on purpose: times of midnight are left out,
  // Decimals with the zeros of their scale, zero and impossible dates, blanks
  // at the end of strings and a zero year arrive as the server wrote them.
  const std::map<std::pair<std::string, std::string>, std::string> differences = {
      {{"1", "c_datetime"}, "1000-01-01"},
  };
  const std::vector<TSqlRow> expected = ServerTexts();
  ASSERT_EQ(query.RecordCount(), 5);
  ASSERT_EQ(expected.size(), 5u);
  std::size_t row = 0;
  std::string text;
  for (query.First(); !query.Eof(); query.Next(), ++row) {
    const std::string id = query.Field(0).AsString();
    for (int index = 0; index < query.FieldCount(); ++index) {
      const TField& field = query.Field(index);
      const auto& server_value = expected[row][static_cast<std::size_t>(index)];
      EXPECT_EQ(field.IsNull(), !server_value.has_value()) << id << " " << field.FieldName;
      field.GetText(text);
      const auto difference = differences.find({id, field.FieldName});
      const std::string want = difference != differences.end() ? difference->second
                               : server_value                  ? FromHex(*server_value)
                                                               : "";
      EXPECT_EQ(text, want) << "record " << id << ", " << field.FieldName;
    }
  }
  EXPECT_EQ(row, 5u);
}

// The display form of a column's current value, made from the value and,
// as a text-only source gives it, read back from the value's text form.
struct TDisplayForms {
  std::string Text;  // the text form
  std::string Typed;
  std::string FromText;
  bool TypedRead = true;
  bool TextRead = true;
};

TDisplayForms DisplayForms(const TTabuloColumn& column) {
  TDisplayForms forms;
  TCellValue value;
  column.Field->GetValue(value);
  column.AppendTextForm(value, forms.Text);
  TCellValue given = value;
  given.Text = forms.Text;
  if (given.Kind != ckInvalidMoment) given.Kind = ckText;
  try {
    column.AppendDisplayText(value, forms.Typed);
  } catch (const EVelmoraError&) {
    forms.TypedRead = false;
  }
  try {
    column.AppendDisplayText(given, forms.FromText);
  } catch (const EVelmoraError&) {
    forms.TextRead = false;
  }
  return forms;
}

// Values give the display forms their text forms give when read back, in
// every locale whose forms read back and every format, their text form is
// the field's, and no value is longer than the bound that lets the width
// pass leave it unmeasured.
TEST_F(ResultSetTest, DisplayFormsAndLengthBoundsAgreeWithTheTextForms) {
  TFormatSettings german = IsoSettings();
  german.DecimalSeparator = ",";
  german.ThousandSeparator = ".";
  german.DateSeparator = ".";
  german.ShortDateFormat = "dd/mm/yyyy";
  const std::pair<const char*, TFormatSettings> locales[] = {{"ISO", IsoSettings()}, {"German", german}};
  // Empty: the column's default format.
  const char* const formats[] = {"", "yyyy-mm-dd hh:nn:ss.zzz", "dddd d mmmm yy h:n:s am/pm", "#,##0.000",
                                 "0.#"};
  int bounded = 0;
  for (const auto& [locale, settings] : locales) {
    SetFormatSettings(settings);
    OpenQuery(
        "select all_types.*, cast('838:59:59' as time) as long_time, cast('-01:30:00.5' as time(1)) as "
        "negative, "
        "cast('2024-01-15 00:00:00' as datetime(3)) as midnight, cast('2024-01-15 00:00:00.5' as "
        "datetime(1)) "
        "as after_midnight, cast('0009-02-03 04:05:06.007' as datetime(3)) as early from all_types order by "
        "id");
    const TTabuloFormats display_formats;  // the defaults of the settings in force
    for (const bool machine_read : {false, true}) {
      TColumnSettings column_settings;
      column_settings.DataSet = &query;
      column_settings.Formats = &display_formats;
      column_settings.MachineReadDefaults = machine_read;
      TTabuloColumns columns;
      columns.Build(column_settings);
      for (query.First(); !query.Eof(); query.Next()) {
        for (const auto& each : columns) {
          TTabuloColumn& column = *each;
          if (column.Field->IsNull()) continue;
          const std::string default_format = column.Format;
          for (const std::string format : formats) {
            column.Format = format.empty() ? default_format : format;
            SCOPED_TRACE(std::string(locale) + ", record " + query.Field(0).AsString() + ", " + column.Name +
                         ", format " + column.Format + (machine_read ? ", plain numbers" : ""));
            const TDisplayForms forms = DisplayForms(column);
            EXPECT_EQ(forms.Text, column.Field->AsString());
            EXPECT_EQ(forms.TypedRead, forms.TextRead);
            if (forms.TypedRead && forms.TextRead) {
              EXPECT_EQ(forms.Typed, forms.FromText);
            }
            TCellValue value;
            column.Field->GetValue(value);
            std::size_t bound = 0;
            if (column.ValueLengthBound(value, bound)) {
              ++bounded;
              EXPECT_GE(bound, Utf8Length(forms.Text)) << forms.Text;
              if (forms.TypedRead) {
                EXPECT_GE(bound, Utf8Length(forms.Typed)) << forms.Typed;
              }
            }
          }
          column.Format = default_format;
        }
      }
    }
  }
  EXPECT_GT(bounded, 0);
}

TEST_F(ResultSetTest, AwkwardValuesArriveWhole) {
  OpenQuery(
      "select c_decimal, c_bigint_u, c_varchar, c_tinytext, c_mediumtext, c_binary, c_mediumblob "
      "from all_types where id = 2");
  EXPECT_EQ(query.Field(0).AsString(), "99999999999999999999999999999999999.999999999999999999999999999999");
  EXPECT_EQ(query.Field(1).AsString(), "18446744073709551615");
  EXPECT_EQ(query.Field(2).AsString(), "日本語のテキストは二十文字まで続きますね");
  EXPECT_EQ(query.Field(3).AsString(), "a\"b'c;d,e\nf\r\ng\\h{i}<j>&k\tl");
  EXPECT_EQ(query.Field(4).AsString(), "Grüße 😀");
  // Binary data keeps its bytes, a trailing blank included.
  EXPECT_EQ(query.Field(5).AsString(), std::string("\0\xFF\0 ", 4));
  EXPECT_FALSE(query.Field(6).IsNull());
  EXPECT_EQ(query.Field(6).AsString(), "");
  EXPECT_TRUE(query.Field(6).IsBlob());
  EXPECT_TRUE(query.Field(3).IsMemo());
}

TEST_F(ResultSetTest, LocaleDecidesSeparatorsAndDateForms) {
  TFormatSettings german = IsoSettings();
  german.DecimalSeparator = ",";
  german.DateSeparator = ".";
  german.ShortDateFormat = "dd/mm/yyyy";
  SetFormatSettings(german);
  OpenQuery(
      "select c_decimal2, c_double, c_date, c_datetime6, c_time3, c_timestamp3 from all_types where id = 2");
  EXPECT_EQ(RecordText(),
            "99999999,99|123456789012,345|31.12.9999|31.12.9999 23:59:59,999999|23:59:59,999|"
            "19.01.2038 03:14:07,999");
  // The texts read back as the same moments (to the millisecond the date-time
  // values hold).
  TDateTime value = 0;
  ASSERT_TRUE(TryStrToDateTime(query.Field(5).AsString(), value));
  int year, month, day, hour, minute, second, millisecond;
  DecodeDateTime(value, year, month, day, hour, minute, second, millisecond);
  EXPECT_EQ(std::vector<int>({year, month, day, hour, minute, second, millisecond}),
            std::vector<int>({2038, 1, 19, 3, 14, 7, 999}));
  ASSERT_TRUE(TryStrToDateTime(query.Field(4).AsString(), value));
  DecodeTime(value, hour, minute, second, millisecond);
  EXPECT_EQ(std::vector<int>({hour, minute, second, millisecond}), std::vector<int>({23, 59, 59, 999}));
}

// Regression: a DATETIME(6) or TIMESTAMP(6) value at midnight lost its
// ".000000" (text and display form) while every other moment of the column
// kept it. A date-time without fraction still leaves the time of midnight out.
TEST_F(ResultSetTest, MidnightKeepsTheFractionDigitsOfItsColumn) {
  SetFormatSettings(IsoSettings());
  Sql("CREATE OR REPLACE TABLE midnights (t TIMESTAMP(6) NULL, d DATETIME(6), p DATETIME, h DATETIME(2));"
      "INSERT INTO midnights VALUES ('2000-01-01 00:00:00', '2000-01-01 00:00:00', '2000-01-01 00:00:00', "
      "'2000-01-01 00:00:00'), ('2000-01-01 12:00:00', '2000-01-01 00:00:00.5', '2000-01-01 12:00:00', "
      "'2000-01-02 00:00:00.01')");
  OpenQuery("select t, d, p, h from midnights order by d");
  EXPECT_EQ(RecordText(),
            "2000-01-01 00:00:00.000000|2000-01-01 00:00:00.000000|2000-01-01|2000-01-01 00:00:00.00");
  const TTabuloFormats display_formats;
  TColumnSettings column_settings;
  column_settings.DataSet = &query;
  column_settings.Formats = &display_formats;
  TTabuloColumns columns;
  columns.Build(column_settings);
  const std::vector<std::vector<std::string>> expected = {
      {"2000-01-01 00:00:00.000000", "2000-01-01 00:00:00.000000", "2000-01-01 00:00:00",
       "2000-01-01 00:00:00.00"},
      {"2000-01-01 12:00:00.000000", "2000-01-01 00:00:00.500000", "2000-01-01 12:00:00",
       "2000-01-02 00:00:00.01"},
  };
  std::size_t row = 0;
  for (query.First(); !query.Eof(); query.Next(), ++row) {
    for (int index = 0; index < columns.Count(); ++index) {
      const TDisplayForms forms = DisplayForms(columns[index]);
      EXPECT_EQ(forms.Typed, expected[row][static_cast<std::size_t>(index)]) << row << " " << index;
      EXPECT_EQ(forms.FromText, forms.Typed) << row << " " << index;
    }
  }
  Sql("DROP TABLE midnights");
}

// Regression: where the locale's short date shows a two-digit year, a moment
// was displayed from its text form read back, so 1924 became 2024 and the
// year 9 became 2009, in every format and in a workbook's serial numbers.
// The display form is now made from the value itself.
TEST_F(ResultSetTest, MomentsKeepTheirCenturyInALocaleOfTwoDigitYears) {
  TFormatSettings two_digit_years = IsoSettings();
  two_digit_years.DateSeparator = "/";
  two_digit_years.ShortDateFormat = "dd/mm/yy";
  SetFormatSettings(two_digit_years);
  OpenQuery("select cast('1924-01-05' as date) as d, cast('0009-02-03 04:05:06' as datetime) as m");
  const TTabuloFormats display_formats;
  TColumnSettings column_settings;
  column_settings.DataSet = &query;
  column_settings.Formats = &display_formats;
  TTabuloColumns columns;
  columns.Build(column_settings);
  EXPECT_EQ(RecordText(), "05/01/24|03/02/09 04:05:06");
  const char* const expected[] = {"1924-01-05", "0009-02-03"};
  for (int index = 0; index < columns.Count(); ++index) {
    columns[index].Format = "yyyy-mm-dd";
    EXPECT_EQ(DisplayForms(columns[index]).Typed, expected[index]);
  }
}

// Regression: TIME values beyond a day were clamped to a time of day, so
// '838:59:59' exported as 23:59:59 and '-01:30:00' as 00:30:00.
TEST_F(ResultSetTest, TimesBeyondADayAreExportedAsTheServerWritesThem) {
  OpenQuery(
      "select cast('838:59:59' as time) as t, cast('-01:30:00' as time) as n, "
      "cast('24:00:00.5' as time(1)) as f, cast('23:59:59' as time) as d, "
      "timestamp'2024-01-15 00:00:00' as midnight");
  EXPECT_EQ(RecordText(), "838:59:59|-01:30:00|24:00:00.5|23:59:59|2024-01-15");
}

// Regression: a string result column took the size of any table column of the
// same name, and its values were cut to it ("a muc", "he", "abc-s").
TEST_F(ResultSetTest, StringsAreNotCutToTheSizeOfAnotherColumn) {
  Sql("CREATE OR REPLACE TABLE r1 (name VARCHAR(5), e ENUM('a','bb'));"
      "INSERT INTO r1 VALUES ('abc', 'bb');"
      "CREATE OR REPLACE TABLE r2 (name VARCHAR(40));"
      "INSERT INTO r2 VALUES ('a much longer value of 28 c.')");
  OpenQuery("select r1.name, r2.name from r1 join r2");
  EXPECT_EQ(RecordText(), "abc|a much longer value of 28 c.");
  OpenQuery("select 'hello world' as e, concat(name, '-suffix') as name from r1");
  EXPECT_EQ(RecordText(), "hello world|abc-suffix");
  // The table column itself still gives its field size.
  OpenQuery("select name, e from r1");
  EXPECT_EQ(RecordText(), "abc|bb");
  EXPECT_EQ(query.Field(0).Size, 5);
}

TEST_F(ResultSetTest, CursorMovesBackAndToBookmarks) {
  OpenQuery("select id from all_types order by id");
  EXPECT_EQ(query.RecordCount(), 5);
  EXPECT_FALSE(query.IsEmpty());
  const TBookmark first = query.GetBookmark();
  MoveToId("3");
  const TBookmark third = query.GetBookmark();
  query.Next();
  query.Next();
  EXPECT_EQ(RecordText(), "5");
  query.Next();
  EXPECT_TRUE(query.Eof());
  EXPECT_EQ(RecordText(), "5");  // the cursor stays on the last record
  query.GotoBookmark(third);
  EXPECT_FALSE(query.Eof());
  EXPECT_EQ(RecordText(), "3");
  query.GotoBookmark(first);
  query.FreeBookmark(first);
  EXPECT_EQ(RecordText(), "1");
  EXPECT_EQ(query.RecNo(), 0);
}

TEST_F(ResultSetTest, EmptyResultIsOpenAndAtItsEnd) {
  OpenQuery("select id, c_varchar from all_types where id < 0");
  EXPECT_TRUE(query.Active());
  EXPECT_TRUE(query.IsEmpty());
  EXPECT_TRUE(query.Eof());
  EXPECT_EQ(query.RecordCount(), 0);
  ASSERT_EQ(query.FieldCount(), 2);
  EXPECT_TRUE(query.Field(1).IsNull());
  EXPECT_EQ(query.Field(1).AsString(), "");
  query.First();
  query.Next();
  EXPECT_TRUE(query.Eof());
}

TEST_F(ResultSetTest, FieldOfAnUnknownKindIsReported) {
  OpenQuery("select c_int from all_types where id = 1");
  query.Field(0).DataType = ftVariant;
  EXPECT_VELMORA_ERROR(query.Field(0).AsString(), "Unknown type: c_int");
  EXPECT_TRUE(query.Active());
}

TEST_F(ResultSetTest, CommentedMultiLineQueryRuns) {
  OpenQuery("select c_int9 -- the small one\nfrom all_types # every row\nwhere id = 1;");
  EXPECT_EQ(RecordText(), "-123456789");
  EXPECT_EQ(query.Field(0).DataType, ftInteger);  // the column listing was read
}

TEST_F(ResultSetTest, TableNamesThatNeedQuotingAreListed) {
  Sql("DROP TABLE IF EXISTS `two  blanks`, `back``quote`, `order`;"
      "CREATE TABLE `two  blanks` (`my col` INT(9), `select` VARCHAR(5));"
      "INSERT INTO `two  blanks` VALUES (7, 'x ');"
      "CREATE TABLE `back``quote` (`a``b` INT(9));"
      "INSERT INTO `back``quote` VALUES (8);"
      "CREATE TABLE `order` (`from` INT(9));"
      "INSERT INTO `order` VALUES (9)");
  database.Connect();
  const int version = ServerVersionNumber(transact.ServerVersion());
  for (const auto& [table, text] : std::vector<std::pair<std::string, std::string>>{
           {"two  blanks", "7|x "}, {"back`quote", "8"}, {"order", "9"}}) {
    OpenQuery("select * from " + QuoteTableName(table, version));
    EXPECT_EQ(RecordText(), text) << table;
    // INT(9) is an integer field only through the column listing.
    EXPECT_EQ(query.Field(0).DataType, ftInteger) << table;
    EXPECT_EQ(query.TableColumns().size(), static_cast<std::size_t>(query.FieldCount())) << table;
  }
}

TEST_F(ResultSetTest, NamesThatAreNoTablesHaveNoListing) {
  OpenQuery("with c as (select 1 as a) select * from c");
  EXPECT_EQ(RecordText(), "1");
  EXPECT_TRUE(query.TableColumns().empty());
  Sql("CREATE OR REPLACE VIEW v_types AS select id, c_int9 from all_types");
  OpenQuery("select * from v_types where id = 2");
  EXPECT_EQ(RecordText(), "2|999999999");
  EXPECT_EQ(query.Field(1).DataType, ftInteger);
}

TEST_F(ResultSetTest, StreamedResultReadsForwardOverItsOwnConnection) {
  OpenQuery("select connection_id()");
  const std::string own_connection = RecordText();
  query.Close();
  query.ExtraOptions.clear();
  OpenQuery("select id, connection_id() from all_types order by id");
  EXPECT_NE(query.Field(1).AsString(), own_connection);
  std::string ids;
  for (; !query.Eof(); query.Next()) ids += query.Field(0).AsString();
  EXPECT_EQ(ids, "12345");
  EXPECT_EQ(query.RecordCount(), 5);
  EXPECT_VELMORA_ERROR(query.First(), "Cannot move back in a streamed result");
}

// A streamed result that keeps its first rows lets a pass read them ahead and
// the export read them again, then streams the rest; past the kept rows there
// is no way back.
TEST_F(ResultSetTest, StreamedResultGoesBackOverTheFirstRowsItKeeps) {
  const struct {
    std::size_t KeepBytes;
    std::string ReadAhead;  // the ids a pass reads before it must stop
    bool BackFromTheEnd;    // every row was kept
  } cases[] = {
      {1, "1", false},             // the first row alone fills the bound
      {1 << 20, "12345", true},    // the whole result fits
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.KeepBytes);
    query.Close();
    query.ExtraOptions = {moStreamOnTransaction};
    query.KeepFirstRowsBytes = test.KeepBytes;
    OpenQuery("select id, c_varchar from all_types order by id");
    std::string ahead;
    for (; !query.Eof(); query.Next()) {
      ahead += query.Field(0).AsString();
      if (!query.CanMoveOnAndBack()) break;
    }
    EXPECT_EQ(ahead, test.ReadAhead);
    query.First();
    std::string ids;
    for (; !query.Eof(); query.Next()) ids += query.Field(0).AsString();
    EXPECT_EQ(ids, "12345");
    if (test.BackFromTheEnd) {
      query.First();
      EXPECT_EQ(query.Field(0).AsString(), "1");
    } else {
      EXPECT_VELMORA_ERROR(query.First(), "Cannot move back in a streamed result");
    }
  }
  query.KeepFirstRowsBytes = 0;
}

// Rows spooled to the temporary directory read exactly as rows stored in
// memory: every value's bytes and text, the count, and the cursor's moves.
TEST_F(ResultSetTest, SpooledResultReadsAsTheStoredOne) {
  const auto every_value = [this] {
    std::vector<std::string> values;
    std::string source;
    for (query.First(); !query.Eof(); query.Next()) {
      for (int index = 0; index < query.FieldCount(); ++index) {
        query.Field(index).GetSourceText(source);
        values.push_back(query.Field(index).IsNull() ? "<null>" : source + "|" + query.Field(index).AsString());
      }
    }
    return values;
  };
  const std::string statement = "select * from all_types order by id";
  query.ExtraOptions = {moStoreResult};
  OpenQuery(statement);
  const std::vector<std::string> stored = every_value();
  testsupport::TTempDir spool_directory("spool");
  ::setenv("TMPDIR", spool_directory.Path().c_str(), 1);
  query.ExtraOptions = {moStoreResult, moSpoolResult};
  OpenQuery(statement);
  ::unsetenv("TMPDIR");
  EXPECT_TRUE(spool_directory.Entries().empty());  // the spool has no name
  EXPECT_EQ(query.RecordCount(), 5);
  EXPECT_EQ(every_value(), stored);
  query.GotoBookmark(3);
  EXPECT_EQ(query.Field(0).AsString(), "4");
  query.GotoBookmark(1);
  EXPECT_EQ(query.Field(0).AsString(), "2");
  query.Close();
  query.ExtraOptions = {moStoreResult};
}

// Streamed on the transaction's own connection, the rows are read in its
// session (its snapshot, its current database), and once the data set is closed
// the connection runs the next statement.
TEST_F(ResultSetTest, StreamedResultOnTheTransactionsConnectionSharesItsSession) {
  OpenQuery("select connection_id()");
  const std::string own_connection = RecordText();
  query.Close();
  query.ExtraOptions = {moStreamOnTransaction};
  OpenQuery("select id, connection_id() from all_types order by id");
  EXPECT_EQ(query.Field(1).AsString(), own_connection);
  query.Next();
  EXPECT_EQ(query.Field(0).AsString(), "2");
  query.Close();  // the three rows left are read and dropped
  OpenQuery("select count(*) from all_types");
  EXPECT_EQ(RecordText(), "5");
}

}  // namespace
}  // namespace velmora
