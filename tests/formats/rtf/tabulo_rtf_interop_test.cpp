// The office suite's word processor reads the RTF exporter's documents back:
// converted to plain text, every caption, value, header and footer line of the
// awkward set must be there, in order, nothing lost after a brace; a wide table
// of long texts, printed, takes a few dozen pages, with its captions on each
// and its dates and numbers whole.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "formats/rtf/tabulo_rtf.h"
#include "platform/locale_settings.h"
#include "platform/text_utils.h"
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

// Converts documents with the word processor, in a profile of its own for
// the whole suite.
class RtfReaderTest : public testsupport::TFileExportTest<TTabuloRTF> {
 protected:
  explicit RtfReaderTest(const std::string& file) : TFileExportTest("rtf-interop-run", file) {}
  static void SetUpTestSuite() { shared_ = new TTempDir("rtf-interop"); }
  static void TearDownTestSuite() {
    delete shared_;
    shared_ = nullptr;
  }

  void SetUp() override {
    soffice_ = FindExecutable("soffice");
    if (soffice_.empty()) GTEST_SKIP() << "soffice is not installed";
  }

  // The file the word processor made of file with filter ("txt:Text",
  // "pdf"), under the extension given; empty when it wrote nothing.
  std::string Convert(const std::string& file, const std::string& filter, const std::string& extension) {
    const std::string out_dir = directory_.File("converted");
    const auto result =
        RunCommand({soffice_, "-env:UserInstallation=file://" + shared_->File("office-profile"), "--headless",
                    "--convert-to", filter, "--outdir", out_dir, file},
                   300);
    EXPECT_EQ(result.exit_status, 0) << result.output;
    const std::string name = file.substr(file.rfind('/') + 1);
    const std::string converted = out_dir + "/" + name.substr(0, name.rfind('.')) + "." + extension;
    try {
      return ReadFile(converted);
    } catch (const std::exception&) {
      ADD_FAILURE() << "nothing converted from " << file << ": " << result.output;
      return "";
    }
  }

  // The document converted to plain text, byte order mark removed.
  std::string ConvertToText(const std::string& file) {
    std::string text = Convert(file, "txt:Text", "txt");
    if (text.rfind(kUtf8Bom, 0) == 0) text.erase(0, 3);
    return text;
  }

  std::string soffice_;

  static TTempDir* shared_;
};

TTempDir* RtfReaderTest::shared_ = nullptr;

class RtfInteropTest : public RtfReaderTest {
 protected:
  RtfInteropTest() : RtfReaderTest("awkward.rtf") {}

  void SetUp() override {
    RtfReaderTest::SetUp();
    if (IsSkipped()) return;
    Awkward();
    for (const std::string& form : testsupport::AwkwardPlainNumbers()) exporter_.UserFormats.Add(form);
    exporter_.Formats.SetNullString("(null)");
    exporter_.Captions = {"TEXT=Text {caption} \\ é"};
    exporter_.Header = {"Report {1} \\ \xE2\x82\xAC 100"};
    exporter_.Footer = {"End } of { report"};
  }
  std::string ExpectedText(bool captions);
};

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

// A rental catalogue's films: 13 columns, titles, a description of about a
// hundred characters, dates, decimals, a rating with a dash, a NULL column.
class RtfFilmTableTest : public RtfReaderTest {
 protected:
  RtfFilmTableTest() : RtfReaderTest("film.rtf") {}

