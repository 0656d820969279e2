#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/output_stream.h"

namespace velmora {

// The workbook's shared-string table, in bounded memory at any size: each
// text's entry goes into the SST and CONTINUE records as soon as the text is
// first added, and records past a few hundred KiB move to a temporary file.
// A text met again is found among the texts of the current generation: its
// bytes and one slot of an open-addressing index each, not a node of a hash
// map. When a generation would pass the dedupe budget it is
// forgotten and a new one begins; a text seen only before that gets a second
// entry, which readers take like any other.
class TxlsSharedStrings {
 public:
  // The memory the texts of one generation may take (their bytes, views and
  // index slots).
  static constexpr std::size_t kDefaultDedupeBudget = std::size_t{4} << 20;

  explicit TxlsSharedStrings(std::size_t dedupe_budget = DedupeBudget());
  // The budget of the tables created from now on; 0 restores the default.
  static void SetDedupeBudgetForTesting(std::size_t budget);
  static std::size_t DedupeBudget();
  ~TxlsSharedStrings();

  // The index of text (exact comparison, letter case included), added when new.
  std::uint32_t Add(std::string_view text);
  // A new entry for text, without looking for it: for texts that are known
  // to repeat seldom.
  std::uint32_t AddEntry(std::string_view text);
  std::uint32_t Count() const { return count_; }
  void Clear();

  // The SST record and its CONTINUE records. No record exceeds the payload
  // limit; a text is cut only between characters (never inside a UTF-16
  // character or a surrogate pair, never inside its 3-byte head), and each
  // continued piece starts with its own option byte.
  std::int64_t RecordsSize() const;
  void AppendRecords(std::string& out);
  void WriteRecords(TOutputStream& out);

 private:
  static constexpr std::uint32_t kEmptySlot = 0xFFFFFFFF;
  // A slot of the index: a text's bytes, the tag of its hash and its index.
  struct TSlot {
    const char* Data = nullptr;
    std::uint32_t Size = 0;
    std::uint32_t Tag = 0;
    std::uint32_t Index = kEmptySlot;
  };
  static std::uint32_t Tag(std::string_view text);
  // The slot of text, whose tag is given: the one holding its index, or the
  // empty one where it goes.
  std::size_t FindSlot(std::string_view text, std::uint32_t tag) const;
  void Grow();
  void Forget();
  std::string_view Store(std::string_view text);
  // Adds a text's entry to the records.
  void AppendEntry(std::string_view text);
  // Completes the record being filled.
  void EndRecord();
  // Moves the completed records to the temporary file.
  void Spill();
  // Gives every byte of the records, the one being filled ended, to sink.
  template <class TSink>
  void EmitRecords(TSink&& sink);

  const std::size_t dedupe_budget_;
  // The current generation.
  std::vector<std::unique_ptr<char[]>> blocks_;  // the texts' bytes; blocks never move
  char* block_next_ = nullptr;                    // the free end of the last block
  std::size_t block_room_ = 0;                    // its size
  std::vector<TSlot> slots_;                      // texts by hash; a power of two long
  std::size_t generation_cost_ = 0;               // bytes of its blocks and slots
  std::uint32_t generation_count_ = 0;            // its texts
  std::uint32_t count_ = 0;
  // The records.
  std::string payload_;  // of the record being filled
  bool first_record_ = true;
  std::string records_;  // completed records not yet spilled
  std::unique_ptr<TOutputStream> spill_;
  std::u16string units_;  // scratch
  std::string body_;      // scratch
};

}  // namespace velmora
