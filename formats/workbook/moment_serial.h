#pragma once

#include <cstdint>
#include <string_view>

#include "platform/date_time.h"

namespace velmora {

// A moment to the microsecond: the day (0 = 30 December 1899) and the
// microseconds since its midnight.
struct TMicroMoment {
  std::int64_t Day = 0;
  std::int64_t Microsecond = 0;
};

// The moment of a date-time value that holds the milliseconds of its
// fraction, with the further digits of that fraction (fraction_digits as the
// source wrote them, "123456"; digits past the sixth are cut off, as the
// milliseconds are).
TMicroMoment MicroMomentOf(TDateTime value, std::string_view fraction_digits);

// The workbook serial number of a moment: days since 31 December 1899 in the
// spreadsheet's calendar, which counts a 29 February 1900 that never was, so
// days from 1 March 1900 on keep their number and earlier days move back one
// (the time of day moves with its day). The nearest double to the exact
// value, which reads back to the same microsecond up to 5 June 2079 (later
// days leave a double fewer digits for the time; a moment never rounds into
// the next day). False for moments the calendar cannot show: before
// 31 December 1899, and its midnight.
bool SpreadsheetSerial(TMicroMoment moment, double& serial);

// The digits of fractional seconds that a TIME, DATETIME or TIMESTAMP column
// declares ("datetime(6)" gives 6); 0 when the declaration has none.
int DeclaredSecondsDigits(std::string_view declaration);

}  // namespace velmora
