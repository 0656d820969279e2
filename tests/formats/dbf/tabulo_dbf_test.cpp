// The DBF exporter byte for byte: header, descriptors, records, the memo file,
// field names, the bytes of each kind of value and the exports it refuses.
#include "formats/dbf/tabulo_dbf.h"

#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "platform/binary_writer.h"
#include "platform/locale_settings.h"
#include "support/expect_error.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::ReadFile;
using testsupport::TTempDir;

// A comma as decimal separator: the file must not take it.
TFormatSettings CommaLocale() {
  TFormatSettings settings = TFormatSettings::CLocale();
  settings.DecimalSeparator = ",";
  return settings;
}

class DbfExportTest : public testsupport::TFileExportTest<TTabuloDBF> {
 protected:
  DbfExportTest() : TFileExportTest("dbf", "out.dbf", CommaLocale()) {}
  // The bytes of the first record, deletion flag included.
  std::string FirstRecord(const std::string& table) {
    const std::size_t header = ReadUInt16LE(table, 8);
    return table.substr(header, ReadUInt16LE(table, 10));
  }

};

TEST_F(DbfExportTest, TwoColumnTableIsByteExact) {
  data_.AddField("ID", ftInteger);
  data_.AddField("NAME", ftString, 20);
  data_.AppendRecord({"7", "Smith"});
  const std::string table = Export();

  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::string expected = "\x03";
  expected += static_cast<char>(local.tm_year);
  expected += static_cast<char>(local.tm_mon + 1);
  expected += static_cast<char>(local.tm_mday);
  expected += std::string("\x01\0\0\0\x61\0\x20\0", 8) + std::string(20, '\0');
  expected += std::string("ID\0\0\0\0\0\0\0\0\0N\0\0\0\0\x0B\0", 18) + std::string(14, '\0');
  expected += std::string("NAME\0\0\0\0\0\0\0C\x0B\0\0\0\x14\0", 18) + std::string(14, '\0');
  expected += "\x0D";
  expected += " " + std::string(10, ' ') + "7" + "Smith" + std::string(15, ' ');
  expected += "\x1A";
  EXPECT_EQ(testsupport::HexBytes(table), testsupport::HexBytes(expected));
  EXPECT_EQ(directory_.Entries(), std::vector<std::string>{"out.dbf"});
}

// One column of the given type and size holding one value: the field's type,
// length, decimals and bytes.
struct TValueCase {
  TFieldType type;
  int size;
  std::optional<std::string> value;
  char field_type;
  int length;
  int decimals;
  std::string bytes;
};

TEST_F(DbfExportTest, EachKindOfValueHasItsFieldBytes) {
  const std::string long_text = std::string(253, 'a') + "\xE6\x97\xA5";
  const std::vector<TValueCase> cases = {
      {ftFloat, 0, std::nullopt, 'N', 15, 4, "         0.0000"},
      {ftFloat, 0, "1234.56789", 'N', 15, 4, "      1234.5679"},
      {ftFloat, 0, "-0.00004", 'N', 15, 4, "         0.0000"},
      {ftFloat, 0, "-2.5", 'N', 15, 4, "        -2.5000"},
      {ftFloat, 0, "1.5E3", 'N', 15, 4, "      1500.0000"},
      // Decimals give way, rounding, so the integer digits fit.
      {ftFloat, 0, "123456789012.34567", 'N', 15, 4, "123456789012.35"},
      {ftBCD, 0, "1.500000000000000000000000000000", 'N', 15, 4, "         1.5000"},
      {ftInteger, 0, "-2147483648", 'N', 11, 0, "-2147483648"},
      {ftInteger, 0, std::nullopt, 'N', 11, 0, "           "},
      {ftLargeint, 0, "18446744073709551615", 'N', 20, 0, "18446744073709551615"},
      {ftBoolean, 0, "True", 'L', 1, 0, "T"},
      {ftBoolean, 0, "false", 'L', 1, 0, "F"},
      {ftBoolean, 0, "", 'L', 1, 0, " "},
      {ftDate, 0, "2004-02-29", 'D', 8, 0, "20040229"},
      {ftDateTime, 0, "1999-12-31 23:59:59", 'D', 8, 0, "19991231"},
      {ftDate, 0, std::nullopt, 'D', 8, 0, "        "},
      {ftTime, 0, "838:59:59", 'C', 9, 0, "838:59:59"},
      {ftString, 5, "Null", 'C', 5, 0, "Null "},
      {ftString, 5, std::nullopt, 'C', 5, 0, "     "},
      // Lengths count bytes: two CJK characters need six.
      {ftString, 2, "\xE6\x97\xA5\xE6\x9C\xAC", 'C', 6, 0, "\xE6\x97\xA5\xE6\x9C\xAC"},
      // Cut at 254 bytes, never inside a character.
      {ftString, 300, long_text, 'C', 254, 0, std::string(253, 'a') + " "},
  };
  for (const TValueCase& test : cases) {
    SCOPED_TRACE(test.value.value_or("NULL"));
    TMemoryDataSet data;
    data.AddField("V", test.type, test.size);
    data.AppendRecord({test.value});
    data.Open();
    exporter_.DataSet = &data;
    exporter_.Execute();
    const std::string table = ReadFile(exporter_.FileName);
    EXPECT_EQ(table[32 + 11], test.field_type);
    EXPECT_EQ(static_cast<unsigned char>(table[32 + 16]), test.length);
    EXPECT_EQ(table[32 + 17], test.decimals);
    EXPECT_EQ(FirstRecord(table), " " + test.bytes);
  }
}

