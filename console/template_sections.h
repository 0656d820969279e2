#pragma once

#include "engine/dataset.h"
#include "engine/tabulo.h"
#include "platform/ini_file.h"

namespace velmora {

// Reads the sections every export type shares onto the exporter: GENERAL (record
// range; AllowCaptions for the formatted-text exporters only), FORMATS (after a
// reset to the initial formats), USER_FORMATS, FIELDS, HEADER, FOOTER and CAPTIONS.
// GENERAL's FileName and ExportType are not read here: they choose the exporter.
void ReadGeneralSections(const TIniFile& template_file, const TDataSet& data_set, TTabulo& exporter);

}  // namespace velmora
