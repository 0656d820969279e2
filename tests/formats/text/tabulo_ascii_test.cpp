// The four layouts of the text exporter, byte for byte, and its behaviour when
// the output device fails.
#include "formats/text/tabulo_ascii.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "platform/error.h"
#include "platform/ini_file.h"
#include "platform/locale_settings.h"
#include "platform/output_file.h"
#include "platform/pinned_settings.h"
#include "platform/utf8.h"
#include "support/expect_error.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::Lines;
using testsupport::ReadFile;
using testsupport::TTempDir;
using testsupport::WriteFile;

class AsciiExportTest : public testsupport::TFileExportTest<TTabuloASCII> {
 protected:
  AsciiExportTest() : TFileExportTest("ascii", "out.txt") {}
  void TearDown() override { TOutputFile::SetDescriptorHookForTesting(nullptr); }

  using TFileExportTest::Export;
  std::string Export(TTabuloASCIIType type) {
    exporter_.SetExportType(type);
    return Export();
  }
};

// ---------------------------------------------------------------------------
// Options

TEST_F(AsciiExportTest, ChoosingTxtTurnsWidthPassOnAndOtherTypesTurnItOffForGood) {
  EXPECT_EQ(exporter_.ExportType(), etTXT);
  EXPECT_TRUE(exporter_.AutoCalcColWidth);
  exporter_.AutoCalcColWidth = false;
  exporter_.SetExportType(etTXT);  // not a change: the option stays as set
  EXPECT_FALSE(exporter_.AutoCalcColWidth);
  exporter_.SetExportType(etCSV);
  exporter_.SetExportType(etTXT);
  EXPECT_TRUE(exporter_.AutoCalcColWidth);

  IdAndName({{"1", "a"}});
  exporter_.SetExportType(etSYLK);
  exporter_.Execute();
  EXPECT_FALSE(exporter_.AutoCalcColWidth);
}

// ---------------------------------------------------------------------------
// TXT

TEST_F(AsciiExportTest, TxtPadsCaptionsAndDisplayTextsToTheComputedWidths) {
  IdAndName({{"7", "Ann"}, {"1234", "Bo"}});
  // "1,234" is wider than any raw text: the width pass measures the display form too.
  // Widths come from the texts, not the declared sizes (10 here).
  EXPECT_EQ(Export(etTXT), Lines({"   ID NAME ", "    7 Ann  ", "1,234 Bo   "}));
}

TEST_F(AsciiExportTest, TxtTitleHeaderAndFooterFrameTheTable) {
  IdAndName({{"7", "Ann"}});
  exporter_.Title = "Orders";
  exporter_.Header = {"h1", "h2"};
  exporter_.Footer = {"f1"};
  EXPECT_EQ(Export(etTXT),
            Lines({"Orders", std::string(80, '-'), "", "h1", "h2", "ID NAME ", " 7 Ann  ", "f1"}));
}

TEST_F(AsciiExportTest, TxtWithoutSpacingCentresOddRemainderRightAndNeverCuts) {
  IdAndName({{"1", "abc"}, {"22", "abcdefghij"}});
  exporter_.AutoCalcColWidth = false;
  exporter_.TXTSpacing = 0;
  exporter_.ColumnsWidth = {"ID=3", "name=8"};
  exporter_.ColumnsAlign = {"NAME=center"};
  EXPECT_EQ(Export(etTXT), Lines({" ID  NAME  ", "  1  abc   ", " 22abcdefghij"}));
}

TEST_F(AsciiExportTest, TxtWithoutCaptionsAndRecordsWritesOnlyHeaderAndFooter) {
  IdAndName({});
  exporter_.AllowCaptions = false;
  exporter_.Header = {"head"};
  exporter_.Footer = {"foot"};
  EXPECT_EQ(Export(etTXT), Lines({"head", "foot"}));
}

