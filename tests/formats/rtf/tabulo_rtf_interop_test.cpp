// The office suite's word processor reads the RTF exporter's documents back:
// converted to plain text, every caption, value, header and footer line of the
// awkward set must be there, in order, nothing lost after a brace.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "formats/rtf/tabulo_rtf.h"
#include "platform/locale_settings.h"
#include "support/awkward_data.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::FindExecutable;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::TTempDir;

constexpr const char* kUtf8Bom = "\xEF\xBB\xBF";

class RtfInteropTest : public testsupport::TFileExportTest<TTabuloRTF> {
 protected:
  RtfInteropTest() : TFileExportTest("rtf-interop-run", "awkward.rtf") {}
  static void SetUpTestSuite() { shared_ = new TTempDir("rtf-interop"); }
  static void TearDownTestSuite() {
    delete shared_;
    shared_ = nullptr;
  }

  void SetUp() override {
    soffice_ = FindExecutable("soffice");
    if (soffice_.empty()) GTEST_SKIP() << "soffice is not installed";
    Awkward();
    for (const std::string& form : testsupport::AwkwardPlainNumbers()) exporter_.UserFormats.Add(form);
    exporter_.Formats.SetNullString("(null)");
    exporter_.Captions = {"TEXT=Text {caption} \\ é"};
    exporter_.Header = {"Report {1} \\ \xE2\x82\xAC 100"};
    exporter_.Footer = {"End } of { report"};
  }
  std::string ExpectedText(bool captions);

  // The document converted to plain text, byte order mark removed; empty when
  // the conversion wrote nothing.
  std::string ConvertToText(const std::string& file) {
    const std::string out_dir = directory_.File("converted");
    const auto result =
        RunCommand({soffice_, "-env:UserInstallation=file://" + shared_->File("office-profile"), "--headless",
                    "--convert-to", "txt:Text", "--outdir", out_dir, file},
                   300);
    EXPECT_EQ(result.exit_status, 0) << result.output;
    const std::string name = file.substr(file.rfind('/') + 1);
    const std::string text_file = out_dir + "/" + name.substr(0, name.rfind('.')) + ".txt";
    std::string text;
    try {
      text = ReadFile(text_file);
    } catch (const std::exception&) {
      ADD_FAILURE() << "no text from " << file << ": " << result.output;
      return "";
    }
    if (text.rfind(kUtf8Bom, 0) == 0) text.erase(0, 3);
    return text;
  }

  std::string soffice_;

  static TTempDir* shared_;
};

TTempDir* RtfInteropTest::shared_ = nullptr;

// The text the reader gives for the export: header line and blank line,
// then each cell on a line of its own, each CR LF, CR or LF inside a cell as
// a line end after a blank, NULL as its text, then the footer line. NUL and
// the other controls read as U+FFFD, one each.
std::string RtfInteropTest::ExpectedText(bool captions) {
  const testsupport::TReadForms forms = {{"nul", "nul\xEF\xBF\xBDhere"},
                                         {"controls",
                                          "ctrl\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                                          "end"}};
  std::string text = "Report {1} \\ \xE2\x82\xAC 100\n\n";
  testsupport::TTextTable table = testsupport::WithGeneralDoubles(testsupport::TextTable(
      data_, [&](const std::string& value) { return testsupport::AsRead(value, forms); }, "(null)"));
  table[0][testsupport::afText] = "Text {caption} \\ \xC3\xA9";
  for (std::size_t row = captions ? 0 : 1; row < table.size(); ++row) {
    for (const std::string& value : table[row]) {
      for (std::size_t index = 0; index < value.size(); ++index) {
        if (value[index] != '\r' && value[index] != '\n') {
          text += value[index];
          continue;
        }
        if (value[index] == '\r' && index + 1 < value.size() && value[index + 1] == '\n') ++index;
        text += " \n";
      }
      text += '\n';
    }
  }
  text += "\n\nEnd } of { report\n";
  return text;
}

TEST_F(RtfInteropTest, WordProcessorReadsEveryTextOfRtfAndDocFiles) {
  const struct {
    const char* file;
    bool captions;
    TTabuloPageOrientation orientation;
    TFontStyles style;
    int border_width;
  } cases[] = {
      {"awkward.rtf", true, poPortrait, {}, kRtfDefaultBorderWidth},
      {"awkward.doc", false, poLandscape, {fsItalic, fsUnderline}, 0},
  };
  for (const auto& test_case : cases) {
    SCOPED_TRACE(test_case.file);
    exporter_.FileName = directory_.File(test_case.file);
    exporter_.AllowCaptions = test_case.captions;
    exporter_.Options.PageOrientation = test_case.orientation;
    exporter_.Options.DefaultFont.Style = test_case.style;
    exporter_.Options.BorderWidth = test_case.border_width;
    exporter_.Execute();
    EXPECT_EQ(ConvertToText(exporter_.FileName), ExpectedText(test_case.captions));
  }
}

}  // namespace
}  // namespace velmora
