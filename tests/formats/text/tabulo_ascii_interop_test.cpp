// Independent readers of the text exporter's output: Python's csv module for
// CSV, and the office suite's headless converter for DIF and SYLK. The shared
// awkward set goes through every reader; each must give back the source's texts.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "engine/memory_dataset.h"
#include "formats/text/tabulo_ascii.h"
#include "platform/locale_settings.h"
#include "platform/pinned_settings.h"
#include "support/awkward_data.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::FindExecutable;
using testsupport::HexBytes;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::TTempDir;
using testsupport::WriteFile;

using testsupport::TTextTable;
using TTable = TTextTable;

constexpr const char* kPython = "/usr/bin/python3";

// Prints every record of a CSV file as one line of fields, each field as the hex
// of its bytes ("-" for an empty one), so no byte of a value can be misread.
constexpr const char* kCsvDumper = R"(import csv, sys
with open(sys.argv[1], newline='', encoding='latin-1') as source:
    for record in csv.reader(source, delimiter=sys.argv[2], quotechar=sys.argv[3]):
        print(' '.join(field.encode('latin-1').hex() or '-' for field in record))
)";

// The dumper's form of a table.
std::string DumpForm(const TTable& table) {
  std::string dump;
  for (const auto& record : table) {
    for (std::size_t index = 0; index < record.size(); ++index) {
      if (index > 0) dump += ' ';
      dump += record[index].empty() ? "-" : HexBytes(record[index]);
    }
    dump += '\n';
  }
  return dump;
}

class AsciiInteropTest : public testsupport::TFileExportTest<TTabuloASCII> {
 protected:
  AsciiInteropTest() : TFileExportTest("ascii-interop", "out.csv") {}
  static void SetUpTestSuite() { shared_ = new TTempDir("interop"); }
  static void TearDownTestSuite() {
    delete shared_;
    shared_ = nullptr;
  }

  void SetUp() override { Awkward(); }

  // The captions and every record's texts as the export writes them (numbers
  // with the source's digits); NULL is empty.
  TTable SourceTable() { return testsupport::TextTable(data_); }

  std::string Export(TTabuloASCIIType type, const std::string& name) {
    exporter_.SetExportType(type);
    exporter_.FileName = directory_.File(name);
    exporter_.Execute();
    return exporter_.FileName;
  }

  // The dumper's form of a CSV file.
  std::string ReadCsv(const std::string& file, char separator, char quote) {
    const std::string script = directory_.File("dump_csv.py");
    WriteFile(script, kCsvDumper);
    const auto result = RunCommand({kPython, script, file, std::string(1, separator), std::string(1, quote)});
    EXPECT_EQ(result.exit_status, 0) << result.output;
    return result.output;
  }

  // Converts a DIF or SYLK file to UTF-8 CSV with the office suite; returns the CSV file.
  // The default options write every cell as it is shown; csv_options may ask for
  // more (quoted text cells, raw numbers).
  std::string ConvertWithOffice(const std::string& file, const std::string& input_filter,
                                const std::string& csv_options = "44,34,76,1") {
    std::vector<std::string> command = {
        soffice_, "-env:UserInstallation=file://" + shared_->File("office-profile"), "--headless"};
    if (!input_filter.empty()) command.push_back("--infilter=" + input_filter);
    const std::string out_dir = directory_.File("converted");
    command.insert(command.end(), {"--convert-to", "csv:Text - txt - csv (StarCalc):" + csv_options,
                                   "--outdir", out_dir, file});
    const auto result = RunCommand(command, 300);
    EXPECT_EQ(result.exit_status, 0) << result.output;
    const std::string name = file.substr(file.rfind('/') + 1);
    return out_dir + "/" + name.substr(0, name.rfind('.')) + ".csv";
  }

  void RequireTools(bool office) {
    if (FindExecutable(kPython).empty()) GTEST_SKIP() << kPython << " is not installed";
    soffice_ = FindExecutable("soffice");
    if (office && soffice_.empty()) GTEST_SKIP() << "soffice is not installed";
  }

  static TTempDir* shared_;
  std::string soffice_;
};

TTempDir* AsciiInteropTest::shared_ = nullptr;

