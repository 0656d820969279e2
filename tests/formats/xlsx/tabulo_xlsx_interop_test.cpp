// Independent readers of the .xlsx workbook: the Python reader of Office Open
// XML workbooks reads every cell's type, value, number format, font and fill
// and the aggregate formulas; the office suite converts the workbook to CSV.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "formats/xlsx/tabulo_xlsx.h"
#include "formats/xlsx/xlsx_writer.h"
#include "platform/locale_settings.h"
#include "support/awkward_data.h"
#include "support/expect_error.h"
#include "support/test_files.h"
#include "tests/formats/xls/xls_test_support.h"

namespace velmora {
namespace {

using testsupport::FindExecutable;
using testsupport::HexBytes;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::TTempDir;

constexpr const char* kPython = "/usr/bin/python3";

// One line per sheet (name in hex, rows, columns, page header and footer) and
// per cell: row, column, type, value (texts decoded and as hex, or "=" and the number of
// the known text they equal), number format, bold, font colour, fill type and
// fill colour.
constexpr const char* kCellDumper = R"(import re, sys, warnings, openpyxl
warnings.simplefilter('ignore')
# The reader leaves the format's character escapes of text cells ("_x000D_"
# for CR, "_x005F_" for an underscore) as they are; they are decoded here.
def text(value):
    return re.sub('_x([0-9A-Fa-f]{4})_', lambda match: chr(int(match.group(1), 16)), value)
path = sys.argv[1]
known = {open(name, encoding='utf-8', newline='').read(): str(number) for number, name in enumerate(sys.argv[2:])}
book = openpyxl.load_workbook(path)
for sheet in book.worksheets:
    print('sheet', sheet.title.encode('utf-8').hex(), sheet.max_row, sheet.max_column,
          repr(sheet.oddHeader.center.text), repr(sheet.oddFooter.center.text))
    for row in sheet.iter_rows():
        for cell in row:
            if cell.value is None:
                continue
            value = repr(cell.value)
            if cell.data_type in ('s', 'inlineStr'):
                value = text(cell.value)
                value = '=' + known[value] if value in known else value.encode('utf-8').hex()
            color = cell.font.color.rgb if cell.font.color is not None and cell.font.color.type == 'rgb' else '-'
            print(cell.row, cell.column, cell.data_type, value, cell.number_format, 'bold' if cell.font.b else '-',
                  color, cell.fill.fill_type or '-', cell.fill.fgColor.rgb if cell.fill.fill_type else '-')
)";

bool ReaderAvailable() { return RunCommand({kPython, "-c", "import openpyxl"}).exit_status == 0; }

// A worksheet of four rows, so that continuation sheets need no million rows.
class TShortSheetWriter : public TTabuloXLSXWriter {
 public:
  using TTabuloXLSXWriter::TTabuloXLSXWriter;
  int MaxSheetRows() const override { return 4; }
};
class TShortSheetXLSX : public TTabuloXLSX {
 public:
  TxlsSinkClass GetSinkClass() const override { return &CreateSinkOf<TShortSheetWriter>; }
};

class XlsxInteropTest : public ::testing::Test {
 protected:
  std::string Dump(const std::string& path, const std::vector<std::string>& known = {}) {
    return testsupport::RunReaderScript({kPython, "-c", kCellDumper, path}, known, directory_);
  }