  void SetUp() override {
    RtfReaderTest::SetUp();
    if (IsSkipped()) return;
    pdftotext_ = FindExecutable("pdftotext");
    if (pdftotext_.empty()) GTEST_SKIP() << "pdftotext is not installed";
    const struct {
      const char* name;
      TFieldType type;
      int size;
    } fields[] = {{"film_id", ftSmallint, 5},       {"title", ftString, 255},
                  {"description", ftMemo, 65535},  {"release_year", ftSmallint, 4},
                  {"language_id", ftSmallint, 3},  {"original_language_id", ftSmallint, 3},
                  {"rental_duration", ftSmallint, 3}, {"rental_rate", ftBCD, 4},
                  {"length", ftSmallint, 5},       {"replacement_cost", ftBCD, 5},
                  {"rating", ftString, 5},         {"special_features", ftString, 54},
                  {"last_update", ftDateTime, 19}};
    for (const auto& field : fields) data_.AddField(field.name, field.type, field.size);
    const char* words[] = {"Epic",    "Drama",  "of",     "a",       "Feminist", "And",  "Mad",
                           "Scientist", "who",  "must",   "Battle",  "Teacher",  "in",   "The",
                           "Canadian", "Rockies", "Astounding", "Moose", "Crocodile", "Pursue"};
    const char* ratings[] = {"G", "PG", "PG-13", "R", "NC-17"};
    for (int film = 1; film <= kFilms; ++film) {
      std::string description = "A";
      for (int word = 0; description.size() < static_cast<std::size_t>(90 + film % 25); ++word) {
        description += ' ';
        description += words[(film * 7 + word * 3) % 20];
      }
      const std::string title = std::string(words[film % 20]) + " " + words[(film / 20) % 20] + " " +
                                std::to_string(film);
      data_.AppendRecord({std::to_string(film), UpperCase(title), description, "2006", "1", std::nullopt,
                          std::to_string(3 + film % 5), film % 2 ? "4.99" : "0.99",
                          std::to_string(46 + film % 139), std::to_string(9 + film % 21) + ".99",
                          ratings[film % 5], film % 3 ? "Trailers,Deleted Scenes" : "Commentaries,Behind the Scenes",
                          "2006-02-15 05:03:" + std::to_string(10 + film % 50)});
    }
    data_.Open();
    for (const char* plain : {"film_id=", "release_year="}) exporter_.UserFormats.Add(plain);
  }

  // The pages of the printed document, as pdftotext reads them.
  std::vector<std::string> PrintedPages() {
    Convert(exporter_.FileName, "pdf", "pdf");
    const std::string pdf = directory_.File("converted/film.pdf");
    const auto result = RunCommand({pdftotext_, pdf, "-"}, 120);
    EXPECT_EQ(result.exit_status, 0) << result.output;
    std::vector<std::string> pages;
    std::size_t start = 0;
    for (std::size_t end = result.output.find('\f'); end != std::string::npos;
         end = result.output.find('\f', start)) {
      pages.push_back(result.output.substr(start, end - start));
      start = end + 1;
    }
    return pages;
  }

  static constexpr int kFilms = 1000;
  std::string pdftotext_;
};

TEST_F(RtfFilmTableTest, WideTableOfLongTextsPrintsOnAFewDozenPagesWithCaptionsOnEach) {
  const struct {
    const char* name;
    TTabuloPageOrientation orientation;
    std::size_t most_pages;
  } cases[] = {{"portrait", poPortrait, 60}, {"landscape", poLandscape, 45}};
  for (const auto& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    exporter_.Options.PageOrientation = test_case.orientation;
    exporter_.Options.PageNumbers = true;
    exporter_.Execute();

    // Every value reaches the text whole, each cell on a line of its own,
    // after the empty paragraph before the table.
    std::string expected = "\n";
    for (const std::vector<std::string>& row : testsupport::TextTable(data_, nullptr, "")) {
      for (const std::string& value : row) expected += value + "\n";
    }
    EXPECT_EQ(ConvertToText(exporter_.FileName), expected + "\n");

    const std::vector<std::string> pages = PrintedPages();
    EXPECT_GE(pages.size(), 2u);
    EXPECT_LE(pages.size(), test_case.most_pages);
    std::size_t dates = 0;
    for (std::size_t page = 0; page < pages.size(); ++page) {
      SCOPED_TRACE("page " + std::to_string(page + 1));
      EXPECT_NE(pages[page].find("Page " + std::to_string(page + 1) + " of " + std::to_string(pages.size())),
                std::string::npos);
      // A date cut in two would not be found whole.
      for (std::size_t at = pages[page].find("2006-02-15 05:03:"); at != std::string::npos;
           at = pages[page].find("2006-02-15 05:03:", at + 1)) {
        ++dates;
      }
    }
    EXPECT_EQ(dates, static_cast<std::size_t>(kFilms));
  }
}

}  // namespace
}  // namespace velmora
