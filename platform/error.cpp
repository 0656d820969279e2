#include "platform/error.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace velmora {

std::string Format(const char* pattern, ...) {
  va_list args;
  va_start(args, pattern);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, pattern, copy);
  va_end(copy);
  std::string result;
  if (length > 0) {
    result.resize(static_cast<std::size_t>(length));
    std::vsnprintf(result.data(), result.size() + 1, pattern, args);
  }
  va_end(args);
  return result;
}

std::string SystemErrorText(int error_number) {
  char buffer[256];
  // GNU strerror_r may return a static string instead of filling the buffer.
  const char* text = strerror_r(error_number, buffer, sizeof buffer);
  return text;
}

void RaiseSystemError(const std::string& what, int error_number) {
  throw EVelmoraError(what + ": " + SystemErrorText(error_number));
}

}  // namespace velmora