  testsupport::TFormatSettingsScope locale_;
  TTempDir directory_{"xlsx-interop"};
};

// Row and column counted from 1, as the reader counts them.
std::string Cell(int row, int col, const char* type, const std::string& value, const std::string& rest) {
  return std::to_string(row) + " " + std::to_string(col) + " " + type + " " + value + " " + rest + "\n";
}

TEST_F(XlsxInteropTest, ReaderGetsEveryCellWithItsTypeFormatAndStyle) {
  if (!ReaderAvailable()) GTEST_SKIP() << "python3-openpyxl is not installed";
  TMemoryDataSet data;
  data.AddField("ID", ftInteger);
  data.AddField("BIG", ftLargeint);
  data.AddField("AMOUNT", ftFloat);
  data.AddField("TEXT", ftString, 30000);
  data.AddField("DAY", ftDate);
  data.AddField("MOMENT", ftDateTime);
  data.AddField("FLAG", ftBoolean);
  const std::vector<std::string> texts = {
      "say \"hi\", <b>&amp;</b> ]]>",
      "line1\r\nline2\ttab \\back {brace}",
      "Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80",
      std::string(32767, 'c'),
      "=1+2 _x000D_ \x01 _X41_ _x12_",
  };
  data.AppendRecord({"1", "9007199254740993", "0.1", texts[0], "2004-12-31", "2004-12-31 23:59:58", "True"});
  data.AppendRecord({"-2", "9007199254740992", "1e300", texts[1], "1900-03-01", "1900-03-01 12:00:00", "False"});
  data.AppendRecord({"3", std::nullopt, "123456789.125", texts[2], std::nullopt, std::nullopt, std::nullopt});
  data.AppendRecord({"4", "-12", "-0.5", texts[3], "0000-00-00", "not a date", "False"});
  data.AppendRecord({"5", "0", "2.5", texts[4], "9999-12-31", "1999-12-31 00:00:01", "True"});
  data.Open();
  TTabuloXLSX exporter;
  exporter.DataSet = &data;
  exporter.FileName = directory_.File("fixture.xlsx");
  exporter.Options.PageHeader = "Fixture &P";
  TxlsFieldFormat& amount = exporter.FieldFormats.Add();
  amount.SetDefault();
  amount.FieldName = "AMOUNT";
  amount.Aggregate = aggSum;
  amount.Font.Name = "arial";
  amount.Font.Set(xfsBold, true);
  amount.Font.Color = clrRed;
  amount.Fill.Pattern = ptSolid;
  amount.Fill.Background = clrYellow;
  exporter.Execute();

  const std::string integer = "0 - - - -";  // plain integers without a format of the template's
  const std::string decimal = "#,###,##0.00 bold FFFF0000 solid FFFFFF00";
  const std::string general = "General - - - -";
  const std::string day = "yyyy-mm-dd - - - -";
  const std::string moment = "yyyy-mm-dd hh:mm:ss - - - -";
  std::string expected = "sheet " + HexBytes("Sheet 1") + " 7 7 'Fixture &P' 'Page &P of &N'\n";
  const char* captions[] = {"ID", "BIG", "AMOUNT", "TEXT", "DAY", "MOMENT", "FLAG"};
  for (int col = 1; col <= 7; ++col) expected += Cell(1, col, "s", HexBytes(captions[col - 1]), "General bold - - -");
  expected += Cell(2, 1, "n", "1", integer) + Cell(2, 2, "s", HexBytes("9007199254740993"), integer) +
              Cell(2, 3, "n", "0.1", decimal) + Cell(2, 4, "s", "=0", general) +
              Cell(2, 5, "d", "datetime.datetime(2004, 12, 31, 0, 0)", day) +
              Cell(2, 6, "d", "datetime.datetime(2004, 12, 31, 23, 59, 58)", moment) + Cell(2, 7, "b", "True", general);
  expected += Cell(3, 1, "n", "-2", integer) + Cell(3, 2, "n", "9007199254740992", integer) +
              Cell(3, 3, "n", "1e+300", decimal) + Cell(3, 4, "s", "=1", general) +
              Cell(3, 5, "d", "datetime.datetime(1900, 3, 1, 0, 0)", day) +
              Cell(3, 6, "d", "datetime.datetime(1900, 3, 1, 12, 0)", moment) + Cell(3, 7, "b", "False", general);
  expected += Cell(4, 1, "n", "3", integer) + Cell(4, 3, "n", "123456789.125", decimal) +
              Cell(4, 4, "s", "=2", general);
  expected += Cell(5, 1, "n", "4", integer) + Cell(5, 2, "n", "-12", integer) + Cell(5, 3, "n", "-0.5", decimal) +
              Cell(5, 4, "s", "=3", general) + Cell(5, 5, "s", HexBytes("0000-00-00"), day) +
              Cell(5, 6, "s", HexBytes("not a date"), moment) + Cell(5, 7, "b", "False", general);
  expected += Cell(6, 1, "n", "5", integer) + Cell(6, 2, "n", "0", integer) + Cell(6, 3, "n", "2.5", decimal) +
              Cell(6, 4, "s", "=4", general) + Cell(6, 5, "d", "datetime.datetime(9999, 12, 31, 0, 0)", day) +
              Cell(6, 6, "d", "datetime.datetime(1999, 12, 31, 0, 0, 1)", moment) + Cell(6, 7, "b", "True", general);
  expected += Cell(7, 3, "f", "'=SUM(C2:C6)'", "#,###,##0.00 - - - -");
  EXPECT_EQ(Dump(exporter.FileName, texts), expected);
}

// Every awkward text comes back as a text cell of its row, invalid bytes as
// U+FFFD, NUL and the other controls through their escapes, an empty text as
// an empty cell; a text beyond a cell's 32,767 characters is refused.
TEST_F(XlsxInteropTest, ReaderGetsEveryAwkwardTextBack) {
  if (!ReaderAvailable()) GTEST_SKIP() << "python3-openpyxl is not installed";
  TMemoryDataSet every;
  testsupport::FillAwkwardData(every);
  TTabuloXLSX exporter;
  exporter.DataSet = &every;
  exporter.FileName = directory_.File("awkward.xlsx");
  exporter.ExportedFields = {"TEXT"};
  EXPECT_VELMORA_ERROR(exporter.Execute(), "Cell A24: String length more than 32767 characters");

  TMemoryDataSet data;
  testsupport::FillAwkwardData(data, {"huge"});
  exporter.DataSet = &data;
  exporter.Execute();
  std::vector<std::string> known;
  std::string expected = "sheet " + HexBytes("Sheet 1") + " " +
                         std::to_string(testsupport::AwkwardRecordCount()) + " 1 None 'Page &P of &N'\n" +
                         Cell(1, 1, "s", HexBytes("TEXT"), "General bold - - -");
  for (const auto& text : testsupport::AwkwardTexts()) {
    if (text.Name == "huge") continue;
    known.push_back(text.Decoded);
    if (text.Bytes.empty()) continue;
    expected += Cell(static_cast<int>(known.size()) + 1, 1, "s", "=" + std::to_string(known.size() - 1),
                     "General - - - -");
  }
  EXPECT_EQ(Dump(exporter.FileName, known), expected);
}

// Cell by cell: reference, type and value as the reader gives them (texts
// with the format's escapes decoded), formulas with their cached results;
// then each column's width and the package's CRC check.
constexpr const char* kValueDumper = R"(import re, sys, warnings, zipfile, openpyxl
warnings.simplefilter('ignore')
def text(value):
    return re.sub('_x([0-9A-Fa-f]{4})_', lambda match: chr(int(match.group(1), 16)), value)
path = sys.argv[1]
formulas, cached = openpyxl.load_workbook(path), openpyxl.load_workbook(path, data_only=True)
for sheet, values in zip(formulas.worksheets, cached.worksheets):
    for row in sheet.iter_rows(min_row=2):
        for cell in row:
            if cell.value is None:
                continue
            value = text(cell.value) if cell.data_type in ('s', 'inlineStr') else cell.value
            extra = ' ' + repr(values[cell.coordinate].value) if cell.data_type == 'f' else ''
            print(cell.coordinate, cell.data_type, ascii(value) + extra)
    print('widths', [sheet.column_dimensions[letter].width for letter in 'ABC'])
print('testzip', zipfile.ZipFile(path).testzip())
)";

