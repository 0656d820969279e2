#include "platform/text_escape.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>

#include "platform/decimal_number.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

// What a markup grammar escapes and what it cannot hold.
struct TMarkupGrammar {
  bool Xml;
  bool Attribute;
};

bool IsForbiddenControl(unsigned char byte, const TMarkupGrammar& grammar) {
  if (byte == '\t' || byte == '\n' || byte == '\r') return false;
  if (byte < 0x20) return grammar.Xml || byte != '\f';
  return !grammar.Xml && byte == 0x7F;
}

// Bytes at position of a character the grammar cannot hold although it takes
// more than one byte (XML: U+FFFE, U+FFFF; HTML: U+0080..U+009F); 0 for none.
std::size_t ForbiddenSequenceLength(std::string_view text, std::size_t position,
                                    const TMarkupGrammar& grammar) {
  auto byte = [&](std::size_t offset) {
    return position + offset < text.size() ? static_cast<unsigned char>(text[position + offset]) : 0;
  };
  if (grammar.Xml) return byte(0) == 0xEF && byte(1) == 0xBF && (byte(2) == 0xBE || byte(2) == 0xBF) ? 3 : 0;
  return byte(0) == 0xC2 && byte(1) >= 0x80 && byte(1) <= 0x9F ? 2 : 0;
}

// The entity or character reference for a byte; empty when it stays as it is.
std::string_view MarkupEscape(char character, const TMarkupGrammar& grammar) {
  switch (character) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return grammar.Attribute ? "&quot;" : "";
    case '\r':
      return grammar.Xml ? "&#13;" : "";
    case '\n':
      return grammar.Xml && grammar.Attribute ? "&#10;" : "";
    case '\t':
      return grammar.Xml && grammar.Attribute ? "&#9;" : "";
    default:
      return "";
  }
}

std::size_t AppendMarkup(std::string& out, std::string_view text, const TMarkupGrammar& grammar) {
  std::size_t replaced = 0;
  std::size_t run_start = 0;  // start of the bytes not yet appended
  std::size_t position = 0;
  while (position < text.size()) {
    std::string_view substitute = MarkupEscape(text[position], grammar);
    std::size_t width = 1;
    if (substitute.empty()) {
      const auto byte = static_cast<unsigned char>(text[position]);
      if (IsForbiddenControl(byte, grammar)) {
        width = 1;
      } else {
        width = byte >= 0xC2 ? ForbiddenSequenceLength(text, position, grammar) : 0;
      }
      if (width == 0) {
        ++position;
        continue;
      }
      substitute = kReplacementCharacterUtf8;
      ++replaced;
    }
    out.append(text, run_start, position - run_start);
    out += substitute;
    position += width;
    run_start = position;
  }
  out.append(text, run_start, text.size() - run_start);
  return replaced;
}

}  // namespace

void AppendQuoteDoubled(std::string& out, std::string_view text, char quote) {
  std::size_t start = 0;
  for (std::size_t found = text.find(quote); found != std::string_view::npos;
       found = text.find(quote, start)) {
    out.append(text, start, found + 1 - start);
    out += quote;
    start = found + 1;
  }
  out.append(text, start);
}

void AppendQuoted(std::string& out, std::string_view text, char quote) {
  out += quote;
  AppendQuoteDoubled(out, text, quote);
  out += quote;
}

std::size_t AppendXmlText(std::string& out, std::string_view text) {
  return AppendMarkup(out, text, {.Xml = true, .Attribute = false});
}

std::size_t AppendXmlAttribute(std::string& out, std::string_view text) {
  return AppendMarkup(out, text, {.Xml = true, .Attribute = true});
}

std::size_t AppendHtmlText(std::string& out, std::string_view text) {
  return AppendMarkup(out, text, {.Xml = false, .Attribute = false});
}

std::size_t AppendHtmlAttribute(std::string& out, std::string_view text) {
  return AppendMarkup(out, text, {.Xml = false, .Attribute = true});
}

