// The LaTeX exporter byte for byte: the preambles of both versions, the table
// around the rows, and the escaping of every character LaTeX treats specially.
#include "formats/latex/tabulo_latex.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "engine/memory_dataset.h"
#include "platform/error.h"
#include "platform/ini_file.h"
#include "platform/locale_settings.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::Lines;
using testsupport::ReadFile;
using testsupport::TTempDir;

class LaTeXExportTest : public testsupport::TFileExportTest<TTabuloLaTeX> {
 protected:
  LaTeXExportTest() : TFileExportTest("latex", "out.tex") {}
};

TEST_F(LaTeXExportTest, DefaultDocumentIsByteExact) {
  data_.AddField("ID", ftInteger);
  data_.AddField("NAME", ftString, 20);
  data_.AppendRecord({"7", "50% & more"});
  data_.AppendRecord({"8", std::nullopt});
  exporter_.Header = {"\\section*{Report}"};
  exporter_.Footer = {"End"};
  EXPECT_EQ(Export(), Lines({
                          "\\documentclass[a4paper]{article}",
                          "\\usepackage[utf8]{inputenc}",
                          "\\DeclareUnicodeCharacter{FFFD}{\\fbox{?}}",
                          "\\usepackage[english]{babel}",
                          "\\usepackage[]{array}",
                          "\\usepackage[]{longtable}",
                          "\\begin{document}",
                          "",
                          "\\section*{Report}",
                          "\\par\\bigskip",
                          // Columns as wide as their widest text in the
                          // text font, the number right-aligned.
                          "\\begin{longtable}{|>{\\raggedleft\\arraybackslash}p{1.43em}|"
                          ">{\\raggedright\\arraybackslash}p{5.75em}|}",
                          "\\hline",
                          "ID & NAME",
                          "\\\\",
                          "\\hline",
                          "\\endhead",
                          "7 & 50\\% \\& more",
                          "\\\\",
                          "\\hline",
                          "8 & ",
                          "\\\\",
                          "\\hline",
                          "\\end{longtable}",
                          "",
                          "End",
                          "\\end{document}",
                      }));
}

struct TPreambleCase {
  TLaTeXOptions options;
  TStringList preambula;
  std::string expected;
};

TEST_F(LaTeXExportTest, OptionsShapeThePreamble) {
  TLaTeXOptions russian;
  russian.Languages = "russian,english";
  russian.CodePage = 1251;
  russian.DocumentParams = "";
  TLaTeXOptions old_book;
  old_book.LaTeXVersion = LaTeX209;
  old_book.DocumentStyle = dsBook;
  old_book.DocumentParams = "";
  TLaTeXOptions old_article;
  old_article.LaTeXVersion = LaTeX209;
  const std::vector<TPreambleCase> cases = {
      {russian, {"\\usepackage{array}", "% mine"},
       Lines({"\\documentclass{article}", "\\usepackage[cp1251]{inputenc}",
              "\\usepackage[russian,english]{babel}", "\\usepackage[]{array}", "\\usepackage[]{longtable}",
              "\\usepackage{array}",
              "% mine", "", "\\begin{document}", "\\Rus", ""})},
      {old_book, {"ignored"}, Lines({"\\documentstyle[longtable,array]{book}", "\\begin{document}", ""})},
      {old_article, {}, Lines({"\\documentstyle[a4paper,longtable,array]{article}", "\\begin{document}", ""})},
  };
  data_.AddField("V", ftString, 5);
  data_.AppendRecord({"x"});
  for (const TPreambleCase& test : cases) {
    exporter_.Options = test.options;
    exporter_.Preambula = test.preambula;
    const std::string document = Export();
    EXPECT_EQ(document.substr(0, document.find("\\par\\bigskip")), test.expected);
    // One column: no separator at all.
    EXPECT_NE(document.find("em}|}\r\n\\hline\r\nV\r\n\\\\\r\n\\hline\r\n\\endhead\r\nx\r\n\\\\\r\n"),
              std::string::npos);
  }
}

