// Which items take their rows as the server sends them: the template may ask
// for the stored result, and the format says whether its export reads ahead
// (the answer of every format: tests/formats/format_registry_test.cpp).
#include "console/template_sections.h"

#include <gtest/gtest.h>

#include "formats/format_registry.h"

namespace velmora {
namespace {

TEST(StreamsRowsTest, OnlyExportsThatNeverReadAheadStream) {
  const struct {
    const char* FileName;
    const char* Template;
    bool Streams;
  } cases[] = {
      {"a.csv", "", true},
      {"a.csv", "[GENERAL]\nStoreResult=1\n", false},
      {"a.csv", "[GENERAL]\nSkipRecCount=5\nExportRecCount=10\n", true},
      {"a.txt", "", false},
      {"a.txt", "[TXT]\nAutoCalcColWidth=0\n", true},
      {"a.txt", "[TXT]\nAutoCalcColWidth=0\n[GENERAL]\nStoreResult=1\n", false},
      {"a.dbf", "", false},
      {"a.csv", "[CSV]\nComma=;;\n", false},  // refused: the export itself reports it
  };
  for (const auto& test_case : cases) {
    SCOPED_TRACE(std::string(test_case.FileName) + ": " + test_case.Template);
    EXPECT_EQ(StreamsRows(ExportFormatOfFileName(test_case.FileName), TIniFile::FromText(test_case.Template)),
              test_case.Streams);
  }
}

// What reads ahead is spooled, unless memory is asked for by the connection or
// the template; what never reads ahead streams unless memory is asked for.
TEST(StreamsRowsTest, ExportsThatReadAheadSpoolUnlessMemoryIsAskedFor) {
  const struct {
    const char* FileName;
    const char* Template;
    bool StoreResult;  // [Connection] StoreResult=1
    TResultMode Mode;
  } cases[] = {
      {"a.csv", "", false, rmStreamed},
      {"a.csv", "", true, rmInMemory},
      {"a.txt", "", false, rmSpooled},
      {"a.txt", "[TXT]\nAutoCalcColWidth=0\n", false, rmStreamed},
      {"a.dif", "", false, rmSpooled},
      {"a.dif", "[GENERAL]\nStoreResult=1\n", false, rmInMemory},
      {"a.dbf", "", true, rmInMemory},
  };
  for (const auto& test_case : cases) {
    SCOPED_TRACE(std::string(test_case.FileName) + ": " + test_case.Template);
    EXPECT_EQ(ResultModeOf(ExportFormatOfFileName(test_case.FileName), TIniFile::FromText(test_case.Template),
                           test_case.StoreResult),
              test_case.Mode);
  }
}

}  // namespace
}  // namespace velmora
