#pragma once

#include <string_view>
#include <vector>

#include "engine/tabulo_columns.h"

namespace velmora {

// The widest a column without a WIDTH entry gets from its values, in
// characters; longer texts show their start (or run into empty neighbours).
constexpr int kSheetWidthCap = 60;

// How many digit widths of the sheet's sans-serif default font a text takes:
// spreadsheet column widths count the width of the digit "0" of that font,
// while "W" takes about 1.7 of them and "i" 0.4. Latin, Greek and Cyrillic
// characters outside ASCII count like a capital, East Asian wide characters
// as two digits, combining marks as nothing. Rounded up.
int SheetTextChars(std::string_view text);

// The widths of one sheet's columns as the values show in the sheet's font:
// the width pass sets widths in monospaced cells; this widens a column
// without a WIDTH entry to the measured width of its caption and (up to the
// cap) its values, during the pass and for rows written after the rows the
// pass could read.
class TSheetWidths {
 public:
  // Before the width pass. cap 0: no limit, and every column measured (the
  // widths come from every value); otherwise the columns with a WIDTH entry
  // keep it.
  void Start(const TTabuloColumns& columns, int cap, bool bold_captions);
  // A value's display text (or the null text) of a column.
  void Measure(int column_index, std::string_view text);
  // True when a value of at most bound characters could widen the column.
  bool MayWiden(int column_index, std::size_t bound) const;
  // True when a value at most digit_widths digits wide could widen the column.
  bool MayWidenTo(int column_index, std::size_t digit_widths) const;
  // After the pass, and whenever rows were measured: makes each measured
  // column at least as wide as what was measured. True when a width changed.
  bool Apply(TTabuloColumns& columns);

  // The number of records the pass read; later records are measured as they
  // are written.
  int MeasuredRecords = 0;

 private:
  struct TMeasure {
    bool Measured = false;
    int Caption = 0;
    int Values = 0;
  };
  std::vector<TMeasure> measures_;
  int cap_ = 0;
};

}  // namespace velmora
