// End-to-end runs of the workbook format, the default export type, read back
// with the independent BIFF reader: values, number formats, fonts, strips and
// the aggregate row set by a template; a workbook above 16 MiB through the
// container reader; and a third-party database when it is at hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "console_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
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
  std::string Dump(const std::string& name, const char* dumper = kDumper) {
    const auto result = testsupport::RunCommand({"/usr/bin/python3", "-c", dumper, dir_.File(name)});
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
            "1 0 2 1.0 0 400 8 0 9\n"
            "1 1 1 'Alpha' General 400 8 0 64\n"
            "2 0 2 2.0 0 400 8 0 9\n"
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
            "2 0 2 1.0 0" + plain + "2 1 1 'Ann' General" + plain +
            "2 2 2 1234.5 #,##0.00 700 10 0 9\n" + "2 3 3 45293.0 dd/mm/yyyy" + plain +
            "2 4 1 'say \"hi\"' General" + plain +
            "3 0 2 2.0 0" + shaded + "3 1 1 'Bob' General" + shaded +
            "3 2 6 '' #,##0.00 700 10 0 9\n" + "3 3 3 45325.0 dd/mm/yyyy" + shaded + "3 4 6 '' General" + shaded +
            "4 0 2 3.0 0" + plain + "4 1 1 'Zoë' General" + plain +
            "4 2 2 7.0 #,##0.00 700 10 0 9\n" + "4 3 3 45355.0 dd/mm/yyyy" + plain + "4 4 1 'a,b' General" + plain +
            "5 2 2 1241.5 #,##0.00 700 8 0 9\n");
}

// Checks a workbook of rows (id, text) where the text is "key ID " and 200
// copies of one letter, or of a CJK character for every seventh id: the
// container and the size of its Workbook stream (the records, then zeros up to
// a whole sector), then every sheet and every row's key and text.
constexpr const char* kLargeChecker = R"(import os, struct, sys, xlrd, olefile
path, rows = sys.argv[1], int(sys.argv[2])
def text(key):
    return 'key %d ' % key + ('\u65e5' if key % 7 == 0 else chr(65 + key % 26)) * 200
ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
stream = ole.openstream('Workbook').read()
size = ole.get_size('Workbook')
position = records_end = 0
while position + 4 <= len(stream):
    record, length = struct.unpack_from('<HH', stream, position)
    position += 4 + length
    if record == 0x000A:
        records_end = position
print('container', ole.listdir(), size == len(stream), size == max(6144, (records_end + 511) // 512 * 512),
      stream[records_end:].count(0) == size - records_end, os.path.getsize(path) > 16 << 20)
book = xlrd.open_workbook(path, logfile=open(os.devnull, 'w'))
keys, wrong = [], 0
for sheet in book.sheets():
    print('sheet', sheet.name, sheet.nrows, sheet.cell_value(0, 0), sheet.cell_value(0, 1))
    for row in range(1, sheet.nrows):
        key = int(sheet.cell_value(row, 0))
        keys.append(key)
        wrong += sheet.cell_value(row, 1) != text(key)
print('keys', keys == list(range(1, rows + 1)), 'wrong texts', wrong)
)";

// More rows than a sheet holds, and more text than 16 MiB: the shared strings
// run over thousands of CONTINUE records and the container needs DIFAT sectors.
TEST_F(XlsRunTest, WorkbookAbove16MiBKeepsEveryRowOnItsContinuationSheet) {
  testsupport::RunSql(*server_,
                      "DROP TABLE IF EXISTS xls_large;"
                      "CREATE TABLE xls_large (id INT PRIMARY KEY, body TEXT) CHARACTER SET utf8mb4;"
                      "INSERT INTO xls_large SELECT seq, CONCAT('key ', seq, ' ', REPEAT(IF(seq % 7 = 0, "
                      "_utf8mb4 0xE697A5, CHAR(65 + seq % 26 USING utf8mb4)), 200)) FROM seq_1_to_70000",
                      "velmora_console");
  const TVelmoraResult result = Run("[Tables]\n1=xls_large\n");
  EXPECT_EQ(result.lines, Connected({"xls_large: 70000 records exported to xls_large.xls"}));
  const auto check =
      testsupport::RunCommand({"/usr/bin/python3", "-c", kLargeChecker, dir_.File("xls_large.xls"), "70000"}, 300);
  EXPECT_EQ(check.output,
            "container [['Workbook']] True True True True\n"
            "sheet Sheet 1 65536 id body\n"
            "sheet Sheet 1 (2) 4466 id body\n"
            "keys True wrong texts 0\n");
  testsupport::RunSql(*server_, "DROP TABLE xls_large", "velmora_console");
}

// Per sheet: name and size, the header cell with its font, the first caption
// with its font and fill, the keys of the first column, the number formats of
// the first data row, the fill pattern of the first column over four data
// rows, and the aggregate row's values (numbers with four decimals).
constexpr const char* kChinookDumper = R"(import sys, xlrd
book = xlrd.open_workbook(sys.argv[1], formatting_info=True, logfile=open('/dev/null', 'w'))
def style(cell):
    return book.xf_list[cell.xf_index]