TEST_F(LaTeXExportTest, SpecialCharactersTypesetAsWritten) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"a<b>c", "a$<$b$>$c"},
      {"#$%&_{}", "\\#\\$\\%\\&\\_\\{\\}"},
      {"C:\\temp\\", "C:\\textbackslash{}temp\\textbackslash{}"},
      {"x^", "x\\^{}"},
      {"~/dir", "\\~{}/dir"},
      {"a|b", "a\\textbar{}b"},
      {"line\r\nbreak\ttab", "line  break tab"},
      {std::string("bell\x07nul\0del\x7F", 13), "bellnuldel"},
      {"Zo\xC3\xAB \xE6\x97\xA5", "Zo\xC3\xAB \xE6\x97\xA5"},
  };
  for (const auto& [value, expected] : cases) {
    std::string out;
    EXPECT_EQ(AppendLaTeXText(out, value, nullptr, false), 0u) << value;
    EXPECT_EQ(out, expected) << value;
  }
  // Texts the engine passes unformatted (Boolean, unknown) and captions are
  // escaped as well.
  data_.AddField("a_b", ftBoolean);
  data_.AddField("U", ftUnknown);
  data_.AppendRecord({"True&", "{x}"});
  const std::string document = Export();
  EXPECT_NE(document.find("a\\_b & U\r\n"), std::string::npos);
  EXPECT_NE(document.find("True\\& & \\{x\\}\r\n"), std::string::npos);
}

// Bytes that are not UTF-8 stopped the compiler ("Invalid UTF-8 byte"): each
// invalid sequence is written as U+FFFD and counted for the run's warning.
TEST_F(LaTeXExportTest, InvalidUtf8BecomesReplacementCharacterAndIsCounted) {
  const std::string fffd = "\xEF\xBF\xBD";
  const std::vector<std::tuple<std::string, std::string, std::size_t>> cases = {
      {"a\xFF\xFE_b", "a" + fffd + fffd + "\\_b", 2},
      {"cut \xE2\x82", "cut " + fffd, 1},
      {"\xC0\xAF&", fffd + fffd + "\\&", 2},
      {"Zo\xC3\xAB\x80", "Zo\xC3\xAB" + fffd, 1},
  };
  for (const auto& [value, expected, count] : cases) {
    std::string out;
    EXPECT_EQ(AppendLaTeXText(out, value), count) << value;
    EXPECT_EQ(out, expected) << value;
  }
  data_.AddField("B\xFF", ftString, 10);
  data_.AppendRecord({"\x89PNG\r\n"});
  data_.AppendRecord({"ok"});
  const std::string document = Export();
  EXPECT_NE(document.find("B" + fffd + "\r\n"), std::string::npos);
  EXPECT_NE(document.find(fffd + "PNG  \r\n"), std::string::npos);
  EXPECT_EQ(exporter_.ReplacedCharacters(), 2u);
  EXPECT_EQ(exporter_.ReplacementKind(), TTabuloText::rkInvalidUtf8);
}

// The engine follows the text the export reads before its table: captions,
// header and footer lines and the values. A document for pdflatex that still
// gets characters it lacks, and one for xelatex that the user did not ask
// for, are named in the run's notes.
struct TEngineCase {
  const char* name;
  TLaTeXEngine engine;
  TLaTeXVersion version;
  std::string caption, value, header;
  TLaTeXEngine expected;
  std::vector<std::string> notes;
};

