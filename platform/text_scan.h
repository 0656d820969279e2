#pragma once

#include <charconv>
#include <cstddef>
#include <string_view>
#include <system_error>

// Small scanning helpers shared by the parsers of numbers, dates and times.
namespace velmora::scan {

inline bool IsBlank(char character) {
  return character == ' ' || character == '\t';
}
inline bool IsDigit(char character) {
  return character >= '0' && character <= '9';
}

inline std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

inline bool ConsumeText(std::string_view text, std::size_t& position, std::string_view expected) {
  if (expected.empty() || text.substr(position, expected.size()) != expected) return false;
  position += expected.size();
  return true;
}

inline std::size_t SkipBlanks(std::string_view text, std::size_t position) {
  while (position < text.size() && IsBlank(text[position])) ++position;
  return position;
}

// Reads one to most_digits digits.
inline bool ReadNumber(std::string_view text, std::size_t& position, int most_digits, int& value,
                       int& digits) {
  value = 0;
  digits = 0;
  while (position < text.size() && digits < most_digits && IsDigit(text[position])) {
    value = value * 10 + (text[position++] - '0');
    ++digits;
  }
  return digits > 0;
}

inline char UpperAscii(char character) {
  return character >= 'a' && character <= 'z' ? static_cast<char>(character - 'a' + 'A') : character;
}

inline bool IsAsciiLetter(char character) {
  return UpperAscii(character) >= 'A' && UpperAscii(character) <= 'Z';
}

inline bool ConsumeNoCase(std::string_view text, std::size_t& position, std::string_view expected) {
  if (expected.empty() || text.size() - position < expected.size()) return false;
  for (std::size_t offset = 0; offset < expected.size(); ++offset) {
    if (UpperAscii(text[position + offset]) != UpperAscii(expected[offset])) return false;
  }
  position += expected.size();
  return true;
}

// A whole text as a non-negative or negative int; false when it is not one.
inline bool ParseWholeInt(std::string_view text, int& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end;
}

}  // namespace velmora::scan
