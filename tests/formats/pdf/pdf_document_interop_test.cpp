// Independent readers of the PDF document writer's files: the structure
// checker, the poppler tools (document info, fonts, text) and a second text
// extractor. Hostile texts must come back from both extractors as written.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "formats/pdf/pdf_document.h"
#include "formats/pdf/pdf_test_support.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::FindExecutable;
using testsupport::NamedFont;
using testsupport::RunCommand;
using testsupport::TDocumentFile;

const std::vector<std::string> kHostileTexts = {
    "Report (draft",
    "unbalanced ) parenthesis",
    "C:\\new\\table",
    "trailing backslash \\",
    "say \"hi\" and 'bye'",
    "Zoë Ågren – “quoted” 5 €",
    "Straße, Œuvre, naïve, Ñandú",
    "back\\slash (x) {y} <b>&amp; 100%",
    "A long value that runs on and on, well past any column, to its very end",
};

class PDFDocumentInteropTest : public ::testing::Test {
 protected:
  // Three pages of ruled rows in four fonts, the hostile texts among them.
  std::string WriteDocument() {
    TPDFDocument& document = output_.Document();
    const std::vector<TPDFFont> fonts = {NamedFont("HeaderFont", poHelveticaBold, 12),
                                         NamedFont("CaptionFont", poTimesBold),
                                         NamedFont("DataFont", poCourier, 9, poStandardEncoding),
                                         NamedFont("FooterFont", poHelveticaOblique, 8, poMacRomanEncoding)};
    document.BeginDoc();
    document.MediaBox = {0, 0, 594, 841};
    document.TrimBox = {85, 57, 552, 784};
    std::size_t next_text = 0;
    for (int page = 1; page <= 3; ++page) {
      document.NewPage();
      document.SetStrokeColor(0x808080);
      document.SetFont(fonts[0]);
      document.TextOut(85, 770, 0x800000, "Page " + std::to_string(page));
      for (int row = 0; row < 12; ++row) {
        const int y = 740 - row * 20;
        document.Rectangle(row % 2 ? 0xF0F0F0 : 0xFFFFFF, 85, y - 5, 467, 18);
        document.DrawLine(0x808080, 85, y - 5, 552, y - 5);
        document.SetFont(fonts[1 + row % 3]);
        const std::string text = next_text < kHostileTexts.size() && row % 4 == 1
                                     ? kHostileTexts[next_text++]
                                     : "row " + std::to_string(page * 100 + row);
        document.TextOut(90, y, row % 3 ? 0 : 0x0000FF, text);
      }
    }
    document.TextOut(90, 60, 0, "日本 has no glyphs here");
    for (const TPDFFont& font : fonts) document.AddFont(font);
    document.EndDoc();
    EXPECT_EQ(next_text, kHostileTexts.size());
    EXPECT_EQ(document.ReplacedCharacters(), 2u);
    output_.Finish();
    return output_.Path();
  }

  // Runs a reader that must exist; skips the test when it is not installed.
  testsupport::TCommandResult Read(std::vector<std::string> command) {
    command[0] = FindExecutable(command[0]);
    return RunCommand(command);
  }

  void RequireTools(std::initializer_list<const char*> tools) {
    for (const char* tool : tools) {
      if (FindExecutable(tool).empty()) GTEST_SKIP() << tool << " is not installed";
    }
  }

  void ExpectEveryText(const std::string& extracted, const char* reader) {
    for (const std::string& text : kHostileTexts) {
      EXPECT_NE(extracted.find(text), std::string::npos) << reader << " lost: " << text << "\n" << extracted;
    }
    EXPECT_NE(extracted.find("?? has no glyphs here"), std::string::npos) << reader;
  }

  TDocumentFile output_;
};

TEST_F(PDFDocumentInteropTest, StructureCheckerFindsNothingWrong) {
  RequireTools({"qpdf"});
  if (IsSkipped()) return;
  const auto result = Read({"qpdf", "--check", WriteDocument()});
  // 2 is an error, 3 a warning: both fail.
  EXPECT_EQ(result.exit_status, 0) << result.output;
}

TEST_F(PDFDocumentInteropTest, DocumentInfoAndFontsAreRead) {
  RequireTools({"pdfinfo", "pdffonts"});
  if (IsSkipped()) return;
  const std::string file = WriteDocument();
  const auto info = Read({"pdfinfo", file});
  ASSERT_EQ(info.exit_status, 0) << info.output;
  EXPECT_NE(info.output.find("Pages:           3\n"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("PDF version:     1.3\n"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("Page size:       594 x 841 pts"), std::string::npos) << info.output;
  EXPECT_EQ(info.output.find("Syntax"), std::string::npos) << info.output;

  const auto fonts = Read({"pdffonts", file});
  ASSERT_EQ(fonts.exit_status, 0) << fonts.output;
  // One line per font: name, type, encoding, ...
  for (const auto& [name, encoding] :
       std::vector<std::pair<std::string, std::string>>{{"Helvetica-Bold", "WinAnsi"},
                                                        {"Times-Bold", "WinAnsi"},
                                                        {"Courier", "WinAnsi"},
                                                        {"Helvetica-Oblique", "MacRoman"}}) {
    const std::size_t line = fonts.output.find("\n" + name + " ");
    ASSERT_NE(line, std::string::npos) << name << "\n" << fonts.output;
    const std::string text = fonts.output.substr(line + 1, fonts.output.find('\n', line + 1) - line - 1);
    EXPECT_NE(text.find(" Type 1 "), std::string::npos) << text;
    EXPECT_NE(text.find(" " + encoding + " "), std::string::npos) << text;
  }
}

TEST_F(PDFDocumentInteropTest, BothTextExtractorsFindEveryHostileText) {
  RequireTools({"pdftotext", "mutool"});
  if (IsSkipped()) return;
  const std::string file = WriteDocument();
  const auto poppler = Read({"pdftotext", "-layout", file, "-"});
  ASSERT_EQ(poppler.exit_status, 0) << poppler.output;
  ExpectEveryText(poppler.output, "pdftotext");
  EXPECT_EQ(poppler.output.find("Syntax"), std::string::npos) << poppler.output;

  const auto mupdf = Read({"mutool", "draw", "-F", "txt", "-o", "-", file});
  ASSERT_EQ(mupdf.exit_status, 0) << mupdf.output;
  ExpectEveryText(mupdf.output, "mutool");
  EXPECT_EQ(mupdf.output.find("error"), std::string::npos) << mupdf.output;
}

}  // namespace
}  // namespace velmora
