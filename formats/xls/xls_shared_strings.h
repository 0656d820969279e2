#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The workbook's shared-string table: each distinct text once, in order of
// first use, its position the index cells refer to. A sheet of a million
// short distinct texts is common, so each text costs its bytes, one view and
// one slot of an open-addressing index, not a node of a hash map.
class TxlsSharedStrings {
 public:
  // The index of text (exact comparison, letter case included), added when new.
  std::uint32_t Add(std::string_view text);
  std::uint32_t Count() const { return static_cast<std::uint32_t>(texts_.size()); }
  void Clear();

  // Appends the SST record and its CONTINUE records. No record exceeds the
  // payload limit; a text is cut only between characters (never inside a
  // UTF-16 character or a surrogate pair, never inside its 3-byte head), and
  // each continued piece starts with its own option byte.
  void AppendRecords(std::string& out) const;

 private:
  static constexpr std::uint32_t kEmptySlot = 0xFFFFFFFF;
  // A slot of the index: a text's position and the tag of its hash.
  struct TSlot {
    std::uint32_t Index = kEmptySlot;
    std::uint32_t Tag = 0;
  };
  static std::uint32_t Tag(std::string_view text);
  // The slot of text, whose tag is given: the one holding its index, or the
  // empty one where it goes.
  std::size_t FindSlot(std::string_view text, std::uint32_t tag) const;
  void Grow();
  std::string_view Store(std::string_view text);

  std::vector<std::unique_ptr<char[]>> blocks_;  // the texts' bytes; blocks never move
  char* block_next_ = nullptr;                    // the free end of the last block
  std::size_t block_room_ = 0;                    // its size
  std::deque<std::string_view> texts_;            // in order of first use, into blocks_
  std::vector<TSlot> slots_;  // texts by hash; a power of two long
};

}  // namespace velmora
