#include "formats/pdf/pdf_document.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <concepts>
#include <limits>

#include "platform/error.h"
#include "platform/locale_settings.h"
#include "platform/utf8.h"

namespace velmora {

// ---------------------------------------------------------------------------
// Composing PDF text. Numbers never go through the locale: std::to_chars
// always writes a decimal point.
// ---------------------------------------------------------------------------

namespace {

struct TFixed {
  double value;
  int decimals;
};

void AppendPart(std::string& out, std::string_view text) {
  out += text;
}

template <std::integral Integer>
requires(!std::same_as<Integer, char>) void AppendPart(std::string& out, Integer value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

void AppendPart(std::string& out, TFixed number) {
  assert(std::isfinite(number.value));
  char digits[400];  // room for the largest double written out in full
  const auto result =
      std::to_chars(digits, digits + sizeof digits, number.value, std::chars_format::fixed, number.decimals);
  out.append(digits, result.ptr);
}

template <class... Parts>
void Append(std::string& out, const Parts&... parts) {
  (AppendPart(out, parts), ...);
}

// A name object: "/" and the name, with every byte that may not stand in a
// name (blanks, delimiters, "#", non-ASCII) written as "#" and two hex digits.
void AppendName(std::string& out, std::string_view name) {
  static constexpr std::string_view kDelimiters = "()<>[]{}/%#";
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  out += '/';
  for (const char character : name) {
    const auto byte = static_cast<unsigned char>(character);
    if (byte > 0x20 && byte < 0x7F && kDelimiters.find(character) == std::string_view::npos) {
      out += character;
    } else {
      out += '#';
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0x0F];
    }
  }
}

// One colour component, 0..255, as a fraction of 1 with two decimals.
TFixed Component(TColor color, int shift) {
  return {static_cast<double>((static_cast<std::uint32_t>(color) >> shift) & 0xFF) / 255.0, 2};
}

// The average character width in thousandths of the font size, times 256.
constexpr double kAverageWidthSum = 123990;

}  // namespace

namespace {

// The advance widths of a font's Unicode chain, for the line breaking and
// measuring of pdf_fonts.
std::size_t ChainAdvance(const void* context, std::string_view text, std::int64_t& advance) {
  auto& chain = *static_cast<TUnicodeFontChain*>(const_cast<void*>(context));
  if (static_cast<unsigned char>(text[0]) < 0x80) {
    advance = chain.Advance(static_cast<unsigned char>(text[0]));
    return 1;
  }
  const TUtf8Sequence sequence = DecodeUtf8(text, 0);
  advance = chain.Advance(sequence.Valid ? sequence.CodePoint : kReplacementCharacter);
  return static_cast<std::size_t>(sequence.Length);
}

TCharMetrics ChainMetrics(TUnicodeFontChain& chain) {
  return TCharMetrics{&ChainAdvance, &chain, chain.AsciiAdvances()};
}

void AppendHex4(std::string& out, unsigned value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 0xF];
}

// The six capitals a subset's name starts with, from its face and its glyphs.
std::string SubsetTag(std::size_t chain, int face, std::size_t glyphs) {
  std::uint64_t seed = (chain * 131 + static_cast<std::uint64_t>(face) + 1) * 2654435761u + glyphs;
  std::string tag;
  for (int letter = 0; letter < 6; ++letter) {
    tag += static_cast<char>('A' + seed % 26);
    seed /= 26;
  }
  return tag;
}

}  // namespace

// ---------------------------------------------------------------------------
// TPDFDocument
// ---------------------------------------------------------------------------

// The deflater of a document's pages: a page's content collects in the line
// buffer while it is drawn and is deflated whole when it ends, one call of
// the fast whole-buffer deflater per page, in zlib's format as FlateDecode
// wants it.
struct TPDFDocument::TDeflater {
  libdeflate_compressor* Compressor = libdeflate_alloc_compressor(1);
  std::string Out;
  TDeflater() {
    if (Compressor == nullptr) throw std::bad_alloc();
  }
  ~TDeflater() { libdeflate_free_compressor(Compressor); }
  TDeflater(const TDeflater&) = delete;
  TDeflater& operator=(const TDeflater&) = delete;
};

