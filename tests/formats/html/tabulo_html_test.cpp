// The HTML exporter byte for byte: the single page, escaping, cell styles,
// split pages with their navigation and index, the external style sheet, and
// which files an export leaves behind.
#include "formats/html/tabulo_html.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/memory_dataset.h"
#include "platform/error.h"
#include "platform/ini_file.h"
#include "platform/locale_settings.h"
#include "platform/output_file_set.h"
#include "platform/text_utils.h"
#include "support/expect_error.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::Lines;
using testsupport::ReadFile;
using testsupport::TTempDir;
using testsupport::WriteFile;

int Occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class HtmlExportTest : public testsupport::TFileExportTest<TTabuloHTML> {
 protected:
  HtmlExportTest() : TFileExportTest("html", "report.html") {}
};

// The head and table start of a page with the default options.
std::vector<std::string> DefaultHead(const std::string& title) {
  return {"<!DOCTYPE html>",
          "<HTML>",
          "<HEAD>",
          "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">",
          " <Title>" + title + "</Title>",
          "<Style type=\"text/css\">",
          "  BODY { background: #333399; color: #ffffff;",
          "         font-family: Arial, sans-serif;",
          "  }",
          "  A:link { color: #69ef7d }",
          "  A:visited { color: #ff00ff }",
          "  A:active { color: #00ff00 }",
          "  .ThRows { ",
          "            background-color: #ff0000;",
          "            color: #ffffff;",
          "            font-weight: bold; text-align: center;",
          "            font-family: Arial, sans-serif;",
          "  }",
          "  .TrRows {",
          "            background-color: #007aec;",
          "            color: #ffffff;",
          "            font-family: Arial, sans-serif;",
          "  }",
          "  .TrOdd  {",
          "            background-color: #006bce;",
          "            color: #ffffff;",
          "            font-family: Arial, sans-serif;",
          "  }",
          "</STYLE>",
          "</HEAD>",
          "<BODY>",
          "<br>",
          "<Table Border=\"1\" Cellpadding=\"4\" Cellspacing=\"1\">"};
}

// ---------------------------------------------------------------------------
// One page

TEST_F(HtmlExportTest, OnePageWithDefaultsIsWrittenByteForByte) {
  IdAndName({{"1", "Smith"}, {"2", std::nullopt}, {"3", "a<b & \"c\""}});
  exporter_.Title = "Q&A <list>";
  std::vector<std::string> expected = DefaultHead("Q&amp;A &lt;list&gt;");
  const std::vector<std::string> rest = {"  <tr>",
                                         "    <td class=\"ThRows\">ID</td>",
                                         "    <td class=\"ThRows\">NAME</td>",
                                         "  </tr>",
                                         "  <tr>",
                                         "    <td class=\"TrOdd\" align=Right>1</td>",
                                         "    <td class=\"TrOdd\" align=Left>Smith</td>",
                                         "  </tr>",
                                         "  <tr>",
                                         "    <td class=\"TrRows\" align=Right>2</td>",
                                         "    <td class=\"TrRows\" align=Left>&nbsp;</td>",
                                         "  </tr>",
                                         "  <tr>",
                                         "    <td class=\"TrOdd\" align=Right>3</td>",
                                         "    <td class=\"TrOdd\" align=Left>a&lt;b &amp; &quot;c&quot;</td>",
                                         "  </tr>",
                                         "</Table>",
                                         "<br>",
                                         "</BODY>",
                                         "</HTML>"};
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(Export(), Lines(expected));
  EXPECT_EQ(exporter_.PageCount(), 0);
}

