// The LaTeX exporter byte for byte: the preambles of both versions, the table
// around the rows, and the escaping of every character LaTeX treats specially.
#include "formats/latex/tabulo_latex.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "engine/memory_dataset.h"
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
                          "\\usepackage[]{longtable}",
                          "\\begin{document}",
                          "",
                          "\\section*{Report}",
                          "\\par\\bigskip",
                          "\\begin{longtable}{|r|l|}",
                          "\\hline",
                          "ID & NAME",
                          "\\\\",
                          "\\hline",
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
              "\\usepackage[russian,english]{babel}", "\\usepackage[]{longtable}", "\\usepackage{array}",
              "% mine", "", "\\begin{document}", "\\Rus", ""})},
      {old_book, {"ignored"}, Lines({"\\documentstyle[longtable]{book}", "\\begin{document}", ""})},
      {old_article, {}, Lines({"\\documentstyle[a4paper,longtable]{article}", "\\begin{document}", ""})},
  };
  data_.AddField("V", ftString, 5);
  data_.AppendRecord({"x"});
  for (const TPreambleCase& test : cases) {
    exporter_.Options = test.options;
    exporter_.Preambula = test.preambula;
    const std::string document = Export();
    EXPECT_EQ(document.substr(0, document.find("\\par\\bigskip")), test.expected);
    // One column: no separator at all.
    EXPECT_NE(document.find("\\begin{longtable}{|l|}\r\n\\hline\r\nV\r\n\\\\\r\n\\hline\r\nx\r\n\\\\\r\n"),
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
    EXPECT_EQ(AppendLaTeXText(out, value), 0u) << value;
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

}  // namespace
}  // namespace velmora