TPDFDocument::TPDFDocument(TOutputStream& stream) : stream_(stream) {
  SetFont(TPDFFont{});
}

TPDFDocument::~TPDFDocument() = default;

void TPDFDocument::Deflate(std::string_view page) {
  std::string& out = deflater_->Out;
  out.resize(libdeflate_zlib_compress_bound(deflater_->Compressor, page.size()));
  const std::size_t size =
      libdeflate_zlib_compress(deflater_->Compressor, page.data(), page.size(), out.data(), out.size());
  if (size == 0) throw EVelmoraError("Fatal internal error");
  stream_.Write(std::string_view(out.data(), size));
}

void TPDFDocument::SetFont(const TPDFFont& font) {
  font_ = font;
  shaped_ = false;
  font_codes_ = CharCodesOf(font.BaseFont, font.FontEncoding);
  font_widths_ = GlyphWidths(font.BaseFont, font_codes_);
  font_noted_ = false;
  // Every text drawn in the font starts so.
  font_selection_ = "BT\r";
  AppendName(font_selection_, font_.Name);
  Append(font_selection_, " ", font_.FontSize, " Tf\r");
}

void TPDFDocument::Flush() {
  if (deflating_) return;  // the page is deflated whole when it ends
  stream_.Write(line_);
  line_.clear();
}

int TPDFDocument::BeginObject() {
  // A cross-reference entry has ten digits for the offset.
  if (stream_.Position() > 9'999'999'999) {
    throw EVelmoraError(
        Format("PDF file %s is larger than a cross-reference table can address", stream_.Name().c_str()));
  }
  offsets_.push_back(stream_.Position());
  return ObjNumber();
}

void TPDFDocument::BeginDoc() {
  offsets_.clear();
  page_contents_.clear();
  fonts_.clear();
  unadded_fonts_.clear();
  font_noted_ = false;
  stream_open_ = false;
  LineWidth = 1.0;
  LineSpacing = 1.0;
  line_color_ = 0;
  fill_color_ = 0;
  replaced_characters_ = 0;
  deflater_.reset();
  deflating_ = false;
  text_open_ = false;
  chains_.clear();
  face_names_.clear();
  stream_.Write("%PDF-1.3\r");
}

void TPDFDocument::NewPage() {
  CloseContentStream();
  const int contents = BeginObject();
  page_contents_.push_back(contents);
  // The keyword "stream" must be followed by CR LF (or LF); readers take a
  // CR alone for a damaged file.
  Append(line_, contents, " 0 obj\r<< /Length ", contents + 1, " 0 R",
         CompressContent ? " /Filter /FlateDecode" : "", " >>\rstream\r\n");
  Flush();
  stream_start_ = stream_.Position();
  if (CompressContent && deflater_ == nullptr) deflater_ = std::make_unique<TDeflater>();
  deflating_ = CompressContent;
  content_face_ = {};
  stream_open_ = true;
  // Every page's content begins in the initial graphics state; a colour kept
  // from the page before would make the next operation skip its colour operator.
  line_color_ = 0;
  fill_color_ = 0;
}

// The name pages call their number's form by, in their own resources.
constexpr std::string_view kPageNumberName = "PageNumber";

void TPDFDocument::CloseContentStream() {
  if (!stream_open_) return;
  EndText();
  if (PageNumbers.Enabled) {
    // Painted in a graphics state of its own: nothing of the page's changes.
    Append(line_, "/", kPageNumberName, " Do\r");
    Flush();
  }
  const bool deflated = deflating_;
  if (deflated) {
    Deflate(line_);
    line_.clear();
    deflating_ = false;
  }
  const std::int64_t length = stream_.Position() - stream_start_;
  stream_open_ = false;
  // Deflated bytes need an end of line of their own before the keyword.
  stream_.Write(deflated ? "\rendstream\rendobj\r" : "endstream\rendobj\r");
  // Nothing else begins an object while a stream is open, so this is the
  // object the stream's /Length refers to.
  const int length_object = BeginObject();
  Append(line_, length_object, " 0 obj\r", length, " \rendobj\r");
  Flush();
}

