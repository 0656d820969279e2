// Text of every script in PDF: the embedded subset fonts read back by the
// structure checker, the font lister and two text extractors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "formats/pdf/pdf_unicode_font.h"
#include "formats/pdf/tabulo_pdf.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::FindExecutable;
using testsupport::RunCommand;

struct TScriptSample {
  const char* Script;
  std::string Text;
  bool RightToLeft = false;
};

const std::vector<TScriptSample>& Samples() {
  static const std::vector<TScriptSample> samples = {
      {"Latin", "Zo\xC3\xAB \xC3\x85gren \xC5\x81\xC3\xB3" "d\xC5\xBA"},
      {"Greek", "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1 \xCE\xBA\xCF\x8C\xCF\x83\xCE\xBC\xCE\xB5"},
      {"Cyrillic", "\xD0\x94\xD0\xBC\xD0\xB8\xD1\x82\xD1\x80\xD0\xB8\xD0\xB9 \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0"},
      {"Chinese", "\xE5\x8C\x97\xE4\xBA\xAC\xE6\xAC\xA2\xE8\xBF\x8E\xE4\xBD\xA0"},
      {"Japanese", "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF\xE4\xB8\x96\xE7\x95\x8C"},
      {"Korean", "\xEC\x95\x88\xEB\x85\x95\xED\x95\x98\xEC\x84\xB8\xEC\x9A\x94"},
      {"Arabic", "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 \xD8\xA8\xD8\xA7\xD9\x84\xD8\xB9\xD8\xA7\xD9\x84\xD9\x85", true},
      {"Hebrew", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD7\xA2\xD7\x95\xD7\x9C\xD7\x9D", true},
      // Marks without a precomposed letter, drawn on their base.
      {"Combining", "q\xCC\x81 x\xCC\xA3\xCC\x84"},
  };
  return samples;
}

// The bidirectional marks an extractor puts around right-to-left text.
std::string WithoutBidiMarks(std::string text) {
  for (const char* mark : {"\xE2\x80\xAA", "\xE2\x80\xAB", "\xE2\x80\xAC", "\xE2\x80\xAD", "\xE2\x80\xAE",
                           "\xE2\x80\x8E", "\xE2\x80\x8F"}) {
    for (std::size_t at; (at = text.find(mark)) != std::string::npos;) text.erase(at, 3);
  }
  return text;
}

class PDFUnicodeInteropTest : public testsupport::TFileExportTest<TTabuloPDF> {
 protected:
  PDFUnicodeInteropTest() : TFileExportTest("pdf-unicode-interop", "scripts.pdf") {}
  void SetUp() override {
    for (const char* tool : {"qpdf", "pdfinfo", "pdffonts", "pdftotext", "mutool"}) {
      if (FindExecutable(tool).empty()) GTEST_SKIP() << tool << " is not installed";
    }
    if (TUnicodeFontChain::DefaultFiles(false).empty()) GTEST_SKIP() << "no TrueType font is installed";
  }
  std::string Read(const std::vector<std::string>& command) {
    std::vector<std::string> resolved = command;
    resolved[0] = FindExecutable(command[0]);
    const auto result = RunCommand(resolved);
    EXPECT_EQ(result.exit_status, 0) << result.output;
    return result.output;
  }
};

// Every script comes back from the text extractors exactly, one cell per
// line, from subset fonts that carry their Unicode mapping; a character no
// font has is counted.
TEST_F(PDFUnicodeInteropTest, EveryScriptComesBackExactlyFromEmbeddedSubsets) {
  data_.AddField("SCRIPT", ftString, 12);
  data_.AddField("SAMPLE", ftString, 60);
  for (const TScriptSample& sample : Samples()) data_.AppendRecord({sample.Script, sample.Text});
  data_.AppendRecord({"Composed", "Zoe\xCC\x88"});
  data_.AppendRecord({"Private", "a\xEE\x80\x80z"});  // U+E000: in no font
  data_.Open();
  Export();
  ASSERT_TRUE(exporter_.EmbedsFonts());
  const std::string& file = exporter_.FileName;

  Read({"qpdf", "--check", file});
  EXPECT_NE(Read({"pdfinfo", file}).find("PDF version:     1.3\n"), std::string::npos);
  // Every embedded font is a subset with its Unicode map: name "ABCDEF+...",
  // then type, encoding, and "yes yes yes".
  const std::string fonts = Read({"pdffonts", file});
  int embedded = 0;
  for (std::size_t at = fonts.find("CID TrueType"); at != std::string::npos;
       at = fonts.find("CID TrueType", at + 1)) {
    const std::size_t line = fonts.rfind('\n', at) + 1;
    const std::string row = fonts.substr(line, fonts.find('\n', at) - line);
    EXPECT_EQ(row[6], '+') << row;
    EXPECT_NE(row.find("Identity-H       yes yes yes"), std::string::npos) << row;
    ++embedded;
  }
  EXPECT_GE(embedded, 2) << fonts;  // the Latin face and a CJK one

  for (const std::vector<std::string>& extractor :
       {std::vector<std::string>{"pdftotext", "-layout", file, "-"},
        std::vector<std::string>{"mutool", "draw", "-F", "txt", "-o", "-", file}}) {
    SCOPED_TRACE(extractor[0]);
    const std::string text = WithoutBidiMarks(Read(extractor));
    for (const TScriptSample& sample : Samples()) {
      // Right-to-left text is drawn in display order; the extractor that
      // applies the bidirectional algorithm gives it back in reading order.
      if (sample.RightToLeft && extractor[0] != "pdftotext") continue;
      EXPECT_NE(text.find(sample.Text), std::string::npos) << sample.Script << "\n" << text;
    }
    // A base and mark that make a precomposed letter are drawn as it, and
    // come back as that letter, which is canonically the same text.
    EXPECT_NE(text.find("Zo\xC3\xAB"), std::string::npos) << text;
  }
  const auto drawn = RunCommand({FindExecutable("mutool"), "draw", "-o", "/dev/null", file});
  EXPECT_EQ(drawn.output.find("error"), std::string::npos) << drawn.output;
  EXPECT_EQ(exporter_.ReplacedCharacters(), 0u);
  const std::vector<std::string> notes = exporter_.ExportNotes("F");
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].rfind("1 characters that none of the fonts DejaVuSans", 0), 0u) << notes[0];
}

