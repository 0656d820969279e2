#include "formats/rtf/rtf_writer.h"

#include <algorithm>
#include <charconv>

#include "platform/text_utils.h"

namespace velmora {

namespace {

constexpr std::string_view kFontTableOpen = "{\\fonttbl";
constexpr std::string_view kColorTableOpen = "{\\colortbl";
constexpr char32_t kReplacementCharacter = 0xFFFD;

void AppendNumber(std::string& out, long long value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

// Decodes the UTF-8 sequence at the start of text (which is not empty) and
// sets length to the bytes it takes; an invalid sequence gives U+FFFD and
// length 1, so that the next byte is read again.
char32_t DecodeUtf8(std::string_view text, std::size_t& length) {
  const auto lead = static_cast<unsigned char>(text[0]);
  length = 1;
  if (lead < 0x80) return lead;
  std::size_t followers = 0;
  char32_t character = 0;
  char32_t lowest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    followers = 1, character = lead & 0x1F, lowest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    followers = 2, character = lead & 0x0F, lowest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    followers = 3, character = lead & 0x07, lowest = 0x10000;
  } else {
    return kReplacementCharacter;
  }
  if (text.size() <= followers) return kReplacementCharacter;
  for (std::size_t index = 1; index <= followers; ++index) {
    const auto follower = static_cast<unsigned char>(text[index]);
    if ((follower & 0xC0) != 0x80) return kReplacementCharacter;
    character = (character << 6) | (follower & 0x3F);
  }
  if (character < lowest || character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF)) {
    return kReplacementCharacter;
  }
  length = followers + 1;
  return character;
}

// "\uN?" with N the code unit read as a signed 16-bit number.
void AppendUnicodeEscape(std::string& out, char32_t code_unit) {
  out += "\\u";
  AppendNumber(out, static_cast<std::int16_t>(static_cast<std::uint16_t>(code_unit)));
  out += '?';
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
    std::size_t length = 0;
    const char32_t code_point = DecodeUtf8(text.substr(index), length);
    index += length;
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
  AppendNumber(text, Version);
  text += '\\';
  text += Charset;
  text += "\\deff";
  AppendNumber(text, DefaultFont);
  text += "\\deftab";
  AppendNumber(text, DefaultTabWidth);
  return text;
}

std::string TRTFFontTableItem::Text() const {
  std::string text = "{\\f";
  AppendNumber(text, Number);
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
  AppendNumber(text, Red);
  text += "\\green";
  AppendNumber(text, Green);
  text += "\\blue";
  AppendNumber(text, Blue);
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
  AppendNumber(tag, index);
  tag += "\\fs";
  AppendNumber(tag, 2LL * font.Size);
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
  AppendNumber(tag, index);
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
