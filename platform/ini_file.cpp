#include "platform/ini_file.h"

#include <cstdint>

#include "platform/file_system.h"
#include "platform/text_utils.h"
#include "platform/value_format.h"

namespace velmora {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool TryParseHex(std::string_view digits, int& value) {
  if (digits.empty() || digits.size() > 8) return false;
  std::uint32_t result = 0;
  for (const char c : digits) {
    const int digit = HexDigit(c);
    if (digit < 0) return false;
    result = result * 16 + static_cast<std::uint32_t>(digit);
  }
  // Eight digits cover the whole 32 bits: "$FFFFFFFF" is -1, as colour values expect.
  value = static_cast<int>(result);
  return true;
}

bool TryParseDecimal(std::string_view text, int& value) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  std::int64_t result = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + (c - '0');
    if (result > 2147483648LL) return false;
  }
  if (negative) result = -result;
  if (result > 2147483647LL) return false;
  value = static_cast<int>(result);
  return true;
}

void AppendUtf8(std::uint32_t code, std::string& text) {
  if (code < 0x80) {
    text += static_cast<char>(code);
  } else if (code < 0x800) {
    text += static_cast<char>(0xC0 | (code >> 6));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    text += static_cast<char>(0xE0 | (code >> 12));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | (code >> 18));
    text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// UTF-16 bytes (the byte order mark removed) as UTF-8. A surrogate without its
// partner and an odd last byte become U+FFFD, so nothing is dropped unseen.
std::string Utf16ToUtf8(std::string_view bytes, bool big_endian) {
  constexpr std::uint32_t kReplacement = 0xFFFD;
  const auto unit_at = [&](std::size_t index) -> std::uint32_t {
    const std::uint32_t first = static_cast<unsigned char>(bytes[index]);
    const std::uint32_t second = static_cast<unsigned char>(bytes[index + 1]);
    return big_endian ? (first << 8 | second) : (second << 8 | first);
  };
  std::string text;
  text.reserve(bytes.size());
  std::size_t index = 0;
  for (; index + 1 < bytes.size(); index += 2) {
    std::uint32_t code = unit_at(index);
    if (code >= 0xD800 && code <= 0xDBFF && index + 3 < bytes.size()) {
      const std::uint32_t low = unit_at(index + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        index += 2;
      }
    }
    AppendUtf8(code >= 0xD800 && code <= 0xDFFF ? kReplacement : code, text);
  }
  if (index < bytes.size()) AppendUtf8(kReplacement, text);
  return text;
}

}  // namespace

bool TryParseIniInteger(std::string_view text, int& value) {
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    return TryParseHex(text.substr(2), value);
  }
  if (!text.empty() && text[0] == '$') return TryParseHex(text.substr(1), value);
  return TryParseDecimal(text, value);
}

TIniFile::TIniFile(const std::string& file_name) : file_name_(file_name) {
  std::string content;
  exists_ = ReadWholeFile(file_name, kMaxFileSize, content);
  if (exists_) Parse(content);
}

TIniFile TIniFile::FromText(std::string_view text) {
  TIniFile result;
  result.exists_ = true;
  result.Parse(text);
  return result;
}

void TIniFile::Parse(std::string_view text) {
  // Editors on other systems save "Unicode" files as UTF-16 with a byte order
  // mark; read as bytes, every other byte would be a NUL.
  std::string converted;
  const std::string_view mark = text.substr(0, 2);
  if (mark == "\xFF\xFE" || mark == "\xFE\xFF") {
    converted = Utf16ToUtf8(text.substr(2), mark == "\xFE\xFF");
    text = converted;
  }
  // UTF-8 files may start with a byte order mark too; left in place it would
  // hide the first section.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  TIniSection* current = nullptr;
  std::size_t position = 0;
  while (position < text.size()) {
    // Lines end in LF, CR LF or a lone CR.
    std::size_t end = text.find_first_of("\r\n", position);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(position, end - position));
    position = end;
    if (position < text.size() && text[position] == '\r') ++position;
    if (position < text.size() && text[position] == '\n') ++position;

    if (line.empty() || line.front() == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      sections_.push_back(TIniSection{std::string(Trim(line.substr(1, line.size() - 2))), {}});
      current = &sections_.back();
      continue;
    }
    if (current == nullptr) continue;
    TIniEntry entry;
    entry.Line = std::string(line);
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
      entry.HasValue = true;
      entry.Key = std::string(Trim(line.substr(0, equals)));
      entry.Value = std::string(Trim(line.substr(equals + 1)));
    }
    current->Entries.push_back(std::move(entry));
  }
}

const TIniSection* TIniFile::FindSection(std::string_view section) const {
  for (const TIniSection& candidate : sections_) {
    if (SameText(candidate.Name, section)) return &candidate;
  }
  return nullptr;
}

bool TIniFile::SectionExists(std::string_view section) const {
  return FindSection(section) != nullptr;
}

std::vector<std::string> TIniFile::SectionNames() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const TIniSection& section : sections_) names.push_back(section.Name);
  return names;
}

const TIniEntry* TIniFile::FindEntry(std::string_view section, std::string_view key) const {
  const TIniSection* found = FindSection(section);
  if (found == nullptr) return nullptr;
  for (const TIniEntry& entry : found->Entries) {
    if (entry.HasValue && SameText(entry.Key, key)) return &entry;
  }
  return nullptr;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view default_value) const {
  const TIniEntry* entry = FindEntry(section, key);
  return entry != nullptr ? entry->Value : std::string(default_value);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int default_value) const {
  const TIniEntry* entry = FindEntry(section, key);
  int value = 0;
  if (entry == nullptr || !TryParseIniInteger(entry->Value, value)) return default_value;
  return value;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool default_value) const {
  return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

double TIniFile::ReadFloat(std::string_view section, std::string_view key, double default_value) const {
  const TIniEntry* entry = FindEntry(section, key);
  double value = 0;
  if (entry == nullptr || entry->Value.empty() || !TryStrToFloat(entry->Value, value)) return default_value;
  return value;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> lines;
  const TIniSection* found = FindSection(section);
  if (found == nullptr) return lines;
  for (const TIniEntry& entry : found->Entries) {
    lines.push_back(entry.HasValue ? entry.Key + "=" + entry.Value : entry.Line);
  }
  return lines;
}

bool TIniFile::FindExactKey(std::string_view section, std::string_view key, std::string& value) const {
  const TIniSection* found = FindSection(section);
  if (found == nullptr) return false;
  for (const TIniEntry& entry : found->Entries) {
    if (entry.HasValue && entry.Key == key) {
      value = entry.Value;
      return true;
    }
  }
  return false;
}

}  // namespace velmora