TEST_F(AsciiExportTest, TxtWidthsCountDisplayCellsUnderTheCLocale) {
  // The fixture pins the C locale (cron's); the text is UTF-8 all the same.
  // Wide characters take two cells, a combining accent none: every column
  // starts at the same cell of each line.
  IdAndName({{"1", "Cássia Eller"}, {"2", "日本語テキスト"}, {"3", "😀 ok"}, {"4", "Ca\xCC\x81" "ssia"}});
  exporter_.ColumnsAlign = {"NAME=right"};
  EXPECT_EQ(Export(etTXT), Lines({"ID           NAME ", " 1   Cássia Eller ", " 2 日本語テキスト ",
                                  " 3          😀 ok ", " 4         Ca\xCC\x81" "ssia "}));
}

TEST_F(AsciiExportTest, TxtColumnsAfterWideAndCombiningCharactersStartAtTheSameCell) {
  const struct {
    const char* Name;
    const char* Text;
  } rows[] = {
      {"CJK", "日本語テキスト"},
      {"emoji", "😀👍 ok"},
      {"combining marks", "Ca\xCC\x81ssia\xCC\x88"},
      {"full-width", "ＡＢＣ"},
      {"plain", "x"},
  };
  data_.AddField("TEXT", ftString, 255);
  data_.AddField("NEXT", ftString, 4);
  for (const auto& row : rows) data_.AppendRecord({row.Text, "|"});
  // Every line, the caption row included, has NEXT at the same display cell.
  const std::string file = Export(etTXT);
  std::size_t start = 0;
  std::size_t line_number = 0;
  std::size_t next_cell = std::string::npos;
  while (start < file.size()) {
    const std::size_t end = file.find("\r\n", start);
    const std::string line = file.substr(start, end - start);
    const std::size_t next = line_number == 0 ? line.find("NEXT") : line.find('|');
    ASSERT_NE(next, std::string::npos) << line;
    const std::size_t cell = DisplayCells(std::string_view(line).substr(0, next));
    if (line_number == 0) next_cell = cell;
    EXPECT_EQ(cell, next_cell) << (line_number == 0 ? "captions" : rows[line_number - 1].Name);
    start = end + 2;
    ++line_number;
  }
  EXPECT_EQ(line_number, 1 + std::size(rows));
  EXPECT_EQ(next_cell, 15u);  // the CJK text's 14 cells and one blank, not the declared 255
}

// Raw bytes of binary columns made the files invalid UTF-8 and a line break
// among them split a TXT row. They are hexadecimal text by default, base64 or
// raw bytes on request; the TXT width pass measures the text written.
TEST_F(AsciiExportTest, BinaryColumnsAreWrittenInTheFormChosen) {
  data_.AddField("ID", ftInteger, 1);
  data_.AddField("B", ftString, 4).ValueKind = vkBinary;
  data_.AddField("T", ftString, 4);
  data_.AppendRecord({"1", std::string("\x89\r\n\0", 4), "\xC3\xA9"});
  data_.AppendRecord({"2", "", "ok"});
  data_.AppendRecord({"3", std::nullopt, "0x"});
  data_.Open();
  const struct {
    TTabuloASCIIType type;
    TBinaryForm form;
    std::string expected;
  } cases[] = {
      {etCSV, bfHex,
       Lines({"\"ID\",\"B\",\"T\"", "\"1\",\"0x890D0A00\",\"\xC3\xA9\"", "\"2\",\"\",\"ok\"",
              "\"3\",\"\",\"0x\""})},
      {etCSV, bfBase64,
       Lines({"\"ID\",\"B\",\"T\"", "\"1\",\"iQ0KAA==\",\"\xC3\xA9\"", "\"2\",\"\",\"ok\"",
              "\"3\",\"\",\"0x\""})},
      {etCSV, bfRaw,
       Lines({"\"ID\",\"B\",\"T\"", std::string("\"1\",\"\x89\r\n\0\",\"\xC3\xA9\"", 15), "\"2\",\"\",\"ok\"",
              "\"3\",\"\",\"0x\""})},
      {etTXT, bfHex,
       Lines({"ID B          T  ", " 1 0x890D0A00 \xC3\xA9  ", " 2            ok ", " 3            0x "})},
      {etTXT, bfBase64,
       Lines({"ID B        T  ", " 1 iQ0KAA== \xC3\xA9  ", " 2          ok ", " 3          0x "})},
      {etSYLK, bfHex,
       "ID;PVASCIIEXPORT\r\nC;X1;Y1;K\"ID\"\r\nC;X2;Y1;K\"B\"\r\nC;X3;Y1;K\"T\"\r\n"
       "C;X1;Y2;K1\r\nC;X2;Y2;K\"0x890D0A00\"\r\nC;X3;Y2;K\"\xC3\xA9\"\r\n"
       "C;X1;Y3;K2\r\nC;X2;Y3;K\"\"\r\nC;X3;Y3;K\"ok\"\r\n"
       "C;X1;Y4;K3\r\nC;X2;Y4;K\"\"\r\nC;X3;Y4;K\"0x\"\r\nE\r\n"},
  };
  for (const auto& [type, form, expected] : cases) {
    exporter_.BinaryAs = form;
    data_.First();
    EXPECT_EQ(Export(type), expected) << type << " " << form;
  }
}

