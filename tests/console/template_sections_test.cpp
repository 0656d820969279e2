// Which items take their rows as the server sends them: the export type and
// its template decide whether the export moves back through its records.
#include "console/template_sections.h"

#include <gtest/gtest.h>

#include "console/output_choice.h"

namespace velmora {
namespace {

TEST(StreamsRowsTest, OnlyExportsThatNeverMoveBackStream) {
  const struct {
    int ExportType;
    const char* Template;
    bool Streams;
  } cases[] = {
      {xtCSV, "", true},
      {xtCSV, "[GENERAL]\nStoreResult=1\n", false},
      {xtCSV, "[GENERAL]\nSkipRecCount=5\nExportRecCount=10\n", true},
      {xtTXT, "", false},  // the width pass reads every record first
      {xtTXT, "[TXT]\nAutoCalcColWidth=0\n", true},
      {xtDIF, "", false},  // the record count comes before the records
      {xtSYLK, "", true},
      {xtXLS, "", true},
      {xtXLSX, "", true},
      {xtRTF, "", true},
      {xtHTML, "[HTML]\nFileRecCount=10\n", true},
      {xtPDF, "", true},
      {xtXML, "", true},
      {xtJSON, "", true},
      {xtTeX, "", true},
      {xtSQL, "", true},
      {xtSQL, "[SQL]\nCreateTable=1\n", true},  // the column types the server declares
      {xtDBF, "", false},                       // character fields sized to every value
      {xtCSV, "[CSV]\nComma=;;\n", false},      // refused: the export itself reports it
  };
  for (const auto& test_case : cases) {
    SCOPED_TRACE(std::to_string(test_case.ExportType) + ": " + test_case.Template);
    EXPECT_EQ(StreamsRows(test_case.ExportType, "orders", TIniFile::FromText(test_case.Template)),
              test_case.Streams);
  }
}

}  // namespace
}  // namespace velmora
