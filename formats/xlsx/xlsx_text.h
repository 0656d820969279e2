#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

// Text in the parts of an Office Open XML workbook.

// Appends text as the content of an element (a cell's <t>, a page header):
// "&", "<" and ">" as entities; every invalid UTF-8 sequence as U+FFFD, as
// the binary workbook repairs it; the characters XML cannot carry or would
// change (controls other than TAB and LF, CR, NUL, U+FFFE, U+FFFF) as the
// format's escape "_xHHHH_"; and text that reads as such an escape keeps its
// underscore as "_x005F_", so that readers decoding the escapes get the text
// back as it was. Returns the UTF-16 units of the text itself.
std::size_t AppendElementText(std::string& out, std::string_view text);

// Appends text as the value of a double-quoted attribute: "&", "<", ">" and
// '"' as entities, invalid UTF-8 as U+FFFD, and the characters an attribute
// cannot carry as "_".
void AppendAttributeText(std::string& out, std::string_view text);

// True when the text begins or ends with white space, which an element then
// keeps only with xml:space="preserve".
bool NeedsPreservedSpace(std::string_view text);

// Appends the shortest text that reads back as the same double ("0.1",
// "1.7976931348623157E+308", "-0"), with an upper-case exponent mark; a whole
// number below 10^15 in its integer form ("1000000", not "1E+06").
void AppendNumber(std::string& out, double value);

}  // namespace velmora
