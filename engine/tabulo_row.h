#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/cell_value.h"

namespace velmora {

class TTabuloColumns;
class TTabuloRow;

// One cell of the export row.
class TTabuloCol {
 public:
  std::string Name;  // the column's field name, trimmed
  // The cell text: the text form of Value for an OnBeforeExportRow handler,
  // then, once the cell is exported, its export text (see CellExportText).
  std::string Data;
  int ColumnIndex = -1;
  TTabuloRow* Row = nullptr;
  // The value of the current record, filled from the column's field by the
  // record loop. After a handler read the row it is the handler's text.
  TCellValue Value;
  std::string Source;  // the handler's text that Value views
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

  // Gives a handler the row to read: each cell's Data becomes the text form
  // of its Value (columns: the export's, in cell order).
  void GiveTexts(const TTabuloColumns& columns);
  // After the handlers, a row given to them takes their texts: each value
  // not NULL becomes its cell's Data, read as text in the locale's form (as
  // a text-only source's would be); a date with no moment stays one. A row
  // not given changes nothing.
  void TakeTexts();

 private:
  std::vector<TTabuloCol> cells_;
  bool texts_given_ = false;
};

}  // namespace velmora