// A size HTML cannot write refuses the whole template: the keys before it and
// the ALIGN section take no effect.
TEST_F(HtmlExportTest, TemplateRefusingASizeChangesNoSetting) {
  IdAndName({});
  for (const char* key : {"CellPadding", "CellSpacing", "BorderWidth"}) {
    SCOPED_TRACE(key);
    const std::string text =
        std::string("[ALIGN]\nID=r\n[HTML]\nTitle=New\nFileRecCount=5\n") + key + "=-2\n";
    EXPECT_VELMORA_ERROR(
        exporter_.ReadFormatSections(TIniFile::FromText(text), data_),
        std::string("Invalid value \"-2\" for ") + key + " in [HTML]: give a number from 0 to 2147483647");
    EXPECT_EQ(exporter_.Title, "");
    EXPECT_EQ(exporter_.MaxRecords(), 0);
    EXPECT_EQ(exporter_.ColumnsAlign.Count(), 0);
  }
  // A negative page size still writes one page, as before.
  exporter_.ReadFormatSections(TIniFile::FromText("[HTML]\nFileRecCount=-5\nCSS=7\nBorderWidth=0\n"), data_);
  EXPECT_EQ(exporter_.MaxRecords(), 0);
  EXPECT_EQ(exporter_.UsingCSS, usInternal);
  EXPECT_EQ(exporter_.TableOptions.Border, 0);
}

TEST_F(HtmlExportTest, EscapingKeepsEveryLineBreakOfAValue) {
  struct TCase {
    std::string text;
    std::string escaped;
  };
  const TCase cases[] = {
      {"plain", "plain"},
      {"a<b & \"c\">", "a&lt;b &amp; &quot;c&quot;&gt;"},
      {"one\r\ntwo", "one<br>two"},
      {"one\n\rtwo", "one<br>two"},
      {"one\ntwo\rthree", "one<br>two<br>three"},
      {"para\n\nnext", "para<br><br>next"},
      {"para\r\n\r\nnext", "para<br><br>next"},
      {"\n\r\n", "<br><br>"},
      {"&amp;", "&amp;amp;"},
      {"日本 'x'", "日本 'x'"},
  };
  for (const TCase& test_case : cases) {
    EXPECT_EQ(exporter_.Escaped(test_case.text), test_case.escaped) << test_case.text;
  }
}

TEST_F(HtmlExportTest, AnEmptyExportStillWritesACompletePage) {
  Numbers(3);
  exporter_.SkipRecCount = 5;
  exporter_.Header.Clear();
  exporter_.Footer.Clear();
  exporter_.UsingCSS = usExternal;
  const std::string page = Export();
  EXPECT_TRUE(page.ends_with(
      Lines({"<Table Border=\"1\" Cellpadding=\"4\" Cellspacing=\"1\">", "  <tr>",
             "    <td class=\"ThRows\">NO</td>", "  </tr>", "</Table>", "</BODY>", "</HTML>"})))
      << page;
}

// An abort while skipping ends the export without its record loop: the page
// was left without its table end, body and document end.
TEST_F(HtmlExportTest, AnAbortBeforeTheRecordsStillCompletesThePage) {
  Numbers(3);
  exporter_.SkipRecCount = 1;
  exporter_.OnSkippedRecord = [](TTabulo& sender, int) { sender.Abort(); };
  const std::string page = Export();
  EXPECT_EQ(Occurrences(page, "<HTML>"), 1);
  EXPECT_TRUE(page.ends_with(Lines({"  </tr>", "</Table>", "<br>", "</BODY>", "</HTML>"}))) << page;
}

TEST_F(HtmlExportTest, BorderColourWrapsTheTableOfEveryPage) {
  Numbers(1);
  exporter_.TableOptions.BorderColor = clNavy;
  exporter_.Footer = {"end"};
  const std::string page = Export();
  EXPECT_NE(page.find("  .TrBC { background-color: #000080 }\r\n</STYLE>"), std::string::npos);
  EXPECT_NE(page.find(Lines({"<br>", "<Table cellspacing=0 cellpadding=0 class=\"TrBC\">", "<tr><td>",
                             "<Table Border=\"1\" Cellpadding=\"4\" Cellspacing=\"1\">"})),
            std::string::npos);
  EXPECT_TRUE(page.ends_with(Lines({"</Table>", "</td></tr>", "</Table>", "end", "</BODY>", "</HTML>"})));

  exporter_.TableOptions.BorderColor = clWhite;
  EXPECT_EQ(Occurrences(Export(), "TrBC"), 0);
}

