#include "formats/xlsx/xlsx_text.h"

#include <charconv>
#include <cmath>

#include "platform/utf8.h"

namespace velmora {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsHex(char character) {
  return (character >= '0' && character <= '9') || (character >= 'A' && character <= 'F') ||
         (character >= 'a' && character <= 'f');
}

void AppendEscape(std::string& out, unsigned code) {
  out += "_x";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHexDigits[(code >> shift) & 0xF];
  out += '_';
}

// True for "_xHHHH_" at text[position], a text a reader would decode.
bool ReadsAsEscape(std::string_view text, std::size_t position) {
  return position + 7 <= text.size() && text[position + 1] == 'x' && IsHex(text[position + 2]) &&
         IsHex(text[position + 3]) && IsHex(text[position + 4]) && IsHex(text[position + 5]) &&
         text[position + 6] == '_';
}

// Bytes that the ASCII loop copies as they are.
bool IsPlainElementByte(unsigned char byte) {
  return byte >= 0x20 && byte < 0x80 && byte != '&' && byte != '<' && byte != '>' && byte != '_';
}

}  // namespace

std::size_t AppendElementText(std::string& out, std::string_view text) {
  std::size_t units = 0;
  std::size_t position = 0;
  const std::size_t size = text.size();
  while (position < size) {
    // The common case: a run of ASCII that needs nothing, copied at once.
    std::size_t run = position;
    while (run < size && IsPlainElementByte(static_cast<unsigned char>(text[run]))) ++run;
    if (run > position) {
      out.append(text.data() + position, run - position);
      units += run - position;
      position = run;
      if (position == size) break;
    }
    const auto byte = static_cast<unsigned char>(text[position]);
    if (byte < 0x80) {
      ++units;
      ++position;
      switch (byte) {
        case '&':
          out += "&amp;";
          break;
        case '<':
          out += "&lt;";
          break;
        case '>':
          out += "&gt;";
          break;
        case '_':
          if (ReadsAsEscape(text, position - 1)) out += "_x005F";
          out += '_';
          break;
        case '\t':
        case '\n':
          out += static_cast<char>(byte);
          break;
        default:
          AppendEscape(out, byte);
          break;  // NUL, CR and the other controls
      }
      continue;
    }
    const TUtf8Sequence sequence = DecodeUtf8(text, position);
    if (!sequence.Valid) {
      out += kReplacementCharacterUtf8;
      ++units;
    } else if (sequence.CodePoint == 0xFFFE || sequence.CodePoint == 0xFFFF) {
      AppendEscape(out, sequence.CodePoint);
      ++units;
    } else {
      out.append(text.data() + position, static_cast<std::size_t>(sequence.Length));
      units += sequence.CodePoint >= 0x10000 ? 2 : 1;
    }
    position += static_cast<std::size_t>(sequence.Length);
  }
  return units;
}

void AppendAttributeText(std::string& out, std::string_view text) {
  std::size_t position = 0;
  while (position < text.size()) {
    const auto byte = static_cast<unsigned char>(text[position]);
    if (byte < 0x80) {
      ++position;
      switch (byte) {
        case '&':
          out += "&amp;";
          break;
        case '<':
          out += "&lt;";
          break;
        case '>':
          out += "&gt;";
          break;
        case '"':
          out += "&quot;";
          break;
        default:
          out += byte < 0x20 ? '_' : static_cast<char>(byte);
          break;
      }
      continue;
    }
    const TUtf8Sequence sequence = DecodeUtf8(text, position);
    if (!sequence.Valid) {
      out += kReplacementCharacterUtf8;
    } else if (sequence.CodePoint == 0xFFFE || sequence.CodePoint == 0xFFFF) {
      out += '_';
    } else {
      out.append(text.data() + position, static_cast<std::size_t>(sequence.Length));
    }
    position += static_cast<std::size_t>(sequence.Length);
  }
}

bool NeedsPreservedSpace(std::string_view text) {
  auto is_space = [](char character) {
    return character == ' ' || character == '\t' || character == '\n' || character == '\r';
  };
  return !text.empty() && (is_space(text.front()) || is_space(text.back()));
}

void AppendNumber(std::string& out, double value) {
  char digits[32];
  // Whole numbers (counts, keys, dates) are most cells: their integer form is
  // as exact and several times faster to make than the shortest form.
  if (value == std::trunc(value) && std::fabs(value) < 1e15 && !(value == 0 && std::signbit(value))) {
    const auto result = std::to_chars(digits, digits + sizeof digits, static_cast<long long>(value));
    out.append(digits, static_cast<std::size_t>(result.ptr - digits));
    return;
  }
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  for (char* at = digits; at != result.ptr; ++at) {
    if (*at == 'e') *at = 'E';
  }
  out.append(digits, static_cast<std::size_t>(result.ptr - digits));
}

}  // namespace velmora
