// The .xlsx workbook's failures: what a cell cannot hold fails the export
// naming the cell, and nothing of the workbook is left behind.
#include "formats/xlsx/tabulo_xlsx.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/memory_dataset.h"
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
  EXPECT_VELMORA_ERROR(exporter.Execute(), "Cell R2,C0: String length more than 32767 bytes");
  EXPECT_EQ(directory.Entries(), std::vector<std::string>{});
}

}  // namespace
}  // namespace velmora