// ---------------------------------------------------------------------------
// CSV

// Dates of the in-memory data set with no calendar form stopped the export
// ("'0000-00-00' is not a valid date and time"); the server's fields pass
// them on as their text, and so must the data set the tests share.
TEST_F(AsciiExportTest, ZeroAndImpossibleDatesGoOutAsTheirText) {
  data_.AddField("DAY", ftDate);
  data_.AddField("AT", ftDateTime);
  data_.AppendRecord({"0000-00-00", "2024-00-00 10:00:00"});
  data_.AppendRecord({"2004-02-30", "0000-00-00 00:00:00"});
  EXPECT_EQ(Export(etCSV), Lines({"\"DAY\",\"AT\"", "\"0000-00-00\",\"2024-00-00 10:00:00\"",
                                  "\"2004-02-30\",\"0000-00-00 00:00:00\""}));
}

TEST_F(AsciiExportTest, CsvQuotesEveryFieldAndDoublesQuotes) {
  IdAndName({{"7", "O\"Neil"}});
  EXPECT_EQ(Export(etCSV), Lines({"\"ID\",\"NAME\"", "\"7\",\"O\"\"Neil\""}));
}

TEST_F(AsciiExportTest, CsvHeaderAndFooterLinesEndWithTheSeparatorAndNullsBecomeNullString) {
  IdAndName({{std::nullopt, "a"}});
  exporter_.Title = "not written";
  exporter_.Header = {"h1", "h2"};
  exporter_.Footer = {"f"};
  exporter_.Formats.SetNullString(" NULL ");
  EXPECT_EQ(Export(etCSV), Lines({"h1,", "h2,", "\"ID\",\"NAME\"", "\"NULL\",\"a\"", "f,"}));
}

struct TCsvQuotingCase {
  char Quote;
  bool QuoteStrings;
  const char* Value;
  const char* Line;   // the data row, without its line end
  const char* Error;  // "" when the export succeeds
};