// The five data rows as the data-frame reader gives them, texts with the
// format's escapes decoded.
constexpr const char* kFrameDumper = R"(import re, sys, warnings, pandas
warnings.simplefilter('ignore')
frame = pandas.read_excel(sys.argv[1], dtype=object)
# Numbers with the 17 digits that tell every double apart (the reader turns
# whole numbers into integers).
def text(value):
    if isinstance(value, str):
        return ascii(re.sub('_x([0-9A-Fa-f]{4})_', lambda match: chr(int(match.group(1), 16)), value))
    return '%.17g' % value
for row in frame.head(5).itertuples(index=False):
    print('|'.join(text(value) for value in row))
)";

// Numbers keep every bit (the extremes of a double, values that need 17
// digits), numbers a double cannot carry (integers past 2^53, a subnormal
// given with more digits than it holds) keep every digit as text,
// and bytes that are not UTF-8 (0xFF 0x00 0xFE) come back as U+FFFD, NUL,
// U+FFFD; at every compression level, with the same widths and formulas.
TEST_F(XlsxInteropTest, ReaderGetsNumbersBitForBitAtEveryCompressionLevel) {
  if (!ReaderAvailable()) GTEST_SKIP() << "python3-openpyxl is not installed";
  using namespace std::string_literals;
  TMemoryDataSet data;
  data.AddField("DOUBLE", ftFloat);
  data.AddField("BIG", ftLargeint);
  data.AddField("BYTES", ftString, 10);
  data.AppendRecord({"1.7976931348623157e308", "9007199254740993", "\xFF\x00\xFE"s});
  data.AppendRecord({"-1.7976931348623157e308", "-9007199254740993", "_x0041_ \r"});
  data.AppendRecord({"0.30000000000000004", "9007199254740992", std::nullopt});
  data.AppendRecord({"4.9406564584124654e-324", "18446744073709551615", " lead"});
  data.AppendRecord({"-1234567890.1234567", "0", "x"});
  data.Open();
  const std::string expected =
      "A2 n 1.7976931348623157e+308\nB2 s '9007199254740993'\nC2 s '\\ufffd\\x00\\ufffd'\n"
      "A3 n -1.7976931348623157e+308\nB3 s '-9007199254740993'\nC3 s '_x0041_ \\r'\n"
      "A4 n 0.30000000000000004\nB4 n 9007199254740992\n"
      "A5 s '4.9406564584124654e-324'\nB5 s '18446744073709551615'\nC5 s ' lead'\n"
      "A6 n -1234567890.1234567\nB6 n 0\nC6 s 'x'\n"
      "A7 f '=MAX(A2:A6)' 1.7976931348623157e+308\nC7 f '=AVERAGE(C2:C6)' '#DIV/0!'\n"
      "widths [30.7109375, 20.7109375, 9.7109375]\ntestzip None\n";
  std::vector<std::uintmax_t> sizes;
  for (const int level : {0, 1, 9}) {
    TTabuloXLSX exporter;
    exporter.DataSet = &data;
    exporter.FileName = directory_.File("numbers" + std::to_string(level) + ".xlsx");
    exporter.CompressionLevel = level;
    exporter.ColumnsWidth.Add("DOUBLE=30");
    for (const auto& [field, aggregate] : {std::pair{"DOUBLE", aggMax}, std::pair{"BYTES", aggAvg}}) {
      TxlsFieldFormat& format = exporter.FieldFormats.Add();
      format.SetDefault();
      format.FieldName = field;
      format.Aggregate = aggregate;
    }
    exporter.Execute();
    const auto result = RunCommand({kPython, "-c", kValueDumper, exporter.FileName}, 120);
    EXPECT_EQ(result.output, expected) << "level " << level;
    sizes.push_back(ReadFile(exporter.FileName).size());
    // The data-frame reader gets the same numbers and texts.
    if (level == 1 && RunCommand({kPython, "-c", "import pandas"}).exit_status == 0) {
      const auto frame = RunCommand({kPython, "-c", kFrameDumper, exporter.FileName}, 120);
      EXPECT_EQ(frame.output,
                "1.7976931348623157e+308|'9007199254740993'|'\\ufffd\\x00\\ufffd'\n"
                "-1.7976931348623157e+308|'-9007199254740993'|'_x0041_ \\r'\n"
                "0.30000000000000004|9007199254740992|nan\n"
                "'4.9406564584124654e-324'|'18446744073709551615'|' lead'\n"
                "-1234567890.1234567|0|'x'\n")
          << frame.output;
    }
  }
  EXPECT_GT(sizes[0], sizes[1]);
  EXPECT_GE(sizes[1], sizes[2]);
}

