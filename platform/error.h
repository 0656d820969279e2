#pragma once

#include <stdexcept>
#include <string>

namespace velmora {

// The one exception type of the program. It carries the complete message text;
// the console is the only place that catches it and prints it.
class EVelmoraError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Fills a message pattern ("%s", "%d", ...) the way printf does.
std::string Format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

// The operating system's text for an errno value ("No space left on device").
std::string SystemErrorText(int error_number);

// Raises EVelmoraError with "WHAT: <system text of errno>".
[[noreturn]] void RaiseSystemError(const std::string& what, int error_number);

}  // namespace velmora