// Quoted in full or only where needed, every text comes back; so does a
// film-like row whose title and cast hold separators and quotes.
TEST_F(AsciiInteropTest, PythonReadsBackEveryTextOfACsvQuotedInFullOrWhereNeeded) {
  RequireTools(false);
  if (IsSkipped()) return;
  const TTable expected = SourceTable();
  EXPECT_EQ(ReadCsv(Export(etCSV, "default.csv"), ',', '"'), DumpForm(expected));
  exporter_.CSVQuoteStrings = false;
  EXPECT_EQ(ReadCsv(Export(etCSV, "needed.csv"), ',', '"'), DumpForm(expected));

  exporter_.CSVComma = ';';
  exporter_.CSVQuote = '\'';
  exporter_.CSVQuoteStrings = true;
  EXPECT_EQ(ReadCsv(Export(etCSV, "semicolon.csv"), ';', '\''), DumpForm(expected));
  exporter_.CSVQuoteStrings = false;
  EXPECT_EQ(ReadCsv(Export(etCSV, "semicolon-needed.csv"), ';', '\''), DumpForm(expected));

  TMemoryDataSet films;
  films.AddField("FILM_ID", ftInteger);
  films.AddField("TITLE", ftString);
  films.AddField("DESCRIPTION", ftString);
  films.AddField("RENTAL_RATE", ftFloat);
  films.AddField("ACTORS", ftString);
  films.AppendRecord({"1", "ACADEMY DINOSAUR", "A Epic Drama of a Feminist And a Mad Scientist", "0.99",
                      "PENELOPE GUINESS, CHRISTIAN GABLE, LUCILLE TRACY"});
  films.AppendRecord({"2", "Crouching Tiger, Hidden Dragon", "The \"Green Destiny\" sword;\r\nstolen", "4.99",
                      "Chow Yun-fat, Michelle Yeoh"});
  films.Open();
  exporter_.DataSet = &films;
  exporter_.CSVComma = ',';
  exporter_.CSVQuote = '"';
  EXPECT_EQ(ReadCsv(Export(etCSV, "films.csv"), ',', '"'), DumpForm(testsupport::TextTable(films)));
}

// The reader holds numbers as doubles, so the texts and dates are compared,
// and it keeps less of a cell than the huge text. DIF gives back every other
// text; SYLK reads LF CR as two line breaks and ends a text at NUL.
TEST_F(AsciiInteropTest, OfficeSuiteReadsBackTheTextsOfDifAndSylk) {
  RequireTools(true);
  if (IsSkipped()) return;
  TMemoryDataSet data;
  testsupport::FillAwkwardData(data, {"huge"});
  exporter_.DataSet = &data;
  exporter_.Title = "Awkward \"texts\"";
  exporter_.ExportedFields = {"ID", "TEXT", "DAY", "MOMENT"};
  const auto expected = [&](const testsupport::TReadForms& forms) {
    TTable table;
    for (const auto& row : testsupport::TextTable(data, [&](const std::string& text) {
           return testsupport::WithLfBreaks(testsupport::AsRead(text, forms));
         })) {
      table.push_back({row[testsupport::afId], row[testsupport::afText], row[testsupport::afDay],
                       row[testsupport::afMoment]});
    }
    return DumpForm(table);
  };
  // DIF has no character-set mark: the reader is told the bytes are UTF-8.
  EXPECT_EQ(ReadCsv(ConvertWithOffice(Export(etDIF, "table.dif"), "DIF:76"), ',', '"'), expected({}));
  EXPECT_EQ(ReadCsv(ConvertWithOffice(Export(etSYLK, "table.slk"), ""), ',', '"'),
            expected({{"nul", "nul"}, {"lf and cr", "a\nb\nc\n\nd"}}));
}

