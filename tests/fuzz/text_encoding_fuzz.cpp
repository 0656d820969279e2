// Any bytes a binary column may hold: repair gives valid UTF-8 of the same
// length in characters, the direct UTF-16 encoding agrees with the system
// converter's, and no encoder or escaping helper passes broken text on.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/error.h"
#include "platform/text_encoder.h"
#include "platform/text_escape.h"
#include "platform/utf8.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velmora;
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  std::string repaired;
  const std::size_t replaced = AppendSanitizedUtf8(repaired, input);
  Check(IsValidUtf8(repaired));
  Check(Utf8Length(repaired) == Utf8Length(input));
  Check((replaced == 0) == (repaired == input));
  Check(Utf8Prefix(input, Utf8Length(input)) == input);

  static TTextEncoder little("UTF-16LE", upReplace);
  static TTextEncoder big("UTF-16BE", upReplace);
  const std::string direct = little.Encode(input);
  std::string system = big.Encode(input);
  Check(direct.size() == system.size());
  for (std::size_t index = 0; index + 1 < system.size(); index += 2) std::swap(system[index], system[index + 1]);
  Check(direct == system);

  static TTextEncoder windows("WINDOWS-1252", upCharacterReference);
  static TTextEncoder strict("WINDOWS-1252", upError);
  windows.Encode(input);
  try {
    strict.Encode(input);
  } catch (const EVelmoraError&) {
  }

  std::string markup;
  AppendXmlAttribute(markup, repaired);
  Check(IsValidUtf8(markup));
  for (const char character : markup) {
    const auto byte = static_cast<unsigned char>(character);
    Check(byte >= 0x20);  // line breaks and tabs too are references in an attribute
  }
  std::string sql;
  AppendSqlString(sql, input);
  return 0;
}
