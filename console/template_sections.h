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

// True when an item of that export type and template can take its rows as the
// server sends them: the template does not ask for the stored mode (GENERAL
// StoreResult=1) and the export, set up as the template says, never moves back
// (TTabulo::MovesBack). A template the exporter refuses gives false; the item's
// export reports the refusal.
bool StreamsRows(int export_type, const std::string& item_name, const TIniFile& template_file);

}  // namespace velmora
