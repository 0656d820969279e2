#include "platform/utf8.h"

#include <cstdint>
#include <cstring>

namespace velmora {

namespace {

bool IsContinuation(unsigned char byte, unsigned char lowest = 0x80, unsigned char highest = 0xBF) {
  return byte >= lowest && byte <= highest;
}

constexpr TUtf8Sequence Invalid(int length) {
  return {kReplacementCharacter, length, false};
}

}  // namespace

TUtf8Sequence DecodeUtf8(std::string_view text, std::size_t position) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data()) + position;
  const std::size_t available = text.size() - position;
  const unsigned char lead = bytes[0];
  if (lead < 0x80) return {lead, 1, true};

  int length = 0;
  char32_t code_point = 0;
  // The second byte's range is narrower after some leads: that is what rules
  // out overlong forms (E0, F0), surrogates (ED) and code points past U+10FFFF (F4).
  unsigned char second_lowest = 0x80;
  unsigned char second_highest = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code_point = lead & 0x0F;
    if (lead == 0xE0) second_lowest = 0xA0;
    if (lead == 0xED) second_highest = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code_point = lead & 0x07;
    if (lead == 0xF0) second_lowest = 0x90;
    if (lead == 0xF4) second_highest = 0x8F;
  } else {
    return Invalid(1);  // a continuation byte, C0, C1 or F5..FF
  }

  for (int index = 1; index < length; ++index) {
    if (static_cast<std::size_t>(index) >= available) return Invalid(index);
    const bool fits =
        index == 1 ? IsContinuation(bytes[1], second_lowest, second_highest) : IsContinuation(bytes[index]);
    if (!fits) return Invalid(index);
    code_point = (code_point << 6) | (bytes[index] & 0x3F);
  }
  return {code_point, length, true};
}

std::size_t AsciiRunLength(std::string_view text, std::size_t position) {
  const std::size_t start = position;
  // Eight bytes at a time: long ASCII texts are the common case.
  while (text.size() - position >= 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + position, 8);
    if ((word & 0x8080808080808080ull) != 0) break;
    position += 8;
  }
  while (position < text.size() && static_cast<unsigned char>(text[position]) < 0x80) ++position;
  return position - start;
}

std::size_t Utf8Length(std::string_view text) {
  std::size_t characters = 0;
  std::size_t position = 0;
  while (position < text.size()) {
    const std::size_t ascii = AsciiRunLength(text, position);
    characters += ascii;
    position += ascii;
    if (position == text.size()) break;
    position += static_cast<std::size_t>(DecodeUtf8(text, position).Length);
    ++characters;
  }
  return characters;
}

std::string_view Utf8Prefix(std::string_view text, std::size_t characters) {
  if (text.size() <= characters) return text;  // no more characters than bytes
  std::size_t position = 0;
  for (std::size_t count = 0; count < characters && position < text.size(); ++count) {
    position += static_cast<std::size_t>(DecodeUtf8(text, position).Length);
  }
  return text.substr(0, position);
}

void AppendUtf8(std::string& out, char32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

std::size_t AppendSanitizedUtf8(std::string& out, std::string_view text) {
  std::size_t replaced = 0;
  std::size_t run_start = 0;  // start of the valid bytes not yet appended
  std::size_t position = 0;
  while (position < text.size()) {
    position += AsciiRunLength(text, position);
    if (position == text.size()) break;
    const TUtf8Sequence sequence = DecodeUtf8(text, position);
    if (!sequence.Valid) {
      out.append(text, run_start, position - run_start);
      out += kReplacementCharacterUtf8;
      ++replaced;
      run_start = position + static_cast<std::size_t>(sequence.Length);
    }
    position += static_cast<std::size_t>(sequence.Length);
  }
  out.append(text, run_start, text.size() - run_start);
  return replaced;
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t position = 0; position < text.size();) {
    position += AsciiRunLength(text, position);
    if (position >= text.size()) break;
    const TUtf8Sequence sequence = DecodeUtf8(text, position);
    if (!sequence.Valid) return false;
    position += static_cast<std::size_t>(sequence.Length);
  }
  return true;
}

}  // namespace velmora
