#pragma once

#include <string_view>

#include "platform/date_time.h"

namespace velmora {

// What a cell holds, as its field knows it.
enum TCellKind {
  ckNull,
  ckInteger,  // Text: the integer's digits as the source sent them ("-42", "007"; a bit field's value)
  ckDecimal,  // Text: an exact decimal number as sent ("-12.50", every digit of its scale)
  ckFloat,    // Text: a floating-point number as sent, the shortest that reads back ("1.5e-07")
  ckMoment,   // Moment and Fraction; Text: the source's text of it
  // A date, time or date-time with no moment: a zero or impossible date
  // ("0000-00-00", "2004-02-30"), a time beyond the clock ("838:59:59"). Text:
  // the source's text.
  ckInvalidMoment,
  ckBoolean,  // Truth
  ckText,     // Text: characters (UTF-8 from a server); from a text-only source, its text form
  ckBytes,    // Text: the bytes of a binary value
};

// One value of the current record, filled by its field without copying and
// without the locale: the views point into the source's buffers (or the
// field's own) and stay valid until the record changes. A display form is
// made of it by its column, which alone knows the export's formats and locale.
struct TCellValue {
  TCellKind Kind = ckNull;
  std::string_view Text;
  // A moment: the date-time value with the milliseconds of its fraction, and
  // the digits of fractional seconds the source wrote after its seconds
  // ("123456"; empty when none).
  TDateTime Moment = 0;
  std::string_view Fraction;
  bool Truth = false;

  bool IsNull() const { return Kind == ckNull; }
  // The value text stands for when it is given in its place (by a handler):
  // text, read in the locale's form where it is shown, viewing text; a date
  // with no moment stays one.
  TCellValue GivenAs(std::string_view text) const {
    TCellValue given = *this;
    given.Text = text;
    if (Kind != ckInvalidMoment) given.Kind = ckText;
    return given;
  }
  // A number of the source rather than text that may hold one.
  bool IsNumber() const { return Kind == ckInteger || Kind == ckDecimal || Kind == ckFloat; }
};

}  // namespace velmora
