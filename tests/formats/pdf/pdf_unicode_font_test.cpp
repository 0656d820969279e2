// The Unicode font chain: faces found and loaded, text shaped in display
// order, missing characters counted, subsets that keep their glyph ids.
#include "formats/pdf/pdf_unicode_font.h"

#include <gtest/gtest.h>
#include <hb-subset.h>
#include <hb.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::ReadFile;
using testsupport::TTempDir;
using testsupport::WriteFile;

bool EndsWith(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

// The default chain, shared by the tests that need DejaVu Sans (and, for
// CJK, a second face); they skip when the fonts are not installed.
class UnicodeFontTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    files_ = TUnicodeFontChain::DefaultFiles(false);
    if (!files_.empty() && EndsWith(files_[0], "/DejaVuSans.ttf")) {
      chain_ = std::make_unique<TUnicodeFontChain>(files_);
      latin_ = std::make_unique<TUnicodeFontChain>(std::vector<std::string>{files_[0]});
    }
  }
  static void TearDownTestSuite() {
    chain_.reset();
    latin_.reset();
  }
  void SetUp() override {
    if (!chain_) GTEST_SKIP() << "DejaVu Sans is not installed";
  }
  bool HasCjkFace() const { return chain_->FaceCount() > 1; }

  // The characters the glyphs stand for, in the order they are drawn.
  static std::u16string DrawnText(const TUnicodeFontChain& chain, const std::vector<TUnicodeRun>& runs) {
    std::u16string text;
    for (const TUnicodeRun& run : runs)
      for (const TUnicodeGlyph& glyph : run.Glyphs) text += chain.UsedGlyphs(run.Face).at(glyph.Id).Text;
    return text;
  }

  static std::vector<std::string> files_;
  static std::unique_ptr<TUnicodeFontChain> chain_;  // DejaVu Sans, then the CJK faces
  static std::unique_ptr<TUnicodeFontChain> latin_;  // DejaVu Sans alone
};
std::vector<std::string> UnicodeFontTest::files_;
std::unique_ptr<TUnicodeFontChain> UnicodeFontTest::chain_;
std::unique_ptr<TUnicodeFontChain> UnicodeFontTest::latin_;

TEST_F(UnicodeFontTest, DefaultFilesAreDejaVuSansThenEmbeddableCjkFaces) {
  const std::vector<std::string> bold = TUnicodeFontChain::DefaultFiles(true);
  ASSERT_FALSE(bold.empty());
  EXPECT_TRUE(EndsWith(bold[0], "/DejaVuSans-Bold.ttf")) << bold[0];
  EXPECT_EQ(std::vector<std::string>(files_.begin() + 1, files_.end()),
            std::vector<std::string>(bold.begin() + 1, bold.end()));
  // Each file once, each one loadable on its own.
  for (const std::string& file : files_) {
    EXPECT_EQ(std::count(files_.begin(), files_.end(), file), 1) << file;
    EXPECT_NO_THROW(TUnicodeFontChain({file})) << file;
  }
  const TUnicodeFontChain bold_chain(bold);
  const TUnicodeFaceMetrics& regular = chain_->Metrics(0);
  EXPECT_EQ(regular.PostScriptName, "DejaVuSans");
  EXPECT_EQ(bold_chain.Metrics(0).PostScriptName, "DejaVuSans-Bold");
  EXPECT_GT(bold_chain.Metrics(0).StemV, regular.StemV);
  EXPECT_GT(regular.Ascent, 700);
  EXPECT_LT(regular.Descent, -150);
  EXPECT_GT(regular.CapHeight, 650);
  EXPECT_LT(regular.CapHeight, regular.Ascent);
  EXPECT_LT(regular.BBox[0], 0);
  EXPECT_LT(regular.BBox[1], regular.Descent + 1);
  EXPECT_GT(regular.BBox[2], 1000);
  EXPECT_GE(regular.BBox[3], regular.Ascent);
  EXPECT_FALSE(regular.FixedPitch);
  EXPECT_FALSE(regular.Serif);
  EXPECT_EQ(regular.ItalicAngle, 0);
  EXPECT_EQ(chain_->FaceFile(0), files_[0]);
}

