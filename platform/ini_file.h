#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// One line of a section: "key=value", or a line without "=" (HasValue false,
// Key empty, Line the whole text).
struct TIniEntry {
  std::string Key;
  std::string Value;
  std::string Line;  // the trimmed line as it stands in the file
  bool HasValue = false;
};

struct TIniSection {
  std::string Name;
  std::vector<TIniEntry> Entries;
};

// An INI-style file, read once and kept in memory: the parameter file and the
// template files. Section names and keys are compared without regard to
// letter case; when a section name or a key occurs twice, the first one counts.
// Any byte sequence parses; nothing in the text can make reading fail.
class TIniFile {
 public:
  // Settings files are small; anything larger is not one.
  static constexpr std::size_t kMaxFileSize = 16 * 1024 * 1024;

  TIniFile() = default;
  // Reads the whole file; a file that does not exist reads as empty (Exists()
  // is then false). Raises EVelmoraError naming the file when it exists but
  // cannot be read, is not a regular file or is larger than kMaxFileSize.
  explicit TIniFile(const std::string& file_name);

  // Text that starts with a UTF-16 byte order mark (either byte order) is read
  // as UTF-16, other text as UTF-8 or any 8-bit encoding.
  static TIniFile FromText(std::string_view text);

  const std::string& FileName() const { return file_name_; }
  bool Exists() const { return exists_; }

  bool SectionExists(std::string_view section) const;
  // Section names in file order, duplicates included.
  std::vector<std::string> SectionNames() const;
  // The first section of that name, or null.
  const TIniSection* FindSection(std::string_view section) const;

  // The value of the key, or default_value when the section or key is absent.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;
  // Decimal; "0x"/"0X" or "$" prefix: hexadecimal. Not a valid 32-bit integer: default_value.
  int ReadInteger(std::string_view section, std::string_view key, int default_value) const;
  // The value read as an integer (default 1 or 0); non-zero is true.
  bool ReadBool(std::string_view section, std::string_view key, bool default_value) const;
  // A decimal number in the locale's form; invalid or absent: default_value.
  double ReadFloat(std::string_view section, std::string_view key, double default_value) const;
  // The entries as lines key=value (a line without "=" as it stands), in file order.
  std::vector<std::string> ReadSection(std::string_view section) const;

  // The value of the first entry whose key equals key exactly, letter case included.
  bool FindExactKey(std::string_view section, std::string_view key, std::string& value) const;

 private:
  void Parse(std::string_view text);
  const TIniEntry* FindEntry(std::string_view section, std::string_view key) const;

  std::string file_name_;
  bool exists_ = false;
  std::vector<TIniSection> sections_;
};

// The integer rules of the INI reader: decimal with an optional sign, or
// hexadecimal after "0x"/"0X" or "$" (up to 8 digits, taken as 32 bits).
bool TryParseIniInteger(std::string_view text, int& value);

}  // namespace velmora
