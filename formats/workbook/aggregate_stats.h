#pragma once

#include <algorithm>
#include <limits>

#include "formats/workbook/workbook_sink.h"
#include "formats/xls/xls_styles.h"

namespace velmora {

// What an aggregate would compute over the numbers of its column: the cached
// result of its formula, and the value the aggregate row holds instead of a
// formula once the data rows continued on another sheet.
struct TAggregateStats {
  long long Count = 0;
  double Sum = 0;
  double Min = std::numeric_limits<double>::infinity();
  double Max = -std::numeric_limits<double>::infinity();

  void Add(double value) {
    ++Count;
    Sum += value;
    Min = std::min(Min, value);
    Max = std::max(Max, value);
  }
  TFormulaResult Result(TxlsAggregate aggregate) const {
    TFormulaResult result;
    switch (aggregate) {
      case aggSum: result.Value = Sum; break;
      case aggAvg:
        result.DivisionByZero = Count == 0;
        result.Value = Count == 0 ? 0 : Sum / static_cast<double>(Count);
        break;
      case aggMin: result.Value = Count == 0 ? 0 : Min; break;
      case aggMax: result.Value = Count == 0 ? 0 : Max; break;
      case aggNone: break;
    }
    return result;
  }
};

}  // namespace velmora