TEST_F(LaTeXExportTest, EngineFollowsTheTextAndTheSettings) {
  const std::string xelatex_note = "F holds text that pdflatex cannot typeset: compile it with xelatex";
  const auto beyond = [](int count) {
    return std::to_string(count) +
           " characters that pdflatex cannot typeset were written to F; export it with [LaTeX] "
           "Engine=xelatex and compile it with xelatex";
  };
  const std::vector<TEngineCase> cases = {
      {"latin", leAuto, LaTeX2e, "NAME", "Zo\xC3\xAB \xC3\x85gren \xE2\x82\xAC \xC5\x81\xC3\xB3" "d\xC5\xBA", "", lePdfLaTeX, {}},
      {"cyrillic value", leAuto, LaTeX2e, "NAME", "\xD0\x94\xD0\xBC", "", leXeLaTeX, {xelatex_note}},
      {"greek caption", leAuto, LaTeX2e, "\xCE\x96\xCF\x89", "x", "", leXeLaTeX, {xelatex_note}},
      {"cjk header", leAuto, LaTeX2e, "NAME", "x", "\\section*{\xE6\x97\xA5}", leXeLaTeX, {xelatex_note}},
      {"asked for", leXeLaTeX, LaTeX2e, "NAME", "x", "", leXeLaTeX, {}},
      {"forced", lePdfLaTeX, LaTeX2e, "NAME", "\xD0\x94\xD0\xBC \xE6\x97\xA5", "", lePdfLaTeX, {beyond(3)}},
      {"old preamble", leAuto, LaTeX209, "NAME", "\xD0\x94", "", lePdfLaTeX, {beyond(1)}},
  };
  for (const TEngineCase& test : cases) {
    SCOPED_TRACE(test.name);
    TTabuloLaTeX exporter;
    TMemoryDataSet data;
    data.AddField("NAME", ftString, 20);
    data.AppendRecord({test.value});
    data.Open();
    exporter.DataSet = &data;
    exporter.FileName = directory_.File("engine.tex");
    exporter.Options.Engine = test.engine;
    exporter.Options.LaTeXVersion = test.version;
    exporter.Captions = {"NAME=" + test.caption};
    if (!test.header.empty()) exporter.Header = {test.header};
    exporter.Execute();
    const std::string document = ReadFile(exporter.FileName);
    EXPECT_EQ(exporter.EngineUsed(), test.expected);
    const bool unicode = document.find("\\usepackage[]{fontspec}\r\n\\setmainfont{DejaVu Serif}\r\n"
                                       "\\newfontfamily\\VelmoraCJKFont{WenQuanYi Micro Hei}\r\n") != std::string::npos;
    EXPECT_EQ(unicode, test.expected == leXeLaTeX);
    EXPECT_EQ(document.find("inputenc") == std::string::npos, test.expected == leXeLaTeX || test.version == LaTeX209);
    EXPECT_EQ(exporter.ExportNotes("F"), test.notes);
  }
}

// Long words get break points so that they wrap inside their column,
// preferably after the punctuation that joins their parts; never between a
// letter and its combining mark. Line separators are blanks.
TEST_F(LaTeXExportTest, LongWordsGetBreakPoints) {
  const std::string cut = "\\penalty1000\\relax ";
  const std::string join = "\\penalty500\\relax ";
  const std::vector<std::tuple<std::string, std::string, std::uint64_t>> cases = {
      {"short words stay whole", "short words stay whole", 0},
      {"abcdefghijk", "abcde" + cut + "fghij" + cut + "k", 0},
      {"MARY@ex.org", "MARY@" + join + "ex." + join + "org", 0},
      {"customer_id", "custo" + cut + "mer\\_" + join + "id", 0},
      {"Zoe\xCC\x88" "abcd", "Zoe\xCC\x88" "ab" + cut + "cd", 1},
      {"a_b_c_d", "a\\_" + join + "b\\_" + join + "c\\_" + join + "d", 0},
      {"a_b", "a\\_b", 0},
      {"line\xE2\x80\xA8next12345", "line next1" + cut + "2345", 0},
      {"\xD0\x94\xD0\xBC \xE6\x97\xA5", "\xD0\x94\xD0\xBC \xE6\x97\xA5", 3},
  };
  for (const auto& [value, expected, beyond] : cases) {
    std::string out;
    std::uint64_t counted = 0;
    AppendLaTeXText(out, value, &counted);
    EXPECT_EQ(out, expected) << value;
    EXPECT_EQ(counted, beyond) << value;
  }
  // Numbers and dates are never broken; their columns hold them whole.
  data_.AddField("N", ftLargeint);
  data_.AddField("T", ftString, 40);
  data_.AppendRecord({"1234567890123", "abcdefghijk"});
  const std::string document = Export();
  EXPECT_NE(document.find("\r\n1,234,567,890,123 & abcde" + cut + "fghij" + cut + "k\r\n"), std::string::npos)
      << document;
}