TEST_F(UnicodeFontTest, CoversWhatSomeFaceDraws) {
  struct TCase {
    std::string text;
    bool latin_covers;
    bool chain_covers;  // with a CJK face
  };
  const std::vector<TCase> cases = {
      {"", true, true},
      {"Hello, Zoë!", true, true},
      {"Привет, мир", true, true},
      {"Ελληνικά", true, true},
      {"שלום سلام", true, true},
      {"日本語 中文 한국어", false, true},
      {"a\u200Db\uFE0F", true, true},  // joiners and selectors are not drawn
      {"private \uE000", false, false},
      {"\U0010FFFD", false, false},
  };
  for (const TCase& test : cases) {
    EXPECT_EQ(latin_->Covers(test.text), test.latin_covers) << test.text;
    if (HasCjkFace()) {
      EXPECT_EQ(chain_->Covers(test.text), test.chain_covers) << test.text;
    }
  }
}

TEST_F(UnicodeFontTest, WidthsAreTheFontsAdvances) {
  std::vector<TUnicodeRun> runs;
  const std::int64_t width = chain_->Shape("Hello", runs);
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(runs[0].Glyphs.size(), 5u);
  std::int64_t sum = 0;
  for (std::size_t index = 0; index < 5; ++index) {
    const TUnicodeGlyph& glyph = runs[0].Glyphs[index];
    EXPECT_EQ(glyph.Advance, chain_->Advance(U"Hello"[index])) << index;
    EXPECT_EQ(glyph.Advance, chain_->UsedGlyphs(0).at(glyph.Id).Advance) << index;
    sum += glyph.Advance;
  }
  EXPECT_EQ(width, sum);
  EXPECT_EQ(chain_->Width("Hello"), width);
  // DejaVu Sans: "H" 752 and "o" 612 font units of 2048.
  EXPECT_EQ(chain_->Advance(U'H'), 752);
  EXPECT_EQ(chain_->Advance(U'o'), 612);
}

TEST_F(UnicodeFontTest, ShapesIntoDisplayOrder) {
  struct TCase {
    std::string text;
    std::u16string drawn;  // the characters of the glyphs, left to right
    std::size_t glyphs;
  };
  const std::vector<TCase> cases = {
      {"abc", u"abc", 3},
      {"Привет", u"Привет", 6},
      // Arabic joins (lam and alef into one glyph); the last letter is drawn first.
      {"سلام", u"م\u0644\u0627س", 3},
      {"שלום", u"םולש", 4},
      // Latin words and numbers keep their order inside right-to-left text.
      {"שלום 123 abc", u"abc 123 םולש", 12},
      // A number after Hebrew belongs to the right-to-left part.
      {"abc שלום 42.", u"abc 42 םולש.", 12},
      {"سلام 2024", u"2024 م\u0644\u0627س", 8},
  };
  std::vector<TUnicodeRun> runs;  // reused: every call starts afresh
  for (const TCase& test : cases) {
    chain_->Shape(test.text, runs);
    std::size_t glyphs = 0;
    for (const TUnicodeRun& run : runs) glyphs += run.Glyphs.size();
    EXPECT_EQ(glyphs, test.glyphs) << test.text;
    EXPECT_TRUE(DrawnText(*chain_, runs) == test.drawn) << test.text;
  }
  // The joined forms are not the letters' own glyphs.
  chain_->Shape("سلام", runs);
  ASSERT_EQ(runs.size(), 1u);
  std::vector<TUnicodeRun> alone;
  chain_->Shape("س", alone);
  EXPECT_NE(runs[0].Glyphs.back().Id, alone[0].Glyphs[0].Id);
}

TEST_F(UnicodeFontTest, CombiningMarksSitOnTheirBase) {
  std::vector<TUnicodeRun> runs;
  // No precomposed "q" with an acute exists: the mark is a glyph of its own.
  chain_->Shape("q\u0301", runs);
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(runs[0].Glyphs.size(), 2u);
  const TUnicodeGlyph& mark = runs[0].Glyphs[1];
  EXPECT_TRUE(mark.Advance == 0 || mark.XOffset != 0) << mark.Advance << " " << mark.XOffset;
  EXPECT_EQ(chain_->Width("q\u0301"), chain_->Width("q") + mark.Advance);
  // A precomposed form is used where the font has one.
  chain_->Shape("e\u0301", runs);
  ASSERT_EQ(runs[0].Glyphs.size(), 1u);
  EXPECT_TRUE(chain_->UsedGlyphs(0).at(runs[0].Glyphs[0].Id).Text == u"e\u0301");
}

