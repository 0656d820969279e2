// A worksheet filled to its last row: the rows past 1,048,576 continue on a
// second sheet, read back by the independent reader; and a workbook past
// 4 GiB. They write and read millions of cells or gigabytes, so they run only
// with VELMORA_LARGE_TESTS=1 (ctest -L large).
#include <fcntl.h>
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

// The package's ZIP64 records: every size and offset past 4 GiB. Each entry
// is checked (CRC and size) by Python's zipfile, and the worksheet's end is
// read back through the whole inflated stream.
constexpr const char* kLargePackageChecker = R"(import sys, zipfile, openpyxl
archive = zipfile.ZipFile(sys.argv[1])
sheet = archive.getinfo('xl/worksheets/sheet1.xml')
print('sizes', sheet.file_size > 2**32, sheet.compress_size > 2**32, archive.getinfo('xl/styles.xml').header_offset > 2**32)
print('testzip', archive.testzip())
tail = b''
with archive.open(sheet) as stream:
    while True:
        chunk = stream.read(1 << 24)
        if not chunk:
            break
        tail = (tail + chunk)[-200:]
print('tail', tail[tail.rfind(b'<row'):tail.rfind(b'</sheetData>')].decode())
print('sheets', openpyxl.load_workbook(sys.argv[1], read_only=True).sheetnames)
)";

TEST(XlsxLargeTest, WorkbookPastFourGibibytesGetsZip64Records) {
  const char* enabled = std::getenv("VELMORA_LARGE_TESTS");
  if (enabled == nullptr || std::string(enabled) != "1") GTEST_SKIP() << "set VELMORA_LARGE_TESTS=1 to run";
  testsupport::TTempDir directory("xlsx-zip64");
  const std::string path = directory.File("large.xlsx");
  {
    TTabuloXLSX owner;
    TOutputStream stream(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644), path);
    TTabuloXLSXWriter writer(owner, stream);
    // Stored, so that the offsets pass 4 GiB as well as the sizes.
    writer.SetCompressionLevel(0);
    writer.WriteWorkbookGlobals(TxlsFont{});
    writer.BeginSheet(u"Large", "", "", 0, {20});
    const std::string text(32000, 'x');
    const int rows = 140000;  // 4.48 GB of worksheet
    for (int row = 0; row < rows; ++row) writer.WriteStringCell(row, 0, kDefaultXF, text);
    writer.WriteNumberCell(rows, 1, kDefaultXF, rows);
    writer.EndSheet(rows + 1, 2);
    writer.Finish();
    stream.Close(false);
  }
  const auto result = testsupport::RunCommand({"/usr/bin/python3", "-c", kLargePackageChecker, path}, 3600);
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_EQ(result.output, "sizes True True True\ntestzip None\n"
                           "tail <row r=\"140001\"><c r=\"B140001\"><v>140000</v></c></row>\n"
                           "sheets ['Large']\n");
}

}  // namespace
}  // namespace velmora
