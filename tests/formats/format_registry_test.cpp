// The one table of export formats: what a file name or an export type number
// chooses, and the answer of every format, before the result is opened, to
// whether its export reads ahead.
#include "formats/format_registry.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/memory_dataset.h"
#include "engine/tabulo.h"
#include "platform/ini_file.h"
#include "support/expect_error.h"

namespace velmora {
namespace {

TEST(FormatRegistryTest, FileEndingsAndNumbersChooseTheFormatOfTheirRow) {
  const struct {
    const char* FileName;
    const char* Format;
  } endings[] = {
      {"a.xls", "XLS"},       {"a.XLSX", "XLSX"},   {"a.doc", "DOC"},  {"a.rtf", "RTF"}, {"a.html", "HTML"},
      {"a.HTM", "HTML"},      {"a.txt", "TXT"},     {"a.xml", "XML"},  {"a.dbf", "DBF"}, {"a.pdf", "PDF"},
      {"a.csv", "CSV"},       {"a.dif", "DIF"},     {"a.slk", "SYLK"}, {"a.tex", "TEX"}, {"a.sql", "SQL"},
      {"a.json", "JSON"},     {"a.jsonl", "JSON"},  {"a.ods", "XLS"},  {"a", "XLS"},     {"", "XLS"},
      {"/dev/stdout", "XLS"}, {"dir.csv/a", "XLS"},
  };
  for (const auto& ending : endings) {
    EXPECT_EQ(ExportFormatOfFileName(ending.FileName).Name, ending.Format) << ending.FileName;
  }

  // The numbers of the parameter and template files, each one row.
  std::set<int> numbers;
  for (const TExportFormat* format : ExportFormats()) {
    SCOPED_TRACE(std::string(format->Name));
    EXPECT_TRUE(numbers.insert(format->Number).second);
    EXPECT_EQ(FindExportFormat(format->Number), format);
    EXPECT_NE(format->Create(), nullptr);
  }
  EXPECT_EQ(numbers, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
  EXPECT_EQ(DefaultExportFormat().Number, 0);
  EXPECT_EQ(FindExportFormat(15), nullptr);
  EXPECT_VELMORA_ERROR(CreateExporter(-1), "Export type -1 () is not available");
}

// A format that says it reads nothing ahead gets a streamed result, which
// cannot move back: its exporter, set up from the same template, must never
// move back either.
TEST(FormatRegistryTest, ReadsAheadAnswersAsTheExporterMovesBack) {
  const struct {
    const char* Format;
    const char* Template;
    bool ReadsAhead;
  } cases[] = {
      {"TXT", "", true},  // the width pass
      {"TXT", "[TXT]\nAutoCalcColWidth=0\n", false},
      {"TXT", "[TXT]\nAutoCalcColWidth=yes\n", true},  // no integer: the default
      {"CSV", "[TXT]\nAutoCalcColWidth=1\n", false},
      {"DIF", "", true},  // the record count comes first
      {"DBF", "", true},  // character fields sized to every value
      {"SYLK", "", false},
      {"XLS", "", false},
      {"XLSX", "", false},
      {"DOC", "", false},
      {"RTF", "", false},
      {"HTML", "[HTML]\nFileRecCount=10\n", false},
      {"PDF", "", false},
      {"XML", "", false},
      {"JSON", "", false},
      {"TEX", "", false},
      {"SQL", "[SQL]\nCreateTable=1\n", false},
  };
  std::set<std::string> covered;
  for (const auto& test_case : cases) {
    SCOPED_TRACE(std::string(test_case.Format) + ": " + test_case.Template);
    const TExportFormat* format = nullptr;
    for (const TExportFormat* candidate : ExportFormats()) {
      if (candidate->Name == test_case.Format) format = candidate;
    }
    ASSERT_NE(format, nullptr);
    covered.insert(test_case.Format);
    const TIniFile template_file = TIniFile::FromText(test_case.Template);
    EXPECT_EQ(format->ReadsAhead(template_file), test_case.ReadsAhead);
    const std::unique_ptr<TTabuloText> exporter = format->Create();
    exporter->ReadFormatSections(template_file, TMemoryDataSet());
    EXPECT_EQ(exporter->MovesBack(), test_case.ReadsAhead);
  }
  EXPECT_EQ(covered.size(), ExportFormats().size());
}

// The settings that decide the mode are checked with the answer, before the
// result is opened.
TEST(FormatRegistryTest, ReadsAheadRefusesWhatTheExportRefuses) {
  const struct {
    std::string Format;
    std::string Template;
    std::string Message;
  } cases[] = {
      {"CSV", "[CSV]\nComma=;;\n", "CSV Comma \";;\" is not one character or # and a code from 1 to 255"},
      {"CSV", "[CSV]\nComma=#0\n", "CSV Comma \"#0\" is not one character or # and a code from 1 to 255"},
      {"TXT", "[TXT]\nSpacing=70000\n", "TXT Spacing 70000 is more than 65535"},
      {"XML", "[XML]\nEncoding=no-such\n", "Unknown character encoding \"no-such\""},
      {"PDF", "[PDF]\nPageWidth=0\n",
       "Invalid value \"0\" for PageWidth in [PDF]: give a number from 1 to 14400"},
      {"SQL", "[SQL]\nStatementTerm=#\n",
       "Invalid value \"#\" for StatementTerm in [SQL]: quotes, # and backslashes do not end a statement"},
      {"HTML", "[HTML]\nBorderWidth=-1\n",
       "Invalid value \"-1\" for BorderWidth in [HTML]: give a number from 0 to 2147483647"},
      {"XLS", "[XLS]\nStripType=2\n[XLS_STYLE_odd]\nFontName=" + std::string(128, 'f') + "\n",
       "Invalid value \"" + std::string(128, 'f') +
           "\" for FontName in [XLS_STYLE_odd]: give a font name of at most 127 bytes"},
      // A longer font name would be cut, in the .xlsx package inside a character.
      {"XLSX", "[XLS_FIELD_NAME]\nFontName=" + std::string(126, 'f') + "\xC3\xA9\n",
       "Invalid value \"" + std::string(126, 'f') +
           "\xC3\xA9\" for FontName in [XLS_FIELD_NAME]: give a font name of at most 127 bytes"},
  };
  for (const auto& test_case : cases) {
    for (const TExportFormat* format : ExportFormats()) {
      if (format->Name != test_case.Format) continue;
      const TIniFile template_file = TIniFile::FromText(test_case.Template);
      EXPECT_VELMORA_ERROR(format->ReadsAhead(template_file), test_case.Message);
      EXPECT_VELMORA_ERROR(format->Create()->ReadFormatSections(template_file, TMemoryDataSet()),
                           test_case.Message);
    }
  }
}

}  // namespace
}  // namespace velmora