namespace {

// True for a byte a string literal holds as it is: all but \, NUL, CR, LF
// and '. Every byte above ' but the backslash is, which most text is.
constexpr bool PlainInSqlString(unsigned char byte) {
  return byte > '\'' ? byte != '\\' : byte != '\0' && byte != '\r' && byte != '\n' && byte != '\'';
}

// The ASCII bytes a string literal holds as they are.
constexpr std::array<bool, 256> kPlainSqlAscii = [] {
  std::array<bool, 256> plain{};
  for (int byte = 0; byte < 0x80; ++byte) plain[static_cast<std::size_t>(byte)] = PlainInSqlString(byte);
  return plain;
}();

// True when the eight bytes at bytes are all ASCII a string literal holds as
// they are: none of the high half, none of the five escaped ones.
bool PlainSqlAsciiWord(const char* bytes) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  std::uint64_t word;
  std::memcpy(&word, bytes, 8);
  const auto holds = [word](unsigned char byte) {
    const std::uint64_t matches = word ^ (kOnes * byte);  // a zero byte where byte is
    return ((matches - kOnes) & ~matches & kHigh) != 0;
  };
  return (word & kHigh) == 0 && !holds('\\') && !holds('\0') && !holds('\r') && !holds('\n') && !holds('\'');
}

// The bytes at the start of text that are ASCII a string literal holds as
// they are, read eight at a time.
std::size_t PlainSqlAsciiRun(std::string_view text) {
  const std::size_t size = text.size();
  std::size_t position = 0;
  while (size - position >= 8 && PlainSqlAsciiWord(text.data() + position)) position += 8;
  // Fewer than eight bytes left of a longer text: its last eight, overlapping
  // bytes already taken, settle them at once.
  if (position < size && size >= 8 && size - position < 8 && PlainSqlAsciiWord(text.data() + size - 8)) {
    return size;
  }
  while (position < size && kPlainSqlAscii[static_cast<unsigned char>(text[position])]) ++position;
  return position;
}

}  // namespace

void AppendSqlString(std::string& out, std::string_view text) {
  out += '\'';
  const char* const end = text.data() + text.size();
  const char* run = text.data();
  for (;;) {
    const char* position = run + PlainSqlAsciiRun({run, static_cast<std::size_t>(end - run)});
    while (position != end && PlainInSqlString(static_cast<unsigned char>(*position))) ++position;
    out.append(run, static_cast<std::size_t>(position - run));
    if (position == end) break;
    std::string_view escape = "''";
    switch (*position) {
      case '\\':
        escape = "\\\\";
        break;
      case '\0':
        escape = "\\0";
        break;
      case '\r':
        escape = "\\r";
        break;
      case '\n':
        escape = "\\n";
        break;
      default:
        break;
    }
    out += escape;
    run = position + 1;
  }
  out += '\'';
}

bool AppendSqlStringIfUtf8(std::string& out, std::string_view text) {
  // Most values are ASCII with nothing to escape: one pass, one copy.
  const std::size_t plain = PlainSqlAsciiRun(text);
  if (plain == text.size()) {
    out += '\'';
    out += text;
    out += '\'';
    return true;
  }
  if (!IsValidUtf8(text.substr(plain))) return false;
  AppendSqlString(out, text);
  return true;
}

// ---------------------------------------------------------------------------
// JSON

namespace {

// The escape of an ASCII byte inside a JSON string; empty when it stays.
std::string_view JsonEscape(unsigned char byte, char (&buffer)[7]) {
  switch (byte) {
    case '"': return "\\\"";
    case '\\': return "\\\\";
    case '\b': return "\\b";
    case '\f': return "\\f";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: break;
  }
  if (byte >= 0x20) return {};
  static constexpr char kHex[] = "0123456789abcdef";
  buffer[0] = '\\';
  buffer[1] = 'u';
  buffer[2] = '0';
  buffer[3] = '0';
  buffer[4] = kHex[byte >> 4];
  buffer[5] = kHex[byte & 0xF];
  return {buffer, 6};
}

}  // namespace