// Numbers of a German-style export, in their display defaults ("16.047",
// "1.234.567,89"), must come back from DIF and SYLK as the same numbers, not
// as texts, other numbers or error cells; dates come back as their texts.
TEST_F(AsciiInteropTest, OfficeSuiteReadsDifAndSylkNumbersOfAGermanExportAsNumbers) {
  RequireTools(true);
  if (IsSkipped()) return;
  SetFormatSettings(GermanStyleSettings());
  TMemoryDataSet numbers;
  numbers.AddField("ID", ftInteger);
  numbers.AddField("PRICE", ftFloat);
  numbers.AddField("DAY", ftDate);
  numbers.AppendRecord({"16047", "1234567,89", "05.01.2024"});
  numbers.AppendRecord({"-1500", "12,5", "31.12.1999"});
  numbers.AppendRecord({"0", "-1,5e-7", "29.02.2024"});
  numbers.Open();
  for (const auto& [type, name, input_filter] : {std::tuple{etDIF, "german.dif", "DIF:76"},
                                                 std::tuple{etSYLK, "german.slk", ""}}) {
    SCOPED_TRACE(name);
    TTabuloASCII exporter;
    exporter.DataSet = &numbers;
    exporter.SetExportType(type);
    exporter.FileName = directory_.File(name);
    exporter.Execute();
    // Text cells quoted, numbers unquoted and unformatted: an unquoted field is a number cell.
    const std::string converted =
        ConvertWithOffice(exporter.FileName, input_filter, "44,34,76,1,,0,true,true,false");
    EXPECT_EQ(ReadFile(converted),
              "\"ID\",\"PRICE\",\"DAY\"\n"
              "16047,1234567.89,\"05.01.2024\"\n"
              "-1500,12.5,\"31.12.1999\"\n"
              "0,-0.00000015,\"29.02.2024\"\n");
  }
}

// A DIF file in Windows-1252 opens with its letters intact in a reader told
// nothing of the character set; characters the set lacks read as "?".
TEST_F(AsciiInteropTest, OfficeSuiteReadsAWindows1252DifWithoutBeingToldItsCharacterSet) {
  RequireTools(true);
  if (IsSkipped()) return;
  TMemoryDataSet texts;
  texts.AddField("TEXT", ftString);
  for (const char* text : {"Zoë €5", "Ærøskøbing “quoted”", "日本 😀"}) texts.AppendRecord({text});
  texts.Open();
  TTabuloASCII exporter(etDIF);
  exporter.DataSet = &texts;
  exporter.DIFEncoding = deWindows1252;
  exporter.FileName = directory_.File("western.dif");
  exporter.Execute();
  EXPECT_EQ(exporter.ReplacedCharacters(), 3u);
  EXPECT_EQ(ReadFile(ConvertWithOffice(exporter.FileName, "")),
            "\"TEXT\"\n\"Zoë €5\"\n\"Ærøskøbing “quoted”\"\n\"?? ?\"\n");
}

// A spreadsheet program opening a CSV export: with the byte order mark the
// first caption carries no stray character and non-ASCII text is intact; with
// the formula guard no text cell runs as a formula, while the same texts
// unguarded do, and numbers stay numbers either way.
TEST_F(AsciiInteropTest, OfficeSuiteOpensGuardedCsvWithoutRunningFormulas) {
  RequireTools(true);
  if (IsSkipped()) return;
  TMemoryDataSet cells;
  cells.AddField("N", ftInteger);
  cells.AddField("TEXT", ftString);
  for (const char* text : {"=1+2", "@SUM(A1)", "+1", "-1", "Zoë 日本 😀"}) cells.AppendRecord({"-1", text});
  cells.Open();
  TTabuloASCII exporter(etCSV);
  exporter.DataSet = &cells;
  exporter.CSVBOM = true;
  // The character set is left to the reader; text cells come back quoted, numbers bare.
  const std::string input_filter = "Text - txt - csv (StarCalc):44,34,,1";
  const std::string output_options = "44,34,76,1,,0,true,true,false";
  exporter.FileName = directory_.File("unguarded.csv");
  exporter.Execute();
  EXPECT_EQ(ReadFile(ConvertWithOffice(exporter.FileName, input_filter, output_options)),
            "\"N\",\"TEXT\"\n-1,3\n-1,\"@SUM(A1)\"\n-1,1\n-1,-1\n-1,\"Zoë 日本 😀\"\n");
  exporter.CSVFormulaGuard = true;
  exporter.FileName = directory_.File("guarded.csv");
  exporter.Execute();
  EXPECT_EQ(ReadFile(ConvertWithOffice(exporter.FileName, input_filter, output_options)),
            "\"N\",\"TEXT\"\n-1,\"'=1+2\"\n-1,\"'@SUM(A1)\"\n-1,\"'+1\"\n-1,\"'-1\"\n-1,\"Zoë 日本 😀\"\n");
}

}  // namespace
}  // namespace velmora
