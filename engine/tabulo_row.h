#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora {

class TTabuloRow;

// One cell of the export row.
class TTabuloCol {
 public:
  std::string Name;  // the column's field name, trimmed
  std::string Data;  // the cell text
  int ColumnIndex = -1;
  TTabuloRow* Row = nullptr;
};

// The current record as cells, one per column in column order, with an index
// of the cell names.
class TTabuloRow {
 public:
  TTabuloRow() = default;
  TTabuloRow(const TTabuloRow&) = delete;
  TTabuloRow& operator=(const TTabuloRow&) = delete;

  int Count() const { return static_cast<int>(cells_.size()); }
  TTabuloCol& operator[](int index) { return cells_.at(static_cast<std::size_t>(index)); }
  const TTabuloCol& operator[](int index) const { return cells_.at(static_cast<std::size_t>(index)); }
  auto begin() { return cells_.begin(); }
  auto end() { return cells_.end(); }

  void Clear();
  TTabuloCol& Add(std::string_view name, int column_index);
  // The first cell of that name, or null.
  TTabuloCol* CellByName(std::string_view name);

 private:
  std::vector<TTabuloCol> cells_;
  std::vector<std::pair<std::string, int>> name_index_;  // sorted by name
};

}  // namespace velmora
