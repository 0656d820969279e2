// Unicode fonts of the PDF export: TrueType faces loaded with HarfBuzz, text
// put in display order with FriBidi and shaped with HarfBuzz, faces cut down
// to the glyphs drawn with HarfBuzz's subsetter.
#include "formats/pdf/pdf_unicode_font.h"

#include <fribidi/fribidi.h>
#include <hb-ot.h>
#include <hb-subset.h>
#include <hb.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "formats/pdf/pdf_unicode_font_files.h"
#include "platform/error.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

// ---------------------------------------------------------------------------
// HarfBuzz objects owned
// ---------------------------------------------------------------------------

struct THbBlobDeleter {
  void operator()(hb_blob_t* blob) const { hb_blob_destroy(blob); }
};
struct THbFaceDeleter {
  void operator()(hb_face_t* face) const { hb_face_destroy(face); }
};
struct THbFontDeleter {
  void operator()(hb_font_t* font) const { hb_font_destroy(font); }
};
struct THbBufferDeleter {
  void operator()(hb_buffer_t* buffer) const { hb_buffer_destroy(buffer); }
};
struct THbSubsetInputDeleter {
  void operator()(hb_subset_input_t* input) const { hb_subset_input_destroy(input); }
};
using THbBlob = std::unique_ptr<hb_blob_t, THbBlobDeleter>;
using THbFace = std::unique_ptr<hb_face_t, THbFaceDeleter>;
using THbFont = std::unique_ptr<hb_font_t, THbFontDeleter>;
using THbBuffer = std::unique_ptr<hb_buffer_t, THbBufferDeleter>;
using THbSubsetInput = std::unique_ptr<hb_subset_input_t, THbSubsetInputDeleter>;

// The bytes of one table of a face (empty when the face has none), read
// big-endian the way TrueType stores them.
class TFontTable {
 public:
  TFontTable(hb_face_t* face, hb_tag_t tag) : blob_(hb_face_reference_table(face, tag)) {
    unsigned length = 0;
    data_ = hb_blob_get_data(blob_.get(), &length);
    length_ = length;
  }
  bool Empty() const { return length_ == 0; }
  std::size_t Size() const { return length_; }
  // 0 when the table is too short to hold the field.
  std::uint16_t U16(std::size_t offset) const {
    if (offset + 2 > length_) return 0;
    return static_cast<std::uint16_t>((static_cast<unsigned char>(data_[offset]) << 8) |
                                      static_cast<unsigned char>(data_[offset + 1]));
  }
  std::int16_t S16(std::size_t offset) const { return static_cast<std::int16_t>(U16(offset)); }
  std::uint32_t U32(std::size_t offset) const {
    return (static_cast<std::uint32_t>(U16(offset)) << 16) | U16(offset + 2);
  }

 private:
  THbBlob blob_;
  const char* data_ = nullptr;
  std::size_t length_ = 0;
};

// OS/2 fsType bits: what the font's licence lets a document do with it.
constexpr std::uint16_t kRestrictedLicence = 0x0002;
constexpr std::uint16_t kPreviewAndPrint = 0x0004;
constexpr std::uint16_t kEditable = 0x0008;
constexpr std::uint16_t kNoSubsetting = 0x0100;
constexpr std::uint16_t kBitmapOnly = 0x0200;

// False when the licence forbids putting the outlines into a document:
// restricted without preview-and-print or editable permission, or bitmap
// embedding only.
bool AllowsEmbedding(std::uint16_t fs_type) {
  if ((fs_type & kRestrictedLicence) && !(fs_type & (kPreviewAndPrint | kEditable))) return false;
  return !(fs_type & kBitmapOnly);
}

// A face with TrueType outlines, as the PDF needs for FontFile2.
bool HasTrueTypeOutlines(hb_face_t* face) {
  return hb_face_get_glyph_count(face) > 0 && !TFontTable(face, HB_TAG('g', 'l', 'y', 'f')).Empty() &&
         !TFontTable(face, HB_TAG('l', 'o', 'c', 'a')).Empty() &&
         !TFontTable(face, HB_TAG('h', 'e', 'a', 'd')).Empty();
}