// The table fits the text width: numbers at their natural width, short text
// columns whole, the widest column taking what the line leaves (never less
// than its narrowest), a smaller size when many columns need it; a WIDTH
// entry is that many digits; the caption row repeats on every page only
// when there is one.
TEST_F(LaTeXExportTest, ColumnsShareTheTextWidth) {
  data_.AddField("ID", ftInteger);
  data_.AddField("CODE", ftString, 255);
  data_.AddField("TEXT", ftString, 255);
  for (int row = 0; row < 3; ++row) data_.AppendRecord({std::to_string(row), "PG-13", std::string(300, 'x')});
  const std::string document = Export();
  EXPECT_NE(document.find("\\newlength\\VelmoraRest\r\n\\setlength\\VelmoraRest{\\dimexpr\\linewidth-6\\tabcolsep-"
                          "4\\arrayrulewidth-"),
            std::string::npos);
  EXPECT_NE(document.find("\\begin{longtable}{|>{\\raggedleft\\arraybackslash}p{1.43em}|"
                          ">{\\raggedright\\arraybackslash}p{3.25em}|"
                          ">{\\raggedright\\arraybackslash}p{\\dimexpr\\VelmoraRest*1000/1000\\relax}|}"),
            std::string::npos)
      << document;
  EXPECT_EQ(document.find("\\begingroup"), std::string::npos);

  // Nine columns of long text: the page turned, with narrower margins.
  TMemoryDataSet wide;
  for (int column = 0; column < 9; ++column) wide.AddField("C" + std::to_string(column), ftString, 255);
  wide.AppendRecord(std::vector<std::optional<std::string>>(9, std::string(40, 'y') + " z"));
  wide.Open();
  TTabuloLaTeX exporter;
  exporter.DataSet = &wide;
  exporter.FileName = directory_.File("wide.tex");
  exporter.AllowCaptions = false;
  exporter.ColumnsWidth = {"C0=10"};
  exporter.Execute();
  const std::string wide_document = ReadFile(exporter.FileName);
  EXPECT_NE(wide_document.find("\\usepackage[a4paper,landscape,margin=1.5cm]{geometry}\r\n"), std::string::npos);
  EXPECT_EQ(wide_document.find("\\begingroup"), std::string::npos);
  EXPECT_NE(wide_document.find("{|>{\\raggedright\\arraybackslash}p{5.00em}|"), std::string::npos);
  EXPECT_EQ(wide_document.find("\\endhead"), std::string::npos);
  EXPECT_TRUE(exporter.ExportNotes("F").empty());
  // More columns than the turned page holds even in the smallest size.
  TMemoryDataSet wider;
  for (int column = 0; column < 40; ++column) wider.AddField("C" + std::to_string(column), ftString, 255);
  wider.AppendRecord(std::vector<std::optional<std::string>>(40, std::string(40, 'y')));
  wider.Open();
  exporter.DataSet = &wider;
  exporter.Execute();
  EXPECT_EQ(exporter.ExportNotes("F"),
            std::vector<std::string>{
                "the table of F is wider than the page even in the smallest size: export fewer columns ([FIELDS])"});
}

// The [LaTeX] section: the engine in any letter case, font names that
// cannot break the preamble, and the class options.
TEST(LaTeXOptionsTest, TemplateSectionIsReadAndChecked) {
  struct TCase {
    std::string section;
    TLaTeXEngine engine;
    std::string font, error;
  };
  const std::vector<TCase> cases = {
      {"", leAuto, "DejaVu Serif", ""},
      {"Engine=XeLaTeX\nFont=DejaVu Sans\nDocumentParams=a4paper,11pt", leXeLaTeX, "DejaVu Sans", ""},
      {"Engine=pdflatex", lePdfLaTeX, "DejaVu Serif", ""},
      {"Engine=lualatex", leAuto, "", "LaTeX Engine \"lualatex\" is not auto, pdflatex or xelatex"},
      {"Font=Evil}\\def", leAuto, "",
       "LaTeX Font \"Evil}\\def\" is not a font name of letters, digits, blanks, \"-\", \"_\" and \".\""},
      {"CJKFont=", leAuto, "",
       "LaTeX CJKFont \"\" is not a font name of letters, digits, blanks, \"-\", \"_\" and \".\""},
  };
  for (const TCase& test : cases) {
    const TIniFile file = TIniFile::FromText("[LaTeX]\n" + test.section + "\n");
    if (!test.error.empty()) {
      try {
        TLaTeXOptions::Read(file, TLaTeXOptions());
        ADD_FAILURE() << test.section;
      } catch (const EVelmoraError& error) {
        EXPECT_EQ(std::string(error.what()), test.error);
      }
      continue;
    }
    const TLaTeXOptions options = TLaTeXOptions::Read(file, TLaTeXOptions());
    EXPECT_EQ(options.Engine, test.engine) << test.section;
    EXPECT_EQ(options.Font, test.font) << test.section;
    EXPECT_EQ(options.CJKFont, "WenQuanYi Micro Hei");
  }
  EXPECT_EQ(TLaTeXOptions::Read(TIniFile::FromText("[LaTeX]\nDocumentParams=a5paper\n"), TLaTeXOptions()).DocumentParams,
            "a5paper");
}

}  // namespace
}  // namespace velmora