// QuoteStrings=0 left a separator, quote or line break inside a value bare, so
// a reader split the row into more fields or rows. It quotes exactly the
// fields that need it; without a quote character such a value is refused.
TEST_F(AsciiExportTest, CsvQuotesTheFieldsThatNeedItAndRefusesThemWithoutAQuoteCharacter) {
  const TCsvQuotingCase cases[] = {
      {'"', true, "plain", "\"7\",\"plain\"", ""},
      {'"', false, "plain", "7,plain", ""},
      {'"', false, "", "7,", ""},
      {'"', false, "a;b 'c'", "7,a;b 'c'", ""},
      {'"', false, "Crouching Tiger, Hidden Dragon", "7,\"Crouching Tiger, Hidden Dragon\"", ""},
      {'"', false, "say \"hi\"", "7,\"say \"\"hi\"\"\"", ""},
      {'"', false, "a\r\nb", "7,\"a\r\nb\"", ""},
      {'"', false, "a\rb", "7,\"a\rb\"", ""},
      {'"', false, "a\nb", "7,\"a\nb\"", ""},
      {'\'', false, "it's \"so\"", "7,'it''s \"so\"'", ""},
      {'\0', true, "say \"hi\"; 'so'", "7,say \"hi\"; 'so'", ""},
      {'\0', false, "a,b", "", "Row 1, column NAME: the value holds the separator and the file has no quote character"},
      {'\0', true, "a\nb", "", "Row 1, column NAME: the value holds a line break and the file has no quote character"},
      {'\0', false, "a\rb", "", "Row 1, column NAME: the value holds a line break and the file has no quote character"},
  };
  IdAndName({{"7", ""}});
  exporter_.SetExportType(etCSV);
  exporter_.AllowCaptions = false;
  for (const TCsvQuotingCase& test_case : cases) {
    SCOPED_TRACE(test_case.Value);
    exporter_.CSVQuote = test_case.Quote;
    exporter_.CSVQuoteStrings = test_case.QuoteStrings;
    data_.ClearRecords();
    data_.AppendRecord({"7", test_case.Value});
    if (*test_case.Error != '\0') {
      EXPECT_VELMORA_ERROR(exporter_.Execute(), test_case.Error);
    } else {
      EXPECT_EQ(Export(), Lines({test_case.Line}));
    }
  }
}

// The row named is the file's data row: rejected records are no row. The
// failed export leaves the earlier file as it was, and a caption is checked too.
TEST_F(AsciiExportTest, CsvWithoutAQuoteCharacterNamesTheRowAndColumnOfAValueItCannotWrite) {
  IdAndName({{"1", "a"}, {"2", "b"}, {"3", "c"}, {"4", "Paris, Texas"}});
  WriteFile(exporter_.FileName, "previous");
  exporter_.SetExportType(etCSV);
  exporter_.CSVQuote = '\0';
  exporter_.OnBeforeExportRow = [](TTabulo&, TTabuloRow& row, bool& accept) { accept = row[0].Data != "2"; };
  EXPECT_VELMORA_ERROR(exporter_.Execute(),
                       "Row 3, column NAME: the value holds the separator and the file has no quote character");
  EXPECT_EQ(ReadFile(exporter_.FileName), "previous");
  exporter_.OnBeforeExportRow = nullptr;
  exporter_.ExportRecCount = 1;
  exporter_.Captions = {"ID=No, id"};
  EXPECT_VELMORA_ERROR(exporter_.Execute(),
                       "Caption of column ID: the value holds the separator and the file has no quote character");
}

TEST_F(AsciiExportTest, CsvWithTabSeparatorDropsTheTrailingTab) {
  IdAndName({{"1", "x"}});
  exporter_.CSVComma = '\t';
  exporter_.Footer = {"end"};
  EXPECT_EQ(Export(etCSV), Lines({"\"ID\"\t\"NAME\"", "\"1\"\t\"x\"", "end\t"}));
}

TEST_F(AsciiExportTest, CsvNumbersKeepEveryDigitUngroupedWhileTxtKeepsTheDisplayDefaults) {
  SetFormatSettings(GermanStyleSettings());
  exporter_.Formats.Reset();  // the defaults of the settings in force
  data_.AddField("N", ftInteger);
  data_.AddField("X", ftFloat);
  data_.AddField("DAY", ftDate);
  data_.AppendRecord({"16047", "0,125", "05.01.2024"});
  data_.Open();
  exporter_.AllowCaptions = false;
  EXPECT_EQ(Export(etCSV), Lines({"\"16047\",\"0,125\",\"05.01.2024\""}));
  exporter_.AutoCalcColWidth = false;
  EXPECT_EQ(Export(etTXT), Lines({"16.047  0,13 05.01.2024 "}));
}

