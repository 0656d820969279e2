#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// ASCII letter case only: names of fields, sections and keys are compared this way.
bool SameText(std::string_view a, std::string_view b);
std::string UpperCase(std::string_view text);
// Removes leading and trailing blanks and control characters (codes 0..32).
std::string_view Trim(std::string_view text);
std::string_view TrimLeft(std::string_view text);
std::string_view TrimRight(std::string_view text);

// Scans from the left and replaces every occurrence of search, letter case
// ignored, by replacement; replaced parts are not scanned again.
std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view search,
                                 std::string_view replacement);

// The names with the later of equal ones numbered "_2", "_3" ... so that every
// one is distinct; a numbered name never takes a name another one has of its
// own. With ignore_case, names equal but for ASCII letter case are equal.
std::vector<std::string> UniqueNames(std::vector<std::string> names, bool ignore_case);

// "out.html", 3, 4 gives "out0003.html": the extension is taken off (from its first
// occurrence on), the number appended with at least digits digits, the extension put back.
std::string NumberedFileName(std::string_view file_name, long long number, int digits);

}  // namespace velmora
