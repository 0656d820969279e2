// Independent readers of the HTML exporter's output: an HTML5 parser must
// detect UTF-8 and give back every cell text of the awkward set, on one
// page and on split pages with their index; a markup checker must find no
// error in any of the files, and nothing to remark but the cells' alignment.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "formats/html/tabulo_html.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::FindExecutable;
using testsupport::HexBytes;
using testsupport::RunCommand;
using testsupport::WriteFile;

constexpr const char* kPython = "/usr/bin/python3";

// Prints, per file, the detected encoding and then every caption and data row
// of the export's table as the hex of each cell's UTF-8 text ("-" for an
// empty cell); a line break inside a cell reads as LF, the no-break space of
// an empty cell as nothing.
constexpr const char* kHtmlDumper = R"(import sys, html5lib
for path in sys.argv[1:]:
    parser = html5lib.HTMLParser(namespaceHTMLElements=False)
    with open(path, 'rb') as source:
        document = parser.parse(source)
    print('encoding', parser.documentEncoding)
    for br in document.iter('br'):
        br.tail = '\n' + (br.tail or '')
    for row in document.iter('tr'):
        cells = [cell for cell in row.findall('td') if cell.get('class') in ('ThRows', 'TrOdd', 'TrRows')]
        if not cells:
            continue
        texts = []
        for cell in cells:
            text = ''.join(cell.itertext())
            texts.append('-' if text in ('', '\xa0') else text.encode('utf-8').hex())
        print(' '.join(texts))
)";

class HtmlInteropTest : public testsupport::TFileExportTest<TTabuloHTML> {
 protected:
  HtmlInteropTest() : TFileExportTest("html-interop", "one page.html") {}
  void SetUp() override {
    Awkward();
    for (const std::string& form : testsupport::AwkwardPlainNumbers()) exporter_.UserFormats.Add(form);
    exporter_.Title = "Awkward <texts> & \"quotes\" \xE6\x97\xA5\xE6\x9C\xAC";
  }

  // The caption row and every record as the parser should read them back: a
  // line break as LF; an invalid byte, NUL and the other controls HTML cannot
  // hold as U+FFFD.
  std::vector<std::string> ExpectedRows() {
    const testsupport::TReadForms forms = {{"nul", "nul\xEF\xBF\xBDhere"},
                                           {"controls",
                                            "ctrl\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                                            "end"}};
    std::vector<std::string> rows;
    for (const auto& record : testsupport::WithGeneralDoubles(testsupport::TextTable(data_))) {
      std::string row;
      for (const std::string& text : record) {
        if (!row.empty()) row += ' ';
        row += text.empty() ? "-" : HexBytes(testsupport::WithLfBreaks(testsupport::AsRead(text, forms)));
      }
      rows.push_back(row);
    }
    return rows;
  }

  void RequireTools() {
    if (FindExecutable(kPython).empty() || RunCommand({kPython, "-c", "import html5lib"}).exit_status != 0) {
      GTEST_SKIP() << "python3-html5lib is not installed";
    }
    tidy_ = FindExecutable("tidy");
    if (tidy_.empty()) GTEST_SKIP() << "tidy is not installed";
  }

  // The dumper's lines for the files, in order.
  std::vector<std::string> Dump(const std::vector<std::string>& files) {
    const std::string script = directory_.File("dump_html.py");
    WriteFile(script, kHtmlDumper);
    std::vector<std::string> command = {kPython, script};
    command.insert(command.end(), files.begin(), files.end());
    const auto result = RunCommand(command, 120);
    EXPECT_EQ(result.exit_status, 0) << result.output;
    return testsupport::SplitLines(result.output);
  }

  // The markup checker exits with 2 for errors (1 for warnings only). The
  // remarks accepted are the align attribute of the cells, which browsers
  // still follow, and the bytes of the awkward text that are no UTF-8, which
  // pass through and which every reader shows as U+FFFD; a missing document
  // type or title, or an entity without its ";", would be named on a line of
  // its own.
  void ExpectNoMarkupErrors(const std::string& file) {
    const auto result = RunCommand({tidy_, "-errors", "-quiet", file}, 120);
    EXPECT_TRUE(result.exit_status == 0 || result.exit_status == 1) << file << "\n" << result.output;
    for (const std::string& line : testsupport::SplitLines(result.output)) {
      if (line.empty()) continue;
      EXPECT_TRUE(line.ends_with("Warning: <td> attribute \"align\" not allowed for HTML5") ||
                  line.find("Warning: replacing invalid UTF-8 bytes") != std::string::npos)
          << file << ": " << line;
    }
  }

  std::string tidy_;
};

TEST_F(HtmlInteropTest, OnePageReadsBackAsUtf8WithEveryCellText) {
  RequireTools();
  if (IsSkipped()) return;
  exporter_.TableOptions.BorderColor = clNavy;
  exporter_.Execute();
  std::vector<std::string> expected = {"encoding utf-8"};
  const std::vector<std::string> rows = ExpectedRows();
  expected.insert(expected.end(), rows.begin(), rows.end());
  EXPECT_EQ(Dump({exporter_.FileName}), expected);
  ExpectNoMarkupErrors(exporter_.FileName);
}

TEST_F(HtmlInteropTest, SplitPagesAndIndexReadBackWithEveryCellText) {
  RequireTools();
  if (IsSkipped()) return;
  exporter_.FileName = directory_.File("pages/r #1.html");
  exporter_.SetMaxRecords(5);
  exporter_.GenerateIndex = true;
  exporter_.UsingCSS = usExternal;
  exporter_.Navigation.IndexLinkTemplate = "<Page>";
  exporter_.Execute();
  const int pages = (testsupport::AwkwardRecordCount() + 4) / 5;
  ASSERT_EQ(exporter_.PageCount(), pages);

  const std::vector<std::string> rows = ExpectedRows();
  std::vector<std::string> files;
  std::vector<std::string> expected;
  for (int page = 1; page <= pages; ++page) {
    files.push_back(directory_.File("pages/r #1" + std::string("0") + std::to_string(page) + ".html"));
    expected.push_back("encoding utf-8");
    expected.push_back(rows.front());  // captions on every page
    for (std::size_t row = 1 + (page - 1) * 5u; row < rows.size() && row <= page * 5u; ++row) {
      expected.push_back(rows[row]);
    }
  }
  files.push_back(exporter_.FileName);
  expected.push_back("encoding utf-8");
  EXPECT_EQ(Dump(files), expected);
  for (const std::string& file : files) ExpectNoMarkupErrors(file);
}

}  // namespace
}  // namespace velmora
