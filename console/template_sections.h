#pragma once

#include "engine/dataset.h"
#include "engine/export_format.h"
#include "engine/tabulo.h"
#include "platform/ini_file.h"

namespace velmora {

// Reads the sections every export type shares onto the exporter: GENERAL (record
// range; AllowCaptions for the formatted-text exporters only), FORMATS (after a
// reset to the initial formats), USER_FORMATS, FIELDS, HEADER, FOOTER and CAPTIONS.
// GENERAL's FileName and ExportType are not read here: they choose the exporter.
void ReadGeneralSections(const TIniFile& template_file, const TDataSet& data_set, TTabulo& exporter);

// True when an item of that format and template can take its rows as the
// server sends them: the template does not ask for the stored mode (GENERAL
// StoreResult=1) and the format, with the template's settings, reads nothing
// ahead (TExportFormat::ReadsAhead). A template the format refuses gives
// false; the item's export reports the refusal.
bool StreamsRows(const TExportFormat& format, const TIniFile& template_file);

// How an item's result reaches its export.
enum TResultMode {
  rmStreamed,  // row by row as the server sends them
  rmSpooled,   // read whole into a spool file of the temporary directory first
  rmInMemory,  // read whole into memory first
};

// The mode of an item of that format and template: in memory when asked for
// (store_result, the Connection section's StoreResult=1, or the template's
// GENERAL StoreResult=1), streamed when StreamsRows says so, else spooled.
TResultMode ResultModeOf(const TExportFormat& format, const TIniFile& template_file, bool store_result);

}  // namespace velmora
