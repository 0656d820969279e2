#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/font_color.h"
#include "engine/tabulo_writer.h"

namespace velmora {

// Appends text (UTF-8) as RTF document text: "\", "{" and "}" escaped with a
// backslash; CR LF, LF and CR each as " \par "; tab as "\tab "; every other
// character outside printable ASCII as "\uN?" with N the UTF-16 code unit as a
// signed 16-bit number (a surrogate pair above U+FFFF). A byte that is not
// part of valid UTF-8 and every other control character (NUL to U+001F, DEL,
// U+0080 to U+009F) are written as U+FFFD ("\u-3?").
void AppendRtfText(std::string& out, std::string_view text);

// The first line of the document: "\rtf1\ansi\deff0\deftab720" with the defaults.
struct TRTFHeader {
  int Version = 1;
  std::string Charset = "ansi";
  int DefaultFont = 0;
  int DefaultTabWidth = 720;

  std::string Text() const;
};

struct TRTFFontTableItem {
  int Number = 0;
  std::string Family = "nil";
  std::string Name;

  // "{\f0\fnil Arial;}"; the name escaped as document text, ";" included.
  std::string Text() const;
};

class TRTFFontTable {
 public:
  // Appends an entry with the next free number (highest + 1); returns its position.
  int Add(std::string_view name);
  // The position of the first entry of that name (letter case ignored), or -1.
  int IndexOf(std::string_view name) const;
  int Count() const { return static_cast<int>(items_.size()); }
  const TRTFFontTableItem& operator[](int index) const { return items_.at(static_cast<std::size_t>(index)); }
  void Clear() { items_.clear(); }
  // "{\fonttbl" + the entries + "}".
  std::string Text() const;

 private:
  std::vector<TRTFFontTableItem> items_;
};

struct TRTFColorTableItem {
  int Red = 0;
  int Green = 0;
  int Blue = 0;

  // "\red0\green0\blue0;"
  std::string Text() const;
};

class TRTFColorTable {
 public:
  // Appends the colour's low, second and third byte as red, green and blue;
  // returns its position.
  int Add(TColor color);
  // The position of the first entry with the colour's components, or -1.
  int IndexOf(TColor color) const;
  int Count() const { return static_cast<int>(items_.size()); }
  const TRTFColorTableItem& operator[](int index) const { return items_.at(static_cast<std::size_t>(index)); }
  void Clear() { items_.clear(); }
  // "{\colortbl" + the entries + "}".
  std::string Text() const;

 private:
  std::vector<TRTFColorTableItem> items_;
};

// The writer of the RTF exporter: the document's header line, font table and
// colour table, and the tags that refer to them. A font or colour first asked
// for after the tables were written is inserted into the written tables, so
// the document is produced in one pass.
class TTabuloRTFWriter : public TTabuloWriter {
 public:
  using TTabuloWriter::TTabuloWriter;

  TRTFHeader Header;
  TRTFFontTable FontTable;
  TRTFColorTable ColorTable;

  // "\ql", "\qc", "\qr".
  std::string AlignmentText(TTabuloColAlign align) const override;

  // Writes "{" and the header line, the font table line and the colour table
  // line, and remembers where they start.
  void WriteTables();

  // "\f" + the position of the font's name in the font table + "\fs" + twice
  // the size in points; a name not yet listed is added.
  std::string FontTag(const TFont& font);
  // "\cf" + the position of the colour in the colour table ("\cbpat" for a
  // cell background); a colour not yet listed is added.
  std::string ColorTag(TColor color, bool background);

  // "\b", "\i", "\ul", "\strike" for the styles the font has, in this order.
  static std::string StyleTags(const TFont& font);

 private:
  // The stream position just after the header line, or -1 before WriteTables.
  std::int64_t font_table_start_ = -1;
};

}  // namespace velmora