TEST_F(DbfExportTest, FieldNamesAreMappedCutAndMadeUnique) {
  const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
      {{"CUSTOMER_NAME_FIRST", "CUSTOMER_NAME_LAST"}, {"CUSTOMER_N", "CUSTOMER_1"}},
      {{"id", "id", "ID"}, {"ID", "ID1", "ID2"}},
      {{"order no", "count(*)", "Zo\xC3\xAB", ""}, {"ORDER_NO", "COUNT___", "ZO_", "_"}},
      {{"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA"
        "\x9E\xE6\x97\xA5\xE6\x9C\xAC"},
       {"__________"}},
  };
  for (const auto& [columns, names] : cases) EXPECT_EQ(DBFFieldNames(columns), names);
  std::vector<std::string> many(12, "A_LONG_FIELD_NAME");
  const std::vector<std::string> unique = DBFFieldNames(many);
  EXPECT_EQ(unique[10], "A_LONG_F10");
  for (const std::string& name : unique) EXPECT_EQ(std::count(unique.begin(), unique.end(), name), 1) << name;
}

TEST_F(DbfExportTest, MemoTextsTakeWholeBlocksOfTheMemoFile) {
  data_.AddField("NOTE", ftMemo);
  data_.AddField("N", ftInteger);
  data_.AppendRecord({std::string(600, 'x'), "1"});
  data_.AppendRecord({"", "2"});
  data_.AppendRecord({std::nullopt, "3"});
  data_.AppendRecord({"short", "4"});
  const std::string table = Export();
  EXPECT_EQ(static_cast<unsigned char>(table[0]), 0x83);
  EXPECT_EQ(ReadUInt32LE(table, 4), 4u);
  const std::size_t header = ReadUInt16LE(table, 8);
  const auto record = [](const std::string& block, const std::string& number) {
    return " " + std::string(10 - block.size(), ' ') + block + std::string(11 - number.size(), ' ') + number;
  };
  EXPECT_EQ(table.substr(header),
            record("1", "1") + record("", "2") + record("", "3") + record("3", "4") + "\x1A");
  const std::string memo = ReadFile(directory_.File("out.dbt"));
  ASSERT_EQ(memo.size(), 4u * 512);
  EXPECT_EQ(ReadUInt32LE(memo, 0), 4u);
  EXPECT_EQ(memo.substr(4, 508), std::string(508, '\0'));
  EXPECT_EQ(memo.substr(512, 602), std::string(600, 'x') + "\x1A\x1A");
  EXPECT_EQ(memo.substr(1114, 422), std::string(422, '\0'));
  EXPECT_EQ(memo.substr(1536, 7), "short\x1A\x1A");
}

TEST_F(DbfExportTest, ExportsTheFormatCannotHoldFailAndLeaveNoFile) {
  const auto expect_refused = [&](const std::string& message) {
    data_.Open();
    EXPECT_VELMORA_ERROR(exporter_.Execute(), message);
    EXPECT_TRUE(directory_.Entries().empty());
  };
  data_.AddField("NOTE", ftMemo);
  data_.AddField("V", ftFloat);
  data_.AppendRecord({"memo", "1"});
  data_.AppendRecord({"memo", "1.5E300"});
  expect_refused("Value 1.5E300 does not fit in field V of 15 characters");

  data_.ClearRecords();
  data_.AppendRecord({"memo", "1,5"});
  expect_refused("'1,5' is not a valid floating point value");

  TMemoryDataSet wide;
  for (int index = 0; index < 259; ++index) wide.AddField("F" + std::to_string(index), ftString, 254);
  exporter_.DataSet = &wide;
  wide.Open();
  EXPECT_VELMORA_ERROR(exporter_.Execute(), "Record length 65787 exceeds 65535 bytes");

  TMemoryDataSet integers;
  integers.AddField("I", ftInteger);
  integers.AppendRecord({"123456789012"});
  exporter_.DataSet = &integers;
  integers.Open();
  EXPECT_VELMORA_ERROR(exporter_.Execute(), "Value 123456789012 does not fit in field I of 11 characters");
  EXPECT_TRUE(directory_.Entries().empty());
}

}  // namespace
}  // namespace velmora
