// The PDF document writer: file structure, object numbering, cross-reference
// table and trailer, the bytes of each drawing operation, fonts and numbers.
#include "formats/pdf/pdf_document.h"

#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/pdf/pdf_test_support.h"
#include "platform/pinned_settings.h"
#include "support/expect_error.h"

namespace velmora {
namespace {

using testsupport::NamedFont;
using testsupport::TDocumentFile;

// The object offsets of a finished file, read from its cross-reference table
// (index 0 is the free entry). Checks the table's own form on the way.
std::vector<long> CrossReference(const std::string& file) {
  const std::size_t startxref = file.rfind("startxref\r");
  EXPECT_NE(startxref, std::string::npos);
  const long table = std::stol(file.substr(startxref + 10));
  EXPECT_EQ(file.compare(table, 7, "xref\r0 "), 0);
  std::size_t position = table + 7;
  const int count = std::stoi(file.substr(position));
  position = file.find('\r', position) + 1;
  std::vector<long> offsets;
  for (int index = 0; index < count; ++index, position += 20) {
    const std::string entry = file.substr(position, 20);
    EXPECT_EQ(entry.substr(10), index == 0 ? " 65535 f \r" : " 00000 n \r") << index;
    offsets.push_back(std::stol(entry.substr(0, 10)));
  }
  EXPECT_EQ(file.compare(position, 8, "trailer\r"), 0) << "entries are not 20 bytes each";
  return offsets;
}

// Object number from its first byte to the end of its "endobj" line.
std::string ObjectText(const std::string& file, const std::vector<long>& offsets, int number) {
  const std::size_t end = file.find("endobj\r", offsets.at(number));
  return file.substr(offsets.at(number), end + 7 - offsets.at(number));
}

// The data of the first content stream.
std::string FirstContent(const std::string& file) {
  const std::size_t start = file.find("stream\r\n") + 8;
  return file.substr(start, file.find("endstream\r") - start);
}

TEST(PDFDocumentTest, OnePageWithFourFontsHasElevenObjectsAndTwentyByteEntries) {
  TDocumentFile output;
  TPDFDocument& document = output.Document();
  document.BeginDoc();
  document.MediaBox = {0, 0, 594, 841};
  document.TrimBox = {85, 57, 552, 784};
  document.NewPage();
  document.SetFont(NamedFont("HeaderFont"));
  document.TextOut(85, 769, 0, "Header");
  for (const char* name : {"DataFont", "CaptionFont", "HeaderFont", "FooterFont"}) {
    document.AddFont(NamedFont(name));
  }
  document.EndDoc();
  EXPECT_EQ(document.ObjNumber(), 11);
  const std::string file = output.Finish();

  ASSERT_EQ(file.rfind("%PDF-1.3\r1 0 obj\r<< /Length 2 0 R >>\rstream\r\nBT\r/HeaderFont 10 Tf\r", 0), 0u);
  const std::vector<long> offsets = CrossReference(file);
  ASSERT_EQ(offsets.size(), 12u);
  for (int number = 1; number <= 11; ++number) {
    EXPECT_EQ(
        file.compare(offsets[number], std::to_string(number).size() + 7, std::to_string(number) + " 0 obj\r"),
        0)
        << "object " << number << " is not where the table says";
  }
  const std::string content = FirstContent(file);
  EXPECT_EQ(ObjectText(file, offsets, 2), "2 0 obj\r" + std::to_string(content.size()) + " \rendobj\r");
  EXPECT_EQ(ObjectText(file, offsets, 3), "3 0 obj\r<< /Type /Outlines\r/Count 0\r>>\rendobj\r");
  EXPECT_EQ(ObjectText(file, offsets, 4)
                .rfind("4 0 obj\r<< /Type /Font\r/Subtype /Type1\r/Name /DataFont\r"
                       "/BaseFont /Helvetica\r/Encoding /WinAnsiEncoding\r"
                       "/FirstChar 0\r/LastChar 255\r/Widths [",
                       0),
            0u);
  EXPECT_EQ(ObjectText(file, offsets, 8),
            "8 0 obj\r<< /Font <</DataFont 4 0 R /CaptionFont 5 0 R /HeaderFont 6 0 R /FooterFont 7 0 R  >>"
            " /ProcSet [ /PDF /Text ] >>\rendobj\r");
  EXPECT_EQ(ObjectText(file, offsets, 9),
            "9 0 obj\r<< /Type /Pages\r/Count 1\r/Kids [10 0 R ]\r>>\rendobj\r");
  EXPECT_EQ(ObjectText(file, offsets, 10),
            "10 0 obj\r<< /Type /Page\r/Parent 9 0 R\r/Resources 8 0 R\r/MediaBox [0 0 594 841]\r"
            "/TrimBox [85 57 552 784]\r/Contents 1 0 R\r>>\rendobj\r");
  EXPECT_EQ(ObjectText(file, offsets, 11),
            "11 0 obj\r<< /Type /Catalog \r/Pages 9 0 R \r/Outlines 3 0 R \r>>\rendobj\r");
  const std::size_t xref = file.rfind("xref\r0 12\r0000000000 65535 f \r");
  EXPECT_EQ(file.substr(file.find("trailer\r")),
            "trailer\r<< /Size 12\r/Root 11 0 R\r>>\rstartxref\r" + std::to_string(xref) + "\r%%EOF");
}

TEST(PDFDocumentTest, ObjectNumbersRunContentsFirstAndPagesLast) {
  TDocumentFile output;
  TPDFDocument& document = output.Document();
  document.BeginDoc();
  document.NewPage();
  document.NewPage();
  document.AddFont(NamedFont("DataFont"));
  document.EndDoc();
  const std::string file = output.Finish();
  const std::vector<long> offsets = CrossReference(file);
  // Two pages, one font: contents 1 and 3, lengths 2 and 4, outlines 5, font 6,
  // resources 7, page tree 8, pages 9 and 10, catalog 11.
  ASSERT_EQ(offsets.size(), 12u);
  EXPECT_EQ(ObjectText(file, offsets, 4).rfind("4 0 obj\r0 \r", 0), 0u);
  EXPECT_EQ(ObjectText(file, offsets, 8),
            "8 0 obj\r<< /Type /Pages\r/Count 2\r/Kids [9 0 R 10 0 R ]\r>>\rendobj\r");
  EXPECT_NE(ObjectText(file, offsets, 9).find("/Resources 7 0 R\r"), std::string::npos);
  EXPECT_NE(ObjectText(file, offsets, 10).find("/Contents 3 0 R\r"), std::string::npos);
  EXPECT_NE(ObjectText(file, offsets, 11).find("/Pages 8 0 R \r/Outlines 5 0 R \r"), std::string::npos);
}

struct TContentCase {
  const char* name;
  std::function<void(TPDFDocument&)> draw;
  std::string content;
};

TEST(PDFDocumentTest, EachDrawingOperationWritesItsBytes) {
  const std::string text_object = "BT\r/DataFont 10 Tf\r10 20 Td (x) Tj\rET\r";
  const std::vector<TContentCase> cases = {
      {"text in the current fill colour", [](TPDFDocument& d) { d.TextOut(10, 20, 0, "x"); }, text_object},
      {"red text on black", [](TPDFDocument& d) { d.TextOut(10, 20, 0x0000FF, "x"); },
       "1.00 0.00 0.00 rg\r" + text_object + "0.00 0.00 0.00 rg\r"},
      {"text in a fill colour already set",
       [](TPDFDocument& d) {
         EXPECT_EQ(d.SetFillColor(0x0000FF), 0);
         d.TextOut(10, 20, 0x0000FF, "x");
       },
       "1.00 0.00 0.00 rg\r" + text_object},
      {"a line of width 1", [](TPDFDocument& d) { d.DrawLine(0, 85, 700, 300, 700); },
       "85.0 700.0 m \r300.0 700.0 l \r1.0 w \rS\r"},
      {"a thin blue line",
       [](TPDFDocument& d) {
         d.LineWidth = 0.25;
         d.DrawLine(0xFF0000, 85.04, 700.55, 300, 699.96);
       },
       "0.00 0.00 1.00 RG\r85.0 700.5 m \r300.0 700.0 l \r0.2 w \rS\r0.00 0.00 0.00 RG\r"},
      {"a grey rectangle", [](TPDFDocument& d) { d.Rectangle(0x808080, 85, 700.5, 63, 14.5); },
       "0.50 0.50 0.50 rg\r85.0 700.5 63.0 14.5 re f\r0.00 0.00 0.00 rg\r"},
      {"backslashes and an unbalanced parenthesis",
       [](TPDFDocument& d) { d.TextOut(1, 2, 0, "C:\\new\\table (draft"); },
       "BT\r/DataFont 10 Tf\r1 2 Td (C:\\\\new\\\\table \\(draft) Tj\rET\r"},
      {"non-ASCII Latin text and characters outside the font",
       [](TPDFDocument& d) { d.TextOut(1, 2, 0, "Zoë 5 € 日本"); },
       "BT\r/DataFont 10 Tf\r1 2 Td (Zo\xEB 5 \x80 ?\?) Tj\rET\r"},
  };
  for (const TContentCase& test : cases) {
    TDocumentFile output;
    TPDFDocument& document = output.Document();
    document.BeginDoc();
    document.NewPage();
    document.SetFont(NamedFont("DataFont"));
    test.draw(document);
    document.EndDoc();
    EXPECT_EQ(FirstContent(output.Finish()), test.content) << test.name;
  }
}

TEST(PDFDocumentTest, CountsTheCharactersPrintedAsQuestionMarks) {
  TDocumentFile output;
  TPDFDocument& document = output.Document();
  document.BeginDoc();
  document.NewPage();
  document.TextOut(0, 0, 0, "日本 ok");
  EXPECT_EQ(document.TextWidth("€ 日", 10), document.TextWidth("€ ?", 10));  // measuring counts nothing
  document.TextOut(0, 0, 0, "\xFF");
  EXPECT_EQ(document.ReplacedCharacters(), 3u);
  document.BeginDoc();
  EXPECT_EQ(document.ReplacedCharacters(), 0u);
}

TEST(PDFDocumentTest, NumbersKeepTheDecimalPointUnderACommaLocale) {
  const TFormatSettings saved = FormatSettings();
  SetFormatSettings(GermanStyleSettings());
  const bool comma_locale = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
  TDocumentFile output;
  TPDFDocument& document = output.Document();
  document.BeginDoc();
  document.NewPage();
  document.LineWidth = 0.5;
  document.DrawLine(0x336699, 85.5, 700.25, 300, 700);
  document.EndDoc();
  // Writing a document leaves the program's own separator alone.
  EXPECT_EQ(FormatSettings().DecimalSeparator, ",");
  std::setlocale(LC_ALL, "C");
  SetFormatSettings(saved);
  EXPECT_EQ(FirstContent(output.Finish()),
            "0.60 0.40 0.20 RG\r85.5 700.2 m \r300.0 700.0 l \r0.5 w \rS\r0.00 0.00 0.00 RG\r");
  if (!comma_locale) GTEST_SKIP() << "de_DE.UTF-8 is not installed; checked in the C locale only";
}

TEST(PDFDocumentTest, SecondFontOfTheSameNameIsRefused) {
  TDocumentFile output;
  TPDFDocument& document = output.Document();
  document.BeginDoc();
  document.AddFont(NamedFont("DataFont"));
  EXPECT_VELMORA_ERROR(document.AddFont(NamedFont("DataFont", poCourier)), "Font DataFont already exists");
}

TEST(PDFDocumentTest, AFontDrawnInButNeverAddedIsStillDefined) {
  TDocumentFile output;
  TPDFDocument& document = output.Document();
  document.BeginDoc();
  document.SetFont(NamedFont("Odd Name", poTimesBold));
  document.TextOut(0, 0, 0, "text before any page");  // opens the first page
  document.AddFont(NamedFont("DataFont"));
  document.EndDoc();
  EXPECT_EQ(document.PageCount(), 1);
  const std::string file = output.Finish();
  const std::vector<long> offsets = CrossReference(file);
  EXPECT_NE(FirstContent(file).find("/Odd#20Name 10 Tf"), std::string::npos);
  EXPECT_NE(ObjectText(file, offsets, 5).find("/Name /Odd#20Name\r/BaseFont /Times-Bold\r"),
            std::string::npos);
  EXPECT_NE(ObjectText(file, offsets, 6).find("<</DataFont 4 0 R /Odd#20Name 5 0 R  >>"), std::string::npos);
}

struct TEncodingCase {
  TPDFFontName font;
  TPDFFontEncoding asked;
  std::string entries;  // from /BaseFont to /FirstChar
};

TEST(PDFDocumentTest, FontsNameOnlyEncodingsTheirFaceCanDraw) {
  const std::vector<TEncodingCase> cases = {
      {poHelvetica, poWinAnsiEncoding, "/BaseFont /Helvetica\r/Encoding /WinAnsiEncoding\r"},
      {poHelveticaBoldOblique, poStandardEncoding,
       "/BaseFont /Helvetica-BoldOblique\r/Encoding /WinAnsiEncoding\r"},
      {poTimesItalic, poPDFDocEncoding, "/BaseFont /Times-Italic\r/Encoding /WinAnsiEncoding\r"},
      {poCourierBold, poMacRomanEncoding, "/BaseFont /Courier-Bold\r/Encoding /MacRomanEncoding\r"},
      {poSymbol, poWinAnsiEncoding, "/BaseFont /Symbol\r"},
      {poZapfDingbats, poMacRomanEncoding, "/BaseFont /ZapfDingbats\r"},
  };
  for (const TEncodingCase& test : cases) {
    TDocumentFile output;
    TPDFDocument& document = output.Document();
    document.BeginDoc();
    document.AddFont(NamedFont("F", test.font, 10, test.asked));
    document.EndDoc();
    const std::string file = output.Finish();
    const std::size_t start = file.find("/BaseFont");
    EXPECT_EQ(file.substr(start, file.find("/FirstChar") - start), test.entries);
  }
}

// The /Widths array of the first font object.
std::vector<int> WrittenWidths(const std::string& file) {
  std::vector<int> widths;
  std::size_t position = file.find("/Widths [") + 9;
  while (file[position] != ']') {
    std::size_t used;
    widths.push_back(std::stoi(file.substr(position, 8), &used));
    position += used + 1;
  }
  return widths;
}

TEST(PDFDocumentTest, WrittenWidthsAreTheWidthsTheLayoutMeasures) {
  for (const TPDFFont& font : {NamedFont("F", poTimesBold, 1000), NamedFont("F", poHelvetica, 1000),
                               NamedFont("F", poCourierOblique, 1000, poMacRomanEncoding)}) {
    TDocumentFile output;
    TPDFDocument& document = output.Document();
    document.BeginDoc();
    document.AddFont(font);
    document.EndDoc();
    const std::vector<int> widths = WrittenWidths(output.Finish());
    ASSERT_EQ(widths.size(), 256u);
    for (int code = 0x20; code < 0x7F; ++code) {
      EXPECT_EQ(TPDFDocument::TextWidth(std::string(1, static_cast<char>(code)), font), widths[code])
          << BaseFontName(font.BaseFont) << " code " << code;
    }
    const int e_acute = font.FontEncoding == poMacRomanEncoding ? 0x8E : 0xE9;
    EXPECT_EQ(TPDFDocument::TextWidth("é", font), widths[e_acute]) << BaseFontName(font.BaseFont);
    EXPECT_EQ(widths[0], 0);  // control codes draw nothing
  }
}

TEST(PDFDocumentTest, PagesGoOutAsTheyAreDrawn) {
  TDocumentFile output;
  TPDFDocument& document = output.Document();
  document.BeginDoc();
  document.NewPage();
  for (int line = 0; line < 50; ++line)
    document.TextOut(85, 780 - line * 15, 0, "row " + std::to_string(line));
  document.NewPage();
  output.Stream().Flush();
  const std::string so_far = testsupport::ReadFile(output.Path());
  EXPECT_NE(so_far.find("(row 49) Tj\rET\rendstream\rendobj\r2 0 obj\r"), std::string::npos);
  EXPECT_TRUE(so_far.ends_with("endobj\r3 0 obj\r<< /Length 4 0 R >>\rstream\r\n"));
}

TEST(PDFDocumentTest, ColoursSetOnOnePageAreSetAgainOnTheNext) {
  TDocumentFile output;
  TPDFDocument& document = output.Document();
  document.BeginDoc();
  document.NewPage();
  document.SetFillColor(0x0000FF);
  document.SetStrokeColor(0x0000FF);
  document.NewPage();
  document.SetFont(NamedFont("F0"));
  // A new page starts black whatever the page before set.
  document.TextOut(1, 2, 0x0000FF, "x");
  document.DrawLine(0x0000FF, 0, 0, 1, 1);
  document.EndDoc();
  const std::string file = output.Finish();
  const std::size_t second = file.find("stream\r\n", file.find("endstream\r")) + 8;
  EXPECT_EQ(file.substr(second, file.find("endstream\r", second) - second),
            "1.00 0.00 0.00 rg\rBT\r/F0 10 Tf\r1 2 Td (x) Tj\rET\r0.00 0.00 0.00 rg\r"
            "1.00 0.00 0.00 RG\r0.0 0.0 m \r1.0 1.0 l \r1.0 w \rS\r0.00 0.00 0.00 RG\r");
}

}  // namespace
}  // namespace velmora
