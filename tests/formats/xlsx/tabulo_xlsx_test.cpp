// The .xlsx workbook's failures: what a cell cannot hold fails the export
// naming the cell, and nothing of the workbook is left behind.
#include "formats/xlsx/tabulo_xlsx.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "platform/ini_file.h"
#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

TEST(XlsxExportTest, TextLongerThanACellFailsNamingTheCellAndLeavesNoFile) {
  testsupport::TTempDir directory("xlsx");
  TMemoryDataSet data;
  data.AddField("TEXT", ftString);
  // 32,767 characters fit, counted as characters rather than bytes.
  data.AppendRecord({std::string(32766, 'x') + "\xC3\xA9"});
  data.AppendRecord({std::string(32767, 'x') + "\xC3\xA9"});
  data.Open();
  TTabuloXLSX exporter;
  exporter.DataSet = &data;
  exporter.FileName = directory.File("long.xlsx");
  EXPECT_VELMORA_ERROR(exporter.Execute(), "Cell A3: String length more than 32767 characters");
  EXPECT_EQ(directory.Entries(), std::vector<std::string>{});
}

// The limit counts UTF-16 units, as spreadsheet programs do: a character
// beyond U+FFFF takes two, so 16,384 of them no longer fit, in the second
// column of the first record here.
TEST(XlsxExportTest, CharactersBeyondTheBasicPlaneCountTwiceTowardsTheCellLimit) {
  testsupport::TTempDir directory("xlsx");
  std::string emoji;
  for (int index = 0; index < 16383; ++index) emoji += "\xF0\x9F\x98\x80";
  TMemoryDataSet data;
  data.AddField("ID", ftInteger);
  data.AddField("TEXT", ftString);
  data.AppendRecord({"1", emoji + "x"});
  data.AppendRecord({"2", emoji + "\xF0\x9F\x98\x80"});
  data.Open();
  TTabuloXLSX exporter;
  exporter.DataSet = &data;
  exporter.AllowCaptions = false;
  exporter.FileName = directory.File("wide.xlsx");
  EXPECT_VELMORA_ERROR(exporter.Execute(), "Cell B2: String length more than 32767 characters");
  EXPECT_EQ(directory.Entries(), std::vector<std::string>{});
}

// Readers refuse a workbook with two sheets of one name (letter case
// ignored): the second fails the item, and no file is left.
TEST(XlsxExportTest, ASecondSheetOfTheSameNameFailsTheItem) {
  testsupport::TTempDir directory("xlsx");
  TMemoryDataSet data;
  data.AddField("ID", ftInteger);
  data.AppendRecord({"1"});
  data.Open();
  TTabuloXLSX exporter;
  exporter.DataSet = &data;
  exporter.FileName = directory.File("twice.xlsx");
  for (const char* title : {"Orders", "ORDERS"}) {
    TxlsSheet& sheet = exporter.AddSheet();
    sheet.Title = title;
    sheet.DataSet = &data;
  }
  EXPECT_VELMORA_ERROR(exporter.Execute(), "Sheet name \"ORDERS\" is used by an earlier sheet of the workbook");
  EXPECT_EQ(directory.Entries(), std::vector<std::string>{});
}

// [XLSX] CompressionLevel chooses the deflate level; a level deflate does not
// have is refused, naming key and value, before the first byte (the format's
// read-ahead check runs before the output file is made) and changes nothing.
TEST(XlsxExportTest, CompressionLevelIsReadAndALevelOutOfRangeIsRefused) {
  TMemoryDataSet data;
  data.AddField("ID", ftInteger);
  const struct {
    const char* Lines;
    int Level;
    const char* Message;
  } cases[] = {
      {"[XLSX]\n", 1, nullptr},
      {"[XLSX]\nCompressionLevel=0\n", 0, nullptr},
      {"[XLSX]\nCompressionLevel=9\n", 9, nullptr},
      {"[XLSX]\nCompressionLevel=fast\n", 1, nullptr},  // no number: the default
      {"[XLSX]\nCompressionLevel=10\n", 1, "Invalid value \"10\" for CompressionLevel in [XLSX]: give a number from 0 to 9"},
      {"[XLSX]\nCompressionLevel=-1\n", 1, "Invalid value \"-1\" for CompressionLevel in [XLSX]: give a number from 0 to 9"},
  };
  for (const auto& test : cases) {
    const TIniFile ini = TIniFile::FromText(test.Lines);
    TTabuloXLSX exporter;
    if (test.Message != nullptr) {
      EXPECT_VELMORA_ERROR(kXLSXFormat.ReadsAhead(ini), test.Message);
      EXPECT_VELMORA_ERROR(exporter.ReadFormatSections(ini, data), test.Message);
    } else {
      EXPECT_FALSE(kXLSXFormat.ReadsAhead(ini));
      exporter.ReadFormatSections(ini, data);
    }
    EXPECT_EQ(exporter.CompressionLevel, test.Level) << test.Lines;
  }
}

}  // namespace
}  // namespace velmora
