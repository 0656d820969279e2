// Statement preparation, version numbers and name quoting over any text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mysql/statement_text.h"
#include "platform/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    velmora::PrepareStatement(text);
  } catch (const velmora::EVelmoraError&) {
    // "Empty Query" is the one failure a text can cause.
  }
  velmora::ServerVersionNumber(text);
  velmora::QuoteTableName(text, 100000);
  velmora::TablesInFromClause(text);
  return 0;
}
