// Independent readers of the HTML exporter's output: an HTML5 parser must
// detect UTF-8 and give back every cell text of an awkward fixture, on one
// page and on split pages with their index; a markup checker must find no
// error in any of the files.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "formats/html/tabulo_html.h"
#include "platform/locale_settings.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::FindExecutable;
using testsupport::HexBytes;
using testsupport::RunCommand;
using testsupport::TTempDir;
using testsupport::WriteFile;

using TTable = std::vector<std::vector<std::string>>;

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

// A line break of a value as the parser reads it back: CR LF, LF CR and a lone
// CR or LF each become one LF.
std::string WithLfBreaks(const std::string& text) {
  std::string result;
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char character = text[index];
    if (character != '\r' && character != '\n') {
      result += character;
      continue;
    }
    result += '\n';
    const char partner = character == '\r' ? '\n' : '\r';
    if (index + 1 < text.size() && text[index + 1] == partner) ++index;
  }
  return result;
}

class HtmlInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_settings_ = FormatSettings();
    SetFormatSettings(TFormatSettings::CLocale());
    // The record loop trims every value: these texts leave it unchanged.
    const std::vector<std::string> texts = {
        "plain",
        "a<b & \"c\" > 'd'",
        "<script>alert(1)</script>",
        "&amp; &nbsp &#x41;",
        "line1\r\nline2",
        "a\nb\rc\n\rd",
        "para\n\nnext",
        "back\\slash {braces} [x]; semi,comma\ttab",
        "Zoë Ågren 日本語 한국어",
        "emoji 😀🎉 end",
        "]]> <!-- no comment -->",
        std::string(70000, 'w') + "end",
    };
    data_.AddField("ID", ftInteger);
    data_.AddField("TEXT", ftString, 40);
    data_.AddField("BIG", ftLargeint);
    int id = 0;
    for (const std::string& text : texts) {
      ++id;
      data_.AppendRecord(
          {std::to_string(id * 1000 - 2500), text, id % 2 ? "9007199254740993" : "-9223372036854775808"});
    }
    data_.AppendRecord({std::nullopt, std::nullopt, std::nullopt});
    data_.AppendRecord({"0", "", "18446744073709551615"});
    data_.Open();
    exporter_.UserFormats = {"ID=", "BIG="};
    exporter_.DataSet = &data_;
    exporter_.Title = "Awkward <texts> & \"quotes\" 日本";
  }
  void TearDown() override { SetFormatSettings(saved_settings_); }

  // The caption row and every record as the parser should read them back.
  std::vector<std::string> ExpectedRows() {
    std::vector<std::string> rows = {HexBytes("ID") + " " + HexBytes("TEXT") + " " + HexBytes("BIG")};
    std::string text;
    for (data_.First(); !data_.Eof(); data_.Next()) {
      std::string row;
      for (int index = 0; index < data_.FieldCount(); ++index) {
        data_.Field(index).GetText(text);
        if (index > 0) row += ' ';
        row += text.empty() ? "-" : HexBytes(WithLfBreaks(text));
      }
      rows.push_back(row);
    }
    data_.First();
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
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = result.output.find('\n'); end != std::string::npos;
         start = end + 1, end = result.output.find('\n', start)) {
      lines.push_back(result.output.substr(start, end - start));
    }
    return lines;
  }

  // The markup checker exits with 2 for errors (1 for warnings only).
  void ExpectNoMarkupErrors(const std::string& file) {
    const auto result = RunCommand({tidy_, "-errors", "-quiet", file}, 120);
    EXPECT_TRUE(result.exit_status == 0 || result.exit_status == 1) << file << "\n" << result.output;
  }

  TFormatSettings saved_settings_;
  TTempDir directory_{"html-interop"};
  TMemoryDataSet data_;
  TTabuloHTML exporter_;
  std::string tidy_;
};

TEST_F(HtmlInteropTest, OnePageReadsBackAsUtf8WithEveryCellText) {
  RequireTools();
  if (IsSkipped()) return;
  exporter_.FileName = directory_.File("one page.html");
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
  ASSERT_EQ(exporter_.PageCount(), 3);

  const std::vector<std::string> rows = ExpectedRows();
  std::vector<std::string> files;
  std::vector<std::string> expected;
  for (int page = 1; page <= 3; ++page) {
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
