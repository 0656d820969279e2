#pragma once

#include <string>

#include "platform/locale_settings.h"

namespace velmora {

// The date and time formats of a locale as the C library gives them, in
// strftime's notation.
struct TStrftimeFormats {
  std::string DateFormat;      // D_FMT, e.g. "%d.%m.%Y"
  std::string TimeFormat;      // T_FMT, e.g. "%H:%M:%S" or "%r"
  std::string TimeAmPmFormat;  // T_FMT_AMPM, what "%r" stands for
  std::string DateTimeFormat;  // D_T_FMT, the source of the long date
};

// Translates the formats into the pattern language of FormatDateTime and sets
// ShortDateFormat, LongDateFormat, ShortTimeFormat, LongTimeFormat, DateSeparator
// and TimeSeparator. Date parts are joined by "/" and time parts by ":", which
// print the separators found between the parts. So that the short forms lose
// nothing, a two-digit year of the short date becomes a four-digit one and a
// time without seconds gets them. Empty formats leave the fields as they are.
void ApplyStrftimeFormats(const TStrftimeFormats& formats, TFormatSettings& settings);

}  // namespace velmora