void TPDFDocument::EnsurePage() {
  if (!stream_open_) NewPage();
}

void TPDFDocument::AddFont(const TPDFFont& font) {
  const auto same_name = [&font](const TPDFFont& other) { return other.Name == font.Name; };
  if (std::any_of(fonts_.begin(), fonts_.end(), same_name)) {
    throw EVelmoraError(Format("Font %s already exists", font.Name.c_str()));
  }
  fonts_.push_back(font);
  std::erase_if(unadded_fonts_, same_name);
}

void TPDFDocument::NoteFontUsed() {
  if (font_noted_) return;
  font_noted_ = true;
  const auto same_name = [this](const TPDFFont& other) { return other.Name == font_.Name; };
  if (std::none_of(fonts_.begin(), fonts_.end(), same_name) &&
      std::none_of(unadded_fonts_.begin(), unadded_fonts_.end(), same_name)) {
    unadded_fonts_.push_back(font_);
  }
}

TColor TPDFDocument::WriteColor(TColor color, std::string_view operator_name, TColor& current) {
  EnsurePage();
  Append(line_, Component(color, 0), " ", Component(color, 8), " ", Component(color, 16), " ", operator_name,
         "\r");
  Flush();
  const TColor previous = current;
  current = color;
  return previous;
}

TColor TPDFDocument::SetStrokeColor(TColor color) {
  return WriteColor(color, "RG", line_color_);
}

TColor TPDFDocument::SetFillColor(TColor color) {
  return WriteColor(color, "rg", fill_color_);
}

template <class Operation>
void TPDFDocument::Draw(TColor color, std::string_view color_operator, TColor& current, Operation operation) {
  EnsurePage();
  const TColor previous = current;
  if (color != previous) WriteColor(color, color_operator, current);
  operation();
  Flush();
  if (color != previous) WriteColor(previous, color_operator, current);
}

void TPDFDocument::EndText() {
  if (!text_open_) return;
  line_ += "ET\r";
  text_open_ = false;
}

void TPDFDocument::TextOut(int x, int y, TColor color, std::string_view text) {
  if (font_.Unicode != nullptr) {
    Draw(color, "rg", fill_color_, [&] { UnicodeTextOut(x, y, text); });
    return;
  }
  EndText();
  Draw(color, "rg", fill_color_, [&] {
    NoteFontUsed();
    content_face_ = {};  // the standard font's selection replaces it
    encoded_.clear();
    replaced_characters_ += EncodeText(text, font_codes_, encoded_);
    line_ += font_selection_;
    Append(line_, x, " ", y, " Td (");
    AppendEscapedString(encoded_, line_);
    line_ += ") Tj\rET\r";
  });
}

const std::string& TPDFDocument::FaceName(TUnicodeFontChain& chain, int face) {
  std::size_t index = 0;
  while (index < chains_.size() && chains_[index] != &chain) ++index;
  if (index == chains_.size()) {
    chains_.push_back(&chain);
    face_names_.emplace_back();
    for (int each = 0; each < chain.FaceCount(); ++each) {
      face_names_.back().push_back("U" + std::to_string(index + 1) + "F" + std::to_string(each + 1));
    }
  }
  return face_names_[index].at(static_cast<std::size_t>(face));
}

