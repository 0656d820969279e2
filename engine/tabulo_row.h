#pragma once

#include <string>
#include <string_view>
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
  // Data is still to be read from the field: the record loop leaves it so when
  // nothing reads the row before its cells are exported (see CellExportText).
  bool FromField = false;
  // Data has been through the exporter's EscapeText (NULL text, display forms).
  bool Escaped = false;
};

// The current record as cells, one per column in column order.
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

 private:
  std::vector<TTabuloCol> cells_;
};

}  // namespace velmora
