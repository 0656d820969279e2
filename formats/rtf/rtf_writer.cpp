#include "formats/rtf/rtf_writer.h"

#include <algorithm>
#include <charconv>

#include "platform/text_escape.h"
#include "platform/text_utils.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

constexpr std::string_view kFontTableOpen = "{\\fonttbl";
constexpr std::string_view kColorTableOpen = "{\\colortbl";

// "\uN?" with N the code unit read as a signed 16-bit number.
void AppendUnicodeEscape(std::string& out, char32_t code_unit) {
  out += "\\u";
  AppendInteger(out, static_cast<std::int16_t>(static_cast<std::uint16_t>(code_unit)));
  out += '?';
}

// C0 controls other than the line breaks and tab handled before, DEL and the
// C1 controls: a word processor shows them as stray digits or boxes, or drops
// them, so they are written as U+FFFD, which shows that something was there.
bool IsControlCharacter(char32_t code_point) {
  return code_point < 0x20 || (code_point >= 0x7F && code_point <= 0x9F);
}

bool IsPlainCharacter(unsigned char character) {
  return character >= 0x20 && character < 0x7F && character != '\\' && character != '{' && character != '}';
}

}  // namespace

void AppendRtfText(std::string& out, std::string_view text) {
  std::size_t index = 0;
  while (index < text.size()) {
    std::size_t run_end = index;
    while (run_end < text.size() && IsPlainCharacter(static_cast<unsigned char>(text[run_end]))) ++run_end;
    out.append(text, index, run_end - index);
    index = run_end;
    if (index == text.size()) break;
    const char character = text[index];
    switch (character) {
      case '\\':
      case '{':
      case '}':
        out += '\\';
        out += character;
        ++index;
        continue;
      case '\r':
        if (index + 1 < text.size() && text[index + 1] == '\n') ++index;
        [[fallthrough]];
      case '\n':
        out += " \\par ";
        ++index;
        continue;
      case '\t':
        out += "\\tab ";
        ++index;
        continue;
      default:
        break;
    }
    // An invalid sequence and a control character become U+FFFD.
    const TUtf8Sequence sequence = DecodeUtf8(text, index);
    const char32_t code_point = sequence.Valid && !IsControlCharacter(sequence.CodePoint)
                                    ? sequence.CodePoint
                                    : kReplacementCharacter;
    index += static_cast<std::size_t>(sequence.Length);
    if (code_point > 0xFFFF) {
      const char32_t offset = code_point - 0x10000;
      AppendUnicodeEscape(out, 0xD800 + (offset >> 10));
      AppendUnicodeEscape(out, 0xDC00 + (offset & 0x3FF));
    } else {
      AppendUnicodeEscape(out, code_point);
    }
  }
}

// ---------------------------------------------------------------------------
// Header and tables

std::string TRTFHeader::Text() const {
  std::string text = "\\rtf";
  AppendInteger(text, Version);
  text += '\\';
  text += Charset;
  text += "\\deff";
  AppendInteger(text, DefaultFont);
  text += "\\deftab";
  AppendInteger(text, DefaultTabWidth);
  return text;
}

std::string TRTFFontTableItem::Text() const {
  std::string text = "{\\f";
  AppendInteger(text, Number);
  text += "\\f";
  text += Family;
  text += ' ';
  // A ";" would end the name early: it is written as its hexadecimal escape.
  std::size_t start = 0;
  for (std::size_t found = Name.find(';'); found != std::string::npos; found = Name.find(';', start)) {
    AppendRtfText(text, std::string_view(Name).substr(start, found - start));
    text += "\\'3b";
    start = found + 1;
  }
  AppendRtfText(text, std::string_view(Name).substr(start));
  text += ";}";
  return text;
}

int TRTFFontTable::Add(std::string_view name) {
  int number = 0;
  for (const TRTFFontTableItem& item : items_) number = std::max(number, item.Number + 1);
  items_.push_back({number, "nil", std::string(name)});
  return Count() - 1;
}

int TRTFFontTable::IndexOf(std::string_view name) const {
  for (int index = 0; index < Count(); ++index) {
    if (SameText(items_[static_cast<std::size_t>(index)].Name, name)) return index;
  }
  return -1;
}

std::string TRTFFontTable::Text() const {
  std::string text(kFontTableOpen);
  for (const TRTFFontTableItem& item : items_) text += item.Text();
  text += '}';
  return text;
}

std::string TRTFColorTableItem::Text() const {
  std::string text = "\\red";
  AppendInteger(text, Red);
  text += "\\green";
  AppendInteger(text, Green);
  text += "\\blue";
  AppendInteger(text, Blue);
  text += ';';
  return text;
}

int TRTFColorTable::Add(TColor color) {
  items_.push_back({RedOf(color), GreenOf(color), BlueOf(color)});
  return Count() - 1;
}

int TRTFColorTable::IndexOf(TColor color) const {
  for (int index = 0; index < Count(); ++index) {
    const TRTFColorTableItem& item = items_[static_cast<std::size_t>(index)];
    if (item.Red == RedOf(color) && item.Green == GreenOf(color) && item.Blue == BlueOf(color)) return index;
  }
  return -1;
}

std::string TRTFColorTable::Text() const {
  std::string text(kColorTableOpen);
  for (const TRTFColorTableItem& item : items_) text += item.Text();
  text += '}';
  return text;
}

// ---------------------------------------------------------------------------
// Writer

std::string TTabuloRTFWriter::AlignmentText(TTabuloColAlign align) const {
  switch (align) {
    case ecaLeft:
      return "\\ql";
    case ecaCenter:
      return "\\qc";
    case ecaRight:
      return "\\qr";
  }
  return "";
}

void TTabuloRTFWriter::WriteTables() {
  Write("{");
  WriteLine(Header.Text());
  font_table_start_ = Stream().Position();
  WriteLine(FontTable.Text());
  WriteLine(ColorTable.Text());
}

std::string TTabuloRTFWriter::FontTag(const TFont& font) {
  int index = FontTable.IndexOf(font.Name);
  if (index < 0) {
    index = FontTable.Add(font.Name);
    if (font_table_start_ >= 0) {
      const std::string entry = FontTable[index].Text();
      const std::size_t before = FontTable.Text().size() - entry.size() - 1;  // up to the closing brace
      Stream().Insert(font_table_start_ + static_cast<std::int64_t>(before), entry);
    }
  }
  std::string tag = "\\f";
  AppendInteger(tag, index);
  tag += "\\fs";
  AppendInteger(tag, 2LL * font.Size);
  return tag;
}

std::string TTabuloRTFWriter::ColorTag(TColor color, bool background) {
  int index = ColorTable.IndexOf(color);
  if (index < 0) {
    index = ColorTable.Add(color);
    if (font_table_start_ >= 0) {
      const std::string entry = ColorTable[index].Text();
      // The colour table line follows the font table line and its CR LF.
      const std::size_t before = FontTable.Text().size() + 2 + ColorTable.Text().size() - entry.size() - 1;
      Stream().Insert(font_table_start_ + static_cast<std::int64_t>(before), entry);
    }
  }
  std::string tag = background ? "\\cbpat" : "\\cf";
  AppendInteger(tag, index);
  return tag;
}

std::string TTabuloRTFWriter::StyleTags(const TFont& font) {
  std::string tags;
  if (font.Style.Contains(fsBold)) tags += "\\b";
  if (font.Style.Contains(fsItalic)) tags += "\\i";
  if (font.Style.Contains(fsUnderline)) tags += "\\ul";
  if (font.Style.Contains(fsStrikeOut)) tags += "\\strike";
  return tags;
}

}  // namespace velmora