// Each run of one face is shown with a TJ array of its glyph ids; a glyph
// whose shaped position differs from where the font's own advance puts it
// (kerning, joined letters, marks on their base) gets the difference as a
// TJ adjustment, and one raised or lowered a text rise of its own.
void TPDFDocument::UnicodeTextOut(int x, int y, std::string_view text) {
  TUnicodeFontChain& chain = *font_.Unicode;
  if (!shaped_ || text != shaped_text_) chain.Shape(text, runs_);
  shaped_ = false;
  if (runs_.empty()) return;  // an empty text draws nothing
  // Texts drawn one after another share a text object, each placed from
  // where the one before began.
  if (text_open_) {
    Append(line_, x - text_x_, " ", y - text_y_, " Td\r");
  } else {
    Append(line_, "BT\r", x, " ", y, " Td\r");
    text_open_ = true;
  }
  text_x_ = x;
  text_y_ = y;
  int rise = 0;
  for (const TUnicodeRun& run : runs_) {
    const auto& used = chain.UsedGlyphs(run.Face);
    const TContentFace face{&chain, run.Face, font_.FontSize};
    if (face != content_face_) {
      Append(line_, "/", FaceName(chain, run.Face), " ", font_.FontSize, " Tf\r");
      content_face_ = face;
    }
    // Glyph ids go into literal strings, two bytes each (the bytes PDF
    // strings escape behind a backslash): half the bytes of hexadecimal.
    // Glyphs at the font's own advances share one string.
    bool plain = true;
    for (const TUnicodeGlyph& glyph : run.Glyphs) {
      if (run.AtOwnAdvances) break;
      const auto found = used.find(glyph.Id);
      const std::int32_t width = found != used.end() ? found->second.Advance : glyph.Advance;
      if (glyph.XOffset != 0 || glyph.YOffset != 0 || width != glyph.Advance) {
        plain = false;
        break;
      }
    }
    const auto append_glyph = [this](std::uint16_t id) {
      for (const char byte : {static_cast<char>(id >> 8), static_cast<char>(id & 0xFF)}) {
        if (byte == '(' || byte == ')' || byte == '\\') line_ += '\\';
        if (byte == '\r') {
          line_ += "\\r";  // a bare CR inside a string reads as a line end
          continue;
        }
        line_ += byte;
      }
    };
    if (plain) {
      // At most four bytes a glyph, written in place.
      const std::size_t start = line_.size();
      line_.resize(start + 4 * run.Glyphs.size() + 6);
      char* out = line_.data() + start;
      *out++ = '(';
      for (const TUnicodeGlyph& glyph : run.Glyphs) {
        for (const char byte : {static_cast<char>(glyph.Id >> 8), static_cast<char>(glyph.Id & 0xFF)}) {
          if (byte == '(' || byte == ')' || byte == '\\') {
            *out++ = '\\';
          } else if (byte == '\r') {
            *out++ = '\\';  // a bare CR inside a string reads as a line end
            *out++ = 'r';
            continue;
          }
          *out++ = byte;
        }
      }
      for (const char byte : {')', 'T', 'j', '\r'}) *out++ = byte;
      line_.resize(static_cast<std::size_t>(out - line_.data()));
      continue;
    }
    line_ += '[';
    for (const TUnicodeGlyph& glyph : run.Glyphs) {
      if (glyph.YOffset != rise) {
        // A rise is an operator of its own, between arrays.
        line_ += "] TJ\r";
        rise = glyph.YOffset;
        Append(line_, TFixed{rise * font_.FontSize / 1000.0, 2}, " Ts\r[");
      }
      const auto found = used.find(glyph.Id);
      const std::int32_t width = found != used.end() ? found->second.Advance : glyph.Advance;
      if (glyph.XOffset != 0) Append(line_, -glyph.XOffset, " ");
      line_ += '(';
      append_glyph(glyph.Id);
      line_ += ')';
      const std::int32_t after = glyph.XOffset + width - glyph.Advance;
      if (after != 0) Append(line_, " ", after, " ");
    }
    line_ += "] TJ\r";
  }
  if (rise != 0) line_ += "0 Ts\r";
}

void TPDFDocument::DrawLine(TColor color, double x1, double y1, double x2, double y2) {
  EndText();
  Draw(color, "RG", line_color_, [&] {
    Append(line_, TFixed{x1, 1}, " ", TFixed{y1, 1}, " m \r", TFixed{x2, 1}, " ", TFixed{y2, 1}, " l \r",
           TFixed{LineWidth, 1}, " w \rS\r");
  });
}

