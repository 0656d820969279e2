#pragma once

#include <array>
#include <memory>
#include <string_view>

namespace velmora {

class TIniFile;
class TTabuloText;

// One export format as the parameter and template files know it: the row a
// format's folder defines, collected by the registry (formats/format_registry.h).
struct TExportFormat {
  // The export type number of GENERAL's ExportType.
  int Number;
  // The short name of messages and of the exporter's file name in tests ("XLS", "JSON").
  std::string_view Name;
  // The last three characters of the file names that choose the format, any
  // letter case ("lsx" for .xlsx); unused places are empty.
  std::array<std::string_view, 2> Endings;
  // The exporter with the defaults of its format, before any template is read.
  std::unique_ptr<TTabuloText> (*Create)();
  // True when an export of this format, with the settings of the template
  // (its own sections only), reads records ahead and comes back to them, so
  // that its result must be stored whole. Needs no field of the result: the
  // answer comes before the result is opened. Raises EVelmoraError for a value
  // of those sections that cannot give a sound file.
  bool (*ReadsAhead)(const TIniFile& template_file);
};

// The ReadsAhead of a format whose template never changes the answer.
inline bool NeverReadsAhead(const TIniFile&) {
  return false;
}
inline bool AlwaysReadsAhead(const TIniFile&) {
  return true;
}

// The Create of an exporter class constructed with fixed arguments (none for most formats).
template <class Exporter, auto... Arguments>
std::unique_ptr<TTabuloText> CreateExporterOf() {
  return std::make_unique<Exporter>(Arguments...);
}

}  // namespace velmora