std::size_t AppendJsonString(std::string& out, std::string_view text) {
  std::size_t replaced = 0;
  std::size_t run_start = 0;  // start of the bytes not yet appended
  std::size_t position = 0;
  char buffer[7];
  out += '"';
  while (position < text.size()) {
    const auto byte = static_cast<unsigned char>(text[position]);
    std::string_view substitute;
    std::size_t width = 1;
    if (byte < 0x80) {
      substitute = JsonEscape(byte, buffer);
    } else {
      const TUtf8Sequence sequence = DecodeUtf8(text, position);
      width = static_cast<std::size_t>(sequence.Length);
      if (!sequence.Valid) {
        substitute = kReplacementCharacterUtf8;
        ++replaced;
      }
    }
    if (substitute.empty()) {
      position += width;
      continue;
    }
    out.append(text, run_start, position - run_start);
    out += substitute;
    position += width;
    run_start = position;
  }
  out.append(text, run_start, text.size() - run_start);
  out += '"';
  return replaced;
}

bool IsJsonNumber(std::string_view text) {
  TDecimalParts parts;
  if (ScanDecimal(text, ".", parts) != text.size() || text.empty() || parts.Sign == '+') return false;
  // No digitless integer part, no leading zero, no point without digits after it.
  const std::string_view integer = parts.IntegerDigits;
  if (integer.empty() || (integer.size() > 1 && integer[0] == '0')) return false;
  return !parts.HasPoint || !parts.FractionDigits.empty();
}

// ---------------------------------------------------------------------------
// Style sheets

namespace {

// Appends text with the ASCII characters that are neither letters, digits
// nor in kept as CSS escapes: a backslash, the code in hexadecimal and a blank
// that ends the escape.
void AppendCssEscaped(std::string& out, std::string_view text, std::string_view kept) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (const char character : text) {
    const auto byte = static_cast<unsigned char>(character);
    if (byte >= 0x80 || std::isalnum(byte) || (byte != 0 && kept.find(character) != std::string_view::npos)) {
      out += character;
      continue;
    }
    out += '\\';
    if (byte >= 0x10) out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
    out += ' ';
  }
}

}  // namespace

void AppendCssFontFamily(std::string& out, std::string_view text) {
  AppendCssEscaped(out, text, " ,.-_'\"");
}

void AppendCssUrl(std::string& out, std::string_view text) {
  AppendCssEscaped(out, text, "-._~:/?#[]@!$&*+,;=%");
}

// ---------------------------------------------------------------------------
// Binary data

void AppendBase64(std::string& out, std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  out.reserve(out.size() + (bytes.size() + 2) / 3 * 4);
  std::size_t position = 0;
  for (; position + 3 <= bytes.size(); position += 3) {
    const std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[position])) << 16 |
                                static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[position + 1])) << 8 |
                                static_cast<unsigned char>(bytes[position + 2]);
    out += kAlphabet[group >> 18];
    out += kAlphabet[group >> 12 & 0x3F];
    out += kAlphabet[group >> 6 & 0x3F];
    out += kAlphabet[group & 0x3F];
  }
  const std::size_t rest = bytes.size() - position;
  if (rest == 0) return;
  std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[position])) << 16;
  if (rest == 2) group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[position + 1])) << 8;
  out += kAlphabet[group >> 18];
  out += kAlphabet[group >> 12 & 0x3F];
  out += rest == 2 ? kAlphabet[group >> 6 & 0x3F] : '=';
  out += '=';
}

void AppendHexBytes(std::string& out, std::string_view bytes) {
  if (bytes.empty()) return;
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out.reserve(out.size() + 2 + 2 * bytes.size());
  out += "0x";
  for (const char character : bytes) {
    const auto byte = static_cast<unsigned char>(character);
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
  }
}

}  // namespace velmora
