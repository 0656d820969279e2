#include "mysql/option_file.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

constexpr std::size_t kMaxOptionFileSize = 1024 * 1024;

std::string NormalizedKey(std::string_view key) {
  std::string normalized;
  for (const char character : key) {
    if (character == '_') {
      normalized += '-';
    } else if (character >= 'A' && character <= 'Z') {
      normalized += static_cast<char>(character - 'A' + 'a');
    } else {
      normalized += character;
    }
  }
  return normalized;
}

char EscapedCharacter(char code) {
  switch (code) {
    case 'n':
      return '\n';
    case 't':
      return '\t';
    case 'r':
      return '\r';
    case 'b':
      return '\b';
    case 's':
      return ' ';
    default:
      return code;  // "\\", "\"", "\'" and anything else stand for themselves
  }
}

// The value after "=": quoted up to the matching quote, else up to a comment
// that a blank introduces; backslash escapes resolved in both forms.
std::string ParseValue(std::string_view raw) {
  std::string_view text = Trim(raw);
  char quote = '\0';
  if (!text.empty() && (text.front() == '"' || text.front() == '\'')) {
    quote = text.front();
    text.remove_prefix(1);
  }
  std::string value;
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char character = text[index];
    if (quote != '\0' && character == quote) return value;
    if (quote == '\0' && character == '#' && index > 0 && (text[index - 1] == ' ' || text[index - 1] == '\t')) {
      break;
    }
    if (character == '\\' && index + 1 < text.size()) {
      value += EscapedCharacter(text[++index]);
    } else {
      value += character;
    }
  }
  return quote != '\0' ? value : std::string(TrimRight(value));
}

}  // namespace

TOptionGroup ParseOptionGroup(std::string_view text, std::string_view group) {
  TOptionGroup entries;
  bool in_group = false;
  std::size_t position = 0;
  while (position < text.size()) {
    std::size_t end = text.find('\n', position);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(position, end - position));
    position = end + 1;
    if (line.empty() || line.front() == '#' || line.front() == ';' || line.front() == '!') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      in_group = close != std::string_view::npos && SameText(Trim(line.substr(1, close - 1)), group);
      continue;
    }
    if (!in_group) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      entries[NormalizedKey(line)] = "";
    } else {
      entries[NormalizedKey(Trim(line.substr(0, equals)))] = ParseValue(line.substr(equals + 1));
    }
  }
  return entries;
}

TOptionGroup ReadOptionGroup(const std::string& path, std::string_view group) {
  std::string content;
  if (!ReadWholeFile(path, kMaxOptionFileSize, content)) {
    throw EVelmoraError(Format("Cannot read option file %s: %s", path.c_str(), SystemErrorText(ENOENT).c_str()));
  }
  return ParseOptionGroup(content, group);
}

bool ReadableByOthers(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return false;
  return (status.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

}  // namespace velmora
