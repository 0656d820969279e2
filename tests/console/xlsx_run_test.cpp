// End-to-end runs of the .xlsx workbook through the example template, read
// back with the independent reader: values with their types, number formats,
// fonts, fills, strips and the aggregate formula.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "console_support.h"

namespace velmora {
namespace {

using consoletest::TVelmoraResult;

// Prints each sheet's name, size and page header, then each cell: coordinate,
// type, value, number format, bold, font colour, fill type and fill colour.
constexpr const char* kDumper = R"(import sys, warnings, openpyxl
warnings.simplefilter('ignore')
book = openpyxl.load_workbook(sys.argv[1])
for sheet in book.worksheets:
    print('sheet', sheet.title, sheet.max_row, sheet.max_column, repr(sheet.oddHeader.center.text))
    for row in sheet.iter_rows():
        for cell in row:
            if cell.value is None and not cell.has_style:
                continue
            color = cell.font.color.rgb if cell.font.color is not None and cell.font.color.type == 'rgb' else '-'
            fill = cell.fill.fgColor.rgb if cell.fill.fill_type else '-'
            print(cell.coordinate, cell.data_type, repr(cell.value), cell.number_format,
                  'bold' if cell.font.b else '-', color, fill)
)";

class XlsxRunTest : public consoletest::ConsoleServerTest {
 protected:
  std::string Dump(const std::string& name) {
    const auto result = testsupport::RunCommand({"/usr/bin/python3", "-c", kDumper, dir_.File(name)});
    EXPECT_EQ(result.exit_status, 0) << result.output;
    return result.output;
  }
};

TEST_F(XlsxRunTest, ExampleTemplateSetsFormatsStylesStripsAndTheSum) {
  const char* source = std::getenv("VELMORA_SOURCE_DIR");
  if (source == nullptr) GTEST_SKIP() << "VELMORA_SOURCE_DIR is not set";
  Write("orders.ini", testsupport::ReadFile(std::string(source) + "/examples/templates/orders.xlsx.ini"));
  const TVelmoraResult result = Run("[Tables]\n1=orders\n[Templates]\n1=orders.ini\n[Files]\n1=o.xlsx\n");
  EXPECT_EQ(result.lines, Connected({"orders: 3 records exported to o.xlsx"})) << result.errors;
  EXPECT_EQ(result.exit_status, 0);
  const std::string caption = " General bold FF000080 FFC0C0C0\n";
  const std::string plain = " - - -\n";
  const std::string shaded = " - - FFFFFF00\n";
  const std::string amount = " #,##0.00 bold FFFF0000 -\n";
  // The field style of amount takes precedence over the strips.
  EXPECT_EQ(Dump("o.xlsx"),
            "sheet Orders 2024 6 5 'Orders'\n"
            "A1 s 'Orders' General" + plain + "B1 s 'of 2024' General" + plain +
            "A2 s 'id'" + caption + "B2 s 'customer'" + caption + "C2 s 'amount'" + caption +
            "D2 s 'placed'" + caption + "E2 s 'note'" + caption +
            "A3 n 1 0" + plain + "B3 s 'Ann' General" + plain + "C3 n 1234.5" + amount +
            "D3 d datetime.datetime(2024, 1, 2, 0, 0) dd/mm/yyyy" + plain + "E3 s 'say \"hi\"' General" + plain +
            "A4 n 2 0" + shaded + "B4 s 'Bob' General" + shaded + "C4 n None" + amount +
            "D4 d datetime.datetime(2024, 2, 3, 0, 0) dd/mm/yyyy" + shaded + "E4 n None General" + shaded +
            "A5 n 3 0" + plain + "B5 s 'Zoë' General" + plain + "C5 n 7" + amount +
            "D5 d datetime.datetime(2024, 3, 4, 0, 0) dd/mm/yyyy" + plain + "E5 s 'a,b' General" + plain +
            "C6 f '=SUM(C3:C5)' #,##0.00 bold - -\n");
}

// A table through the default settings: the type follows from the file name.
TEST_F(XlsxRunTest, FileNameEndingPicksTheWorkbook) {
  const TVelmoraResult result = Run("[Tables]\n1=clients\n[Files]\n1=c.XLSX\n");
  EXPECT_EQ(result.lines, Connected({"clients: 2 records exported to c.XLSX"})) << result.errors;
  EXPECT_EQ(Dump("c.XLSX"),
            "sheet Sheet 1 3 2 None\n"
            "A1 s 'ID' General bold - -\nB1 s 'NAME' General bold - -\n"
            "A2 n 1 0 - - -\nB2 s 'Alpha' General - - -\n"
            "A3 n 2 0 - - -\nB3 s 'Beta' General - - -\n");
}

// Into a pipe the package streams as it is made, with nothing sought back:
// what the reader finds is what the same export into a file gives.
TEST_F(XlsxRunTest, PackageStreamsIntoAPipeAsIntoAFile) {
  Write("stdout.ini", "[GENERAL]\nExportType=13\nFileName=/dev/stdout\n");
  Write("run.cfg", SocketConnection() + "[Tables]\n1=clients\n[Templates]\n1=stdout.ini\n");
  const auto run = testsupport::RunCommand(
      {"/bin/sh", "-c",
       "cd '" + dir_.Path() + "' && '" + consoletest::VelmoraBinary() + "' run.cfg 2>errors.txt | cat > piped.xlsx"});
  EXPECT_EQ(run.exit_status, 0) << run.output;
  EXPECT_EQ(consoletest::SplitLines(Read("errors.txt")), Connected({"clients: 2 records exported to /dev/stdout"}));
  const TVelmoraResult result = Run("[Tables]\n1=clients\n[Files]\n1=file.xlsx\n");
  EXPECT_EQ(result.exit_status, 0) << result.errors;
  EXPECT_EQ(Dump("piped.xlsx"), Dump("file.xlsx"));
  EXPECT_NE(Dump("piped.xlsx").find("B3 s 'Beta'"), std::string::npos);
}

}  // namespace
}  // namespace velmora
