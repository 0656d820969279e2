#include "engine/string_list.h"

#include "platform/text_utils.h"

namespace velmora {

bool TStringList::FindValue(std::string_view name, std::string& value) const {
  for (const std::string& line : lines_) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    if (SameText(std::string_view(line).substr(0, equals), name)) {
      value = line.substr(equals + 1);
      return true;
    }
  }
  return false;
}

}  // namespace velmora
