#pragma once

#include <memory>

#include "engine/tabulo.h"

namespace velmora {

// Creates the exporter of an export type (0..14) with the defaults of its
// format; the exporter reads its own template sections (ReadFormatSections).
// Raises EVelmoraError "Export type %d (%s) is not available" for a type that
// has no exporter in this build.
std::unique_ptr<TTabuloText> CreateExporter(int export_type);

}  // namespace velmora
