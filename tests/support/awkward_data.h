// One awkward data set that every format's tests run through: texts that
// break naive escaping, quoting, line handling or decoding, numbers no double
// holds, and dates with no calendar form.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"

namespace velmora::testsupport {

// One awkward text: what it probes, its bytes, and the text a reader that
// replaces each invalid UTF-8 byte by U+FFFD gives back (equal to Bytes for
// valid UTF-8). Every invalid sequence is one byte long, so that every
// decoder, however it groups bytes, replaces it once.
struct TAwkwardText {
  std::string Name;
  std::string Bytes;
  std::string Decoded;
};

// The texts, in record order. None starts or ends with a blank.
const std::vector<TAwkwardText>& AwkwardTexts();
// The awkward text of that name; throws std::out_of_range for an unknown name.
const TAwkwardText& AwkwardText(const std::string& name);

// The fields of the awkward data set, in order: ID (integer), TEXT (string),
// BIG (64-bit integer beyond 2^53), EXACT (DECIMAL(65,30) digits), DOUBLE
// (the extremes of a double), DAY (date: zero, impossible and edge dates),
// MOMENT (date and time), FLAG (boolean).
enum TAwkwardField { afId, afText, afBig, afExact, afDouble, afDay, afMoment, afFlag, afFieldCount };

// Declares the fields in data and appends one record per awkward text but
// those named in left_out (the other fields cycle through their awkward
// values), then a record whose every value but ID is NULL. Leaves data open.
void FillAwkwardData(TMemoryDataSet& data, const std::vector<std::string>& left_out = {});
// The records FillAwkwardData appends when it leaves nothing out.
int AwkwardRecordCount();
// The UserFormats lines that show every number field of the set in its plain
// form (every digit, no grouping), as readers compare numbers.
std::vector<std::string> AwkwardPlainNumbers();

// Rows of texts: the captions, then one row per record.
using TTextTable = std::vector<std::vector<std::string>>;
// The field names, then every record's values as the data set's text form,
// each passed through as_read when given, NULL as null_text: what a reader of
// an export should give back.
TTextTable TextTable(TDataSet& data, const std::function<std::string(const std::string&)>& as_read = {},
                     const std::string& null_text = "");

// The text with each invalid UTF-8 byte of an awkward text replaced by U+FFFD.
std::string Decoded(const std::string& text);
// What a format or its reader makes of awkward texts, by name, where that is
// not Decoded: a test's record of what the format replaces.
using TReadForms = std::map<std::string, std::string>;
// The form in forms of the awkward text whose bytes text is, else Decoded(text).
std::string AsRead(const std::string& text, const TReadForms& forms);
// A C-form number in the general form that formats for people show with an
// empty format: as it stands without an exponent, else with 15 significant
// digits and an exponent without "+" or leading zeros ("1.7976931348623157e308"
// as "1.79769313486232E308").
std::string GeneralFloat(const std::string& number);
// The table with the DOUBLE values in their general form.
TTextTable WithGeneralDoubles(TTextTable table);
// The text with every CR LF, LF CR and lone CR as LF: a line break as most
// readers give it back.
std::string WithLfBreaks(const std::string& text);

}  // namespace velmora::testsupport