TEST_F(AsciiExportTest, CsvFormulaGuardQuotesTextThatWouldRunAsAFormulaButNeverNumbers) {
  data_.AddField("=N", ftInteger);
  data_.AddField("TEXT", ftString);
  data_.AddField("DAY", ftDate);
  const char* texts[] = {"=1+2", "+1", "-1", "@SUM(A1)", "\tx", "\rx", "a=b", "", "'q"};
  for (const char* text : texts) data_.AppendRecord({"-5", text, "2024-01-02"});
  data_.Open();
  // The template's keys, as a spreadsheet user sets them.
  exporter_.SetExportType(etCSV);
  exporter_.ReadFormatSections(TIniFile::FromText("[CSV]\nBOM=1\nFormulaGuard=1\nQuoteStrings=0\n"), data_);
  EXPECT_EQ(Export(etCSV), "\xEF\xBB\xBF" + Lines({"'=N,TEXT,DAY", "-5,'=1+2,2024-01-02", "-5,'+1,2024-01-02",
                                                   "-5,'-1,2024-01-02", "-5,'@SUM(A1),2024-01-02",
                                                   "-5,'\tx,2024-01-02", "-5,\"'\rx\",2024-01-02", "-5,a=b,2024-01-02",
                                                   "-5,,2024-01-02", "-5,'q,2024-01-02"}));
  // Both are off by default.
  TTabuloASCII plain(etCSV);
  EXPECT_FALSE(plain.CSVBOM);
  EXPECT_FALSE(plain.CSVFormulaGuard);
}

TEST_F(AsciiExportTest, CsvRefusesASeparatorEqualToTheQuoteBeforeWritingAnything) {
  IdAndName({{"1", "x"}});
  WriteFile(exporter_.FileName, "previous");
  exporter_.CSVComma = '"';
  exporter_.SetExportType(etCSV);
  EXPECT_VELMORA_ERROR(exporter_.Execute(),
                       "The CSV separator and the CSV quote character must differ (both are '\"')");
  EXPECT_EQ(ReadFile(exporter_.FileName), "previous");
  // Quoting only where needed still needs the two apart; without a quote
  // character the same separator is only a separator.
  exporter_.CSVQuoteStrings = false;
  EXPECT_THROW(exporter_.Execute(), EVelmoraError);
  exporter_.CSVQuote = '\0';
  EXPECT_EQ(Export(etCSV), Lines({"ID\"NAME", "1\"x"}));
}

// ---------------------------------------------------------------------------
// DIF

TEST_F(AsciiExportTest, DifWritesHeaderItemsTuplesAndDoublesQuotesInStrings) {
  IdAndName({{"1234", "O\"Neil"}, {std::nullopt, ""}});
  exporter_.Title = "My \"Orders\"";
  const std::string prologue = Lines({"TABLE", "0,1", "\"My \"\"Orders\"\"\"", "VECTORS", "0,2", "\"\"",
                                      "TUPLES", "0,2", "\"\"", "DATA", "0,0", "\"\""});
  // A NULL integer is written as the (empty) string it is, not as a number.
  EXPECT_EQ(Export(etDIF),
            prologue + Lines({"-1,0", "BOT", "1,0",    "\"ID\"", "1,0", "\"NAME\"",       // captions
                              "-1,0", "BOT", "0,1234", "V",      "1,0", "\"O\"\"Neil\"",  // record 1
                              "-1,0", "BOT", "1,0",    "\"\"",   "1,0", "\"\"",          "-1,0", "EOD"}));
}