TEST_F(UnicodeFontTest, EachCharacterFromTheFirstFaceHavingIt) {
  if (!HasCjkFace()) GTEST_SKIP() << "no CJK face installed";
  struct TCase {
    std::string text;
    std::vector<int> faces;  // of the runs, left to right
  };
  const std::vector<TCase> cases = {
      {"Hello", {0}},
      {"日本語", {1}},
      {"Tokyo 東京", {0, 1}},
      {"東京、大阪 2024", {1, 0}},  // punctuation and the space stay with the ideographs
      {"東京 (Tokyo)", {1, 0}},
  };
  std::vector<TUnicodeRun> runs;
  for (const TCase& test : cases) {
    chain_->Shape(test.text, runs);
    std::vector<int> faces;
    for (const TUnicodeRun& run : runs) faces.push_back(run.Face);
    EXPECT_EQ(faces, test.faces) << test.text;
  }
}

TEST_F(UnicodeFontTest, MissingCharactersAreDrawnAsGlyphZeroAndCounted) {
  struct TCase {
    std::string text;
    std::uint64_t missing;
  };
  const std::vector<TCase> cases = {
      {"plain", 0},
      {"a\uE000b", 1},
      {"\uE000\uE001", 2},
      {"bad \xFF byte", 0},  // U+FFFD, which the font has
      {"zero\u200Dwidth\u2060joiners", 0},
      {"q\u0301\uE000\u0301", 1},  // the font's mark goes on the missing glyph
  };
  TUnicodeFontChain chain({files_[0]});
  std::vector<TUnicodeRun> runs;
  for (const TCase& test : cases) {
    const std::uint64_t before = chain.MissingCharacters();
    chain.Width(test.text);
    EXPECT_EQ(chain.MissingCharacters(), before) << "Width counted " << test.text;
    chain.Shape(test.text, runs);
    EXPECT_EQ(chain.MissingCharacters() - before, test.missing) << test.text;
  }
  chain.Shape("a\uE000b", runs);
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(runs[0].Glyphs.size(), 3u);
  EXPECT_EQ(runs[0].Glyphs[1].Id, 0);
  EXPECT_EQ(runs[0].Glyphs[1].Advance, chain.Advance(U'\uE000'));
  EXPECT_EQ(chain.UsedGlyphs(0).at(0).Advance, chain.Advance(U'\uE000'));
}

// The subset as HarfBuzz reads it again: every noted glyph at its id, with
// its outline.
void ExpectSubsetKeepsGlyphs(const TUnicodeFontChain& chain, int face_index, std::size_t* size) {
  const std::string bytes = chain.Subset(face_index);
  *size = bytes.size();
  hb_blob_t* blob = hb_blob_create(bytes.data(), static_cast<unsigned>(bytes.size()), HB_MEMORY_MODE_READONLY,
                                   nullptr, nullptr);
  hb_face_t* face = hb_face_create(blob, 0);
  hb_font_t* font = hb_font_create(face);
  const auto& used = chain.UsedGlyphs(face_index);
  ASSERT_FALSE(used.empty());
  EXPECT_GE(hb_face_get_glyph_count(face), used.rbegin()->first + 1u);
  for (const auto& [glyph, noted] : used) {
    hb_glyph_extents_t extents{};
    EXPECT_TRUE(hb_font_get_glyph_extents(font, glyph, &extents)) << glyph;
    if (noted.Text != u" ") {
      EXPECT_GT(extents.width, 0) << glyph;
    }
    const unsigned upem = hb_face_get_upem(face);
    EXPECT_EQ((hb_font_get_glyph_h_advance(font, glyph) * 1000 + upem / 2) / upem, noted.Advance) << glyph;
  }
  hb_font_destroy(font);
  hb_face_destroy(face);
  hb_blob_destroy(blob);
}

TEST_F(UnicodeFontTest, SubsetsKeepTheNotedGlyphsAtTheirIds) {
  TUnicodeFontChain chain(files_);
  std::vector<TUnicodeRun> runs;
  chain.Shape("Zoë Привет سلام שלום q\u0301", runs);
  std::size_t size = 0;
  ExpectSubsetKeepsGlyphs(chain, 0, &size);
  const std::size_t file_size = ReadFile(files_[0]).size();
  EXPECT_LT(size * 10, file_size) << size << " of " << file_size;
  if (!HasCjkFace()) return;
  std::string ideographs;
  for (char32_t c = 0x4E00; c < 0x4E00 + 40 * 7; c += 7) {
    char utf8[4] = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                    static_cast<char>(0x80 | (c & 0x3F)), 0};
    ideographs += utf8;
  }
  chain.Shape(ideographs, runs);
  ASSERT_EQ(chain.UsedGlyphs(1).size(), 40u);
  ExpectSubsetKeepsGlyphs(chain, 1, &size);
  const std::size_t cjk_file_size = ReadFile(files_[1]).size();
  EXPECT_LT(size * 10, cjk_file_size) << size << " of " << cjk_file_size;
  RecordProperty("cjk_subset_bytes_for_40_ideographs", std::to_string(size));
}