TEST_F(HtmlExportTest, FontSizeAndNameLinesFollowDefaultOptions) {
  Numbers(1);
  exporter_.AllowCaptions = false;
  exporter_.HTMLOptions.TextFont.Size = 12;
  exporter_.HTMLOptions.DefaultOptions = DefaultOptionBit(doFontName);
  exporter_.HTMLOptions.BackgroundFileName = "paper.png";
  exporter_.Execute();
  const std::vector<std::string>& sheet = exporter_.StyleSheet();
  ASSERT_GE(sheet.size(), 4u);
  EXPECT_EQ(sheet[1], "         font-size: 12pt;");
  EXPECT_EQ(sheet[2], "background-image: url(paper.png)");
  EXPECT_EQ(Occurrences(ReadFile(exporter_.FileName), "font-family"), 0);
  EXPECT_EQ(Occurrences(ReadFile(exporter_.FileName), "ThRows"), 0);
}

// A font name or background file from a template reached the page as it
// was: "</style><script>" ended the style element and ran.
TEST_F(HtmlExportTest, FontNameAndBackgroundFileCannotLeaveTheStyleSheet) {
  Numbers(1);
  exporter_.AllowCaptions = false;
  exporter_.HTMLOptions.TextFont.Name = "'Times New Roman', Zoë_1.5-x</style><script>alert(1)</script>;}";
  exporter_.HTMLOptions.BackgroundFileName = "my (bg)\\\"x\".png?a=1&b=2#top</style>";
  exporter_.Execute();
  const std::vector<std::string>& sheet = exporter_.StyleSheet();
  ASSERT_GE(sheet.size(), 4u);
  EXPECT_EQ(
      sheet[1],
      "         font-family: 'Times New Roman', Zoë_1.5-x\\3C \\2F style\\3E \\3C script\\3E alert\\28 1\\29 "
      "\\3C \\2F script\\3E \\3B \\7D , sans-serif;");
  EXPECT_EQ(sheet[2],
            "background-image: url(my\\20 \\28 bg\\29 \\5C \\22 x\\22 .png?a=1&b=2#top\\3C /style\\3E )");
  const std::string page = ReadFile(exporter_.FileName);
  EXPECT_EQ(Occurrences(page, "<script"), 0);
  EXPECT_EQ(Occurrences(page, "</style"), 0);
  EXPECT_EQ(Occurrences(page, "</STYLE>"), 1);
}

// A browser without the named fonts takes the generic family the list ends in.
TEST(HtmlFontListTest, FontListsEndInAGenericFamily) {
  const struct {
    const char* names;
    const char* expected;
  } cases[] = {
      {"Verdana", "Verdana, sans-serif"},
      {"Times New Roman", "Times New Roman, serif"},
      {"'Liberation Serif'", "'Liberation Serif', serif"},
      {"DejaVu Sans", "DejaVu Sans, sans-serif"},
      {"Courier New", "Courier New, monospace"},
      {"DejaVu Sans Mono", "DejaVu Sans Mono, monospace"},
      {"Arial, Helvetica", "Arial, Helvetica, sans-serif"},
      {"Georgia, serif", "Georgia, serif"},               // ends in a generic family already
      {"Consolas,  MONOSPACE ", "Consolas,  MONOSPACE"},  // in any letter case
      {"Arial, 'serif'", "Arial, 'serif', serif"},        // a quoted name is a font
      {"Arial, ", "Arial, sans-serif"},                   // no empty item
      {"", "sans-serif"},
      {"  ", "sans-serif"},
  };
  for (const auto& test_case : cases) {
    EXPECT_EQ(CssFontList(test_case.names), test_case.expected) << test_case.names;
  }
}

// ---------------------------------------------------------------------------
// Templates

TEST_F(HtmlExportTest, TemplatesSetTheirColoursOnlyWhenChanged) {
  exporter_.HTMLOptions.BackgroundColor = clLime;
  exporter_.HTMLOptions.TextFont.Name = "Courier";
  exporter_.SetHTMLTemplate(htClassic);  // the current one: nothing changes
  EXPECT_EQ(exporter_.HTMLOptions.BackgroundColor, clLime);

  exporter_.SetHTMLTemplate(htCustom);
  EXPECT_EQ(exporter_.HTMLOptions.BackgroundColor, clLime);
  EXPECT_EQ(exporter_.HTMLOptions.TextFont.Name, "Courier");

  for (int value = htBW; value <= htSimple; ++value) {
    exporter_.HTMLOptions.TextFont.Name = "Courier";
    exporter_.SetHTMLTemplate(static_cast<THTMLTemplate>(value));
    EXPECT_EQ(exporter_.HTMLTemplate(), value);
    EXPECT_EQ(exporter_.HTMLOptions.TextFont.Name, "Arial") << value;
    EXPECT_NE(exporter_.HTMLOptions.BackgroundColor, clLime) << value;
  }
}

