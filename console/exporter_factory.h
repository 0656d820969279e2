#pragma once

#include <memory>

#include "engine/dataset.h"
#include "engine/tabulo.h"
#include "platform/ini_file.h"

namespace velmora {

// The exporter of one item together with the reading of the template sections
// that belong to its export type.
class TItemExporter {
 public:
  virtual ~TItemExporter() = default;
  virtual TTabuloText& Exporter() = 0;
  // Reads the format sections of the export type onto the exporter; runs after
  // the general sections, with the data set open.
  virtual void ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) = 0;
};

// Creates the exporter of an export type (0..12) with its defaults. Raises
// EVelmoraError "Export type %d (%s) is not available" for a type that has no
// exporter in this build.
std::unique_ptr<TItemExporter> CreateItemExporter(int export_type);

}  // namespace velmora
