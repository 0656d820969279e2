#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/dataset.h"

namespace velmora {

// A data set held in memory: fields declared up front, records of optional
// texts (nullopt is SQL NULL). Used by tests and benchmarks of the exporters.
class TMemoryDataSet : public TDataSet {
 public:
  using TRecord = std::vector<std::optional<std::string>>;

  // Declares a field; DisplayLabel is the name, DisplayWidth the size (10 when 0).
  TField& AddField(const std::string& name, TFieldType type, int size = 0);
  void AppendRecord(TRecord record);
  void ClearRecords() { records_.clear(); }
  int RecordCount() const { return static_cast<int>(records_.size()); }
  // The 0-based record under the cursor (RecordCount() when at the end).
  int RecordIndex() const { return current_; }

  void Open() override;
  void Close() override;
  bool Active() const override { return active_; }
  bool IsEmpty() const override { return records_.empty(); }
  void First() override;
  void Next() override;
  bool Eof() const override { return eof_; }
  TBookmark GetBookmark() override;
  void GotoBookmark(TBookmark bookmark) override;
  void FreeBookmark(TBookmark bookmark) override;
  // Bookmarks taken and not yet freed.
  int OpenBookmarks() const { return open_bookmarks_; }

  // Records kept at hand as a streamed result keeps its first rows: a pass
  // that reads ahead stops at the last of them. 0: all.
  int KeptRecords = 0;
  bool CanMoveOnAndBack() const override { return KeptRecords == 0 || RecordIndex() + 1 < KeptRecords; }

 private:
  class TMemoryField;
  const std::optional<std::string>& Value(int field_index) const;

  std::vector<TRecord> records_;
  int current_ = 0;
  bool eof_ = true;
  bool active_ = false;
  int open_bookmarks_ = 0;
};

}  // namespace velmora
