#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

bool FileExists(const std::string& path);       // anything but a directory
bool DirectoryExists(const std::string& path);
// True when writing to path makes or replaces a regular file (it names one,
// or nothing yet), false for a device, a pipe or a directory.
bool IsRegularFileTarget(const std::string& path);
// Creates the directory with all missing parents; true when it exists afterwards.
// A path of PATH_MAX bytes or more is refused before anything is created.
bool ForceDirectories(const std::string& path);

// "dir/sub/name.ext": "dir/sub" (no trailing separator; "" without a directory part).
std::string ExtractFileDir(std::string_view path);
// "name.ext".
std::string ExtractFileName(std::string_view path);
// ".ext" of the name part, "" when it has none.
std::string ExtractFileExt(std::string_view path);
// Replaces (or appends) the extension of the name part; extension includes the dot.
std::string ChangeFileExt(std::string_view path, std::string_view extension);

// Reads a whole regular file of at most max_size bytes. Returns false when it
// does not exist. Raises EVelmoraError naming the file when it cannot be opened
// or read, is not a regular file (a directory, a pipe, a device) or is larger.
bool ReadWholeFile(const std::string& path, std::size_t max_size, std::string& content);

// Full path of the running program, and the current directory.
std::string ProgramPath();
std::string CurrentDirectory();

}  // namespace velmora
