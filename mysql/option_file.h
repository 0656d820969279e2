#pragma once

#include <map>
#include <string>
#include <string_view>

namespace velmora {

// The entries of one group of a MySQL option file: keys in lower case with
// "-" for "_", values unquoted and unescaped; a key without "=" has an empty
// value. When a key occurs twice, the later entry counts, as in the client.
using TOptionGroup = std::map<std::string, std::string>;

// The entries of every section named group (any letter case) in the text of
// an option file. Lines starting with "#" or ";" are comments, and so is an
// unquoted " #" to the end of the line; a value may be quoted with ' or ".
// Directives ("!include", "!includedir") are not followed.
TOptionGroup ParseOptionGroup(std::string_view text, std::string_view group);

// ParseOptionGroup of a file. Raises "Cannot read option file %s: <reason>"
// when it does not exist, and a message naming it when it cannot be read.
TOptionGroup ReadOptionGroup(const std::string& path, std::string_view group);

// True when users other than the file's owner may read it.
bool ReadableByOthers(const std::string& path);

}  // namespace velmora
