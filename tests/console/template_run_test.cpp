// End-to-end runs of velmora with template files: which template an item
// reads, the general sections and the sections of the text formats.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "console_support.h"

namespace velmora {
namespace {

using consoletest::TVelmoraResult;

class TemplateRunTest : public consoletest::ConsoleServerTest {};

// FileName and ExportType come from the item's own template only; every other
// setting of the All template applies to items without their own.
TEST_F(TemplateRunTest, OwnTemplateAndAllTemplate) {
  Write("all.ini", "[GENERAL]\nFileName=all.csv\nExportType=8\n[CSV]\nComma=;\n");
  Write("own.ini", "[GENERAL]\nFileName=sub/dir/own.csv\nExportType=8\n[FIELDS]\n1=id\n");
  Write("name_only.ini", "[GENERAL]\nFileName=name_only.csv\n");
  const TVelmoraResult result =
      Run("[Tables]\nplain=clients\nown=orders\nfile=v_orders\nname=clients\n"
          "[Templates]\nAll=all.ini\nown=own.ini\nOWN=all.ini\nname=name_only.ini\n"
          "[Files]\nfile=v.csv\n");
  EXPECT_EQ(result.lines, Connected({"clients: 2 records exported to clients.xls",
                                     "orders: 3 records exported to sub/dir/own.csv",
                                     "v_orders: 2 records exported to v.csv",
                                     "clients: 2 records exported to name_only.csv"}));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(Read("sub/dir/own.csv"), "\"id\"\r\n\"1\"\r\n\"2\"\r\n\"3\"\r\n");
  EXPECT_EQ(Read("v.csv"), "\"id\";\"customer\"\r\n\"1\";\"Ann\"\r\n\"2\";\"Bob\"\r\n");
  EXPECT_FALSE(Exists("all.csv"));
  // Without an ExportType the template's file is a workbook, whatever its extension.
  EXPECT_EQ(Read("name_only.csv").substr(0, 4), "\xD0\xCF\x11\xE0");
}

// A misspelt template name exported with every default and exit status 0.
// The own template and the All template are both checked; a template that
// exists and leaves keys out still gives their defaults.
TEST_F(TemplateRunTest, MissingTemplateFileFailsItsItemNamingTheFile) {
  Write("empty.ini", "");
  const TVelmoraResult own =
      Run("[Tables]\n1=clients\n2=clients\n[Templates]\n1=no/such/template.ini\n2=empty.ini\n"
          "[Files]\n1=c.csv\n2=d.csv\n");
  EXPECT_EQ(own.lines, Connected({"clients: Template file \"no/such/template.ini\" does not exist",
                                  "clients: 2 records exported to d.csv"}));
  EXPECT_EQ(own.exit_status, 1);
  EXPECT_FALSE(Exists("c.csv"));
  EXPECT_EQ(Read("d.csv"), "\"ID\",\"NAME\"\r\n\"1\",\"Alpha\"\r\n\"2\",\"Beta\"\r\n");

  const TVelmoraResult all = Run("[Tables]\n1=clients\n[Templates]\nAll=alll.ini\n[Files]\n1=e.csv\n");
  EXPECT_EQ(all.lines, Connected({"clients: Template file \"alll.ini\" does not exist"}));
  EXPECT_EQ(all.exit_status, 1);
  EXPECT_FALSE(Exists("e.csv"));
}

// A misspelt colour name gave the default colour; it fails the item now,
// naming the valid names, and an absent colour key keeps its default.
TEST_F(TemplateRunTest, UnknownColourNameFailsItsItem) {
  Write("bad.ini", "[HTML]\nFontColor=clRedd\n");
  Write("good.ini", "[HTML]\nBackgroundColor=clRed\n");
  const TVelmoraResult result =
      Run("[Tables]\n1=clients\n2=clients\n[Templates]\n1=bad.ini\n2=good.ini\n[Files]\n1=bad.html\n"
          "2=good.html\n");
  ASSERT_EQ(result.lines.size(), 8u) << result.output;
  EXPECT_EQ(result.lines[6].rfind("clients: ProcessedData: Invalid colour \"clRedd\" for FontColor in [HTML]: ", 0),
            0u)
      << result.lines[6];
  EXPECT_NE(result.lines[6].find("clBlack, clMaroon, clGreen"), std::string::npos);
  EXPECT_EQ(result.lines[7], "clients: 2 records exported to good.html");
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(Exists("bad.html"));
  const std::string page = Read("good.html");
  EXPECT_NE(page.find("BODY { background: #ff0000; color: #ffffff;"), std::string::npos);
}

// A template that exists but cannot be read fails its item, naming the file;
// the run goes on.
TEST_F(TemplateRunTest, TemplateThatCannotBeReadFailsItsItem) {
  std::filesystem::create_directory(dir_.File("dir.ini"));
  const TVelmoraResult result =
      Run("[Tables]\n1=clients\n2=clients\n[Templates]\n1=dir.ini\n[Files]\n1=one.csv\n2=two.csv\n");
  EXPECT_EQ(result.lines, Connected({"clients: ProcessedData: Cannot read file \"dir.ini\": not a regular file",
                                     "clients: 2 records exported to two.csv"}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(Exists("one.csv"));
}

TEST_F(TemplateRunTest, UnknownExportTypeSkipsTheItem) {
  Write("t42.ini", "[GENERAL]\nFileName=c.csv\nExportType=42\n");
  Write("minus.ini", "[GENERAL]\nExportType=-1\n");
  Write("dif.ini", "[GENERAL]\nFileName=c.dif\nExportType=$9\n");
  const TVelmoraResult result =
      Run("[Tables]\n1=clients\n2=orders\n3=clients\n[Templates]\n1=t42.ini\n2=minus.ini\n3=dif.ini\n");
  EXPECT_EQ(result.lines, Connected({"clients: Unknown export type 42", "orders: Unknown export type -1",
                                     "clients: 2 records exported to c.dif"}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(Exists("c.csv"));
  EXPECT_EQ(Read("c.dif").substr(0, 7), "TABLE\r\n");
}

// Keyed entries name fields exactly: "name" and "id" are not the fields NAME and ID.
TEST_F(TemplateRunTest, FieldsCaptionsAndUserFormatsMatchFieldNamesExactly) {
  Write("t.ini",
        "[FIELDS]\n1=NAME\n2=missing\n3=name\n4=ID\n"
        "[CAPTIONS]\nname=lower case\nNAME=Client\n"
        "[USER_FORMATS]\nid=0.00\nID=000\n"
        "[HEADER]\n1=Clients\n2=\n[FOOTER]\n1=end\n");
  const TVelmoraResult result = Run("[Tables]\n1=clients\n[Templates]\n1=t.ini\n[Files]\n1=c.csv\n");
  EXPECT_EQ(result.lines, Connected({"clients: 2 records exported to c.csv"}));
  EXPECT_EQ(Read("c.csv"),
            "Clients,\r\n,\r\n\"Client\",\"ID\"\r\n\"Alpha\",\"001\"\r\n\"Beta\",\"002\"\r\nend,\r\n");
}

TEST_F(TemplateRunTest, InvalidIntegersAndBooleansKeepTheirDefaults) {
  Write("abc.ini", "[GENERAL]\nExportRecCount=abc\nSkipRecCount=1\nGoToFirstRecord=false\n[FIELDS]\n1=id\n");
  Write("hex.ini", "[GENERAL]\nExportRecCount=0x1\nSkipRecCount=$1\nGoToFirstRecord=0\n[FIELDS]\n1=id\n");
  // A negative count exported nothing; it takes the default like invalid text.
  Write("minus.ini", "[GENERAL]\nExportRecCount=-1\nSkipRecCount=-2\n[FIELDS]\n1=id\n");
  const TVelmoraResult result =
      Run("[Tables]\n1=orders\n2=orders\n3=orders\n[Templates]\n1=abc.ini\n2=hex.ini\n3=minus.ini\n"
          "[Files]\n1=abc.csv\n2=hex.csv\n3=minus.csv\n");
  EXPECT_EQ(result.lines,
            Connected({"orders: 2 records exported to abc.csv", "orders: 1 records exported to hex.csv",
                       "orders: 3 records exported to minus.csv"}));
  EXPECT_EQ(Read("abc.csv"), "\"id\"\r\n\"2\"\r\n\"3\"\r\n");
  EXPECT_EQ(Read("hex.csv"), "\"id\"\r\n\"2\"\r\n");
}

TEST_F(TemplateRunTest, FormatsSectionAndAllowCaptions) {
  Write("f.ini",
        "[GENERAL]\nAllowCaptions=0\n[FORMATS]\nInteger=\nFloat=0.0\nDate=dd.mm.yyyy\nNullString=  n/a  \n"
        "[FIELDS]\n1=id\n2=amount\n3=placed\n");
  const TVelmoraResult result =
      Run("[Tables]\n1=orders\n[Queries]\nn=Numbers\n[SQL_n]\n1=select 1234567 as big\n"
          "[Templates]\nAll=f.ini\n[Files]\n1=o.csv\nn=n.csv\n");
  EXPECT_EQ(result.lines,
            Connected({"orders: 3 records exported to o.csv", "Numbers: 1 records exported to n.csv"}));
  EXPECT_EQ(
      Read("o.csv"),
      "\"1\",\"1234.5\",\"02.01.2024\"\r\n\"2\",\"n/a\",\"03.02.2024\"\r\n\"3\",\"7.0\",\"04.03.2024\"\r\n");
  // An empty number format is no format of the template's own: CSV prints the plain number.
  EXPECT_EQ(Read("n.csv"), "\"1234567\"\r\n");
}

TEST_F(TemplateRunTest, TextSectionsWidthAlignAndSpacing) {
  Write("t.ini",
        "[WIDTH]\nID=4\nNAME=8\nname=20\n[ALIGN]\nID=left\nNAME=r\n"
        "[TXT]\nAutoCalcColWidth=0\nSpacing=0\n[CSV]\nComma=#9\n");
  const TVelmoraResult result = Run("[Tables]\n1=clients\n[Templates]\n1=t.ini\n[Files]\n1=c.txt\n");
  EXPECT_EQ(result.lines, Connected({"clients: 2 records exported to c.txt"}));
  EXPECT_EQ(Read("c.txt"), "ID      NAME\r\n1      Alpha\r\n2       Beta\r\n");
}

// The runs are in the C locale, as under cron; the server's text is UTF-8 all
// the same, and widths count its characters, not its bytes.
TEST_F(TemplateRunTest, TxtWidthsCountUtf8CharactersInTheCLocale) {
  const TVelmoraResult result =
      Run("[Queries]\nq=Singers\n[sql_q]\n1=select 'Cássia Eller' as singer union all select 'Zoë'\n"
          "[Files]\nq=s.txt\n");
  EXPECT_EQ(result.lines, Connected({"Singers: 2 records exported to s.txt"}));
  EXPECT_EQ(Read("s.txt"), "singer       \r\nCássia Eller \r\nZoë          \r\n");
}

TEST_F(TemplateRunTest, CsvSectionCharacters) {
  Write("tab.ini", "[CSV]\nComma=#9\nQuote='\n[WIDTH]\nID=30\n");
  Write("plain.ini", "[CSV]\nComma=;\nQuote=#0\nQuoteStrings=1\n");
  Write("unquoted.ini", "[CSV]\nQuoteStrings=0\n");
  const TVelmoraResult result =
      Run("[Tables]\n1=clients\n2=clients\n3=orders\n[Templates]\n1=tab.ini\n2=plain.ini\n3=unquoted.ini\n"
          "[Files]\n1=tab.csv\n2=plain.csv\n3=unquoted.csv\n");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(Read("tab.csv"), "'ID'\t'NAME'\r\n'1'\t'Alpha'\r\n'2'\t'Beta'\r\n");
  EXPECT_EQ(Read("plain.csv"), "ID;NAME\r\n1;Alpha\r\n2;Beta\r\n");
  EXPECT_EQ(Read("unquoted.csv"),
            "id,customer,amount,placed,note\r\n1,Ann,1234.50,2024-01-02,\"say \"\"hi\"\"\"\r\n"
            "2,Bob,,2024-02-03,\r\n3,Zoë,7.00,2024-03-04,\"a,b\"\r\n");
}

// Without a quote character the value "a,b" would split its row: the item
// fails, naming the row and column, and the run goes on.
TEST_F(TemplateRunTest, CsvValueHoldingTheSeparatorWithoutAQuoteCharacterFailsTheItem) {
  Write("plain.ini", "[CSV]\nQuote=#0\n");
  const TVelmoraResult result =
      Run("[Tables]\n1=orders\n2=clients\n[Templates]\n1=plain.ini\n2=plain.ini\n"
          "[Files]\n1=o.csv\n2=c.csv\n");
  EXPECT_EQ(result.lines,
            Connected({"orders: ProcessedData: Row 3, column note: the value holds the separator and the file has no "
                       "quote character",
                       "clients: 2 records exported to c.csv"}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(Exists("o.csv"));
}

// An empty separator wrote NUL bytes between the fields; the item now fails
// before a byte is written and the earlier file stays.
TEST_F(TemplateRunTest, CsvSeparatorThatIsNoSingleCharacterFailsTheItem) {
  Write("empty.ini", "[CSV]\nComma=\n");
  Write("c.csv", "earlier\r\n");
  const TVelmoraResult result =
      Run("[Tables]\n1=clients\n2=clients\n3=clients\n[Templates]\n1=empty.ini\n2=empty.ini\n"
          "[Files]\n1=c.csv\n2=new/c.csv\n3=ok.csv\n");
  EXPECT_EQ(result.lines,
            Connected({"clients: ProcessedData: CSV Comma \"\" is not one character or # and a code from 1 to 255",
                       "clients: ProcessedData: CSV Comma \"\" is not one character or # and a code from 1 to 255",
                       "clients: 2 records exported to ok.csv"}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(Read("c.csv"), "earlier\r\n");
  EXPECT_FALSE(Exists("new"));
}

}  // namespace
}  // namespace velmora
