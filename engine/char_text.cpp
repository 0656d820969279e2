#include "engine/char_text.h"

namespace velmora {

char TextToChar(std::string_view text) {
  if (text.empty()) return '\0';
  if (text.size() == 1) return text.front();
  if (text.front() != '#') return '\0';
  int code = 0;
  for (const char digit : text.substr(1)) {
    if (digit < '0' || digit > '9') return '\0';
    code = code * 10 + (digit - '0');
    // Codes beyond one byte name no character of the 8-bit output.
    if (code > 255) return '\0';
  }
  return static_cast<char>(static_cast<unsigned char>(code));
}

std::string CharToText(char character) {
  const unsigned char code = static_cast<unsigned char>(character);
  if (code >= 33 && code <= 127) return std::string(1, character);
  std::string text(1, '#');
  text += std::to_string(code);
  return text;
}

}  // namespace velmora
