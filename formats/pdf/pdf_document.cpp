#include "formats/pdf/pdf_document.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <concepts>
#include <limits>

#include "platform/error.h"
#include "platform/locale_settings.h"

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

// ---------------------------------------------------------------------------
// TPDFDocument
// ---------------------------------------------------------------------------

TPDFDocument::TPDFDocument(TOutputStream& stream) : stream_(stream) {
  SetFont(TPDFFont{});
}

void TPDFDocument::SetFont(const TPDFFont& font) {
  font_ = font;
  font_codes_ = CharCodesOf(font.BaseFont, font.FontEncoding);
  font_widths_ = GlyphWidths(font.BaseFont, font_codes_);
  font_noted_ = false;
  // Every text drawn in the font starts so.
  font_selection_ = "BT\r";
  AppendName(font_selection_, font_.Name);
  Append(font_selection_, " ", font_.FontSize, " Tf\r");
}

void TPDFDocument::Flush() {
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
  stream_.Write("%PDF-1.3\r");
}

void TPDFDocument::NewPage() {
  CloseContentStream();
  const int contents = BeginObject();
  page_contents_.push_back(contents);
  // The keyword "stream" must be followed by CR LF (or LF); readers take a
  // CR alone for a damaged file.
  Append(line_, contents, " 0 obj\r<< /Length ", contents + 1, " 0 R >>\rstream\r\n");
  Flush();
  stream_start_ = stream_.Position();
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
  if (PageNumbers.Enabled) {
    // Painted in a graphics state of its own: nothing of the page's changes.
    Append(line_, "/", kPageNumberName, " Do\r");
    Flush();
  }
  const std::int64_t length = stream_.Position() - stream_start_;
  stream_open_ = false;
  stream_.Write("endstream\rendobj\r");
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

void TPDFDocument::TextOut(int x, int y, TColor color, std::string_view text) {
  Draw(color, "rg", fill_color_, [&] {
    NoteFontUsed();
    encoded_.clear();
    replaced_characters_ += EncodeText(text, font_codes_, encoded_);
    line_ += font_selection_;
    Append(line_, x, " ", y, " Td (");
    AppendEscapedString(encoded_, line_);
    line_ += ") Tj\rET\r";
  });
}

void TPDFDocument::DrawLine(TColor color, double x1, double y1, double x2, double y2) {
  Draw(color, "RG", line_color_, [&] {
    Append(line_, TFixed{x1, 1}, " ", TFixed{y1, 1}, " m \r", TFixed{x2, 1}, " ", TFixed{y2, 1}, " l \r",
           TFixed{LineWidth, 1}, " w \rS\r");
  });
}

void TPDFDocument::Rectangle(TColor color, double x, double y, double width, double height) {
  Draw(color, "rg", fill_color_, [&] {
    Append(line_, TFixed{x, 1}, " ", TFixed{y, 1}, " ", TFixed{width, 1}, " ", TFixed{height, 1}, " re f\r");
  });
}

int TPDFDocument::TextWidth(std::string_view text, int size) const {
  return RoundHalfEven(static_cast<double>(MeasureText(text, font_codes_, font_widths_)) * size / 1000);
}

int TPDFDocument::TextWidth(std::string_view text, const TPDFFont& font) {
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
  velmora::WrapText(text, codes, GlyphWidths(font.BaseFont, codes), max_thousandths, lines);
}

double TPDFDocument::WidestLine(std::string_view text, const TPDFFont& font) {
  const TPDFCharCodes codes = CharCodesOf(font.BaseFont, font.FontEncoding);
  return static_cast<double>(velmora::WidestLine(text, codes, GlyphWidths(font.BaseFont, codes))) *
         font.FontSize / 1000;
}

double TPDFDocument::WidestWord(std::string_view text, const TPDFFont& font) {
  const TPDFCharCodes codes = CharCodesOf(font.BaseFont, font.FontEncoding);
  return static_cast<double>(velmora::WidestWord(text, codes, GlyphWidths(font.BaseFont, codes))) *
         font.FontSize / 1000;
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
    Append(line_, "\r/MediaBox [", MediaBox.Left, " ", MediaBox.Bottom, " ", MediaBox.Right, " ", MediaBox.Top,
           "]\r/TrimBox [", TrimBox.Left, " ", TrimBox.Bottom, " ", TrimBox.Right, " ", TrimBox.Top,
           "]\r/Contents ", contents, " 0 R\r>>\rendobj\r");
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