// DejaVu Sans with its OS/2 embedding flags set to a value.
std::string WithEmbeddingFlags(const std::string& font, std::uint16_t flags) {
  std::string bytes = font;
  const auto u16 = [&bytes](std::size_t at) {
    return (static_cast<unsigned char>(bytes[at]) << 8) | static_cast<unsigned char>(bytes[at + 1]);
  };
  for (unsigned table = 0, count = u16(4); table < count; ++table) {
    const std::size_t record = 12 + 16 * table;
    if (bytes.compare(record, 4, "OS/2") != 0) continue;
    const std::size_t offset = (static_cast<std::size_t>(u16(record + 8)) << 16) | u16(record + 10);
    bytes[offset + 8] = static_cast<char>(flags >> 8);
    bytes[offset + 9] = static_cast<char>(flags & 0xFF);
  }
  return bytes;
}

TEST_F(UnicodeFontTest, RefusesFilesThatAreNoEmbeddableTrueTypeFont) {
  TTempDir directory("fonts");
  const std::string font = ReadFile(files_[0]);
  struct TCase {
    std::string name;
    std::string bytes;
    std::string message;  // empty: the file loads
  };
  const std::string cannot_read = "Cannot read the font file \"%s\"";
  const std::string forbids = "The font file \"%s\" does not allow embedding";
  std::vector<TCase> cases = {
      {"text.ttf", "This is no font at all\n", cannot_read},
      {"empty.ttf", "", cannot_read},
      {"cut.ttf", font.substr(0, 200), cannot_read},
      {"installable.ttf", WithEmbeddingFlags(font, 0x0000), ""},
      {"restricted.ttf", WithEmbeddingFlags(font, 0x0002), forbids},
      {"preview.ttf", WithEmbeddingFlags(font, 0x0006), ""},
      {"editable.ttf", WithEmbeddingFlags(font, 0x000A), ""},
      {"bitmaps.ttf", WithEmbeddingFlags(font, 0x0200), forbids},
  };
  {
    // The same face without its outlines.
    hb_blob_t* blob = hb_blob_create_from_file(files_[0].c_str());
    hb_face_t* face = hb_face_create(blob, 0);
    hb_subset_input_t* input = hb_subset_input_create_or_fail();
    hb_set_add(hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG), HB_TAG('g', 'l', 'y', 'f'));
    hb_face_t* subset = hb_subset_or_fail(face, input);
    hb_blob_t* bytes = hb_face_reference_blob(subset);
    unsigned length = 0;
    const char* data = hb_blob_get_data(bytes, &length);
    cases.push_back({"no-outlines.ttf", std::string(data, length), cannot_read});
    hb_blob_destroy(bytes);
    hb_face_destroy(subset);
    hb_subset_input_destroy(input);
    hb_face_destroy(face);
    hb_blob_destroy(blob);
  }
  // An OpenType face with PostScript outlines, where fontconfig knows one.
  const auto listed = testsupport::RunCommand({"fc-list", ":fontformat=CFF", "file"});
  const std::string postscript = listed.output.substr(0, listed.output.find(':'));
  if (listed.exit_status == 0 && !postscript.empty() && postscript.find('\n') == std::string::npos) {
    cases.push_back({"postscript.otf", ReadFile(postscript),
                     "The font file \"%s\" has PostScript outlines; only TrueType outlines can be embedded"});
  }
  for (const TCase& test : cases) {
    const std::string path = directory.File(test.name);
    WriteFile(path, test.bytes);
    if (test.message.empty()) {
      EXPECT_NO_THROW(TUnicodeFontChain({path})) << test.name;
    } else {
      EXPECT_VELMORA_ERROR(TUnicodeFontChain({path}), Format(test.message.c_str(), path.c_str()));
    }
  }
  const std::string absent = directory.File("absent.ttf");
  EXPECT_VELMORA_ERROR(TUnicodeFontChain({files_[0], absent}), Format(cannot_read.c_str(), absent.c_str()));
  // A font that may not be subset goes in whole.
  const std::string whole = directory.File("whole.ttf");
  WriteFile(whole, WithEmbeddingFlags(font, 0x0100));
  TUnicodeFontChain chain({whole});
  std::vector<TUnicodeRun> runs;
  chain.Shape("abc", runs);
  EXPECT_EQ(chain.Subset(0), ReadFile(whole));
}

}  // namespace
}  // namespace velmora
