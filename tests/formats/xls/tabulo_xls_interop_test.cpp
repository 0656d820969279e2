// Independent readers of the workbook exporter's output: the Python reader of
// BIFF8 files reads every cell's type, value, number format and font, the
// compound-document reader checks the container, and the office suite converts
// the workbook to CSV. One awkward fixture goes through each of them.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "formats/xls/xls_shared_strings.h"
#include "platform/locale_settings.h"
#include "support/awkward_data.h"
#include "support/expect_error.h"
#include "tests/formats/xls/xls_test_support.h"

namespace velmora {
namespace {

using testsupport::FindExecutable;
using testsupport::HexBytes;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::TTempDir;

constexpr const char* kPython = "/usr/bin/python3";

// One line per sheet ("sheet", name hex, rows, columns) and per cell: row,
// column, cell type, value (texts as hex of their UTF-8 bytes), the number
// format code and whether the font is bold.
// Texts equal to one of the files named after the limit are printed as "=" and
// the file's number, which keeps long texts out of the output.
constexpr const char* kCellDumper = R"(import sys, xlrd, olefile
path, limit = sys.argv[1], int(sys.argv[2])
known = {open(name, encoding='utf-8', newline='').read(): str(number) for number, name in enumerate(sys.argv[3:])}
ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
stream = ole.openstream('Workbook').read()
print('container', ole.listdir(), ole.get_size('Workbook') == len(stream))
book = xlrd.open_workbook(path, formatting_info=True, logfile=open('/dev/null', 'w'))
for sheet in book.sheets():
    print('sheet', sheet.name.encode('utf-8').hex(), sheet.nrows, sheet.ncols)
    for row in list(range(min(sheet.nrows, limit))) + list(range(max(limit, sheet.nrows - 2), sheet.nrows)):
        for col in range(sheet.ncols):
            cell = sheet.cell(row, col)
            if cell.ctype in (0, 6):
                continue
            xf = book.xf_list[cell.xf_index]
            value = repr(cell.value)
            if cell.ctype == 1:
                value = '=' + known[cell.value] if cell.value in known else cell.value.encode('utf-8').hex()
            print(row, col, cell.ctype, value, book.format_map[xf.format_key].format_str,
                  book.font_list[xf.font_index].weight)
)";

bool ReaderAvailable() { return RunCommand({kPython, "-c", "import xlrd, olefile"}).exit_status == 0; }

class XlsInteropTest : public ::testing::Test {
 protected:
  std::string Dump(const std::string& path, int limit = 1000, const std::vector<std::string>& known = {}) {
    return testsupport::RunReaderScript({kPython, "-c", kCellDumper, path, std::to_string(limit)}, known,
                                        directory_);
  }

