#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// An ordered list of text lines; lines of the form name=value make it a keyed
// list (captions, widths, alignments, formats keyed by field name).
class TStringList {
 public:
  TStringList() = default;
  TStringList(std::initializer_list<std::string> lines) : lines_(lines) {}

  void Add(std::string line) { lines_.push_back(std::move(line)); }
  void Clear() { lines_.clear(); }
  int Count() const { return static_cast<int>(lines_.size()); }
  bool Empty() const { return lines_.empty(); }
  const std::string& operator[](int index) const { return lines_.at(static_cast<std::size_t>(index)); }
  const std::vector<std::string>& Lines() const { return lines_; }
  auto begin() const { return lines_.begin(); }
  auto end() const { return lines_.end(); }

  // Finds the first line whose name (the text before the first "=") equals name
  // without regard to letter case; stores the text after the "=" in value.
  // Lines without "=" never match.
  bool FindValue(std::string_view name, std::string& value) const;

 private:
  std::vector<std::string> lines_;
};

}  // namespace velmora
