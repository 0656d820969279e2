// The records of the workbook stream byte for byte where their layout is fixed,
// and the shared-string table's cuts into CONTINUE records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/xls/biff_records.h"
#include "formats/xls/xls_shared_strings.h"
#include "formats/xls/xls_text.h"
#include "platform/locale_settings.h"
#include "support/expect_error.h"
#include "tests/formats/xls/xls_test_support.h"

namespace velmora {
namespace {

using testsupport::HexBytes;
using testsupport::ReadFile;
using testsupport::ReadRecords;
using testsupport::TBiffRecord;
using testsupport::TTempDir;
using testsupport::UInt16At;
using testsupport::UInt32At;

std::vector<TBiffRecord> RecordsOf(std::uint16_t id, const std::vector<TBiffRecord>& records) {
  std::vector<TBiffRecord> found;
  for (const TBiffRecord& record : records) {
    if (record.Id == id) found.push_back(record);
  }
  return found;
}

class WorkbookRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override { data_.AddField("AMOUNT", ftInteger); }

  std::vector<TBiffRecord> Export(const std::function<void(TTabuloXLS&)>& configure = [](TTabuloXLS&) {}) {
    data_.Open();
    const std::string path = directory_.File("book.xls");
    testsupport::ExportWorkbook(data_, path, configure);
    file_ = ReadFile(path);
    return ReadRecords(file_);
  }

