#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/date_time.h"
#include "platform/decimal_number.h"

// Text forms of values as the server sends them.
namespace velmora {

// Appends the unsigned integer of a bit field's value, sent as up to eight
// bytes, most significant first (b'101' is "5").
void AppendBitText(std::string_view bytes, std::string& out);

// A date, date-time or compact timestamp text as a date-time value; fraction
// receives the digits of fractional seconds ("123456"), empty when none. False
// for a text that names no moment: a zero date ("0000-00-00"), a zero year,
// month or day, a day past the end of its month ("2004-02-30"), a time out of
// the clock, or a text not in the server's form.
bool TryMySqlTextToDateTime(std::string_view text, bool compact_timestamp, TDateTime& value,
                            std::string_view& fraction);
// As TryMySqlTextToDateTime, the moment as its day and the milliseconds of its
// time of day in whole seconds (the fraction is not counted in).
bool TryMySqlTextToDayAndTime(std::string_view text, bool compact_timestamp, TDayAndTime& moment,
                              std::string_view& fraction);

// True for a TIME text that is no time of day: negative, or 24 hours or more
// ("838:59:59", "-01:30:00"). Such a value's text is its AsString unchanged.
bool MySqlTimeOutsideDay(std::string_view text);

// A time text ("12:34:56", "838:59:59", "12:34:56.5", or a date and a time) as a
// time of day; hours are clamped to 0..23.
TDateTime MySqlTextToTime(std::string_view text, std::string_view& fraction);
// As MySqlTextToTime, the milliseconds of the time of day in whole seconds.
std::int64_t MySqlTimeMillisecond(std::string_view text, std::string_view& fraction);

}  // namespace velmora