TEST_F(AsciiExportTest, DifWritesPlainNumbersWhateverTheLocaleAndDatesAndTimesAsDisplayStrings) {
  SetFormatSettings(GermanStyleSettings());
  exporter_.Formats.Reset();
  data_.AddField("N", ftInteger);
  data_.AddField("X", ftFloat);
  data_.AddField("ROUNDED", ftFloat);
  data_.AddField("OK", ftBoolean);
  data_.AddField("DAY", ftDate);
  data_.AddField("AT", ftDateTime);
  data_.AddField("SPAN", ftTime);
  data_.AppendRecord(
      {"12345", "1234567,89", "12,50", "True", "05.01.2024", "05.01.2024 13:45:07", "838:59:59.000000"});
  data_.Open();
  exporter_.AllowCaptions = false;
  exporter_.UserFormats = {"ROUNDED=#,##0"};  // a display format changes no DIF number
  const std::string dif = Export(etDIF);
  EXPECT_EQ(
      dif.substr(dif.find("BOT\r\n") + 5),
      Lines({"0,12345", "V", "0,1234567.89", "V", "0,12.50", "V", "0,True", "V", "1,0", "\"05.01.2024\"",
             "1,0", "\"05.01.2024 13:45:07\"", "1,0", "\"838:59:59,000000\"", "-1,0", "EOD"}));
}

TEST_F(AsciiExportTest, DifOfAnEmptySourceCountsNoTuples) {
  IdAndName({});
  const std::string prologue = Lines(
      {"TABLE", "0,1", "\"\"", "VECTORS", "0,2", "\"\"", "TUPLES", "0,0", "\"\"", "DATA", "0,0", "\"\""});
  EXPECT_EQ(Export(etDIF),
            prologue + Lines({"-1,0", "BOT", "1,0", "\"ID\"", "1,0", "\"NAME\"", "-1,0", "EOD"}));
  exporter_.AllowCaptions = false;
  EXPECT_EQ(Export(etDIF), prologue + Lines({"-1,0", "EOD"}));
}

// DIF carries no mark of its character set. In Windows-1252 every text is
// written in it; characters it lacks, and bytes that are not UTF-8, become "?"
// and are counted, as in the other 8-bit formats. UTF-8 stays the default.
TEST_F(AsciiExportTest, DifInWindows1252WritesEveryTextInItAndCountsWhatItReplaces) {
  IdAndName({{"1", "Zoë €5"}, {"2", "日本"}, {"3", "a\xFF" "b"}});
  exporter_.Title = "Café";
  exporter_.AllowCaptions = false;
  const auto expected = [](const std::string& title, const std::vector<std::string>& texts) {
    std::vector<std::string> lines = {"TABLE", "0,1", "\"" + title + "\"", "VECTORS", "0,2", "\"\"",
                                      "TUPLES", "0,3", "\"\"", "DATA", "0,0", "\"\""};
    for (std::size_t index = 0; index < texts.size(); ++index) {
      lines.insert(lines.end(), {"-1,0", "BOT", "0," + std::to_string(index + 1), "V", "1,0", texts[index]});
    }
    lines.insert(lines.end(), {"-1,0", "EOD"});
    return Lines(lines);
  };
  EXPECT_EQ(Export(etDIF), expected("Café", {"\"Zoë €5\"", "\"日本\"", "\"a\xFF" "b\""}));
  EXPECT_EQ(exporter_.ReplacedCharacters(), 0u);
  exporter_.DIFEncoding = deWindows1252;
  EXPECT_EQ(Export(etDIF), expected("Caf\xE9", {"\"Zo\xEB \x80" "5\"", "\"??\"", "\"a?b\""}));
  EXPECT_EQ(exporter_.ReplacedCharacters(), 3u);
  // The count is the last export's.
  exporter_.ExportRecCount = 1;
  Export(etDIF);
  EXPECT_EQ(exporter_.ReplacedCharacters(), 0u);
}

