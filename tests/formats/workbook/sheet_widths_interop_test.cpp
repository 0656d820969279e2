// Column widths and number formats of both workbook formats as their Python
// readers see them: widths from the caption and the values (capped, a WIDTH
// entry kept), also when the rows after those a streamed result keeps are
// wider, and plain integers and fixed-point scales where the template chose
// no format.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "engine/memory_dataset.h"
#include "formats/xls/tabulo_xls.h"
#include "formats/xlsx/tabulo_xlsx.h"
#include "tests/formats/file_export_test.h"
#include "tests/formats/xls/xls_test_support.h"

namespace velmora {
namespace {

using testsupport::RunCommand;

constexpr const char* kPython = "/usr/bin/python3";

// "widths" and the width of each column in characters (two decimals), then
// "formats" and the number format of each cell of the first data row.
constexpr const char* kXlsReader = R"(import sys, xlrd
book = xlrd.open_workbook(sys.argv[1], formatting_info=True, logfile=open('/dev/null', 'w'))
sheet = book.sheet_by_index(0)
print('widths', ' '.join('%.2f' % (sheet.colinfo_map[c].width / 256) for c in range(sheet.ncols)))
print('formats', '|'.join(book.format_map[book.xf_list[sheet.cell(1, c).xf_index].format_key].format_str
                          for c in range(sheet.ncols)))
)";
constexpr const char* kXlsxReader = R"(import sys, openpyxl
sheet = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
widths = {}
for dimension in sheet.column_dimensions.values():
    for column in range(dimension.min, dimension.max + 1):
        widths[column] = dimension.width
print('widths', ' '.join('%.2f' % widths[c] for c in range(1, sheet.max_column + 1)))
print('formats', '|'.join(sheet.cell(2, c).number_format for c in range(1, sheet.max_column + 1)))
)";

struct TWorkbookFormat {
  const char* Name;
  std::function<std::unique_ptr<TTabuloWorkbook>()> Create;
  const char* Reader;
};

const TWorkbookFormat kFormats[] = {
    {"xls", [] { return std::make_unique<TTabuloXLS>(); }, kXlsReader},
    {"xlsx", [] { return std::make_unique<TTabuloXLSX>(); }, kXlsxReader},
};

class SheetWidthsInteropTest : public ::testing::Test {
 protected:
  SheetWidthsInteropTest() {
    data_.AddField("ID", ftInteger);
    data_.AddField("TITLE", ftString, 255);
    data_.AddField("DESCRIPTION", ftString, 255);
    data_.AddField("AMOUNT", ftBCD).SourceType = {"decimal(10,3)", "", ""};
    data_.AddField("K", ftString, 255);
    data_.AddField("LONG_CAPTION_NAME", ftInteger);
    data_.AppendRecord({"7", "ACADEMY DINOSAUR", std::string(90, 'x'), "2.5", "x", "1"});
    data_.AppendRecord({"1001", "AFRICAN EGG", "short", "1234.125", "y", "2"});
    // Capitals are wider than the digits the width unit counts.
    data_.AppendRecord({"12", std::string(26, 'W'), "", "1", "z", "3"});
    data_.Open();
  }

  // What the format's reader prints of the exported workbook.
  std::string Read(const TWorkbookFormat& format, const std::function<void(TTabuloWorkbook&)>& configure) {
    const std::string path = directory_.File(std::string("book.") + format.Name);
    const std::unique_ptr<TTabuloWorkbook> exporter = format.Create();
    exporter->DataSet = &data_;
    exporter->FileName = path;
    configure(*exporter);
    exporter->Execute();
    return testsupport::RunReaderScript({kPython, "-c", format.Reader, path}, {}, directory_);
  }

  static bool ReadersAvailable() { return RunCommand({kPython, "-c", "import xlrd, openpyxl"}).exit_status == 0; }

  testsupport::TFormatSettingsScope locale_;
  testsupport::TTempDir directory_{"sheet-widths"};
  TMemoryDataSet data_;
};

TEST_F(SheetWidthsInteropTest, WidthsComeFromCaptionsAndValuesAlsoAfterTheRowsKeptAhead) {
  // Each width holds the characters and the cell's margins (0.71 of a digit):
  // ID its widest value, TITLE the capitals of the third row, DESCRIPTION
  // the cap, AMOUNT "1,234.125", K its WIDTH entry, the long caption in bold.
  const std::string expected = "widths 4.71 45.71 60.71 9.71 3.71 23.71\n";
  const std::string every_value = "widths 4.71 45.71 90.71 9.71 3.71 23.71\n";
  const struct {
    const char* Name;
    int KeptRecords;
    bool AutoCalcColWidth;
    const std::string& Widths;
  } cases[] = {
      {"stored result", 0, false, expected},
      {"streamed, one record kept ahead", 1, false, expected},
      {"streamed, two records kept ahead", 2, false, expected},
      {"AutoCalcColWidth: every value, uncapped", 0, true, every_value},
  };
  if (!ReadersAvailable()) GTEST_SKIP() << "python3-xlrd or python3-openpyxl is not installed";
  for (const TWorkbookFormat& format : kFormats) {
    for (const auto& test : cases) {
      SCOPED_TRACE(std::string(format.Name) + ": " + test.Name);
      data_.KeptRecords = test.KeptRecords;
      const std::string read = Read(format, [&](TTabuloWorkbook& exporter) {
        exporter.ColumnsWidth = {"K=3"};
        exporter.AutoCalcColWidth = test.AutoCalcColWidth;
      });
      EXPECT_EQ(read.substr(0, read.find('\n') + 1), test.Widths);
    }
  }
}

TEST_F(SheetWidthsInteropTest, NumberFormatsArePlainIntegersAndTheScaleUnlessTheTemplateChose) {
  const struct {
    const char* Name;
    std::function<void(TTabuloWorkbook&)> Configure;
    const char* Formats;
  } cases[] = {
      {"defaults", [](TTabuloWorkbook&) {}, "formats 0|General|General|#,###,##0.000|General|0\n"},
      {"FORMATS entries", [](TTabuloWorkbook& exporter) {
         exporter.Formats.SetIntegerFormat("#,###,##0");
         exporter.Formats.SetFloatFormat("0.0");
       },
       "formats #,###,##0|General|General|0.0|General|#,###,##0\n"},
      {"USER_FORMATS entries", [](TTabuloWorkbook& exporter) { exporter.UserFormats = {"ID=00000", "AMOUNT=0"}; },
       "formats 00000|General|General|0|General|0\n"},
  };
  if (!ReadersAvailable()) GTEST_SKIP() << "python3-xlrd or python3-openpyxl is not installed";
  for (const TWorkbookFormat& format : kFormats) {
    for (const auto& test : cases) {
      SCOPED_TRACE(std::string(format.Name) + ": " + test.Name);
      const std::string read = Read(format, test.Configure);
      EXPECT_EQ(read.substr(read.find('\n') + 1), test.Formats);
    }
  }
}

}  // namespace
}  // namespace velmora