// A streamed result whose first rows are Latin: the document begins in the
// standard fonts, and later values they cannot show are drawn in the
// embedded ones rather than as "?".
TEST_F(PDFUnicodeInteropTest, LaterRowsOfOtherScriptsAreDrawnInTheEmbeddedFonts) {
  data_.AddField("SCRIPT", ftString, 12);
  data_.AddField("SAMPLE", ftString, 60);
  // Wide enough that the later values need no wrapping.
  data_.AppendRecord({"Latin", "Zo\xC3\xAB \xE2\x82\xAC 5 " + std::string(30, 'W')});
  for (const TScriptSample& sample : Samples()) {
    if (!sample.RightToLeft) data_.AppendRecord({sample.Script, sample.Text});
  }
  data_.KeptRecords = 2;  // the width pass reads the first record alone
  data_.Open();
  Export();
  EXPECT_FALSE(exporter_.EmbedsFonts());
  const std::string& file = exporter_.FileName;
  Read({"qpdf", "--check", file});
  const std::string fonts = Read({"pdffonts", file});
  EXPECT_NE(fonts.find("Helvetica"), std::string::npos) << fonts;
  EXPECT_NE(fonts.find("CID TrueType"), std::string::npos) << fonts;
  const std::string text = Read({"pdftotext", "-layout", file, "-"});
  for (const TScriptSample& sample : Samples()) {
    if (sample.RightToLeft) continue;
    EXPECT_NE(text.find(sample.Text), std::string::npos) << sample.Script << "\n" << text;
  }
  EXPECT_EQ(exporter_.ReplacedCharacters(), 0u);
  EXPECT_TRUE(exporter_.ExportNotes("F").empty());
}

}  // namespace
}  // namespace velmora