// The tuple count and the values of the data tuples ("0,21" ...) of a DIF export.
struct TDifCounts {
  std::string tuples;
  std::vector<std::string> values;
};
TDifCounts ReadDifCounts(const std::string& dif) {
  TDifCounts counts;
  const std::size_t tuples = dif.find("TUPLES\r\n") + 8;
  counts.tuples = dif.substr(tuples, dif.find("\r\n", tuples) - tuples);
  for (std::size_t at = dif.find("BOT\r\n0,"); at != std::string::npos; at = dif.find("BOT\r\n0,", at + 1)) {
    counts.values.push_back(dif.substr(at + 5, dif.find("\r\n", at + 5) - at - 5));
  }
  return counts;
}

TEST_F(AsciiExportTest, DifCountsExactlyTheRecordsTheExportWrites) {
  Numbers(25);
  exporter_.AllowCaptions = false;
  std::vector<int> fetched;
  exporter_.OnFetchedRecord = [&fetched](TTabulo&, int counter) { fetched.push_back(counter); };

  exporter_.ExportRecCount = 10;
  TDifCounts counts = ReadDifCounts(Export(etDIF));
  EXPECT_EQ(counts.tuples, "0,10");
  EXPECT_EQ(counts.values.size(), 10u);
  EXPECT_EQ(fetched, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));

  exporter_.ExportRecCount = 0;
  exporter_.SkipRecCount = 20;
  counts = ReadDifCounts(Export(etDIF));
  EXPECT_EQ(counts.tuples, "0,5");
  EXPECT_EQ(counts.values, (std::vector<std::string>{"0,21", "0,22", "0,23", "0,24", "0,25"}));
  EXPECT_EQ(data_.OpenBookmarks(), 0);
}

TEST_F(AsciiExportTest, DifCountingPassLeavesTheCursorWhereTheRecordLoopStarts) {
  Numbers(6);
  exporter_.AllowCaptions = false;
  exporter_.GoToFirstRecord = false;
  for (int step = 0; step < 4; ++step) data_.Next();  // on record 5
  TDifCounts counts = ReadDifCounts(Export(etDIF));
  EXPECT_EQ(counts.tuples, "0,2");
  EXPECT_EQ(counts.values, (std::vector<std::string>{"0,5", "0,6"}));

  data_.First();
  data_.Next();
  exporter_.CurrentRecordOnly = true;
  counts = ReadDifCounts(Export(etDIF));
  EXPECT_EQ(counts.tuples, "0,1");
  EXPECT_EQ(counts.values, (std::vector<std::string>{"0,2"}));
}

// ---------------------------------------------------------------------------
// SYLK

TEST_F(AsciiExportTest, SylkNumbersRowsBelowTheCaptionsAndEscapesSemicolonsAndLineBreaks) {
  IdAndName({{"1", "a;b"}, {"2", "\"x\"\r\ny\nz"}});
  EXPECT_EQ(Export(etSYLK),
            Lines({"ID;PVASCIIEXPORT", "C;X1;Y1;K\"ID\"", "C;X2;Y1;K\"NAME\"", "C;X1;Y2;K1",
                   "C;X2;Y2;K\"a;;b\"", "C;X1;Y3;K2", "C;X2;Y3;K\"\"x\"\x1b :y\x1b :z\"", "E"}));
}

