#pragma once

#include <string_view>

#include "engine/dataset.h"
#include "engine/string_list.h"
#include "engine/tabulo.h"
#include "platform/ini_file.h"

namespace velmora {

// Fills target (cleared first) with the entries FIELD=value of the section whose
// FIELD equals a field name of the data set exactly, letter case included; an
// entry is added once per field of that name, entries naming no field are dropped.
void ReadKeyedSection(const TIniFile& template_file, std::string_view section, const TDataSet& data_set,
                      TStringList& target);

// Reads the sections every export type shares onto the exporter: GENERAL (record
// range; AllowCaptions for the formatted-text exporters only), FORMATS (after a
// reset to the initial formats), USER_FORMATS, FIELDS, HEADER, FOOTER and CAPTIONS.
// GENERAL's FileName and ExportType are not read here: they choose the exporter.
void ReadGeneralSections(const TIniFile& template_file, const TDataSet& data_set, TTabulo& exporter);

}  // namespace velmora
