// Any bytes make a parameter or template file: reading it must never fail.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const velmora::TIniFile file = velmora::TIniFile::FromText(text);
  for (const std::string& section : file.SectionNames()) {
    file.ReadSection(section);
    file.ReadString(section, "Host", "");
    file.ReadInteger(section, "Port", 0);
    file.ReadBool(section, "AllowCaptions", true);
    file.ReadFloat(section, "ColSpacing", 0.0);
  }
  return 0;
}