// Font units into thousandths of an em, rounded to the nearest.
std::int32_t Thousandths(std::int64_t units, unsigned upem) {
  const std::int64_t scaled = units * 1000;
  const std::int64_t half = upem / 2;
  return static_cast<std::int32_t>(scaled >= 0 ? (scaled + half) / upem : -((-scaled + half) / upem));
}

// Characters that are not drawn at all (joiners, directional marks,
// variation selectors, the soft hyphen): never missing, whatever the fonts.
bool IsDefaultIgnorable(char32_t c) {
  return c == 0x00AD || c == 0x034F || c == 0x061C || (c >= 0x115F && c <= 0x1160) ||
         (c >= 0x17B4 && c <= 0x17B5) || (c >= 0x180B && c <= 0x180F) || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || c == 0x3164 ||
         (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF || c == 0xFFA0 || (c >= 0xFFF0 && c <= 0xFFF8) ||
         (c >= 0x1BCA0 && c <= 0x1BCA3) || (c >= 0x1D173 && c <= 0x1D17A) || (c >= 0xE0000 && c <= 0xE0FFF);
}

bool IsMark(hb_unicode_funcs_t* unicode, char32_t c) {
  const hb_unicode_general_category_t category = hb_unicode_general_category(unicode, c);
  return category == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK ||
         category == HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK ||
         category == HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK;
}

// Spaces and punctuation: drawn by the face of the text around them when it
// has them, so that a run of one script is not cut at every space.
bool IsNeutral(hb_unicode_funcs_t* unicode, char32_t c) {
  switch (hb_unicode_general_category(unicode, c)) {
    case HB_UNICODE_GENERAL_CATEGORY_SPACE_SEPARATOR:
    case HB_UNICODE_GENERAL_CATEGORY_CONNECT_PUNCTUATION:
    case HB_UNICODE_GENERAL_CATEGORY_DASH_PUNCTUATION:
    case HB_UNICODE_GENERAL_CATEGORY_CLOSE_PUNCTUATION:
    case HB_UNICODE_GENERAL_CATEGORY_FINAL_PUNCTUATION:
    case HB_UNICODE_GENERAL_CATEGORY_INITIAL_PUNCTUATION:
    case HB_UNICODE_GENERAL_CATEGORY_OTHER_PUNCTUATION:
    case HB_UNICODE_GENERAL_CATEGORY_OPEN_PUNCTUATION:
      return true;
    default:
      return false;
  }
}

// The PostScript name reduced to what a PDF font name may safely hold.
std::string PostScriptName(hb_face_t* face, const std::string& file) {
  char name[128] = {};
  unsigned size = sizeof name;
  hb_ot_name_get_utf8(face, HB_OT_NAME_ID_POSTSCRIPT_NAME, HB_LANGUAGE_INVALID, &size, name);
  std::string reduced;
  auto keep = [&reduced](const char* text) {
    for (const char* p = text; *p; ++p) {
      const char c = *p;
      if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')
        reduced += c;
    }
  };
  keep(name);
  if (reduced.empty()) {
    // No usable name in the font: the file name without its folder and ending.
    std::string base = file.substr(file.find_last_of('/') + 1);
    base = base.substr(0, base.find('.'));
    keep(base.c_str());
  }
  if (reduced.empty()) reduced = "Font";
  return reduced;
}

void ReadMetrics(hb_face_t* face, hb_font_t* font, unsigned upem, const std::string& file,
                 TUnicodeFaceMetrics& metrics);

}  // namespace

// ---------------------------------------------------------------------------
// Faces
// ---------------------------------------------------------------------------