  testsupport::TFormatSettingsScope locale_;
  TTempDir directory_{"xls-records"};
  TMemoryDataSet data_;
  std::string file_;
};

TEST_F(WorkbookRecordsTest, GlobalsHoldTheFixedRecords) {
  const std::vector<TBiffRecord> records = Export();
  ASSERT_GT(records.size(), 40u);
  EXPECT_EQ(records[0].Id, 0x0809);
  EXPECT_EQ(HexBytes(records[0].Payload), "00060500bb0dcc070000000006020000");
  EXPECT_EQ(records[1].Id, 0x005C);
  EXPECT_EQ(records[1].Payload, std::string("\x0d\x00\x00", 3) + "Brisvane 2.80" + std::string(96, ' '));

  const std::vector<TBiffRecord> xfs = RecordsOf(0x00E0, records);
  ASSERT_GE(xfs.size(), 16u);
  const std::string style_xf = "f5ff200000f40000000000000000c020";
  for (int index = 0; index < 16; ++index) {
    const std::string font = index == 1 || index == 2 ? "0100" : index == 3 || index == 4 ? "0200" : "0000";
    std::string expected = font + "0000" + style_xf;
    if (index == 0) expected = "00000000f5ff20000000000000000000" "0000c020";
    if (index == 15) expected = "0100000001002000000000000000000000" "00c020";
    EXPECT_EQ(HexBytes(xfs[index].Payload), expected) << "XF " << index;
  }
  std::string styles;
  for (const TBiffRecord& record : RecordsOf(0x0293, records)) styles += HexBytes(record.Payload) + " ";
  EXPECT_EQ(styles, "108003ff 118006ff 128004ff 138007ff 008000ff 148005ff ");
}

TEST_F(WorkbookRecordsTest, WorkbookWithoutTextsHasAnEmptySharedStringTable) {
  const std::vector<TBiffRecord> records = Export([](TTabuloXLS& exporter) { exporter.AllowCaptions = false; });
  const std::vector<TBiffRecord> sst = RecordsOf(0x00FC, records);
  ASSERT_EQ(sst.size(), 1u);
  EXPECT_EQ(HexBytes(sst[0].Payload), "0000000000000000");
  ASSERT_GE(records.size(), 2u);
  EXPECT_EQ(records[records.size() - 1].Id, 0x000A);
  EXPECT_EQ(records[records.size() - 2].Id, 0x000A);
  EXPECT_EQ(records.back().Payload, "");
}

TEST_F(WorkbookRecordsTest, SheetListPointsAtEachSheetAndDimensionsCoverItsCells) {
  for (const char* amount : {"1", "2", "3"}) data_.AppendRecord({amount});
  const std::vector<TBiffRecord> records = Export();
  const std::vector<TBiffRecord> sheets = RecordsOf(0x0085, records);
  ASSERT_EQ(sheets.size(), 1u);
  const std::uint32_t bof = UInt32At(sheets[0].Payload, 0);
  EXPECT_EQ(HexBytes(file_.substr(512 + bof, 8)), "0908100000061000");
  EXPECT_EQ(sheets[0].Payload.substr(6), std::string("\x07\x00Sheet 1", 9));
  const std::vector<TBiffRecord> dimensions = RecordsOf(0x0200, records);
  ASSERT_EQ(dimensions.size(), 1u);
  // Rows 0 to 3 (caption and three records), column 0.
  EXPECT_EQ(HexBytes(dimensions[0].Payload), "0000000004000000000001000000");
}

TEST_F(WorkbookRecordsTest, SumFormulaCarriesItsResult) {
  for (const char* amount : {"1", "2", "3"}) data_.AppendRecord({amount});
  const std::vector<TBiffRecord> records = Export([](TTabuloXLS& exporter) {
    TxlsFieldFormat& format = exporter.FieldFormats.Add();
    format.FieldName = "amount";
    format.Aggregate = aggSum;
  });
  const std::vector<TBiffRecord> formulas = RecordsOf(0x0006, records);
  ASSERT_EQ(formulas.size(), 1u);
  EXPECT_EQ(HexBytes(formulas[0].Payload),
            "040000001000" "0000000000001840" "0200" "00000000" "0d00" "25" "0100" "0300" "00c000c0" "4201" "0400");
}

TEST_F(WorkbookRecordsTest, AggregateOverNoRowsIsBlank) {
  const std::vector<TBiffRecord> records = Export([](TTabuloXLS& exporter) {
    TxlsFieldFormat& format = exporter.FieldFormats.Add();
    format.FieldName = "AMOUNT";
    format.Aggregate = aggAvg;
  });
  EXPECT_TRUE(RecordsOf(0x0006, records).empty());
  const std::vector<TBiffRecord> blanks = RecordsOf(0x0201, records);
  ASSERT_EQ(blanks.size(), 1u);
  EXPECT_EQ(UInt16At(blanks[0].Payload, 0), 1);  // the row after the captions
}

TEST_F(WorkbookRecordsTest, TextBeyondTheCellLimitFailsNamingTheCell) {
  data_.Close();
  TMemoryDataSet data;
  data.AddField("NOTE", ftString, 40000);
  data.AppendRecord({std::string(32767, 'x')});
  data.AppendRecord({std::string(32766, 'x') + "\xE6\x97\xA5" + "y"});
  data.Open();
  TTabuloXLS exporter;
  exporter.DataSet = &data;
  exporter.FileName = directory_.File("long.xls");
  // The spreadsheet's name of the cell: the second record is row 3 below the captions.
  EXPECT_VELMORA_ERROR(exporter.Execute(), "Cell A3: String length more than 32767 characters");
}

// ---------------------------------------------------------------------------
// Shared strings

// Reads the table back as a reader does: each piece after a cut starts with its
// own option byte. Fails the test when a cut falls inside a character.
std::vector<std::u16string> ReadSharedStrings(const std::string& records_bytes) {
  std::vector<std::string> payloads;
  for (std::size_t offset = 0; offset < records_bytes.size();) {
    const std::uint16_t id = UInt16At(records_bytes, offset);
    const std::uint16_t length = UInt16At(records_bytes, offset + 2);
    EXPECT_EQ(id, payloads.empty() ? 0x00FC : 0x003C);
    EXPECT_LE(length, kMaxRecordPayload);
    payloads.push_back(records_bytes.substr(offset + 4, length));
    offset += 4 + length;
  }
  std::vector<std::u16string> texts;
  std::size_t record = 0;
  std::size_t position = 8;
  const std::uint32_t count = UInt32At(payloads[0], 4);
  for (std::uint32_t index = 0; index < count; ++index) {
    if (position == payloads[record].size()) ++record, position = 0;
    const std::uint16_t length = UInt16At(payloads[record], position);
    bool wide = payloads[record].at(position + 2) == 1;
    position += 3;
    std::u16string text;
    while (text.size() < length) {
      if (position == payloads[record].size()) {
        EXPECT_TRUE(text.empty() || text.back() < 0xD800 || text.back() > 0xDBFF) << "cut in a surrogate pair";
        ++record;
        wide = payloads.at(record).at(0) == 1;
        position = 1;
      }
      const std::size_t unit_size = wide ? 2 : 1;
      if (position + unit_size > payloads[record].size()) {
        ADD_FAILURE() << "cut inside a character";
        return texts;
      }
      if (wide) {
        text += static_cast<char16_t>(UInt16At(payloads[record], position));
      } else {
        text += static_cast<char16_t>(static_cast<unsigned char>(payloads[record][position]));
      }
      position += unit_size;
    }
    texts.push_back(text);
  }
  EXPECT_EQ(record + 1, payloads.size());
  EXPECT_EQ(position, payloads.back().size());
  return texts;
}

std::string Repeat(const std::string& piece, std::size_t count) {
  std::string text;
  for (std::size_t index = 0; index < count; ++index) text += piece;
  return text;
}

struct TSharedStringCase {
  const char* name;
  std::vector<std::string> texts;
};

class SharedStringCutTest : public ::testing::TestWithParam<TSharedStringCase> {};

TEST_P(SharedStringCutTest, EveryTextReadsBackExactly) {
  TxlsSharedStrings strings;
  std::vector<std::u16string> expected;
  for (const std::string& text : GetParam().texts) {
    if (strings.Add(text) == expected.size()) expected.push_back(Utf8ToUtf16(text));
  }
  std::string records;
  strings.AppendRecords(records);
  EXPECT_EQ(ReadSharedStrings(records), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SharedStringCutTest,
    ::testing::Values(
        TSharedStringCase{"Long", {std::string(4107, 'a'), std::string(9000, 'b'), std::string(20000, 'c')}},
        TSharedStringCase{"Wide", {Repeat("\xE6\x97\xA5", 4107), Repeat("\xC5\x81", 9000), Repeat("\xE4\xB8\xAD", 20000)}},
        TSharedStringCase{"OddStart", {"x", Repeat("\xE6\x97\xA5", 9000), std::string(8300, 'z')}},
        TSharedStringCase{"Surrogates", {"ab", Repeat("\xF0\x9F\x98\x80", 6000), "y" + Repeat("\xF0\x9F\x98\x80", 5000)}},
        // The first text fills the SST record to its last byte: 8 + 3 + 8213.
        TSharedStringCase{"ExactFill", {std::string(8213, 'f'), "next", std::string(8221, 'g'), "last"}},
        // Heads that do not fit the rest of a record move to the next.
        TSharedStringCase{"HeadAtTheEnd", {std::string(8212, 'h'), "ij", std::string(8220, 'k'), "\xE6\x97\xA5"}},
        TSharedStringCase{"Duplicates", {"Same", "same", "Same", "", "same"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Past several growths of the index and across storage blocks (the texts
// fill more than one), every text keeps its first index and its bytes.
TEST(SharedStringTableTest, TextsKeepTheirIndexAndBytesAcrossGrowth) {
  TxlsSharedStrings strings;
  std::vector<std::string> texts;
  for (int index = 0; index < 5000; ++index) texts.push_back(std::to_string(index) + std::string(250, 'y'));
  texts.push_back("");
  texts.push_back(std::string(32767, 'x'));
  for (std::size_t index = 0; index < texts.size(); ++index) EXPECT_EQ(strings.Add(texts[index]), index);
  for (std::size_t index = texts.size(); index-- > 0;) EXPECT_EQ(strings.Add(texts[index]), index);
  EXPECT_EQ(strings.Count(), texts.size());
  std::string records;
  strings.AppendRecords(records);
  std::vector<std::u16string> expected;
  for (const std::string& text : texts) expected.push_back(Utf8ToUtf16(text));
  EXPECT_EQ(ReadSharedStrings(records), expected);
}

// Past the dedupe budget a text met again may get a second entry, and past
// the spill size the records come back from the temporary file: every index
// still names its own text, long texts cut across records included.
TEST(SharedStringTableTest, PastTheDedupeBudgetEveryIndexKeepsItsText) {
  TxlsSharedStrings strings(64 << 10);
  std::vector<std::string> by_index;
  std::vector<std::string> texts;
  for (int index = 0; index < 6000; ++index) {
    texts.push_back("text " + std::to_string(index) + std::string(index % 97, 'q'));
    texts.push_back("same");
    if (index % 1500 == 0) texts.push_back(Repeat("\xE6\x97\xA5", 9000 + index));
  }
  std::vector<std::uint32_t> indexes;
  for (std::size_t position = 0; position < texts.size(); ++position) {
    const std::string& text = texts[position];
    // Regression: entries added without looking, between the texts of a
    // generation, shifted the indexes of the texts found after them.
    indexes.push_back(position % 7 == 3 ? strings.AddEntry(text) : strings.Add(text));
    if (indexes.back() == by_index.size()) by_index.push_back(text);
    ASSERT_LT(indexes.back(), by_index.size());
  }
  EXPECT_EQ(strings.Count(), by_index.size());
  EXPECT_GT(strings.Count(), 6004u);  // "same" came back in later generations
  EXPECT_LT(strings.Count(), 8200u);
  std::string records;
  strings.AppendRecords(records);
  EXPECT_EQ(static_cast<std::int64_t>(records.size()), strings.RecordsSize());
  EXPECT_GT(records.size(), std::size_t{256} << 10);
  const std::vector<std::u16string> read = ReadSharedStrings(records);
  ASSERT_EQ(read.size(), by_index.size());
  for (std::size_t position = 0; position < texts.size(); ++position) {
    ASSERT_EQ(read[indexes[position]], Utf8ToUtf16(texts[position])) << position;
  }
}

}  // namespace
}  // namespace velmora