void TPDFDocument::Rectangle(TColor color, double x, double y, double width, double height) {
  EndText();
  Draw(color, "rg", fill_color_, [&] {
    Append(line_, TFixed{x, 1}, " ", TFixed{y, 1}, " ", TFixed{width, 1}, " ", TFixed{height, 1}, " re f\r");
  });
}

int TPDFDocument::TextWidth(std::string_view text, int size) const {
  if (font_.Unicode != nullptr)
    return RoundHalfEven(static_cast<double>(font_.Unicode->Width(text)) * size / 1000);
  return RoundHalfEven(static_cast<double>(MeasureText(text, font_codes_, font_widths_)) * size / 1000);
}

int TPDFDocument::WidthToDraw(std::string_view text) {
  if (font_.Unicode == nullptr) return TextWidth(text, font_.FontSize);
  const std::int64_t width = font_.Unicode->Shape(text, runs_);
  shaped_text_.assign(text);
  shaped_ = true;
  return RoundHalfEven(static_cast<double>(width) * font_.FontSize / 1000);
}

int TPDFDocument::TextWidth(std::string_view text, const TPDFFont& font) {
  if (font.Unicode != nullptr) {
    return RoundHalfEven(static_cast<double>(font.Unicode->Width(text)) * font.FontSize / 1000);
  }
  const TPDFCharCodes codes = CharCodesOf(font.BaseFont, font.FontEncoding);
  const std::int64_t thousandths = MeasureText(text, codes, GlyphWidths(font.BaseFont, codes));
  return RoundHalfEven(static_cast<double>(thousandths) * font.FontSize / 1000);
}

std::size_t TPDFDocument::FittingLength(std::string_view text, const TPDFFont& font, double max_width) {
  if (!(max_width >= 0)) return 0;  // negative or not a number
  if (font.FontSize <= 0) return text.size();
  const double limit = std::floor(max_width * 1000 / font.FontSize);
  const std::int64_t max_thousandths =
      limit >= static_cast<double>(std::numeric_limits<std::int64_t>::max() / 2)
          ? std::numeric_limits<std::int64_t>::max() / 2
          : static_cast<std::int64_t>(limit);
  if (font.Unicode != nullptr) {
    // Whole characters while they fit.
    std::int64_t sum = 0;
    std::size_t index = 0;
    while (index < text.size()) {
      std::int64_t advance = 0;
      const std::size_t length = ChainAdvance(font.Unicode, text.substr(index), advance);
      sum += advance;
      if (sum > max_thousandths) break;
      index += length;
    }
    return index;
  }
  const TPDFCharCodes codes = CharCodesOf(font.BaseFont, font.FontEncoding);
  return velmora::FittingLength(text, codes, GlyphWidths(font.BaseFont, codes), max_thousandths);
}

void TPDFDocument::WrapText(std::string_view text, const TPDFFont& font, double max_width,
                            std::vector<TTextLine>& lines) {
  lines.clear();
  const TPDFCharCodes codes = CharCodesOf(font.BaseFont, font.FontEncoding);
  std::int64_t max_thousandths = std::numeric_limits<std::int64_t>::max() / 2;
  if (font.FontSize > 0) {
    const double limit = std::floor(std::max(max_width, 0.0) * 1000 / font.FontSize);
    if (limit < static_cast<double>(max_thousandths)) max_thousandths = static_cast<std::int64_t>(limit);
  }
  if (font.Unicode != nullptr) {
    velmora::WrapText(text, ChainMetrics(*font.Unicode), max_thousandths, lines);
    return;
  }
  velmora::WrapText(text, codes, GlyphWidths(font.BaseFont, codes), max_thousandths, lines);
}

namespace {

// A measure of pdf_fonts (thousandths of the font size) in points of the
// font: over its Unicode chain's advances, or its standard widths.
template <class TMeasure>
double PointsOf(const TPDFFont& font, TMeasure&& measure) {
  std::int64_t thousandths = 0;
  if (font.Unicode != nullptr) {
    thousandths = measure(ChainMetrics(*font.Unicode));
  } else {
    const TPDFCharCodes codes = CharCodesOf(font.BaseFont, font.FontEncoding);
    thousandths = measure(codes, GlyphWidths(font.BaseFont, codes));
  }
  return static_cast<double>(thousandths) * font.FontSize / 1000;
}

}  // namespace

