#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velmora {

// The workbook's shared-string table: each distinct text once, in order of
// first use, its position the index cells refer to.
class TxlsSharedStrings {
 public:
  // The index of text (exact comparison, letter case included), added when new.
  std::uint32_t Add(std::string_view text);
  std::uint32_t Count() const { return static_cast<std::uint32_t>(order_.size()); }
  void Clear();

  // The SST record and its CONTINUE records. No record exceeds the payload
  // limit; a text is cut only between characters (never inside a UTF-16
  // character or a surrogate pair, never inside its 3-byte head), and each
  // continued piece starts with its own option byte.
  std::string Records() const;

 private:
  std::unordered_map<std::string, std::uint32_t> lookup_;
  std::vector<const std::string*> order_;  // keys of lookup_, which stay in place
};

}  // namespace velmora
