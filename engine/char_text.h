#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The text form of a single-character option in settings files. "" gives
// character 0, a one-character text that character, "#" and a decimal code
// (0..255) the character of that code; anything else gives character 0.
char TextToChar(std::string_view text);
// The strict reading of the same forms: one character, or "#" and a decimal code
// 0..255. False for anything else (an empty text, several characters, a code
// beyond 255), leaving character as it was.
bool TryTextToChar(std::string_view text, char& character);

// Characters 33..127 as themselves, every other one as "#" and its code ("#9", "#32").
std::string CharToText(char character);

}  // namespace velmora