// ---------------------------------------------------------------------------
// Cell parameters

TEST_F(HtmlExportTest, CellParametersWriteOnlyTheStyleItemsThatChanged) {
  IdAndName({{"1", "a"}, {"2", "b"}});
  std::vector<std::string> seen;
  exporter_.OnGetCellParams = [&](TTabulo&, int rec_no, int col_no, const std::string& value,
                                  TTabuloColAlign& align, TFont& font, TColor& background) {
    seen.push_back(std::to_string(rec_no) + ":" + std::to_string(col_no) + ":" + value);
    if (col_no == 0) return;
    if (rec_no == 0) {
      align = ecaCenter;
      background = clRed;
      font.Name = "ARIAL";  // the same name in other letters
      font.Size = 14;
      font.Color = clBlue;
      font.Style = {fsBold, fsItalic, fsUnderline};
    } else {
      font.Name = "Times \"New\"";
    }
  };
  const std::string page = Export();
  EXPECT_EQ(seen, (std::vector<std::string>{"0:0:1", "0:1:a", "1:0:2", "1:1:b"}));
  EXPECT_NE(page.find(Lines({"    <td class=\"TrOdd\" align=Right>1</td>",
                             "    <td class=\"TrOdd\" align=Center style=\"background-color: #ff0000; "
                             "font-size: 14pt; color: #0000ff; font-weight: bold; font-style: italic; "
                             "text-decoration: underline\">a</td>"})),
            std::string::npos)
      << page;
  EXPECT_NE(
      page.find(
          "    <td class=\"TrRows\" align=Left style=\"font-family: Times &quot;New&quot;, serif\">b</td>"),
      std::string::npos)
      << page;
}

TEST_F(HtmlExportTest, CellParametersCanSwitchAStyleOfTheTextFontOff) {
  Numbers(1);
  exporter_.HTMLOptions.TextFont.Style = {fsBold, fsItalic, fsUnderline};
  exporter_.OnGetCellParams = [](TTabulo&, int, int, const std::string&, TTabuloColAlign&, TFont& font,
                                 TColor&) { font.Style = {}; };
  EXPECT_NE(Export().find("style=\"font-weight: normal; font-style: normal; text-decoration: none\">1</td>"),
            std::string::npos);
}

// ---------------------------------------------------------------------------
// Split pages

TEST_F(HtmlExportTest, TwentyFiveRecordsAtTenPerPageGiveThreeLinkedPages) {
  Numbers(25);
  exporter_.SetMaxRecords(10);
  exporter_.Execute();
  EXPECT_EQ(directory_.Entries(),
            (std::vector<std::string>{"report01.html", "report02.html", "report03.html"}));
  EXPECT_EQ(exporter_.GetFileName(), File("report01.html"));

  const std::string first = ReadFile(File("report01.html"));
  const std::string third = ReadFile(File("report03.html"));
  EXPECT_EQ(Occurrences(first, "<td class=\"TrOdd\""), 5);
  EXPECT_EQ(Occurrences(first, "<td class=\"TrRows\""), 5);
  EXPECT_EQ(Occurrences(third, "<td class=\"TrOdd\""), 3);  // rows are counted per page
  EXPECT_EQ(Occurrences(third, "<td class=\"TrRows\""), 2);
  EXPECT_EQ(Occurrences(first, "<td class=\"ThRows\">NO</td>"), 1);

  const std::string links = Lines(
      {"<Table Border=\"0\" Cellpadding=\"4\" Cellspacing=\"1\">", "  <tr>",
       "    <td><a href=\"report01.html\">First</a></td>", "    <td><a href=\"report03.html\">Prior</a></td>",
       "    <td><b>01</b></td>", "    <td><a href=\"report02.html\">02</a></td>",
       "    <td><a href=\"report03.html\">03</a></td>", "    <td><a href=\"report02.html\">Next</a></td>",
       "    <td><a href=\"report03.html\">Last</a></td>", "  </tr>", "</Table>"});
  // At the body start, before the header lines, and at its end, after the footer lines.
  EXPECT_NE(first.find("<BODY>\r\n" + links + "<br>\r\n<br>\r\n<Table Border=\"1\""), std::string::npos)
      << first;
  EXPECT_TRUE(first.ends_with("</Table>\r\n<br>\r\n<br>\r\n" + links + "</BODY>\r\n</HTML>\r\n")) << first;
  EXPECT_NE(third.find("<td><a href=\"report01.html\">Next</a></td>"), std::string::npos);
}

