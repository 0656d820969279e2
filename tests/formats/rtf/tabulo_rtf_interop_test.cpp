// The office suite's word processor reads the RTF exporter's documents back:
// converted to plain text, every caption, value, header and footer line of an
// awkward fixture must be there, in order, nothing lost after a brace.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "formats/rtf/tabulo_rtf.h"
#include "platform/locale_settings.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::FindExecutable;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::TTempDir;

constexpr const char* kUtf8Bom = "\xEF\xBB\xBF";

class RtfInteropTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { shared_ = new TTempDir("rtf-interop"); }
  static void TearDownTestSuite() {
    delete shared_;
    shared_ = nullptr;
  }

  void SetUp() override {
    soffice_ = FindExecutable("soffice");
    if (soffice_.empty()) GTEST_SKIP() << "soffice is not installed";
    saved_settings_ = FormatSettings();
    SetFormatSettings(TFormatSettings::CLocale());
    data_.AddField("ID", ftLargeint, 20);
    data_.AddField("TEXT", ftString, 30);
    for (const std::string& text : Texts()) {
      data_.AppendRecord({std::to_string(data_.RecordCount() + 1), text});
    }
    data_.AppendRecord({"9007199254740993", std::nullopt});
    data_.AppendRecord({"-9223372036854775808", "last row"});
    data_.Open();
    exporter_.DataSet = &data_;
    exporter_.UserFormats = {"ID="};
    exporter_.Formats.SetNullString("(null)");
    exporter_.Captions = {"TEXT=Text {caption} \\ é"};
    exporter_.Header = {"Report {1} \\ \xE2\x82\xAC 100"};
    exporter_.Footer = {"End } of { report"};
  }
  void TearDown() override {
    if (!soffice_.empty()) SetFormatSettings(saved_settings_);
  }

  // Values that the record loop passes unchanged (it trims), so each one is
  // the text the reader must give back.
  static std::vector<std::string> Texts() {
    return {
        "plain",
        "a}b",
        "a{b",
        "{{unbalanced",
        "back\\slash \\par \\b0 not a tag",
        "say \"hi\", 'there'; a|b\tc",
        "<b>&amp;</b>",
        "crlf\r\nline",
        "lf\nline",
        "cr\rline",
        "Zoë Ågren 日本語 한국어",
        "emoji \xF0\x9F\x98\x80 and \xF0\x9D\x84\x9E",
        "private \xEE\x80\x80 use",
        std::string(20000, 'w') + "end",
    };
  }

  static std::string ExpectedText(bool captions);

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

  TFormatSettings saved_settings_;
  TTempDir directory_{"rtf-interop-run"};
  TMemoryDataSet data_;
  TTabuloRTF exporter_;
  std::string soffice_;

  static TTempDir* shared_;
};

TTempDir* RtfInteropTest::shared_ = nullptr;

// The text the reader gives for the export: header line and blank line,
// then each cell on a line of its own, a paragraph break inside a cell as a
// line end after the blank that precedes it, then the footer line.
std::string RtfInteropTest::ExpectedText(bool captions) {
  std::string text = "Report {1} \\ \xE2\x82\xAC 100\n\n";
  if (captions) text += "ID\nText {caption} \\ \xC3\xA9\n";
  int id = 0;
  for (std::string value : Texts()) {
    for (const char* line_break : {"\r\n", "\n", "\r"}) {
      const std::size_t at = value.find(line_break);
      if (at != std::string::npos) {
        value.replace(at, std::string(line_break).size(), " \n");
        break;  // each value holds one line break
      }
    }
    text += std::to_string(++id) + "\n" + value + "\n";
  }
  text += "9007199254740993\n(null)\n-9223372036854775808\nlast row\n\n\nEnd } of { report\n";
  return text;
}

TEST_F(RtfInteropTest, WordProcessorReadsEveryTextOfRtfAndDocFiles) {
  const struct {
    const char* file;
    bool captions;
    TTabuloPageOrientation orientation;
    TFontStyles style;
  } cases[] = {
      {"awkward.rtf", true, poPortrait, {}},
      {"awkward.doc", false, poLandscape, {fsItalic, fsUnderline}},
  };
  for (const auto& test_case : cases) {
    SCOPED_TRACE(test_case.file);
    exporter_.FileName = directory_.File(test_case.file);
    exporter_.AllowCaptions = test_case.captions;
    exporter_.Options.PageOrientation = test_case.orientation;
    exporter_.Options.DefaultFont.Style = test_case.style;
    exporter_.Execute();
    EXPECT_EQ(ConvertToText(exporter_.FileName), ExpectedText(test_case.captions));
  }
}

}  // namespace
}  // namespace velmora