  testsupport::TFormatSettingsScope locale_;
  TTempDir directory_{"xls-interop"};
};

std::string TextCell(int row, int col, const std::string& text, const std::string& bold = "400") {
  return std::to_string(row) + " " + std::to_string(col) + " 1 " + HexBytes(text) + " General " + bold + "\n";
}

// A text cell holding the known text of that number.
std::string KnownCell(int row, int col, int known) {
  return std::to_string(row) + " " + std::to_string(col) + " 1 =" + std::to_string(known) + " General 400\n";
}

TEST_F(XlsInteropTest, ReaderGetsEveryCellBack) {
  if (!ReaderAvailable()) GTEST_SKIP() << "python3-xlrd or python3-olefile is not installed";
  TMemoryDataSet data;
  data.AddField("ID", ftInteger);
  data.AddField("BIG", ftLargeint);
  data.AddField("AMOUNT", ftFloat);
  data.AddField("TEXT", ftString, 30000);
  data.AddField("DAY", ftDate);
  data.AddField("MOMENT", ftDateTime);
  data.AddField("FLAG", ftBoolean);
  const std::vector<std::string> texts = {
      "say \"hi\", <b>&amp;</b>",
      "line1\r\nline2\ttab \\back {brace}",
      "Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80",
      std::string(4107, 'a'),
      std::string(9000, 'b') + "\xE4\xB8\xAD",
      std::string(20000, 'c'),
  };
  data.AppendRecord({"1", "9007199254740993", "0.1", texts[0], "2004-12-31", "2004-12-31 23:59:58", "True"});
  data.AppendRecord({"-2", "9007199254740992", "1e300", texts[1], "1900-01-01", "1900-03-01 12:00:00", "False"});
  data.AppendRecord({"3", std::nullopt, "123456789.125", texts[2], std::nullopt, std::nullopt, std::nullopt});
  data.AppendRecord({"4", "-12", "-0.5", texts[3], "1900-02-28", "2000-02-29 00:00:00", "true"});
  data.AppendRecord({"5", "0", "2.5", texts[4], "0000-00-00", "not a date", "False"});
  data.AppendRecord({"6", "7", "3", texts[5], "9999-12-31", "1999-12-31 00:00:01", "False"});
  data.Open();
  const std::string path = directory_.File("fixture.xls");
  testsupport::ExportWorkbook(data, path, [](TTabuloXLS& exporter) {
    TxlsFieldFormat& format = exporter.FieldFormats.Add();
    format.FieldName = "AMOUNT";
    format.Aggregate = aggSum;
    // Regression: a Boolean cell compared the value's text with this text,
    // so every value came out false.
    exporter.Formats.SetBooleanTrue("Yes");
  });

  const std::string integer = " 0 400\n";  // plain integers without a format of the template's
  const std::string decimal = " #,###,##0.00 400\n";
  const std::string day = " yyyy-mm-dd 400\n";
  const std::string moment = " yyyy-mm-dd hh:mm:ss 400\n";
  std::string expected = "container [['Workbook']] True\nsheet " + HexBytes("Sheet 1") + " 8 7\n";
  const char* captions[] = {"ID", "BIG", "AMOUNT", "TEXT", "DAY", "MOMENT", "FLAG"};
  for (int col = 0; col < 7; ++col) expected += TextCell(0, col, captions[col], "700");
  expected += "1 0 2 1.0" + integer + "1 1 1 " + HexBytes("9007199254740993") + integer + "1 2 2 0.1" + decimal +
              KnownCell(1, 3, 0) + "1 4 3 38352.0" + day + "1 5 3 38352.999976851854" + moment +
              "1 6 4 1 General 400\n";
  expected += "2 0 2 -2.0" + integer + "2 1 2 9007199254740992.0" + integer + "2 2 2 1e+300" + decimal +
              KnownCell(2, 3, 1) + "2 4 3 1.0" + day + "2 5 3 61.5" + moment + "2 6 4 0 General 400\n";
  expected += "3 0 2 3.0" + integer + "3 2 2 123456789.125" + decimal + KnownCell(3, 3, 2);
  expected += "4 0 2 4.0" + integer + "4 1 2 -12.0" + integer + "4 2 2 -0.5" + decimal +
              KnownCell(4, 3, 3) + "4 4 3 59.0" + day + "4 5 3 36585.0" + moment + "4 6 4 1 General 400\n";
  expected += "5 0 2 5.0" + integer + "5 1 2 0.0" + integer + "5 2 2 2.5" + decimal + KnownCell(5, 3, 4) +
              "5 4 1 " + HexBytes("0000-00-00") + day + "5 5 1 " + HexBytes("not a date") + moment + "5 6 4 0 General 400\n";
  expected += "6 0 2 6.0" + integer + "6 1 2 7.0" + integer + "6 2 2 3.0" + decimal + KnownCell(6, 3, 5) +
              "6 4 3 2958465.0" + day + "6 5 3 36525.00001157408" + moment + "6 6 4 0 General 400\n";
  expected += "7 2 2 1e+300" + decimal;
  EXPECT_EQ(Dump(path, 1000, texts), expected);
}

// Every awkward text comes back as a text cell of its row, invalid bytes as
// U+FFFD, an empty text as an empty cell; a text beyond a cell's 32,767
// characters is refused.
TEST_F(XlsInteropTest, ReaderGetsEveryAwkwardTextBack) {
  if (!ReaderAvailable()) GTEST_SKIP() << "python3-xlrd or python3-olefile is not installed";
  const auto text_only = [](TTabuloXLS& exporter) { exporter.ExportedFields = {"TEXT"}; };
  TMemoryDataSet every;
  testsupport::FillAwkwardData(every);
  EXPECT_VELMORA_ERROR(testsupport::ExportWorkbook(every, directory_.File("huge.xls"), text_only),
                       "Cell A24: String length more than 32767 characters");

  TMemoryDataSet data;
  testsupport::FillAwkwardData(data, {"huge"});
  const std::string path = directory_.File("awkward.xls");
  testsupport::ExportWorkbook(data, path, text_only);
  std::vector<std::string> known;
  std::string expected = "container [['Workbook']] True\nsheet " + HexBytes("Sheet 1") + " " +
                         std::to_string(testsupport::AwkwardRecordCount()) + " 1\n" +
                         TextCell(0, 0, "TEXT", "700");
  for (const auto& text : testsupport::AwkwardTexts()) {
    if (text.Name == "huge") continue;
    known.push_back(text.Decoded);
    if (!text.Bytes.empty())
      expected += KnownCell(static_cast<int>(known.size()), 0, static_cast<int>(known.size()) - 1);
  }
  EXPECT_EQ(Dump(path, 1000, known), expected);
}

// The office suite's converter loads the workbook as a workbook (it reports
// success even when loading fails, so the CSV must exist and hold the values).
TEST_F(XlsInteropTest, OfficeSuiteConvertsTextsDatesAndFormulaResults) {
  const std::string soffice = FindExecutable("soffice");
  if (soffice.empty()) GTEST_SKIP() << "soffice is not installed";
  TMemoryDataSet data;
  data.AddField("NAME", ftString, 40);
  data.AddField("DAY", ftDate);
  data.AddField("AMOUNT", ftFloat);
  data.AppendRecord({"say \"hi\", \xE6\x97\xA5\xE6\x9C\xAC", "2004-12-31", "1.25"});
  data.AppendRecord({std::string(5000, 'x') + "\xE4\xB8\xAD", "1999-01-02", "2.5"});
  data.Open();
  const std::string path = directory_.File("office.xls");
  testsupport::ExportWorkbook(data, path, [](TTabuloXLS& exporter) {
    TxlsFieldFormat& format = exporter.FieldFormats.Add();
    format.FieldName = "AMOUNT";
    format.Aggregate = aggSum;
  });
  const std::string out_dir = directory_.File("converted");
  const auto result = RunCommand({soffice, "-env:UserInstallation=file://" + directory_.File("profile"),
                                  "--headless", "--infilter=MS Excel 97", "--convert-to",
                                  "csv:Text - txt - csv (StarCalc):44,34,76,1", "--outdir", out_dir, path},
                                 300);
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_EQ(ReadFile(out_dir + "/office.csv"),
            "\"NAME\",\"DAY\",\"AMOUNT\"\n\"say \"\"hi\"\", \xE6\x97\xA5\xE6\x9C\xAC\",2004-12-31,1.25\n\"" +
                std::string(5000, 'x') + "\xE4\xB8\xAD\",1999-01-02,2.50\n,,3.75\n");
}

TEST_F(XlsInteropTest, RowsBeyondASheetContinueOnNumberedSheets) {
  if (!ReaderAvailable()) GTEST_SKIP() << "python3-xlrd or python3-olefile is not installed";
  TMemoryDataSet data;
  data.AddField("N", ftInteger);
  for (int record = 1; record <= 70000; ++record) data.AppendRecord({std::to_string(record)});
  data.Open();
  const std::string path = directory_.File("long.xls");
  testsupport::ExportWorkbook(data, path, [](TTabuloXLS& exporter) {
    exporter.Options.SetSheetTitle("Numbers: 1/2 [all] of a rather long title");
    TxlsFieldFormat& format = exporter.FieldFormats.Add();
    format.FieldName = "N";
    format.Aggregate = aggMax;
  });
  const std::string integer = " 0 400\n";  // plain integers without a format of the template's
  const std::string first = "Numbers_ 1_2 _all_ of a rather ";
  const std::string second = "Numbers_ 1_2 _all_ of a rat (2)";
  EXPECT_EQ(Dump(path, 2), "container [['Workbook']] True\n"
                           "sheet " + HexBytes(first) + " 65536 1\n" + TextCell(0, 0, "N", "700") +
                               "1 0 2 1.0" + integer + "65534 0 2 65534.0" + integer + "65535 0 2 65535.0" +
                               integer + "sheet " + HexBytes(second) + " 4467 1\n" + TextCell(0, 0, "N", "700") +
                               "1 0 2 65536.0" + integer + "4465 0 2 70000.0" + integer + "4466 0 2 70000.0" +
                               integer);
}

// A workbook whose texts pass the shared-string table's dedupe budget and
// spill size, in a column whose texts never repeat: the reader and the
// office suite get every text of every row.
TEST_F(XlsInteropTest, TextsPastTheStringTableBoundReadBackWhole) {
  if (!ReaderAvailable()) GTEST_SKIP() << "python3-xlrd or python3-olefile is not installed";
  struct TBudget {
    TBudget() { TxlsSharedStrings::SetDedupeBudgetForTesting(64 << 10); }
    ~TBudget() { TxlsSharedStrings::SetDedupeBudgetForTesting(0); }
  } budget;
  TMemoryDataSet data;
  data.AddField("NAME", ftString, 30000);
  data.AddField("CITY", ftString, 20);
  data.AddField("GROUP", ftString, 20);
  const std::vector<std::string> cities = {"Lyon & <Paris>", "Z\xC3\xBCrich", "Oslo"};
  std::vector<std::string> known;
  std::string expected_csv = "\"NAME\",\"CITY\",\"GROUP\"\n";
  std::string expected =
      TextCell(0, 0, "NAME", "700") + TextCell(0, 1, "CITY", "700") + TextCell(0, 2, "GROUP", "700");
  constexpr int kRows = 17000;  // past the first trial of the names, which then go unlooked for
  for (int record = 0; record < kRows; ++record) {
    std::string name =
        "name " + std::to_string(record) + std::string(static_cast<std::size_t>(record % 61), '-');
    if (record % 1000 == 999) {
      name = std::string(9000, static_cast<char>('a' + record / 1000)) + "\xE4\xB8\xAD";
      known.push_back(name);
      expected += KnownCell(record + 1, 0, static_cast<int>(known.size()) - 1);
    } else {
      expected += TextCell(record + 1, 0, name);
    }
    const std::string& city = cities[static_cast<std::size_t>(record % 3)];
    // Texts first met among names added without looking, then met again.
    const std::string group = "group " + std::to_string(record / 100);
    expected += TextCell(record + 1, 1, city) + TextCell(record + 1, 2, group);
    data.AppendRecord({name, city, group});
    expected_csv += "\"" + name + "\",\"" + city + "\",\"" + group + "\"\n";
  }
  data.Open();
  const std::string path = directory_.File("bound.xls");
  testsupport::ExportWorkbook(data, path, [](TTabuloXLS&) {});
  const std::string head = "container [['Workbook']] True\nsheet " + HexBytes("Sheet 1") + " " +
                           std::to_string(kRows + 1) + " 3\n";
  EXPECT_EQ(Dump(path, kRows + 1, known), head + expected);

  const std::string soffice = FindExecutable("soffice");
  if (soffice.empty()) return;
  const std::string out_dir = directory_.File("converted");
  const auto result = RunCommand({soffice, "-env:UserInstallation=file://" + directory_.File("profile"),
                                  "--headless", "--infilter=MS Excel 97", "--convert-to",
                                  "csv:Text - txt - csv (StarCalc):44,34,76,1", "--outdir", out_dir, path},
                                 300);
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_EQ(ReadFile(out_dir + "/bound.csv"), expected_csv);
}

}  // namespace
}  // namespace velmora
