#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/font_color.h"
#include "formats/pdf/pdf_fonts.h"
#include "formats/pdf/pdf_page_options.h"
#include "formats/pdf/pdf_unicode_font.h"
#include "platform/output_stream.h"

namespace velmora {

// A font of the document: Name is the resource name content streams select it by.
struct TPDFFont {
  std::string Name;
  TPDFFontName BaseFont = poHelvetica;
  int FontSize = 10;
  TPDFFontEncoding FontEncoding = poWinAnsiEncoding;
  TColor FontColor = 0;
  // When set, text in this font is drawn from the chain's embedded TrueType
  // faces (shaped, in display order) instead of BaseFont; not owned, and it
  // must outlive the document's EndDoc.
  TUnicodeFontChain* Unicode = nullptr;
};

// "Page N of M" on every page, M the document's page count. Each page's
// content ends by calling a form XObject of its own, written by EndDoc when
// the count is known, so no page has to wait in memory for it.
struct TPDFPageNumbers {
  bool Enabled = false;
  TPDFFont Font;  // added to the document's fonts by EndDoc when it is not
  int Left = 0;   // the text is centred between Left and Right
  int Right = 0;
  int Baseline = 0;
};

// Writes a PDF 1.3 file front to back into an output stream. Each page's
// content stream goes out as it is drawn; what stays in memory until EndDoc is
// one offset per object, one number per page and the font list, so a document
// of any length needs little memory. Page objects, fonts, the catalog, the
// cross-reference table and the trailer are written by EndDoc.
//
// Text arrives as UTF-8 and is written in the character codes of the current
// font (see CharCodesOf); characters the font cannot show print as "?" and are
// counted. Every number is written with a decimal point, whatever the locale.
// Lines end in a carriage return.
class TPDFDocument {
 public:
  explicit TPDFDocument(TOutputStream& stream);
  ~TPDFDocument();
  TPDFDocument(const TPDFDocument&) = delete;
  TPDFDocument& operator=(const TPDFDocument&) = delete;

  // Starts a new file: forgets pages, objects and fonts, resets line width,
  // line spacing and both colours, and writes the header.
  void BeginDoc();
  // Ends the open content stream, if any, and opens the next page's. A page
  // starts with black as both colours, so that is what the document holds then.
  void NewPage();
  // Ends the open content stream and writes the outlines, the fonts, the
  // resources, the page tree and pages, the catalog, the cross-reference table
  // and the trailer.
  void EndDoc();

  // Adds a font to be written; raises "Font %s already exists" for a second
  // font of the same name. A font that text was drawn in but that was never
  // added is written all the same, so every name a page uses is defined.
  void AddFont(const TPDFFont& font);

  // The drawing operations write into the open page; one is opened when none
  // is. A colour other than the current one is set for the operation and the
  // previous one set back after it.
  // Draws UTF-8 text in the current font with its baseline starting at x, y.
  void TextOut(int x, int y, TColor color, std::string_view text);
  // A stroked line of LineWidth.
  void DrawLine(TColor color, double x1, double y1, double x2, double y2);
  // A filled rectangle with its lower left corner at x, y.
  void Rectangle(TColor color, double x, double y, double width, double height);
  // Set the stroking (lines) or non-stroking (text, fills) colour; return the previous one.
  TColor SetStrokeColor(TColor color);
  TColor SetFillColor(TColor color);

  // The width of UTF-8 text in points in the face and encoding of the current
  // font at size points (rounded to the nearest integer, halves to even).
  int TextWidth(std::string_view text, int size) const;
  // The same in the given font at its FontSize.
  static int TextWidth(std::string_view text, const TPDFFont& font);
  // The width of a text about to be drawn in the current font: TextOut of
  // the same text next draws what was shaped here.
  int WidthToDraw(std::string_view text);
  // The byte length of the longest start of the UTF-8 text, cut between
  // characters, that is at most max_width points wide in the font.
  static std::size_t FittingLength(std::string_view text, const TPDFFont& font, double max_width);
  // Breaks UTF-8 text into lines at most max_width points wide in the font
  // (see WrapText in pdf_fonts.h); lines is cleared first.
  static void WrapText(std::string_view text, const TPDFFont& font, double max_width,
                       std::vector<TTextLine>& lines);
  // The width in points of the widest line of the UTF-8 text in the font.
  static double WidestLine(std::string_view text, const TPDFFont& font);
  // The same of its widest word.
  static double WidestWord(std::string_view text, const TPDFFont& font);
  // "Page N of M".
  static std::string PageNumberText(int page, int page_count);
  // The width of count average characters at size points (count may be
  // fractional), the unit of column widths: count × size × 123990 ÷ 256 ÷ 1000.
  static int AverageWidth(double count, int size);

