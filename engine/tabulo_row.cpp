#include "engine/tabulo_row.h"

#include "engine/tabulo_columns.h"
#include "platform/text_utils.h"

namespace velmora {

void TTabuloRow::Clear() {
  cells_.clear();
}

TTabuloCol& TTabuloRow::Add(std::string_view name, int column_index) {
  TTabuloCol& cell = cells_.emplace_back();
  cell.Name = std::string(Trim(name));
  cell.ColumnIndex = column_index;
  // Cells live in a vector: re-point every cell at this row after a reallocation.
  for (TTabuloCol& each : cells_) each.Row = this;
  return cell;
}

void TTabuloRow::GiveTexts(const TTabuloColumns& columns) {
  for (TTabuloCol& cell : cells_) {
    cell.Data.clear();
    columns[cell.ColumnIndex].AppendTextForm(cell.Value, cell.Data);
  }
  texts_given_ = true;
}

void TTabuloRow::TakeTexts() {
  if (!texts_given_) return;
  texts_given_ = false;
  for (TTabuloCol& cell : cells_) {
    if (cell.Value.IsNull()) continue;
    cell.Source = cell.Data;
    cell.Value = cell.Value.GivenAs(cell.Source);
  }
}

}  // namespace velmora