double TPDFDocument::WidestLine(std::string_view text, const TPDFFont& font) {
  return PointsOf(font, [text](const auto&... metrics) { return velmora::WidestLine(text, metrics...); });
}

double TPDFDocument::WidestWord(std::string_view text, const TPDFFont& font) {
  return PointsOf(font, [text](const auto&... metrics) { return velmora::WidestWord(text, metrics...); });
}

std::string TPDFDocument::PageNumberText(int page, int page_count) {
  std::string text;
  Append(text, "Page ", page, " of ", page_count);
  return text;
}

int TPDFDocument::AverageWidth(double count, int size) {
  return RoundHalfEven(count * size * kAverageWidthSum / 256 / 1000);
}

// ---------------------------------------------------------------------------
// EndDoc: everything after the last page's content
// ---------------------------------------------------------------------------

void TPDFDocument::EndDoc() {
  CloseContentStream();
  const int outlines = BeginObject();
  Append(line_, outlines, " 0 obj\r<< /Type /Outlines\r/Count 0\r>>\rendobj\r");
  Flush();

  if (PageNumbers.Enabled) {
    // The numbers are drawn in their font: it must be defined.
    font_noted_ = false;
    const TPDFFont current = font_;
    SetFont(PageNumbers.Font);
    NoteFontUsed();
    SetFont(current);
  }
  std::string font_references;
  WriteFonts(font_references);
  const int resources = BeginObject();
  Append(line_, resources, " 0 obj\r<< /Font <<", font_references,
         " >> /ProcSet [ /PDF /Text ] >>\rendobj\r");
  Flush();

  const int first_page_number = WritePageNumbers(resources);
  const int page_tree = ObjNumber() + 1;
  WritePages(resources, first_page_number, font_references);

  const int catalog = BeginObject();
  Append(line_, catalog, " 0 obj\r<< /Type /Catalog \r/Pages ", page_tree, " 0 R \r/Outlines ", outlines,
         " 0 R \r>>\rendobj\r");
  Flush();
  WriteTrailer(catalog);
}

void TPDFDocument::WriteFonts(std::string& font_references) {
  std::vector<TPDFFont> fonts = fonts_;
  fonts.insert(fonts.end(), unadded_fonts_.begin(), unadded_fonts_.end());
  for (const TPDFFont& font : fonts) {
    // A Unicode font's faces are written as fonts of their own.
    if (font.Unicode != nullptr) continue;
    const TPDFCharCodes codes = CharCodesOf(font.BaseFont, font.FontEncoding);
    const std::uint16_t* widths = GlyphWidths(font.BaseFont, codes);
    const int number = BeginObject();
    Append(line_, number, " 0 obj\r<< /Type /Font\r/Subtype /Type1\r/Name ");
    AppendName(line_, font.Name);
    Append(line_, "\r/BaseFont /", std::string_view(BaseFontName(font.BaseFont)), "\r");
    // A symbol font keeps its built-in encoding: no /Encoding entry.
    if (const char* encoding = EncodingName(codes))
      Append(line_, "/Encoding /", std::string_view(encoding), "\r");
    line_ += "/FirstChar 0\r/LastChar 255\r/Widths [";
    for (int code = 0; code < 256; ++code) Append(line_, widths[code], " ");
    line_ += "]\r>>\rendobj\r";
    Flush();
    AppendName(font_references, font.Name);
    Append(font_references, " ", number, " 0 R ");
  }
  WriteUnicodeFonts(font_references);
}
int TPDFDocument::WriteStream(std::string_view bytes, bool compress, std::string_view extra_keys) {
  std::string deflated;
  if (compress) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    deflated.resize(size);
    if (compress2(reinterpret_cast<Bytef*>(deflated.data()), &size,
                  reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
      throw EVelmoraError("Fatal internal error");
    }
    deflated.resize(size);
  }
  const std::string_view body = compress ? std::string_view(deflated) : bytes;
  const int number = BeginObject();
  Append(line_, number, " 0 obj\r<< /Length ", body.size(), compress ? " /Filter /FlateDecode" : "",
         extra_keys, " >>\rstream\r\n");
  Flush();
  stream_.Write(body);
  stream_.Write("\rendstream\rendobj\r");
  return number;
}