TEST_F(HtmlExportTest, PageNumbersGrowPastTwoDigitsAndOnePageHasNoNavigation) {
  Numbers(101);
  exporter_.SetMaxRecords(1);
  exporter_.Navigation.OnTop = false;
  exporter_.Execute();
  const std::vector<std::string> entries = directory_.Entries();
  ASSERT_EQ(entries.size(), 101u);
  EXPECT_EQ(entries.front(), "report01.html");
  EXPECT_EQ(entries[10], "report100.html");  // sorted: report10, report100, report101, report11
  EXPECT_EQ(entries.back(), "report99.html");
  const std::string page = ReadFile(File("report100.html"));
  EXPECT_NE(page.find("<BODY>\r\n<br>\r\n<Table Border=\"1\""), std::string::npos);
  EXPECT_NE(page.find("<td><a href=\"report101.html\">Next</a></td>"), std::string::npos);

  exporter_.SetMaxRecords(500);
  exporter_.FileName = File("single.html");
  exporter_.Execute();
  EXPECT_EQ(Occurrences(ReadFile(File("single01.html")), "Cellpadding=\"4\""), 1);
}

// Past a hundred pages every page linked every other one: 10,000 pages wrote
// about 9 GB of links.
TEST_F(HtmlExportTest, NavigationOfManyPagesListsTheNeighboursOnly) {
  Numbers(300);
  exporter_.SetMaxRecords(1);
  exporter_.Navigation.OnBottom = false;
  exporter_.Execute();
  const auto numbers_listed = [&](int page) {
    const std::string text = ReadFile(File(NumberedFileName("report.html", page, 2)));
    std::vector<int> numbers;
    for (int number = 1; number <= 300; ++number) {
      const std::string name = NumberedFileName("", number, 2);
      if (text.find("\">" + name + "</a>") != std::string::npos ||
          text.find("<b>" + name + "</b>") != std::string::npos) {
        numbers.push_back(number);
      }
    }
    return numbers;
  };
  std::vector<int> expected = {1};
  for (int number = 140; number <= 160; ++number) expected.push_back(number);
  expected.push_back(300);
  EXPECT_EQ(numbers_listed(150), expected);
  expected.assign({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 300});
  EXPECT_EQ(numbers_listed(1), expected);
  EXPECT_LT(ReadFile(File("report300.html")).size(), 4000u);
}

TEST_F(HtmlExportTest, IndexPageListsThePagesWithEscapedTextsAndEncodedLinks) {
  Numbers(3);
  exporter_.FileName = File("sub dir/r#1 é.html");
  exporter_.SetMaxRecords(2);
  exporter_.GenerateIndex = true;
  exporter_.Navigation.IndexLinkTemplate = "Page <";
  exporter_.Navigation.IndexLinkTitle = "Home & away";
  exporter_.UsingCSS = usExternal;
  exporter_.Title = "Pages & <more>";
  exporter_.Execute();
  EXPECT_EQ(exporter_.GetFileName(), exporter_.FileName);
  EXPECT_EQ(ReadFile(exporter_.FileName),
            Lines({"<!DOCTYPE html>", "<HTML>", "<HEAD>",
                   "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">",
                   " <Title>Pages &amp; &lt;more&gt;</Title>",
                   " <link rel=\"stylesheet\" type=\"text/css\" href=\"r%231%20%C3%A901.css\">", "</HEAD>",
                   "<BODY>", "<UL>", "<LI>", "<a href=\"r%231%20%C3%A901.html\">Page &lt;01</a>", "<LI>",
                   "<a href=\"r%231%20%C3%A902.html\">Page &lt;02</a>", "</UL>", "</BODY>", "</HTML>"}));
  const std::string second = ReadFile(File("sub dir/r#1 é02.html"));
  EXPECT_NE(second.find("    <td><a href=\"r%231%20%C3%A9.html\">Home &amp; away</a></td>\r\n"
                        "    <td><a href=\"r%231%20%C3%A901.html\">First</a></td>\r\n"),
            std::string::npos)
      << second;
  EXPECT_TRUE(
      testsupport::ReadFile(File("sub dir/r#1 é01.css")).starts_with("  BODY { background: #333399;"));
}