// Rows past a full worksheet go on to sheets named like the first with " (2)",
// " (3)", each starting with the caption row; the aggregate row then holds the
// value over every row instead of a formula.
TEST_F(XlsxInteropTest, RowsBeyondASheetContinueOnNumberedSheets) {
  if (!ReaderAvailable()) GTEST_SKIP() << "python3-openpyxl is not installed";
  TMemoryDataSet data;
  data.AddField("N", ftInteger);
  for (int record = 1; record <= 7; ++record) data.AppendRecord({std::to_string(record)});
  data.Open();
  TShortSheetXLSX exporter;
  exporter.DataSet = &data;
  exporter.FileName = directory_.File("long.xlsx");
  exporter.Options.SetSheetTitle("'Numbers: 1/2 [all]'");
  TxlsFieldFormat& format = exporter.FieldFormats.Add();
  format.SetDefault();
  format.FieldName = "N";
  format.Aggregate = aggMax;
  format.Font.Name = "arial";
  exporter.Execute();
  const std::string caption = Cell(1, 1, "s", HexBytes("N"), "General bold - - -");
  auto number = [](int row, int value) { return Cell(row, 1, "n", std::to_string(value), "0 - - - -"); };
  auto sheet = [](const std::string& name, int rows) {
    return "sheet " + HexBytes(name) + " " + std::to_string(rows) + " 1 None 'Page &P of &N'\n";
  };
  EXPECT_EQ(Dump(exporter.FileName),
            sheet("_Numbers_ 1_2 _all__", 4) + caption + number(2, 1) + number(3, 2) + number(4, 3) +
                sheet("_Numbers_ 1_2 _all__ (2)", 4) + caption + number(2, 4) + number(3, 5) + number(4, 6) +
                sheet("_Numbers_ 1_2 _all__ (3)", 3) + caption + number(2, 7) +
                Cell(3, 1, "n", "7", "0 - - - -"));
}

