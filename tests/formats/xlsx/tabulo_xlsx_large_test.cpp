// A worksheet filled to its last row: the rows past 1,048,576 continue on a
// second sheet, read back by the independent reader. It writes and reads
// millions of cells, so it runs only with VELMORA_LARGE_TESTS=1 (ctest -L large).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/memory_dataset.h"
#include "formats/xlsx/tabulo_xlsx.h"
#include "formats/xlsx/xlsx_writer.h"
#include "platform/locale_settings.h"
#include "support/test_files.h"

namespace velmora {
namespace {

// Each sheet's name, row count, first two values and last value of column A,
// read row by row in the reader's streaming mode.
constexpr const char* kSheetDumper = R"(import sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1], read_only=True)
for sheet in book.worksheets:
    first, count, last = [], 0, None
    for row in sheet.iter_rows(values_only=True):
        count += 1
        if count <= 2:
            first.append(row[0])
        last = row[0]
    print(sheet.title, count, first, last)
)";

TEST(XlsxLargeTest, RowsPastTheLastRowOfASheetContinueOnTheNextSheet) {
  const char* enabled = std::getenv("VELMORA_LARGE_TESTS");
  if (enabled == nullptr || std::string(enabled) != "1") GTEST_SKIP() << "set VELMORA_LARGE_TESTS=1 to run";
  const TFormatSettings saved = FormatSettings();
  SetFormatSettings(TFormatSettings::CLocale());
  testsupport::TTempDir directory("xlsx-large");
  TMemoryDataSet data;
  data.AddField("N", ftInteger);
  // The caption row and 1,048,575 records fill the first sheet; five more follow.
  const int records = kMaxXlsxSheetRows - 1 + 5;
  for (int record = 1; record <= records; ++record) data.AppendRecord({std::to_string(record)});
  data.Open();
  TTabuloXLSX exporter;
  exporter.DataSet = &data;
  exporter.FileName = directory.File("large.xlsx");
  TxlsFieldFormat& format = exporter.FieldFormats.Add();
  format.SetDefault();
  format.FieldName = "N";
  format.Aggregate = aggSum;
  exporter.Execute();
  SetFormatSettings(saved);

  const auto result =
      testsupport::RunCommand({"/usr/bin/python3", "-c", kSheetDumper, exporter.FileName}, 1800);
  EXPECT_EQ(result.exit_status, 0) << result.output;
  // The aggregate after a continuation holds the sum over every record.
  const long long sum = static_cast<long long>(records) * (records + 1) / 2;
  EXPECT_EQ(result.output, "Sheet 1 1048576 ['N', 1] 1048575\n"
                           "Sheet 1 (2) 7 ['N', 1048576] " + std::to_string(sum) + "\n");
}

}  // namespace
}  // namespace velmora
