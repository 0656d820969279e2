// Values from the server reach the export as the server sent them: no byte
// trimmed, bits and years as numbers, zero and impossible dates as their text,
// every digit of a double, and text columns of any length exported by default.
#include <string>
#include <vector>

#include "connected_test.h"
#include "formats/text/tabulo_ascii.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::ReadFile;
using testsupport::TTempDir;

const char* const kExactValuesFixture = R"sql(
SET SESSION sql_mode = 'ALLOW_INVALID_DATES';
CREATE OR REPLACE TABLE exact_values (
  id INT(9) PRIMARY KEY, city VARCHAR(20), padded VARCHAR(12), flag BIT(1), bits BIT(3),
  raw BINARY(4), bytes VARBINARY(8), made YEAR, short_made YEAR(2), day DATE, moment DATETIME, ratio DOUBLE,
  single FLOAT, notes TEXT, doc JSON, photo BLOB
) CHARACTER SET utf8mb4;
INSERT INTO exact_values VALUES
  (1, 'Edinburgh ', '  padded  ', b'1', b'101', 0x00000000, 0x0A41420D, 2006, 2006, '0000-00-00',
   '2024-00-00 10:00:00', 1234567890.1234567, 1.5, ' note\n', '{"a": 1}', 0x89504E47),
  (2, 'Leith', ' ', b'0', b'000', 0x20FF0020, 0x00, 0, 0, '2004-02-30', '2024-01-15 10:00:00',
   CAST(9007199254740993 AS DOUBLE), 0.1, 'text', '[]', '');
CREATE OR REPLACE VIEW exact_view AS SELECT id, notes AS description FROM exact_values;
)sql";

using testsupport::Lines;

class ExactValuesTest : public ConnectedTest {
 protected:
  void SetUp() override {
    ConnectedTest::SetUp();
    if (IsSkipped()) return;
    Sql(kExactValuesFixture);
    database.Connect();
  }

  // The CSV export of statement; texts of the named columns as the record loop
  // filled them go to cells.
  std::string ExportCsv(const std::string& statement, const std::vector<std::string>& fields = {},
                        std::vector<std::string>* cells = nullptr, const std::string& cell_name = {}) {
    OpenQuery(statement);
    TTabuloASCII exporter;
    exporter.SetExportType(etCSV);
    exporter.DataSet = &query;
    exporter.FileName = directory_.File("out.csv");
    for (const std::string& field : fields) exporter.ExportedFields.Add(field);
    exporter.OnBeforeExportRow = [&](TTabulo& sender, TTabuloRow& row, bool&) {
      for (int index = 0; index < row.Count(); ++index) {
        if (cells != nullptr && sender.Columns()[index].Name == cell_name) cells->push_back(row[index].Data);
      }
    };
    exporter.Execute();
    return ReadFile(exporter.FileName);
  }

  TTempDir directory_{"exact"};
};

// Regression: blanks and bytes up to 0x20 were trimmed from both ends of every
// value, BIT values came out as their raw byte (or nothing), years grouped,
// zero dates became 1899-12-30, impossible dates were clamped, and TEXT and
// JSON columns were left out. Binary values are their bytes in hexadecimal.
TEST_F(ExactValuesTest, CsvCarriesEveryValueAsTheServerSentIt) {
  const std::string csv = ExportCsv("select * from exact_values order by id");
  EXPECT_EQ(
      csv,
      Lines({"\"id\",\"city\",\"padded\",\"flag\",\"bits\",\"raw\",\"bytes\",\"made\",\"short_made\",\"day\","
             "\"moment\",\"ratio\",\"single\",\"notes\",\"doc\"",
             "\"1\",\"Edinburgh \",\"  padded  \",\"1\",\"5\",\"0x00000000\",\"0x0A41420D\",\"2006\",\"06\","
             "\"0000-00-00\",\"2024-00-00 10:00:00\","
             "\"1234567890.1234567\",\"1.5\",\" note\n\",\"{\"\"a\"\": 1}\"",
             "\"2\",\"Leith\",\" \",\"0\",\"0\",\"0x20FF0020\",\"0x00\","
             "\"0000\",\"00\",\"2004-02-30\",\"2024-01-15 10:00:00\","
             "\"9.007199254740992e15\",\"0.1\",\"text\",\"[]\""}));
}

TEST_F(ExactValuesTest, BinaryLargeObjectsAreExportedOnlyWhenNamed) {
  EXPECT_EQ(ExportCsv("select id, photo from exact_values order by id"), Lines({"\"id\"", "\"1\"", "\"2\""}));
  EXPECT_EQ(ExportCsv("select id, photo from exact_values order by id", {"photo", "id"}),
            Lines({"\"photo\",\"id\"", "\"0x89504E47\",\"1\"", "\"\",\"2\""}));
}