// ---------------------------------------------------------------------------
// External style sheet

TEST_F(HtmlExportTest, ExternalStyleSheetIsLinkedFromThePagesOwnDirectory) {
  Numbers(2);
  exporter_.FileName = File("out/r.html");
  exporter_.UsingCSS = usExternal;
  const std::string page = Export();
  EXPECT_NE(page.find("</Title>\r\n <link rel=\"stylesheet\" type=\"text/css\" href=\"r.css\">\r\n</HEAD>"),
            std::string::npos)
      << page;
  EXPECT_EQ(exporter_.CSSFileName, File("out/r.css"));
  std::string sheet;
  for (const std::string& line : exporter_.StyleSheet()) sheet += line + "\n";
  EXPECT_EQ(ReadFile(File("out/r.css")), sheet);

  // A named sheet elsewhere is linked relative to the page; an existing one is
  // kept unless it may be overwritten.
  exporter_.CSSFileName = File("styles/site.css");
  ASSERT_EQ(::mkdir(File("styles").c_str(), 0700), 0);
  WriteFile(File("styles/site.css"), "mine");
  exporter_.OverwriteCSSFile = false;
  EXPECT_NE(Export().find("href=\"../styles/site.css\""), std::string::npos);
  EXPECT_EQ(ReadFile(File("styles/site.css")), "mine");
  exporter_.OverwriteCSSFile = true;
  Export();
  EXPECT_EQ(ReadFile(File("styles/site.css")), sheet);
}

TEST_F(HtmlExportTest, AFailedExportLeavesNoPageIndexOrStyleSheet) {
  Numbers(5);
  WriteFile(File("report.html"), "earlier");
  exporter_.SetMaxRecords(2);
  exporter_.GenerateIndex = true;
  exporter_.UsingCSS = usExternal;
  exporter_.OnExportedRecord = [](TTabulo&, int rec_no) {
    if (rec_no == 3) throw EVelmoraError("stop");
  };
  EXPECT_THROW(exporter_.Execute(), EVelmoraError);
  EXPECT_EQ(directory_.Entries(), std::vector<std::string>{"report.html"});
  EXPECT_EQ(ReadFile(File("report.html")), "earlier");
}

