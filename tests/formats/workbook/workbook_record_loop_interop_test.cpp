// The workbook formats through the engine's record loop, read back by the
// Python readers of each format: the record window (skip and limit), an abort
// that OnStopExport ends or lets go on, continuation sheets inside the
// loop, and split exports whose parts are workbooks of their own. The events see the same counters in both formats.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "formats/xls/biff_writer.h"
#include "formats/xls/tabulo_xls.h"
#include "formats/xlsx/tabulo_xlsx.h"
#include "formats/xlsx/xlsx_writer.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::RunCommand;

constexpr const char* kPython = "/usr/bin/python3";

// One line per sheet: its name, then the values of its first column.
constexpr const char* kRowDumper = R"(import sys
path = sys.argv[1]
if path.endswith('.xlsx'):
    import openpyxl
    book = openpyxl.load_workbook(path)
    sheets = [(sheet.title, [row[0] for row in sheet.iter_rows(values_only=True)]) for sheet in book.worksheets]
else:
    import xlrd
    book = xlrd.open_workbook(path)
    sheets = [(sheet.name, sheet.col_values(0) if sheet.ncols else []) for sheet in book.sheets()]
for name, values in sheets:
    print(name + ':', ' '.join(str(int(value)) if isinstance(value, float) else str(value) for value in values))
)";

// Worksheets of four rows, so that continuation sheets need few records.
template <class Writer>
class TFourRowSink : public Writer {
 public:
  using Writer::Writer;
  int MaxSheetRows() const override { return 4; }
};
template <class Exporter, class Writer>
class TFourRowExporter : public Exporter {
 public:
  TxlsSinkClass GetSinkClass() const override { return &CreateSinkOf<TFourRowSink<Writer>>; }
};

struct TWorkbookFormat {
  const char* Name;
  const char* FileName;
  const char* Modules;  // what the reader imports
  std::unique_ptr<TTabuloWorkbook> (*Create)(bool four_row_sheets);
};

template <class Exporter, class Writer>
std::unique_ptr<TTabuloWorkbook> CreateWorkbook(bool four_row_sheets) {
  if (four_row_sheets) return std::make_unique<TFourRowExporter<Exporter, Writer>>();
  return std::make_unique<Exporter>();
}

class WorkbookRecordLoopTest : public ::testing::TestWithParam<TWorkbookFormat> {
 protected:
  testsupport::TFormatSettingsScope locale_;
  testsupport::TTempDir directory_{"workbook-loop"};
};

struct TLoopCase {
  const char* Name;
  int Skip;
  int Limit;
  int AbortAfter;  // the exported row whose event aborts; 0: none
  bool Continue;   // what OnStopExport answers
  bool FourRowSheets;
  const char* Sheets;  // what the reader gets
  const char* Events;
  int SplitRows;  // 0: one file; else the parts' sheets follow each other in Sheets
};

TEST_P(WorkbookRecordLoopTest, WindowAbortAndContinuationSheetsReachTheFileAndTheEvents) {
  const TWorkbookFormat& format = GetParam();
  if (RunCommand({kPython, "-c", std::string("import ") + format.Modules}).exit_status != 0) {
    GTEST_SKIP() << "the Python reader (" << format.Modules << ") is not installed";
  }
  const TLoopCase cases[] = {
      {"window", 2, 3, 0, false, false, "Sheet 1: NO 3 4 5\n", "s1 s2 e1:0 e2:1 e3:2", 0},
      {"abort and stop", 0, 0, 2, false, false, "Sheet 1: NO 1 2\n", "e1:0 e2:1 stop", 0},
      {"abort and continue", 0, 0, 2, true, false, "Sheet 1: NO 1 2 3 4 5 6\n",
       "e1:0 e2:1 continue e3:2 e4:3 e5:4 e6:5", 0},
      {"continuation sheets", 1, 5, 0, false, true, "Sheet 1: NO 2 3 4\nSheet 1 (2): NO 5 6\n",
       "s1 e1:0 e2:1 e3:2 e4:3 e5:4", 0},
      {"abort and stop on a continuation sheet", 0, 0, 4, false, true, "Sheet 1: NO 1 2 3\nSheet 1 (2): NO 4\n",
       "e1:0 e2:1 e3:2 e4:3 stop", 0},
      // Each part counts its own records; the window holds over the parts.
      {"parts of a window", 1, 4, 0, false, false, "Sheet 1: NO 2 3\nSheet 1: NO 4 5\n", "s1 e1:0 e2:1 e1:0 e2:1",
       2},
      {"continuation sheets inside parts", 0, 0, 0, false, true,
       "Sheet 1: NO 1 2 3\nSheet 1 (2): NO 4 5\nSheet 1: NO 6\n", "e1:0 e2:1 e3:2 e4:3 e5:4 e1:0", 5},
  };
  for (const TLoopCase& test_case : cases) {
    SCOPED_TRACE(test_case.Name);
    TMemoryDataSet data;
    data.AddField("NO", ftInteger);
    for (int number = 1; number <= 6; ++number) data.AppendRecord({std::to_string(number)});
    data.Open();
    const std::unique_ptr<TTabuloWorkbook> exporter = format.Create(test_case.FourRowSheets);
    exporter->DataSet = &data;
    exporter->FileName = directory_.File(format.FileName);
    exporter->SkipRecCount = test_case.Skip;
    exporter->ExportRecCount = test_case.Limit;
    exporter->SplitRows = test_case.SplitRows;
    std::string events;
    auto log = [&events](const std::string& event) { events += (events.empty() ? "" : " ") + event; };
    exporter->OnSkippedRecord = [&](TTabulo&, int record) { log("s" + std::to_string(record)); };
    exporter->OnExportedRecord = [&](TTabulo& sender, int exported) {
      events += (events.empty() ? "e" : " e") + std::to_string(exported);
      if (exported == test_case.AbortAfter) sender.Abort();
    };
    exporter->OnAdvancedExportedRecord = [&](TTabulo&, int, int record) { events += ":" + std::to_string(record); };
    exporter->OnStopExport = [&](TTabulo&, bool& can_continue) {
      can_continue = test_case.Continue;
      log(can_continue ? "continue" : "stop");
    };
    exporter->Execute();
    EXPECT_EQ(events, test_case.Events);
    std::vector<std::string> files = exporter->PartFileNames();
    if (files.empty()) files.push_back(exporter->FileName);
    std::string sheets;
    for (const std::string& file : files) {
      const testsupport::TCommandResult read = RunCommand({kPython, "-c", kRowDumper, file});
      EXPECT_EQ(read.exit_status, 0) << read.output;
      sheets += read.output;
    }
    EXPECT_EQ(sheets, test_case.Sheets);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WorkbookRecordLoopTest,
    ::testing::Values(TWorkbookFormat{"XLS", "loop.xls", "xlrd", &CreateWorkbook<TTabuloXLS, TTabuloXLSWriter>},
                      TWorkbookFormat{"XLSX", "loop.xlsx", "openpyxl",
                                      &CreateWorkbook<TTabuloXLSX, TTabuloXLSXWriter>}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace velmora
