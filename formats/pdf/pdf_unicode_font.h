#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Fonts for text that the 14 standard fonts cannot show: TrueType files
// found through fontconfig (or named by the template), characters taken
// from the first font of a chain that has them, text shaped and put in
// display order, and each font embedded as a subset of the glyphs drawn.
namespace velmora {

// What a PDF font descriptor says of a face, in thousandths of an em.
struct TUnicodeFaceMetrics {
  std::string PostScriptName;  // "DejaVuSans": letters and digits only
  int Ascent = 0;
  int Descent = 0;  // negative below the baseline
  int CapHeight = 0;
  int BBox[4] = {0, 0, 0, 0};  // left, bottom, right, top
  int ItalicAngle = 0;
  int StemV = 80;
  bool FixedPitch = false;
  bool Serif = false;
};

// One glyph of shaped text in display order, in thousandths of an em.
struct TUnicodeGlyph {
  std::uint16_t Id = 0;  // the glyph id of its face (kept in the subset)
  std::int32_t Advance = 0;
  std::int32_t XOffset = 0;  // from the pen position (marks on their base)
  std::int32_t YOffset = 0;
};

// Consecutive glyphs of one face.
struct TUnicodeRun {
  int Face = 0;  // index in the chain
  std::vector<TUnicodeGlyph> Glyphs;
  // Every glyph at its own advance, without offsets: drawn as it stands.
  bool AtOwnAdvances = false;
};

// The faces characters are taken from, in order: each character comes from
// the first face that has a glyph for it; one that none has is drawn as the
// first face's missing glyph and counted.
class TUnicodeFontChain {
 public:
  // Loads the TrueType files (a .ttf, or the first face of a .ttc) in order.
  // Raises EVelmoraError naming the file when one cannot be read or is no
  // TrueType font with glyph outlines ("Cannot read the font file \"%s\""),
  // or when its embedding flags forbid embedding ("The font file \"%s\" does
  // not allow embedding"). At least one file.
  explicit TUnicodeFontChain(const std::vector<std::string>& files);
  ~TUnicodeFontChain();
  TUnicodeFontChain(const TUnicodeFontChain&) = delete;
  TUnicodeFontChain& operator=(const TUnicodeFontChain&) = delete;

  // The files of the default chain from fontconfig: a sans-serif face with
  // Latin, Greek, Cyrillic, Arabic and Hebrew (DejaVu Sans, or DejaVu Sans
  // Bold), then faces for CJK (Droid Sans Fallback, others fontconfig
  // finds) — only files with TrueType outlines that allow embedding. Empty
  // when fontconfig finds none.
  static std::vector<std::string> DefaultFiles(bool bold);

  int FaceCount() const;
  const std::string& FaceFile(int face) const;
  const TUnicodeFaceMetrics& Metrics(int face) const;

  // Shapes one line of UTF-8 text (no line breaks; invalid bytes as
  // U+FFFD) into runs in display order: right-to-left text (Arabic, Hebrew)
  // reordered as the Unicode bidirectional algorithm says, Arabic joined,
  // combining marks placed on their base. Notes every glyph drawn for
  // embedding and the characters it stands for. Returns the width in
  // thousandths of an em.
  std::int64_t Shape(std::string_view utf8, std::vector<TUnicodeRun>& runs);
  // The width of the shaped text in thousandths of an em, noting nothing.
  std::int64_t Width(std::string_view utf8);
  // The advance of one character unshaped, in thousandths of an em: its
  // glyph in the first face that has one, else the first face's missing
  // glyph. For breaking text into lines.
  std::int32_t Advance(char32_t code_point);
  // Advance of each ASCII character, for callers measuring byte by byte.
  const std::int32_t* AsciiAdvances() const { return ascii_advances_; }
  // True when every character of the text has a glyph in some face.
  bool Covers(std::string_view utf8);

  // Characters Shape drew with no face having them, since construction.
  std::uint64_t MissingCharacters() const;

  // For embedding, after the text is drawn: the glyphs of a face that Shape
  // noted, each with its advance (thousandths of an em) and the characters
  // it stands for (UTF-16BE text for a ToUnicode CMap, possibly several
  // characters for a ligature; empty when unknown).
  struct TUsedGlyph {
    std::int32_t Advance = 0;
    std::u16string Text;
  };
  const std::map<std::uint16_t, TUsedGlyph>& UsedGlyphs(int face) const;
  // The face as a TrueType file holding only the noted glyphs (and glyph 0),
  // every glyph keeping its id, ready to go into a FontFile2 stream.
  std::string Subset(int face) const;

 private:
  struct TFace;
  struct TScratch;
  // The face of the chain that draws a character: the first with a glyph
  // for it, or -1 when none has one.
  int FaceOf(char32_t code_point);
  // Shape and Width in one: fills runs when given, notes glyphs and counts
  // missing characters when note is set.
  std::int64_t ShapeText(std::string_view utf8, std::vector<TUnicodeRun>* runs, bool note);
  bool DrawSimply(std::string_view utf8, std::vector<TUnicodeRun>* runs, bool note, std::int64_t& width);

  std::vector<std::unique_ptr<TFace>> faces_;
  std::int32_t ascii_advances_[128];  // Advance of ASCII
  std::uint16_t ascii_glyphs_[128];   // the first face's glyphs of ASCII, 0 where it has none
  // Advance of the other characters of the BMP once asked.
  static constexpr std::int32_t kUnknown = INT32_MIN;
  std::vector<std::int32_t> bmp_advances_ = std::vector<std::int32_t>(0x10000, kUnknown);
  std::unique_ptr<TScratch> scratch_;  // buffers reused from call to call
  std::uint64_t missing_ = 0;
};

}  // namespace velmora
