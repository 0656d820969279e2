// The template sections of the text exporter: which values it takes and which
// it refuses before anything is written.
#include <gtest/gtest.h>

#include <string>

#include "engine/memory_dataset.h"
#include "formats/text/tabulo_ascii.h"
#include "platform/ini_file.h"
#include "support/expect_error.h"

namespace velmora {
namespace {

struct TCsvCharacterCase {
  const char* Section;  // the CSV section's entries
  char Comma;
  char Quote;
  const char* Error;  // "" when the values are taken
};

TEST(AsciiSectionsTest, CsvSeparatorAndQuoteAreSingleCharacters) {
  const TCsvCharacterCase cases[] = {
      {"", ',', '"', ""},
      {"Comma=;\nQuote='", ';', '\'', ""},
      {"Comma=#9\nQuote=#0", '\t', '\0', ""},  // quote code 0: no quoting
      {"Comma=#\nQuote=#0034", '#', '"', ""},
      {"Comma=#255", '\xFF', '"', ""},
      {"Comma=", 0, 0, "CSV Comma \"\" is not one character or # and a code from 1 to 255"},
      {"Comma=#0", 0, 0, "CSV Comma \"#0\" is not one character or # and a code from 1 to 255"},
      {"Comma=;;", 0, 0, "CSV Comma \";;\" is not one character or # and a code from 1 to 255"},
      {"Comma=#256", 0, 0, "CSV Comma \"#256\" is not one character or # and a code from 1 to 255"},
      {"Comma=#9x", 0, 0, "CSV Comma \"#9x\" is not one character or # and a code from 1 to 255"},
      {"Quote=", 0, 0, "CSV Quote \"\" is not one character or # and a code from 0 to 255"},
      {"Quote=''", 0, 0, "CSV Quote \"''\" is not one character or # and a code from 0 to 255"},
      {"Quote=#-1", 0, 0, "CSV Quote \"#-1\" is not one character or # and a code from 0 to 255"},
  };
  TMemoryDataSet data;
  data.AddField("ID", ftInteger);
  for (const TCsvCharacterCase& test_case : cases) {
    SCOPED_TRACE(test_case.Section);
    TTabuloASCII exporter(etCSV);
    const TIniFile template_file = TIniFile::FromText(std::string("[CSV]\n") + test_case.Section);
    if (*test_case.Error != '\0') {
      EXPECT_VELMORA_ERROR(exporter.ReadFormatSections(template_file, data), test_case.Error);
      continue;
    }
    exporter.ReadFormatSections(template_file, data);
    EXPECT_EQ(exporter.CSVComma, test_case.Comma);
    EXPECT_EQ(exporter.CSVQuote, test_case.Quote);
  }
}

TEST(AsciiSectionsTest, DifEncodingIsUtf8OrWindows1252) {
  const struct {
    const char* Section;
    TDIFEncoding Encoding;
    const char* Error;  // "" when the value is taken
  } cases[] = {
      {"", deWindows1252, ""},  // an absent or empty key keeps the value
      {"Encoding=", deWindows1252, ""},
      {"Encoding=utf-8", deUtf8, ""},
      {"Encoding=WINDOWS-1252", deWindows1252, ""},
      {"Encoding=latin1", deUtf8, "DIF Encoding \"latin1\" is not UTF-8 or Windows-1252"},
  };
  TMemoryDataSet data;
  data.AddField("ID", ftInteger);
  for (const auto& test_case : cases) {
    SCOPED_TRACE(test_case.Section);
    TTabuloASCII exporter(etDIF);
    exporter.DIFEncoding = deWindows1252;
    const TIniFile template_file = TIniFile::FromText(std::string("[DIF]\n") + test_case.Section);
    if (*test_case.Error != '\0') {
      EXPECT_VELMORA_ERROR(exporter.ReadFormatSections(template_file, data), test_case.Error);
      EXPECT_VELMORA_ERROR(kDIFFormat.ReadsAhead(template_file), test_case.Error);
      continue;
    }
    exporter.ReadFormatSections(template_file, data);
    EXPECT_EQ(exporter.DIFEncoding, test_case.Encoding);
  }
}

struct TTextSizeCase {
  const char* Sections;
  const char* Error;  // "" when the values are taken
};

// A width or spacing of 2^31 - 1 wrote gigabytes of blanks per row.
TEST(AsciiSectionsTest, TxtWidthsAndSpacingAreBounded) {
  const TTextSizeCase cases[] = {
      {"[WIDTH]\nID=65535\n[TXT]\nSpacing=65535", ""},
      {"[WIDTH]\nID=-5\nid=2147483647\n[TXT]\nSpacing=-1", ""},  // id names no field
      {"[WIDTH]\nID=65536", "Column width 65536 of field ID is more than 65535"},
      {"[WIDTH]\nID= 99999999999 ", "Column width 99999999999 of field ID is more than 65535"},
      {"[TXT]\nSpacing=65536", "TXT Spacing 65536 is more than 65535"},
      {"[TXT]\nSpacing=0x7FFFFFFF", "TXT Spacing 2147483647 is more than 65535"},
  };
  TMemoryDataSet data;
  data.AddField("ID", ftInteger);
  for (const TTextSizeCase& test_case : cases) {
    SCOPED_TRACE(test_case.Sections);
    TTabuloASCII exporter(etTXT);
    const TIniFile template_file = TIniFile::FromText(test_case.Sections);
    if (*test_case.Error != '\0') {
      EXPECT_VELMORA_ERROR(exporter.ReadFormatSections(template_file, data), test_case.Error);
    } else {
      EXPECT_NO_THROW(exporter.ReadFormatSections(template_file, data));
    }
  }
}

}  // namespace
}  // namespace velmora
