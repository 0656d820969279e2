#include "platform/text_utils.h"

#include <algorithm>
#include <set>

namespace velmora {

namespace {
char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }
}  // namespace

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t index = 0; index < a.size(); ++index) {
    if (LowerChar(a[index]) != LowerChar(b[index])) return false;
  }
  return true;
}

std::string UpperCase(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), UpperChar);
  return result;
}

std::string_view TrimLeft(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  return text.substr(start);
}

std::string_view TrimRight(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  return text.substr(0, end);
}

std::string_view Trim(std::string_view text) { return TrimRight(TrimLeft(text)); }

std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view search,
                                 std::string_view replacement) {
  if (search.empty()) return std::string(text);
  std::string result;
  result.reserve(text.size());
  std::size_t position = 0;
  while (position < text.size()) {
    if (position + search.size() <= text.size() &&
        SameText(text.substr(position, search.size()), search)) {
      result.append(replacement);
      position += search.size();
    } else {
      result.push_back(text[position]);
      ++position;
    }
  }
  return result;
}

std::string NumberedFileName(std::string_view file_name, long long number, int digits) {
  // The extension is the text after the last dot of the name part.
  const std::size_t slash = file_name.find_last_of('/');
  const std::size_t dot = file_name.find_last_of('.');
  std::string_view extension;
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
    extension = file_name.substr(dot);
  }
  // The name loses everything from the first occurrence of its extension on; the
  // search starts after the directory part so that a dotted directory stays whole.
  std::string_view stem = file_name;
  if (!extension.empty()) {
    const std::size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
    stem = file_name.substr(0, file_name.find(extension, name_start));
  }
  std::string number_text = std::to_string(number < 0 ? -number : number);
  const std::size_t width = static_cast<std::size_t>(std::max(digits, 0));
  if (number_text.size() < width) number_text.insert(0, width - number_text.size(), '0');
  if (number < 0) number_text.insert(0, 1, '-');
  std::string result(stem);
  result += number_text;
  result += extension;
  return result;
}

std::vector<std::string> UniqueNames(std::vector<std::string> names, bool ignore_case) {
  auto key = [ignore_case](const std::string& name) { return ignore_case ? UpperCase(name) : name; };
  std::set<std::string> own;
  for (const std::string& name : names) own.insert(key(name));
  std::set<std::string> taken;
  for (std::string& name : names) {
    if (taken.insert(key(name)).second) continue;
    for (int number = 2;; ++number) {
      std::string candidate = name + "_" + std::to_string(number);
      if (own.count(key(candidate)) == 0 && taken.insert(key(candidate)).second) {
        name = std::move(candidate);
        break;
      }
    }
  }
  return names;
}

}  // namespace velmora