// With a pipe as output the pages cannot be split: everything goes down the
// pipe, and no file of the output's name is removed.
TEST_F(HtmlExportTest, SplittingIntoAPipeWritesOneDocument) {
  Numbers(5);
  const std::string fifo = File("out.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto received = testsupport::ReadPipeInBackground(fifo);
  exporter_.FileName = fifo;
  exporter_.SetMaxRecords(2);
  exporter_.UsingCSS = usExternal;
  exporter_.Execute();
  const std::string page = received.get();
  EXPECT_EQ(Occurrences(page, "<HTML>"), 1);
  EXPECT_EQ(Occurrences(page, "class=\"TrOdd\""), 3);
  EXPECT_EQ(Occurrences(page, "<link"), 0);
  EXPECT_EQ(directory_.Entries(), std::vector<std::string>{"out.fifo"});
}

// ---------------------------------------------------------------------------
// The page files of a split export on disk

// Runs body in a child process, which exits 0 when body returns and 1 when it raises.
template <class TBody>
pid_t StartChild(TBody body) {
  const pid_t child = ::fork();
  if (child != 0) return child;
  try {
    body();
  } catch (const std::exception&) {
    ::_exit(1);
  }
  ::_exit(0);
}

// The exit status of a child, -1 when a signal ended it.
int ExitStatusOf(pid_t child) {
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Pages 03 and 04 of yesterday's longer export stayed beside today's two and
// read as part of today's export.
TEST_F(HtmlExportTest, PagesLeftFromAnEarlierLongerExportAreRemovedAtTheCommit) {
  Numbers(8);
  exporter_.SetMaxRecords(2);
  exporter_.Execute();
  WriteFile(File("report06.html"), "after a gap: not of the series");
  ASSERT_EQ(directory_.Entries().size(), 5u);
  exporter_.SetMaxRecords(4);
  // A failed export removes nothing.
  exporter_.OnExportedRecord = [](TTabulo&, int rec_no) {
    if (rec_no == 5) throw EVelmoraError("stop");
  };
  EXPECT_THROW(exporter_.Execute(), EVelmoraError);
  EXPECT_EQ(directory_.Entries().size(), 5u);
  exporter_.OnExportedRecord = nullptr;
  exporter_.Execute();
  EXPECT_EQ(directory_.Entries(),
            (std::vector<std::string>{"report01.html", "report02.html", "report06.html"}));
  EXPECT_EQ(Occurrences(ReadFile(File("report02.html")), "<td class=\"Tr"), 4);
  EXPECT_EQ(Occurrences(ReadFile(File("report02.html")), "report03.html"), 0);
}

// Two runs writing one paged target at once left 40 pages of one beside 160 of
// the other. Here the export of 40 pages starts when the export of 160 has put
// 100 of its files in place, and the rest of those go in slowly.
int started_pipe[2] = {-1, -1};
int files_placed = 0;

void SignalAtTheHundredthFile(const std::string&) {
  if (++files_placed == 100 && ::write(started_pipe[1], "!", 1) != 1) ::_exit(3);
  if (files_placed >= 100) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

TEST_F(HtmlExportTest, TwoExportsOfTheSamePagesAtOnceLeaveOneExportsPagesOnly) {
  Numbers(160);
  ASSERT_EQ(::pipe(started_pipe), 0);
  std::vector<pid_t> children;
  for (const int records_per_page : {1, 4}) {
    children.push_back(StartChild([&] {
      char signal = 0;
      if (records_per_page == 1) {
        TOutputFileSet::SetPlaceHookForTesting(&SignalAtTheHundredthFile);
      } else if (::read(started_pipe[0], &signal, 1) != 1) {
        ::_exit(3);
      }
      exporter_.Title = "per page " + std::to_string(records_per_page);
      exporter_.SetMaxRecords(records_per_page);
      exporter_.Execute();
    }));
  }
  for (const pid_t child : children) EXPECT_EQ(ExitStatusOf(child), 0);
  ::close(started_pipe[0]);
  ::close(started_pipe[1]);
  // The later export waited for the earlier one and took away its pages beyond 40.
  const std::vector<std::string> entries = directory_.Entries();
  EXPECT_EQ(entries.size(), 40u);
  for (const std::string& name : entries) {
    EXPECT_NE(ReadFile(File(name)).find("<Title>per page 4</Title>"), std::string::npos) << name;
  }
}

// Every page held a descriptor and a 64 KiB buffer until the commit: under
// `ulimit -n 1024` the export stopped at page 1,017, and 10,000 pages took
// 655 MB.
TEST_F(HtmlExportTest, ManyPagesNeedNoMoreDescriptorsThanOnePage) {
  constexpr int kPages = 400;
  Numbers(kPages);
  exporter_.SetMaxRecords(1);
  exporter_.UsingCSS = usExternal;
  const pid_t child = StartChild([&] {
    const rlimit limit{32, 32};
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(2);
    exporter_.Execute();
  });
  EXPECT_EQ(ExitStatusOf(child), 0);
  EXPECT_EQ(directory_.Entries().size(), static_cast<std::size_t>(kPages) + 1);  // and the style sheet
  const std::string last = ReadFile(File("report400.html"));
  EXPECT_NE(last.find("<td><a href=\"report399.html\">Prior</a></td>"), std::string::npos);
  EXPECT_TRUE(
      last.ends_with("<td><a href=\"report400.html\">Last</a></td>\r\n  </tr>\r\n</Table>\r\n</BODY>\r\n"
                     "</HTML>\r\n"));
}

}  // namespace
}  // namespace velmora