// Each face text was drawn in becomes a Type0 font of Identity-H codes (the
// glyph ids, which the subset keeps), its CIDFontType2 descendant with the
// widths of the glyphs drawn, a descriptor with the subset as FontFile2, and
// a ToUnicode map back to the characters, so that readers can extract and
// search the text.
void TPDFDocument::WriteUnicodeFonts(std::string& font_references) {
  for (std::size_t chain_index = 0; chain_index < chains_.size(); ++chain_index) {
    TUnicodeFontChain& chain = *chains_[chain_index];
    for (int face = 0; face < chain.FaceCount(); ++face) {
      const auto& used = chain.UsedGlyphs(face);
      if (used.empty()) continue;
      const TUnicodeFaceMetrics& metrics = chain.Metrics(face);
      const std::string name = SubsetTag(chain_index, face, used.size()) + "+" + metrics.PostScriptName;

      const std::string subset = chain.Subset(face);
      const int font_file = WriteStream(subset, true, " /Length1 " + std::to_string(subset.size()));

      std::string cmap =
          "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
          "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
          "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
          "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
      std::vector<std::pair<std::uint16_t, const std::u16string*>> mapped;
      for (const auto& [id, glyph] : used) {
        if (!glyph.Text.empty()) mapped.emplace_back(id, &glyph.Text);
      }
      for (std::size_t start = 0; start < mapped.size(); start += 100) {
        const std::size_t count = std::min<std::size_t>(100, mapped.size() - start);
        cmap += std::to_string(count) + " beginbfchar\n";
        for (std::size_t entry = start; entry < start + count; ++entry) {
          cmap += '<';
          AppendHex4(cmap, mapped[entry].first);
          cmap += "> <";
          for (const char16_t unit : *mapped[entry].second) AppendHex4(cmap, unit);
          cmap += ">\n";
        }
        cmap += "endbfchar\n";
      }
      cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
      const int to_unicode = WriteStream(cmap, true, "");

      const int descriptor = BeginObject();
      int flags = 4;  // symbolic: the glyphs are chosen by id, not by a standard encoding
      if (metrics.FixedPitch) flags |= 1;
      if (metrics.Serif) flags |= 2;
      Append(line_, descriptor, " 0 obj\r<< /Type /FontDescriptor\r/FontName /", name, "\r/Flags ", flags,
             "\r/FontBBox [", metrics.BBox[0], " ", metrics.BBox[1], " ", metrics.BBox[2], " ",
             metrics.BBox[3], "]\r/ItalicAngle ", metrics.ItalicAngle, "\r/Ascent ", metrics.Ascent,
             "\r/Descent ", metrics.Descent, "\r/CapHeight ", metrics.CapHeight, "\r/StemV ", metrics.StemV,
             "\r/FontFile2 ", font_file, " 0 R\r>>\rendobj\r");
      Flush();

      const int descendant = BeginObject();
      Append(line_, descendant, " 0 obj\r<< /Type /Font\r/Subtype /CIDFontType2\r/BaseFont /", name,
             "\r/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>\r/FontDescriptor ",
             descriptor, " 0 R\r/CIDToGIDMap /Identity\r/W [");
      for (const auto& [id, glyph] : used) {
        Append(line_, id, " [", glyph.Advance, "] ");
        if (line_.size() >= 60000) Flush();
      }
      line_ += "]\r>>\rendobj\r";
      Flush();

      const int number = BeginObject();
      Append(line_, number, " 0 obj\r<< /Type /Font\r/Subtype /Type0\r/BaseFont /", name,
             "\r/Encoding /Identity-H\r/DescendantFonts [", descendant, " 0 R]\r/ToUnicode ", to_unicode,
             " 0 R\r>>\rendobj\r");
      Flush();
      AppendName(font_references, FaceName(chain, face));
      Append(font_references, " ", number, " 0 R ");
    }
  }
}