// Regression: a view's text column and a GROUP_CONCAT list (text of any
// length) vanished from the export without a word.
TEST_F(ExactValuesTest, TextOfAnyLengthFromViewsAndExpressionsIsExported) {
  EXPECT_EQ(ExportCsv("select * from exact_view order by id"),
            Lines({"\"id\",\"description\"", "\"1\",\" note\n\"", "\"2\",\"text\""}));
  // Text in a binary collation carries the binary flag, and is still text.
  EXPECT_EQ(ExportCsv("select group_concat(city order by id separator ';') as cities, "
                      "group_concat(notes order by id separator '|') collate utf8mb4_bin as notes "
                      "from exact_values"),
            Lines({"\"cities\",\"notes\"", "\"Edinburgh ;Leith\",\" note\n|text\""}));
}

// Regression: doubles were cut to fifteen significant digits before any
// display format saw them ("1234567890.12346", "9007199254740990").
TEST_F(ExactValuesTest, DoublesReachTheColumnWithEveryDigit) {
  std::vector<std::string> ratios, singles;
  ExportCsv("select * from exact_values order by id", {}, &ratios, "ratio");
  ExportCsv("select * from exact_values order by id", {}, &singles, "single");
  EXPECT_EQ(ratios, (std::vector<std::string>{"1234567890.1234567", "9.007199254740992e15"}));
  EXPECT_EQ(singles, (std::vector<std::string>{"1.5", "0.1"}));
}

TEST_F(ExactValuesTest, FieldsTellInvalidDatesAndKeepTheSourceText) {
  TFormatSettings german = IsoSettings();
  german.DecimalSeparator = ",";
  german.ShortDateFormat = "dd.mm.yyyy";
  SetFormatSettings(german);
  OpenQuery("select day, moment, ratio, bits, made, city from exact_values order by id");
  const auto texts = [&](auto read) {
    std::vector<std::string> values;
    std::string text;
    for (int index = 0; index < query.FieldCount(); ++index) {
      read(query.Field(index), text);
      values.push_back(text);
    }
    return values;
  };
  const auto as_string = [](const TField& field, std::string& text) { field.GetText(text); };
  const auto source = [](const TField& field, std::string& text) { field.GetSourceText(text); };
  // The value an SQL script copies: the source's text, no moment read.
  const auto source_value = [](const TField& field, std::string& text) {
    TCellValue value;
    field.GetSourceValue(value);
    text.assign(value.Text);
  };
  const auto kind = [&](int index) {
    TCellValue value;
    query.Field(index).GetValue(value);
    return value.Kind;
  };
  const auto source_kinds = [&] {
    std::vector<TCellKind> kinds;
    for (int index = 0; index < query.FieldCount(); ++index) {
      TCellValue value;
      query.Field(index).GetSourceValue(value);
      kinds.push_back(value.Kind);
    }
    return kinds;
  };
  const std::vector<TCellKind> expected_source_kinds{ckText, ckText, ckFloat, ckInteger, ckInteger, ckText};

  EXPECT_EQ(kind(0), ckInvalidMoment);
  EXPECT_EQ(kind(1), ckInvalidMoment);
  EXPECT_EQ(kind(2), ckFloat);
  EXPECT_EQ(texts(as_string), (std::vector<std::string>{"0000-00-00", "2024-00-00 10:00:00",
                                                        "1234567890,1234567", "5", "2006", "Edinburgh "}));
  EXPECT_EQ(texts(source), (std::vector<std::string>{"0000-00-00", "2024-00-00 10:00:00",
                                                     "1234567890.1234567", "5", "2006", "Edinburgh "}));
  EXPECT_EQ(texts(source_value), texts(source));
  EXPECT_EQ(source_kinds(), expected_source_kinds);
  query.Next();
  EXPECT_EQ(kind(0), ckInvalidMoment);
  EXPECT_EQ(kind(1), ckMoment);
  EXPECT_EQ(texts(as_string), (std::vector<std::string>{"2004-02-30", "15.01.2024 10:00:00",
                                                        "9,007199254740992e15", "0", "0000", "Leith"}));
  EXPECT_EQ(texts(source)[1], "2024-01-15 10:00:00");
  EXPECT_EQ(texts(source_value), texts(source));
  EXPECT_EQ(source_kinds(), expected_source_kinds);
}

}  // namespace
}  // namespace velmora