// Numbers went out as quoted text, which a spreadsheet left-aligns and cannot
// sum. They are numeric constants from the value itself, whatever the locale
// and display format; NULL, dates, times and Booleans stay texts.
TEST_F(AsciiExportTest, SylkWritesNumberColumnsAsNumericCellsAndTheRestAsText) {
  SetFormatSettings(GermanStyleSettings());
  exporter_.Formats.Reset();
  data_.AddField("N", ftInteger);
  data_.AddField("BIG", ftLargeint);
  data_.AddField("X", ftFloat);
  data_.AddField("PRICE", ftCurrency);
  data_.AddField("OK", ftBoolean);
  data_.AddField("DAY", ftDate);
  data_.AddField("T", ftString);
  data_.AppendRecord({"-16047", "123456789012345678901", "1234567,89", "12,50", "True", "05.01.2024", "12"});
  data_.AppendRecord({std::nullopt, "0", "-1,5e-7", std::nullopt, "False", std::nullopt, std::nullopt});
  data_.Open();
  exporter_.AllowCaptions = false;
  exporter_.UserFormats = {"PRICE=#,##0 \"EUR\""};
  exporter_.Formats.SetNullString("-");
  EXPECT_EQ(Export(etSYLK),
            Lines({"ID;PVASCIIEXPORT", "C;X1;Y1;K-16047", "C;X2;Y1;K123456789012345678901", "C;X3;Y1;K1234567.89",
                   "C;X4;Y1;K12.50", "C;X5;Y1;K\"True\"", "C;X6;Y1;K\"05.01.2024\"", "C;X7;Y1;K\"12\"",
                   "C;X1;Y2;K\"-\"", "C;X2;Y2;K0", "C;X3;Y2;K-1.5e-7", "C;X4;Y2;K\"-\"", "C;X5;Y2;K\"False\"",
                   "C;X6;Y2;K\"-\"", "C;X7;Y2;K\"-\"", "E"}));
}

TEST_F(AsciiExportTest, SylkWithoutCaptionsStartsAtRowOneAndSkipsNoRowForRejectedRecords) {
  Numbers(3);
  exporter_.AllowCaptions = false;
  exporter_.OnBeforeExportRow = [](TTabulo&, TTabuloRow& row, bool& accept) { accept = row[0].Data != "2"; };
  EXPECT_EQ(Export(etSYLK), Lines({"ID;PVASCIIEXPORT", "C;X1;Y1;K1", "C;X1;Y2;K3", "E"}));
}

// A handler that rewrites the row before it is written gets every text first
// and its texts go out, whatever the layout.
TEST_F(AsciiExportTest, CellsRewrittenBeforeTheRowIsWrittenGoOutAsRewritten) {
  IdAndName({{"1", "a"}, {"2", std::nullopt}});
  exporter_.OnBeforeExportRow = [](TTabulo&, TTabuloRow& row, bool&) {
    for (TTabuloCol& cell : row) cell.Data += "0";
  };
  EXPECT_EQ(Export(etCSV), Lines({"\"ID\",\"NAME\"", "\"10\",\"a0\"", "\"20\",\"\""}));
  EXPECT_EQ(Export(etSYLK),
            Lines({"ID;PVASCIIEXPORT", "C;X1;Y1;K\"ID\"", "C;X2;Y1;K\"NAME\"", "C;X1;Y2;K10",
                   "C;X2;Y2;K\"a0\"", "C;X1;Y3;K20", "C;X2;Y3;K\"\"", "E"}));
}

// ---------------------------------------------------------------------------
// Failing output device

TEST_F(AsciiExportTest, WritingToAFullDeviceFailsWithTheSystemMessage) {
  IdAndName({{"1", "x"}});
  exporter_.FileName = "/dev/full";
  try {
    exporter_.Execute();
    FAIL() << "export to /dev/full succeeded";
  } catch (const EVelmoraError& error) {
    EXPECT_NE(std::string(error.what()).find("No space left on device"), std::string::npos) << error.what();
  }
}

TEST_F(AsciiExportTest, AFailedWriteLeavesNoFileAndKeepsThePreviousOne) {
  IdAndName({{"1", "x"}});
  TOutputFile::SetDescriptorHookForTesting([](const std::string&) { return ::open("/dev/full", O_WRONLY); });
  exporter_.FileName = directory_.File("new.csv");
  EXPECT_THROW(Export(etCSV), EVelmoraError);
  EXPECT_TRUE(directory_.Entries().empty());

  WriteFile(directory_.File("old.csv"), "previous");
  exporter_.FileName = directory_.File("old.csv");
  EXPECT_THROW(Export(etCSV), EVelmoraError);
  EXPECT_EQ(directory_.Entries(), std::vector<std::string>{"old.csv"});
  EXPECT_EQ(ReadFile(directory_.File("old.csv")), "previous");
}

}  // namespace
}  // namespace velmora