// The office suite loads the workbook as a workbook: the CSV it converts to
// holds the texts, the formatted dates and the formula result.
TEST_F(XlsxInteropTest, OfficeSuiteConvertsTextsDatesAndFormulaResults) {
  const std::string soffice = FindExecutable("soffice");
  if (soffice.empty()) GTEST_SKIP() << "soffice is not installed";
  TMemoryDataSet data;
  data.AddField("NAME", ftString, 40);
  data.AddField("DAY", ftDate);
  data.AddField("AMOUNT", ftFloat);
  data.AppendRecord({"say \"hi\", \xE6\x97\xA5\xE6\x9C\xAC _x000D_", "2004-12-31", "1.25"});
  data.AppendRecord({std::string(5000, 'x') + "\xE4\xB8\xAD", "1999-01-02", "2.5"});
  data.Open();
  TTabuloXLSX exporter;
  exporter.DataSet = &data;
  exporter.FileName = directory_.File("office.xlsx");
  TxlsFieldFormat& format = exporter.FieldFormats.Add();
  format.SetDefault();
  format.FieldName = "AMOUNT";
  format.Aggregate = aggSum;
  exporter.Execute();
  const std::string out_dir = directory_.File("converted");
  const auto result = RunCommand({soffice, "-env:UserInstallation=file://" + directory_.File("profile"),
                                  "--headless", "--infilter=Calc MS Excel 2007 XML", "--convert-to",
                                  "csv:Text - txt - csv (StarCalc):44,34,76,1", "--outdir", out_dir,
                                  exporter.FileName},
                                 300);
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_EQ(ReadFile(out_dir + "/office.csv"),
            "\"NAME\",\"DAY\",\"AMOUNT\"\n\"say \"\"hi\"\", \xE6\x97\xA5\xE6\x9C\xAC _x000D_\",2004-12-31,1.25\n\"" +
                std::string(5000, 'x') + "\xE4\xB8\xAD\",1999-01-02,2.50\n,,3.75\n");
}

}  // namespace
}  // namespace velmora
