#include "engine/tabulo_row.h"

#include <algorithm>

#include "platform/text_utils.h"

namespace velmora {

void TTabuloRow::Clear() {
  cells_.clear();
  name_index_.clear();
}

TTabuloCol& TTabuloRow::Add(std::string_view name, int column_index) {
  TTabuloCol& cell = cells_.emplace_back();
  cell.Name = std::string(Trim(name));
  cell.ColumnIndex = column_index;
  // Cells live in a vector: re-point every cell at this row after a reallocation.
  for (TTabuloCol& each : cells_) each.Row = this;
  const std::pair<std::string, int> entry(cell.Name, Count() - 1);
  // Keep the first cell of a name first among equals.
  name_index_.insert(std::upper_bound(name_index_.begin(), name_index_.end(), entry,
                                      [](const auto& a, const auto& b) { return a.first < b.first; }),
                     entry);
  return cell;
}

TTabuloCol* TTabuloRow::CellByName(std::string_view name) {
  const auto found = std::lower_bound(name_index_.begin(), name_index_.end(), name,
                                      [](const auto& entry, std::string_view key) { return entry.first < key; });
  if (found == name_index_.end() || found->first != name) return nullptr;
  return &cells_[static_cast<std::size_t>(found->second)];
}

}  // namespace velmora