int TPDFDocument::WritePageNumbers(int resources) {
  if (!PageNumbers.Enabled || PageCount() == 0) return 0;
  const TPDFFont& font = PageNumbers.Font;
  std::string content;
  std::string encoded;
  for (int page = 1; page <= PageCount(); ++page) {
    const std::string text = PageNumberText(page, PageCount());
    const int x = PageNumbers.Left + (PageNumbers.Right - PageNumbers.Left - TextWidth(text, font)) / 2;
    content.clear();
    if (font.FontColor != 0) {
      Append(content, Component(font.FontColor, 0), " ", Component(font.FontColor, 8), " ",
             Component(font.FontColor, 16), " rg\r");
    }
    content += "BT\r";
    AppendName(content, font.Name);
    Append(content, " ", font.FontSize, " Tf\r", x, " ", PageNumbers.Baseline, " Td (");
    encoded.clear();
    const TPDFCharCodes codes = CharCodesOf(font.BaseFont, font.FontEncoding);
    EncodeText(text, codes, encoded);
    AppendEscapedString(encoded, content);
    content += ") Tj\rET\r";
    const int number = BeginObject();
    Append(line_, number, " 0 obj\r<< /Type /XObject\r/Subtype /Form\r/BBox [", MediaBox.Left, " ",
           MediaBox.Bottom, " ", MediaBox.Right, " ", MediaBox.Top, "]\r/Resources ", resources,
           " 0 R\r/Length ", content.size(), "\r>>\rstream\r\n", content, "endstream\rendobj\r");
    Flush();
  }
  return ObjNumber() - PageCount() + 1;
}

void TPDFDocument::WritePages(int resources, int first_page_number, const std::string& font_references) {
  const int page_tree = BeginObject();
  Append(line_, page_tree, " 0 obj\r<< /Type /Pages\r/Count ", PageCount(), "\r/Kids [");
  for (int page = 1; page <= PageCount(); ++page) Append(line_, page_tree + page, " 0 R ");
  line_ += "]\r>>\rendobj\r";
  Flush();
  for (std::size_t index = 0; index < page_contents_.size(); ++index) {
    const int contents = page_contents_[index];
    const int page = BeginObject();
    Append(line_, page, " 0 obj\r<< /Type /Page\r/Parent ", page_tree, " 0 R\r/Resources ");
    if (first_page_number > 0) {
      // The fonts of every page, and this page's number.
      Append(line_, "<< /Font <<", font_references, " >> /XObject << /", kPageNumberName, " ",
             first_page_number + static_cast<int>(index), " 0 R >> /ProcSet [ /PDF /Text ] >>");
    } else {
      Append(line_, resources, " 0 R");
    }
    Append(line_, "\r/MediaBox [", MediaBox.Left, " ", MediaBox.Bottom, " ", MediaBox.Right, " ",
           MediaBox.Top, "]\r/TrimBox [", TrimBox.Left, " ", TrimBox.Bottom, " ", TrimBox.Right, " ",
           TrimBox.Top, "]\r/Contents ", contents, " 0 R\r>>\rendobj\r");
    Flush();
  }
}

void TPDFDocument::WriteTrailer(int catalog) {
  const std::int64_t cross_reference = stream_.Position();
  Append(line_, "xref\r0 ", ObjNumber() + 1, "\r0000000000 65535 f \r");
  for (const std::int64_t offset : offsets_) {
    // Ten digits, zero-padded: each entry is exactly 20 bytes with its " \r".
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, offset).ptr;
    line_.append(static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, 10 - (end - digits))), '0');
    line_.append(digits, end);
    line_ += " 00000 n \r";
    if (line_.size() >= 60000) Flush();
  }
  Append(line_, "trailer\r<< /Size ", ObjNumber() + 1, "\r/Root ", catalog, " 0 R\r>>\rstartxref\r",
         cross_reference, "\r%%EOF");
  Flush();
}

}  // namespace velmora
