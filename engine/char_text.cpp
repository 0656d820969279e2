#include "engine/char_text.h"

namespace velmora {

bool TryTextToChar(std::string_view text, char& character) {
  if (text.size() == 1) {
    character = text.front();
    return true;
  }
  if (text.size() < 2 || text.front() != '#') return false;
  int code = 0;
  for (const char digit : text.substr(1)) {
    if (digit < '0' || digit > '9') return false;
    code = code * 10 + (digit - '0');
    // Codes beyond one byte name no character of the 8-bit output.
    if (code > 255) return false;
  }
  character = static_cast<char>(static_cast<unsigned char>(code));
  return true;
}

char TextToChar(std::string_view text) {
  char character = '\0';
  return TryTextToChar(text, character) ? character : '\0';
}

std::string CharToText(char character) {
  const unsigned char code = static_cast<unsigned char>(character);
  if (code >= 33 && code <= 127) return std::string(1, character);
  std::string text(1, '#');
  text += std::to_string(code);
  return text;
}

}  // namespace velmora