struct TUnicodeFontChain::TFace {
  // Loads the first face of the file; raises the messages the chain
  // documents.
  explicit TFace(const std::string& file) : File(file) {
    Blob.reset(hb_blob_create_from_file_or_fail(file.c_str()));
    if (Blob) Face.reset(hb_face_create(Blob.get(), 0));
    if (Face && !HasTrueTypeOutlines(Face.get()) &&
        TFontTable(Face.get(), HB_TAG('C', 'F', 'F', ' ')).Size() > 0)
      throw EVelmoraError(
          Format("The font file \"%s\" has PostScript outlines; only TrueType outlines can be embedded",
                 file.c_str()));
    if (!Face || !HasTrueTypeOutlines(Face.get()) || hb_face_get_upem(Face.get()) < 16)
      throw EVelmoraError(Format("Cannot read the font file \"%s\"", file.c_str()));
    const std::uint16_t fs_type = TFontTable(Face.get(), HB_TAG('O', 'S', '/', '2')).U16(8);
    if (!AllowsEmbedding(fs_type))
      throw EVelmoraError(Format("The font file \"%s\" does not allow embedding", file.c_str()));
    NoSubsetting = (fs_type & kNoSubsetting) != 0;
    Upem = hb_face_get_upem(Face.get());
    GlyphCount = std::min(hb_face_get_glyph_count(Face.get()), 65536u);
    Font.reset(hb_font_create(Face.get()));
    ExactText.assign(GlyphCount, false);
    Advances.assign(GlyphCount, kUnknownAdvance);
    ReadMetrics(Face.get(), Font.get(), Upem, file, Metrics);
  }

  std::string File;
  THbBlob Blob;
  THbFace Face;
  THbFont Font;
  unsigned Upem = 1000;
  unsigned GlyphCount = 0;
  bool NoSubsetting = false;
  TUnicodeFaceMetrics Metrics;
  // Glyph lookups: for the BMP one slot per code point (-1 not looked up
  // yet, 0 none), the rest in a map.
  std::vector<std::int32_t> BmpGlyphs = std::vector<std::int32_t>(0x10000, -1);
  std::unordered_map<char32_t, std::uint32_t> OtherGlyphs;
  std::map<std::uint16_t, TUsedGlyph> Used;
  // Glyphs whose noted text came from a cluster of one character and one
  // glyph: that text is kept over one from a ligature or a decomposition.
  std::vector<bool> ExactText;

  // The glyph of a character, 0 when the face has none.
  std::uint32_t Glyph(char32_t code_point) {
    if (code_point < 0x10000) {
      std::int32_t& slot = BmpGlyphs[code_point];
      if (slot < 0) slot = static_cast<std::int32_t>(Lookup(code_point));
      return static_cast<std::uint32_t>(slot);
    }
    auto found = OtherGlyphs.find(code_point);
    if (found == OtherGlyphs.end()) found = OtherGlyphs.emplace(code_point, Lookup(code_point)).first;
    return found->second;
  }
  std::uint32_t Lookup(char32_t code_point) const {
    hb_codepoint_t glyph = 0;
    return hb_font_get_nominal_glyph(Font.get(), code_point, &glyph) ? glyph : 0;
  }
  std::int32_t NominalAdvance(std::uint32_t glyph) const {
    return Thousandths(hb_font_get_glyph_h_advance(Font.get(), glyph), Upem);
  }
  // The same, cached per glyph for the text that needs no shaping.
  std::int32_t CachedAdvance(std::uint32_t glyph) {
    if (glyph >= Advances.size()) return NominalAdvance(glyph);
    std::int32_t& slot = Advances[glyph];
    if (slot == kUnknownAdvance) slot = NominalAdvance(glyph);
    return slot;
  }
  static constexpr std::int32_t kUnknownAdvance = INT32_MIN;
  std::vector<std::int32_t> Advances;

  void Note(std::uint32_t glyph, const char32_t* text, std::size_t length, bool exact) {
    // A glyph that already stands for its one character needs nothing more.
    if (exact && glyph != 0 && glyph < GlyphCount && ExactText[glyph]) return;
    auto [entry, inserted] = Used.try_emplace(static_cast<std::uint16_t>(glyph));
    if (inserted) entry->second.Advance = NominalAdvance(glyph);
    if (glyph == 0 || glyph >= GlyphCount ||
        !(inserted || (exact && !ExactText[glyph]) || (entry->second.Text.empty() && length > 0)))
      return;
    entry->second.Text.clear();
    for (std::size_t index = 0; index < length; ++index) {
      const char32_t c = text[index];
      if (c >= 0x10000) {
        entry->second.Text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        entry->second.Text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
      } else {
        entry->second.Text += static_cast<char16_t>(c);
      }
    }
    ExactText[glyph] = exact;
  }
};

