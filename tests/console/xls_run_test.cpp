// End-to-end runs of the workbook format, the default export type, read back
// with the independent BIFF reader: values, number formats, fonts, strips and
// the aggregate row set by a template.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "console_support.h"

namespace velmora {
namespace {

using consoletest::TVelmoraResult;

// Prints each sheet's name and each cell: row, column, type, value, number
// format, font weight and colour index, fill pattern and colour index.
constexpr const char* kDumper = R"(import sys, xlrd
book = xlrd.open_workbook(sys.argv[1], formatting_info=True, logfile=open('/dev/null', 'w'))
for sheet in book.sheets():
    print('sheet', sheet.name, sheet.nrows, sheet.ncols)
    for row in range(sheet.nrows):
        for col in range(sheet.ncols):
            cell = sheet.cell(row, col)
            if cell.ctype == 0:
                continue
            xf = book.xf_list[cell.xf_index]
            font = book.font_list[xf.font_index]
            print(row, col, cell.ctype, repr(cell.value), book.format_map[xf.format_key].format_str,
                  font.weight, font.colour_index, xf.background.fill_pattern, xf.background.pattern_colour_index)
)";

class XlsRunTest : public consoletest::ConsoleServerTest {
 protected:
  static std::string SourceDir() {
    const char* directory = std::getenv("VELMORA_SOURCE_DIR");
    return directory != nullptr ? directory : "";
  }
  std::string Dump(const std::string& name) {
    const auto result = testsupport::RunCommand({"/usr/bin/python3", "-c", kDumper, dir_.File(name)});
    EXPECT_EQ(result.exit_status, 0) << result.output;
    return result.output;
  }
};

TEST_F(XlsRunTest, ItemWithoutFileEntryWritesAWorkbook) {
  const TVelmoraResult result = Run("[Tables]\n1=clients\n");
  EXPECT_EQ(result.lines, Connected({"clients: 2 records exported to clients.xls"}));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(Dump("clients.xls"),
            "sheet Sheet 1 3 2\n"
            "0 0 1 'ID' General 700 8 0 9\n"
            "0 1 1 'NAME' General 700 8 0 9\n"
            "1 0 2 1.0 #,###,##0 400 8 0 9\n"
            "1 1 1 'Alpha' General 400 8 0 64\n"
            "2 0 2 2.0 #,###,##0 400 8 0 9\n"
            "2 1 1 'Beta' General 400 8 0 64\n");
}

TEST_F(XlsRunTest, TemplateSetsFormatsStylesStripsAndTheSum) {
  if (SourceDir().empty()) GTEST_SKIP() << "VELMORA_SOURCE_DIR is not set";
  std::string template_text = testsupport::ReadFile(SourceDir() + "/examples/templates/orders.xls.ini");
  Write("orders.ini", template_text);
  const TVelmoraResult result = Run("[Tables]\n1=orders\n[Templates]\n1=orders.ini\n[Files]\n1=o.xls\n");
  EXPECT_EQ(result.lines, Connected({"orders: 3 records exported to o.xls"}));
  const std::string caption = " General 700 18 1 22\n";
  const std::string plain = " 400 8 0 9\n";
  const std::string shaded = " 400 8 1 13\n";
  // The field style of amount takes precedence over the strips.
  EXPECT_EQ(Dump("o.xls"),
            "sheet Orders 2024 6 5\n"
            "0 0 1 'Orders' General 400 8 0 9\n"
            "0 1 1 'of 2024' General 400 8 0 9\n"
            "1 0 1 'id'" + caption + "1 1 1 'customer'" + caption + "1 2 1 'amount'" + caption +
            "1 3 1 'placed'" + caption + "1 4 1 'note'" + caption +
            "2 0 2 1.0 #,###,##0" + plain + "2 1 1 'Ann' General" + plain +
            "2 2 2 1234.5 #,##0.00 700 10 0 9\n" + "2 3 3 45293.0 dd/mm/yyyy" + plain +
            "2 4 1 'say \"hi\"' General" + plain +
            "3 0 2 2.0 #,###,##0" + shaded + "3 1 1 'Bob' General" + shaded +
            "3 2 6 '' #,##0.00 700 10 0 9\n" + "3 3 3 45325.0 dd/mm/yyyy" + shaded + "3 4 6 '' General" + shaded +
            "4 0 2 3.0 #,###,##0" + plain + "4 1 1 'Zoë' General" + plain +
            "4 2 2 7.0 #,##0.00 700 10 0 9\n" + "4 3 3 45355.0 dd/mm/yyyy" + plain + "4 4 1 'a,b' General" + plain +
            "5 2 2 1241.5 #,##0.00 700 8 0 9\n");
}

}  // namespace
}  // namespace velmora
