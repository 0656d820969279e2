#include "engine/tabulo_row.h"

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

}  // namespace velmora