namespace {

void ReadMetrics(hb_face_t* face, hb_font_t* font, unsigned upem, const std::string& file,
                 TUnicodeFaceMetrics& metrics) {
  metrics.PostScriptName = PostScriptName(face, file);
  const TFontTable head(face, HB_TAG('h', 'e', 'a', 'd'));
  for (int corner = 0; corner < 4; ++corner)
    metrics.BBox[corner] = Thousandths(head.S16(36 + 2 * corner), upem);
  hb_position_t value = 0;
  if (hb_ot_metrics_get_position(font, HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER, &value))
    metrics.Ascent = Thousandths(value, upem);
  if (hb_ot_metrics_get_position(font, HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER, &value))
    metrics.Descent = Thousandths(value, upem);
  if (hb_ot_metrics_get_position(font, HB_OT_METRICS_TAG_CAP_HEIGHT, &value) && value > 0) {
    metrics.CapHeight = Thousandths(value, upem);
  } else {
    // Older OS/2 tables have no cap height: take the top of "H", else a
    // share of the ascent.
    hb_codepoint_t glyph = 0;
    hb_glyph_extents_t extents{};
    if (hb_font_get_nominal_glyph(font, 'H', &glyph) && hb_font_get_glyph_extents(font, glyph, &extents) &&
        extents.y_bearing > 0)
      metrics.CapHeight = Thousandths(extents.y_bearing, upem);
    else
      metrics.CapHeight = metrics.Ascent * 7 / 10;
  }
  const TFontTable post(face, HB_TAG('p', 'o', 's', 't'));
  const std::int32_t angle = static_cast<std::int32_t>(post.U32(4));  // 16.16 fixed point
  metrics.ItalicAngle = static_cast<int>((angle + (angle >= 0 ? 0x8000 : -0x8000)) / 0x10000);
  metrics.FixedPitch = post.U32(12) != 0;
  const TFontTable os2(face, HB_TAG('O', 'S', '/', '2'));
  if (!os2.Empty()) {
    // Weight 400 gives about 88, 700 about 166: the usual estimate of the
    // vertical stem width when the font does not say.
    const double weight = os2.U16(4);
    if (weight > 0) metrics.StemV = static_cast<int>(50 + (weight / 65) * (weight / 65) + 0.5);
    const int family_class = os2.S16(30) >> 8;
    metrics.Serif = (family_class >= 1 && family_class <= 5) || family_class == 7;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// The chain
// ---------------------------------------------------------------------------

struct TUnicodeFontChain::TScratch {
  THbBuffer Buffer{hb_buffer_create()};
  hb_unicode_funcs_t* Unicode = hb_unicode_funcs_get_default();
  std::vector<char32_t> Text;
  std::vector<int> Faces;  // per character: the face drawing it, -1 for none
  std::vector<FriBidiCharType> Types;
  std::vector<FriBidiBracketType> Brackets;
  std::vector<FriBidiLevel> Levels;
  struct TLevelRun {
    std::size_t Start, End;
    FriBidiLevel Level;
  };
  std::vector<TLevelRun> LevelRuns;
  std::vector<std::size_t> Order;  // level runs in display order
  std::vector<std::uint32_t> Clusters;
  std::vector<std::pair<std::uint32_t, char32_t>> Simple;  // glyph and character, for DrawSimply
};

TUnicodeFontChain::TUnicodeFontChain(const std::vector<std::string>& files) : scratch_(new TScratch) {
  if (files.empty()) throw EVelmoraError("No font file given");
  for (const std::string& file : files) faces_.push_back(std::make_unique<TFace>(file));
  for (char32_t c = 0; c < 128; ++c) {
    const int face = FaceOf(c);
    TFace& drawing = *faces_[face < 0 ? 0 : face];
    ascii_advances_[c] = drawing.CachedAdvance(face < 0 ? 0 : drawing.Glyph(c));
    ascii_glyphs_[c] = static_cast<std::uint16_t>(faces_[0]->Glyph(c));
  }
  if (!hb_buffer_allocation_successful(scratch_->Buffer.get())) throw std::bad_alloc();
}

TUnicodeFontChain::~TUnicodeFontChain() = default;

int TUnicodeFontChain::FaceCount() const {
  return static_cast<int>(faces_.size());
}
const std::string& TUnicodeFontChain::FaceFile(int face) const {
  return faces_.at(face)->File;
}
const TUnicodeFaceMetrics& TUnicodeFontChain::Metrics(int face) const {
  return faces_.at(face)->Metrics;
}
std::uint64_t TUnicodeFontChain::MissingCharacters() const {
  return missing_;
}
const std::map<std::uint16_t, TUnicodeFontChain::TUsedGlyph>& TUnicodeFontChain::UsedGlyphs(int face) const {
  return faces_.at(face)->Used;
}

int TUnicodeFontChain::FaceOf(char32_t code_point) {
  for (std::size_t index = 0; index < faces_.size(); ++index)
    if (faces_[index]->Glyph(code_point) != 0) return static_cast<int>(index);
  return -1;
}

std::int32_t TUnicodeFontChain::Advance(char32_t code_point) {
  if (code_point < 128) return ascii_advances_[code_point];
  std::int32_t* slot = code_point < 0x10000 ? &bmp_advances_[code_point] : nullptr;
  if (slot != nullptr && *slot != kUnknown) return *slot;
  const int face = FaceOf(code_point);
  TFace& drawing = *faces_[face < 0 ? 0 : face];
  const std::int32_t advance = drawing.CachedAdvance(face < 0 ? 0 : drawing.Glyph(code_point));
  if (slot != nullptr) *slot = advance;
  return advance;
}

bool TUnicodeFontChain::Covers(std::string_view utf8) {
  for (std::size_t position = 0; position < utf8.size();) {
    const TUtf8Sequence sequence = DecodeUtf8(utf8, position);
    position += sequence.Length;
    if (!IsDefaultIgnorable(sequence.CodePoint) && FaceOf(sequence.CodePoint) < 0) return false;
  }
  return true;
}

std::int64_t TUnicodeFontChain::Shape(std::string_view utf8, std::vector<TUnicodeRun>& runs) {
  return ShapeText(utf8, &runs, true);
}

std::int64_t TUnicodeFontChain::Width(std::string_view utf8) {
  return ShapeText(utf8, nullptr, false);
}

// Text of the first face alone, left to right, without marks or joiners
// (Latin, Greek, Cyrillic: most values) is drawn glyph by glyph at the
// glyphs' own advances, without the shaper: false, nothing done, for other
// text.
bool TUnicodeFontChain::DrawSimply(std::string_view utf8, std::vector<TUnicodeRun>* runs, bool note,
                                   std::int64_t& width) {
  TFace& face = *faces_[0];
  TUnicodeRun* run = nullptr;
  if (runs != nullptr) {
    runs->resize(1);
    run = &runs->front();
    run->Face = 0;
    run->Glyphs.clear();
    run->AtOwnAdvances = true;
  }
  // One pass: the runs filled so far are dropped when a character needs the
  // shaper. A glyph noted before that is one the first face has for its
  // character, so what is noted stays true.
  std::int64_t sum = 0;
  for (std::size_t position = 0; position < utf8.size();) {
    const auto byte = static_cast<unsigned char>(utf8[position]);
    std::uint32_t glyph;
    std::int32_t advance;
    char32_t c = byte;
    if (byte < 0x80) {
      ++position;
      glyph = ascii_glyphs_[byte];
      if (glyph == 0) return false;
      advance = ascii_advances_[byte];
    } else {
      const TUtf8Sequence sequence = DecodeUtf8(utf8, position);
      position += static_cast<std::size_t>(sequence.Length);
      c = sequence.CodePoint;
      // Marks, joiners and the scripts that need shaping or reordering.
      if (c >= 0x0590 || (c >= 0x0300 && c <= 0x036F) || (c >= 0x0483 && c <= 0x0489) || c == 0x00AD)
        return false;
      glyph = face.Glyph(c);
      if (glyph == 0) return false;
      advance = face.CachedAdvance(glyph);
    }
    sum += advance;
    if (run != nullptr)
      run->Glyphs.push_back(TUnicodeGlyph{static_cast<std::uint16_t>(glyph), advance, 0, 0});
    if (note && (glyph >= face.GlyphCount || !face.ExactText[glyph])) face.Note(glyph, &c, 1, true);
  }
  if (run != nullptr && run->Glyphs.empty()) runs->clear();
  width = sum;
  return true;
}

std::int64_t TUnicodeFontChain::ShapeText(std::string_view utf8, std::vector<TUnicodeRun>* runs, bool note) {
  TScratch& scratch = *scratch_;
  std::size_t runs_used = 0;
  std::int64_t width = 0;
  if (DrawSimply(utf8, runs, note, width)) return width;

  // Decode, and choose each character's face.
  scratch.Text.clear();
  scratch.Faces.clear();
  bool right_to_left_possible = false;
  for (std::size_t position = 0; position < utf8.size();) {
    const TUtf8Sequence sequence = DecodeUtf8(utf8, position);
    position += sequence.Length;
    const char32_t c = sequence.CodePoint;
    int face = FaceOf(c);
    bool missing = face < 0 && !IsDefaultIgnorable(c);
    const int previous = scratch.Faces.empty() ? -1 : scratch.Faces.back();
    const bool mark = previous >= 0 && IsMark(scratch.Unicode, c);
    if (previous >= 0 && face != previous &&
        (mark || IsDefaultIgnorable(c) || IsNeutral(scratch.Unicode, c))) {
      // A mark stays on its base, a joiner or a space with the text around
      // it, when that face can draw it (a mark also by composing with its
      // base); a mark no face has is drawn missing on its base.
      hb_codepoint_t composed = 0;
      const bool composes = mark && hb_unicode_compose(scratch.Unicode, scratch.Text.back(), c, &composed) &&
                            faces_[previous]->Glyph(composed) != 0;
      if (composes) missing = false;
      if (faces_[previous]->Glyph(c) != 0 || IsDefaultIgnorable(c) || composes || (mark && face < 0))
        face = previous;
    }
    if (missing && note) ++missing_;
    scratch.Text.push_back(c);
    scratch.Faces.push_back(face);
    // Hebrew is the first right-to-left block; below it no text needs reordering.
    if (c >= 0x0590) right_to_left_possible = true;
  }
  const std::size_t length = scratch.Text.size();
  if (length == 0) {
    if (runs) runs->clear();
    return 0;
  }

  // Bidirectional levels, then level runs in display order.
  scratch.LevelRuns.clear();
  scratch.Order.clear();
  if (right_to_left_possible) {
    scratch.Types.resize(length);
    scratch.Brackets.resize(length);
    scratch.Levels.resize(length);
    const FriBidiChar* text = reinterpret_cast<const FriBidiChar*>(scratch.Text.data());
    fribidi_get_bidi_types(text, static_cast<FriBidiStrIndex>(length), scratch.Types.data());
    fribidi_get_bracket_types(text, static_cast<FriBidiStrIndex>(length), scratch.Types.data(),
                              scratch.Brackets.data());
    FriBidiParType direction = FRIBIDI_PAR_ON;
    const FriBidiLevel highest = fribidi_get_par_embedding_levels_ex(
        scratch.Types.data(), scratch.Brackets.data(), static_cast<FriBidiStrIndex>(length), &direction,
        scratch.Levels.data());
    if (highest == 0) std::fill(scratch.Levels.begin(), scratch.Levels.end(), 0);
  } else {
    scratch.Levels.assign(length, 0);
  }
  FriBidiLevel highest_level = 0, lowest_odd_level = 255;
  for (std::size_t start = 0; start < length;) {
    std::size_t end = start + 1;
    while (end < length && scratch.Levels[end] == scratch.Levels[start]) ++end;
    const FriBidiLevel level = scratch.Levels[start];
    scratch.LevelRuns.push_back({start, end, level});
    scratch.Order.push_back(scratch.Order.size());
    highest_level = std::max(highest_level, level);
    if (level & 1) lowest_odd_level = std::min(lowest_odd_level, level);
    start = end;
  }
  // From the highest level down to the lowest odd one, reverse every
  // sequence of runs at that level or above.
  for (int level = highest_level; level >= lowest_odd_level && level > 0; --level) {
    for (std::size_t first = 0; first < scratch.Order.size();) {
      if (scratch.LevelRuns[scratch.Order[first]].Level < level) {
        ++first;
        continue;
      }
      std::size_t last = first;
      while (last < scratch.Order.size() && scratch.LevelRuns[scratch.Order[last]].Level >= level) ++last;
      std::reverse(scratch.Order.begin() + first, scratch.Order.begin() + last);
      first = last;
    }
  }

  // Each level run split into pieces of one face, shaped; the pieces of a
  // right-to-left run go last first.
  hb_buffer_t* buffer = scratch.Buffer.get();
  auto shape_piece = [&](std::size_t start, std::size_t end, bool right_to_left) {
    const int chosen = scratch.Faces[start];
    const int face_index = chosen < 0 ? 0 : chosen;
    TFace& face = *faces_[face_index];
    hb_buffer_clear_contents(buffer);
    hb_buffer_add_utf32(buffer, reinterpret_cast<const std::uint32_t*>(scratch.Text.data()),
                        static_cast<int>(length), static_cast<unsigned>(start),
                        static_cast<int>(end - start));
    hb_buffer_set_cluster_level(buffer, HB_BUFFER_CLUSTER_LEVEL_MONOTONE_CHARACTERS);
    hb_buffer_set_direction(buffer, right_to_left ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(face.Font.get(), buffer, nullptr, 0);
    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
    TUnicodeRun* run = nullptr;
    if (runs) {
      if (runs_used > 0 && (*runs)[runs_used - 1].Face == face_index) {
        run = &(*runs)[runs_used - 1];
      } else {
        if (runs_used == runs->size()) runs->emplace_back();
        run = &(*runs)[runs_used++];
        run->Face = face_index;
        run->Glyphs.clear();
        run->AtOwnAdvances = false;
      }
    }
    if (note) {
      // Every cluster starts where its value says and ends where the next
      // larger value starts (or at the end of the piece).
      scratch.Clusters.clear();
      for (unsigned index = 0; index < count; ++index) scratch.Clusters.push_back(infos[index].cluster);
      std::sort(scratch.Clusters.begin(), scratch.Clusters.end());
      scratch.Clusters.erase(std::unique(scratch.Clusters.begin(), scratch.Clusters.end()),
                             scratch.Clusters.end());
    }
    bool group_noted = false;
    unsigned group_glyphs = 0;
    for (unsigned index = 0; index < count; ++index) {
      const hb_glyph_position_t& position = positions[index];
      const std::uint32_t glyph = infos[index].codepoint;
      TUnicodeGlyph drawn;
      drawn.Id = static_cast<std::uint16_t>(glyph);
      drawn.Advance = Thousandths(position.x_advance, face.Upem);
      drawn.XOffset = Thousandths(position.x_offset, face.Upem);
      drawn.YOffset = Thousandths(position.y_offset, face.Upem);
      width += drawn.Advance;
      if (run) run->Glyphs.push_back(drawn);
      if (!note) continue;
      const std::uint32_t cluster = infos[index].cluster;
      const auto next = std::upper_bound(scratch.Clusters.begin(), scratch.Clusters.end(), cluster);
      const std::size_t cluster_end = next == scratch.Clusters.end() ? end : *next;
      // The glyphs of one cluster lie together: the first with an advance
      // (the base, not a mark) stands for the cluster's characters.
      if (index > 0 && infos[index - 1].cluster == cluster && group_noted) {
        face.Note(glyph, nullptr, 0, false);
        continue;
      }
      if (index == 0 || infos[index - 1].cluster != cluster) {
        group_noted = false;
        group_glyphs = 1;
        while (index + group_glyphs < count && infos[index + group_glyphs].cluster == cluster) ++group_glyphs;
      }
      const bool last_of_group = index + 1 == count || infos[index + 1].cluster != cluster;
      if (position.x_advance == 0 && !last_of_group) {
        face.Note(glyph, nullptr, 0, false);
        continue;
      }
      const std::size_t characters = cluster_end - cluster;
      face.Note(glyph, scratch.Text.data() + cluster, characters, characters == 1 && group_glyphs == 1);
      group_noted = true;
    }
  };
  for (const std::size_t run_index : scratch.Order) {
    const TScratch::TLevelRun& level_run = scratch.LevelRuns[run_index];
    const bool right_to_left = (level_run.Level & 1) != 0;
    auto piece_end = [&](std::size_t start) {
      std::size_t end = start + 1;
      const int face = std::max(scratch.Faces[start], 0);
      while (end < level_run.End && std::max(scratch.Faces[end], 0) == face) ++end;
      return end;
    };
    if (!right_to_left) {
      for (std::size_t start = level_run.Start; start < level_run.End;) {
        const std::size_t end = piece_end(start);
        shape_piece(start, end, false);
        start = end;
      }
    } else {
      // Find the pieces first, then shape them from the last.
      std::size_t pieces_end = level_run.End;
      while (pieces_end > level_run.Start) {
        std::size_t start = level_run.Start, end = piece_end(start);
        while (end < pieces_end) {
          start = end;
          end = piece_end(start);
        }
        shape_piece(start, end, true);
        pieces_end = start;
      }
    }
  }
  if (runs) runs->resize(runs_used);
  return width;
}

// ---------------------------------------------------------------------------
// Subsets
// ---------------------------------------------------------------------------

std::string TUnicodeFontChain::Subset(int face_index) const {
  const TFace& face = *faces_.at(face_index);
  if (face.NoSubsetting) {
    // The licence asks for the whole font or nothing.
    unsigned length = 0;
    const char* data = hb_blob_get_data(face.Blob.get(), &length);
    return std::string(data, length);
  }
  THbSubsetInput input(hb_subset_input_create_or_fail());
  if (!input) throw std::bad_alloc();
  hb_set_t* glyphs = hb_subset_input_glyph_set(input.get());
  hb_set_add(glyphs, 0);
  for (const auto& [glyph, used] : face.Used) hb_set_add(glyphs, glyph);
  // The PDF draws glyph ids as they are, horizontally: no layout tables or
  // vertical metrics are needed, and without them the subsetter does not
  // pull in every alternate form.
  hb_set_t* dropped = hb_subset_input_set(input.get(), HB_SUBSET_SETS_DROP_TABLE_TAG);
  for (const hb_tag_t tag :
       {HB_TAG('G', 'S', 'U', 'B'), HB_TAG('G', 'P', 'O', 'S'), HB_TAG('G', 'D', 'E', 'F'),
        HB_TAG('k', 'e', 'r', 'n'), HB_TAG('B', 'A', 'S', 'E'), HB_TAG('J', 'S', 'T', 'F'),
        HB_TAG('M', 'A', 'T', 'H'), HB_TAG('v', 'h', 'e', 'a'), HB_TAG('v', 'm', 't', 'x')})
    hb_set_add(dropped, tag);
  hb_subset_input_set_flags(input.get(), HB_SUBSET_FLAGS_RETAIN_GIDS | HB_SUBSET_FLAGS_NO_HINTING);
  THbFace subset(hb_subset_or_fail(face.Face.get(), input.get()));
  if (!subset) throw EVelmoraError(Format("Cannot read the font file \"%s\"", face.File.c_str()));
  THbBlob blob(hb_face_reference_blob(subset.get()));
  unsigned length = 0;
  const char* data = hb_blob_get_data(blob.get(), &length);
  if (length == 0) throw EVelmoraError(Format("Cannot read the font file \"%s\"", face.File.c_str()));
  return std::string(data, length);
}

bool IsEmbeddableTrueTypeFile(const std::string& file) {
  THbBlob blob(hb_blob_create_from_file_or_fail(file.c_str()));
  if (!blob) return false;
  THbFace face(hb_face_create(blob.get(), 0));
  return HasTrueTypeOutlines(face.get()) &&
         AllowsEmbedding(TFontTable(face.get(), HB_TAG('O', 'S', '/', '2')).U16(8));
}

}  // namespace velmora