for sheet in book.sheets():
    print('sheet', sheet.name, sheet.nrows, sheet.ncols)
    header = sheet.cell(0, 0)
    font = book.font_list[style(header).font_index]
    print('header', header.value, font.name, font.height, font.italic)
    caption = sheet.cell(1, 0)
    font = book.font_list[style(caption).font_index]
    print('caption', caption.value, font.weight, font.colour_index, style(caption).background.fill_pattern,
          style(caption).background.pattern_colour_index)
    last = sheet.nrows - 1 if sheet.cell(sheet.nrows - 1, 0).ctype == 0 else sheet.nrows
    print('keys', ','.join(str(int(sheet.cell_value(row, 0))) for row in range(2, last)))
    print('formats', '|'.join(book.format_map[style(sheet.cell(2, col)).format_key].format_str
                              for col in range(sheet.ncols)))
    print('strips', [style(sheet.cell(row, 0)).background.fill_pattern for row in range(2, 6)])
    if last < sheet.nrows:
        print('aggregates', ' '.join('%d:%.4f' % (col, sheet.cell_value(last, col)) for col in range(sheet.ncols)
                                     if sheet.cell(last, col).ctype == 2))
)";

// A third-party database, when the shared data directory is there: three of
// its tables through the example template with strips, aggregates, fonts and
// number formats, every key and the aggregates compared with the server's.
TEST_F(XlsRunTest, ThirdPartyTablesThroughTheExampleTemplate) {
  const std::string script = SourceDir() + "/../shared/data/chinook.sql";
  if (SourceDir().empty() || !fs::exists(script)) GTEST_SKIP() << "no shared data directory";
  std::string sql = testsupport::ReadFile(script);
  for (std::size_t at = sql.find("`Chinook`"); at != std::string::npos; at = sql.find("`Chinook`", at)) {
    sql.replace(at, 9, "`velmora_xls_chinook`");
  }
  Write("chinook.sql", sql);
  testsupport::RunSql(*server_, "source " + dir_.File("chinook.sql"));
  Write("chinook.ini", testsupport::ReadFile(SourceDir() + "/examples/templates/chinook.xls.ini"));
  const auto value = [&](const std::string& query) {
    return testsupport::QueryValue(*server_, query, "velmora_xls_chinook").value();
  };
  const TVelmoraResult result =
      Run("[Tables]\nt=Track\nc=Customer\ni=Invoice\n[Files]\nt=Track.xls\nc=Customer.xls\ni=Invoice.xls\n"
          "[Templates]\nAll=chinook.ini\n",
          SocketConnection("velmora_xls_chinook"));
  const std::string tracks = value("SELECT COUNT(*) FROM Track");
  const std::string customers = value("SELECT COUNT(*) FROM Customer");
  const std::string invoices = value("SELECT COUNT(*) FROM Invoice");
  EXPECT_EQ(result.lines, Connected({"Track: " + tracks + " records exported to Track.xls",
                                     "Customer: " + customers + " records exported to Customer.xls",
                                     "Invoice: " + invoices + " records exported to Invoice.xls"}));
  const auto keys = [&](const std::string& key, const std::string& table) {
    return value("SELECT GROUP_CONCAT(" + key + " ORDER BY " + key + ") FROM " + table);
  };
  const std::string header = "header Chinook Times New Roman 280 1\n";
  const std::string strips = "strips [0, 1, 0, 1]\n";
  EXPECT_EQ(Dump("Track.xls", kChinookDumper),
            "sheet Chinook " + std::to_string(std::stoi(tracks) + 3) + " 9\n" + header +
                "caption TrackId 700 9 1 18\nkeys " + keys("TrackId", "Track") +
                "\nformats 0|General|0|0|0|General|0|0|#,##0.00\n" +
                strips + "aggregates 6:" + value("SELECT MAX(Milliseconds) FROM Track") +
                ".0000 8:" + value("SELECT CAST(AVG(UnitPrice) AS DECIMAL(20,4)) FROM Track") + "\n");
  EXPECT_EQ(Dump("Customer.xls", kChinookDumper),
            "sheet Chinook " + std::to_string(std::stoi(customers) + 2) + " 13\n" + header +
                "caption CustomerId 700 9 1 18\nkeys " + keys("CustomerId", "Customer") +
                "\nformats 0|General|General|General|General|General|General|General|General|General|"
                "General|General|0\n" +
                strips);
  EXPECT_EQ(Dump("Invoice.xls", kChinookDumper),
            "sheet Chinook " + std::to_string(std::stoi(invoices) + 3) + " 9\n" + header +
                "caption InvoiceId 700 9 1 18\nkeys " + keys("InvoiceId", "Invoice") +
                "\nformats 0|0|yyyy-mm-dd hh:mm|General|General|General|General|General|#,##0.00\n" +
                strips + "aggregates 8:" + value("SELECT CAST(SUM(Total) AS DECIMAL(20,4)) FROM Invoice") + "\n");
  testsupport::RunSql(*server_, "DROP DATABASE velmora_xls_chinook");
}

}  // namespace
}  // namespace velmora