  const TPDFFont& Font() const { return font_; }
  void SetFont(const TPDFFont& font);
  double LineWidth = 1.0;
  double LineSpacing = 1.0;  // kept for the layout; not written
  TColor LineColor() const { return line_color_; }
  TColor FillColor() const { return fill_color_; }
  TPDFBox MediaBox{0, 0, 612, 792};
  TPDFBox TrimBox{50, 50, 562, 742};
  // Set before the first page; BeginDoc leaves it as it is.
  TPDFPageNumbers PageNumbers;
  // Deflates the pages' content streams (FlateDecode), for documents whose
  // glyph ids would otherwise take several times the bytes of their text.
  // Set before the first page; BeginDoc leaves it as it is.
  bool CompressContent = false;

  // The number of the last object begun.
  int ObjNumber() const { return static_cast<int>(offsets_.size()); }
  int PageCount() const { return static_cast<int>(page_contents_.size()); }
  // Characters of drawn text that the fonts could not show and that print as "?".
  std::uint64_t ReplacedCharacters() const { return replaced_characters_; }

 private:
  int BeginObject();
  void CloseContentStream();
  void EnsurePage();
  void NoteFontUsed();
  TColor WriteColor(TColor color, std::string_view operator_name, TColor& current);
  // Writes what operation composes in line_ into the open page, in color as
  // the current stroking or fill colour, and sets the previous one back.
  template <class Operation>
  void Draw(TColor color, std::string_view color_operator, TColor& current, Operation operation);
  void WriteFonts(std::string& font_references);
  // Draws text in the current font's Unicode chain at x, y.
  void UnicodeTextOut(int x, int y, std::string_view text);
  // The resource name of a face of a chain, the chain registered on first use.
  const std::string& FaceName(TUnicodeFontChain& chain, int face);
  // Writes the embedded faces text was drawn in: a Type0 font each.
  void WriteUnicodeFonts(std::string& font_references);
  // Writes one stream object of the bytes, deflated when compress is set.
  int WriteStream(std::string_view bytes, bool compress, std::string_view extra_keys);
  // One form XObject per page drawing its number; returns the first one's
  // object number (0 when pages carry no number).
  int WritePageNumbers(int resources);
  void WritePages(int resources, int first_page_number, const std::string& font_references);
  void WriteTrailer(int catalog);
  void Flush();  // writes out line_, through the deflater into a compressed content stream
  // Sends bytes through the deflater; finish ends the compressed stream.
  void Deflate(std::string_view page);

  TOutputStream& stream_;
  std::vector<std::int64_t> offsets_;  // by object number - 1
  std::vector<int> page_contents_;     // each page's content stream object
  std::vector<TPDFFont> fonts_;
  std::vector<TPDFFont> unadded_fonts_;  // drawn in, not (yet) added
  bool font_noted_ = false;              // the current font is in one of the two lists
  bool stream_open_ = false;
  std::int64_t stream_start_ = 0;
  TPDFFont font_;
  TPDFCharCodes font_codes_ = ccWinAnsi;
  const std::uint16_t* font_widths_ = nullptr;
  TColor line_color_ = 0;
  TColor fill_color_ = 0;
  std::uint64_t replaced_characters_ = 0;
  std::string font_selection_;  // "BT", the font's name and size, "Tf"
  // The Unicode chains drawn in, and the resource names of their faces.
  std::vector<TUnicodeFontChain*> chains_;
  std::vector<std::vector<std::string>> face_names_;
  std::vector<TUnicodeRun> runs_;
  // The face and size the open content stream last selected for embedded
  // text ("/U1F1 9"); the text state keeps them from one text object to
  // the next, so they are set only when they change.
  // The embedded face and size the content stream selected last, if any.
  struct TContentFace {
    const TUnicodeFontChain* Chain = nullptr;
    int Face = 0;
    int Size = 0;
    bool operator==(const TContentFace&) const = default;
  };
  TContentFace content_face_;
  struct TDeflater;
  std::unique_ptr<TDeflater> deflater_;  // made for the first compressed page
  bool deflating_ = false;               // while a compressed content stream is open
  // A text object left open for the next embedded text, and where its last
  // text began.
  bool text_open_ = false;
  std::string shaped_text_;  // the text runs_ holds, shaped for the next TextOut
  bool shaped_ = false;
  int text_x_ = 0;
  int text_y_ = 0;
  void EndText();
  std::string line_;     // the bytes being composed
  std::string encoded_;  // text in font codes, before escaping
};

}  // namespace velmora
