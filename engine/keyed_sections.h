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

// WIDTH into ColumnsWidth, keyed as above.
void ReadWidthSection(const TIniFile& template_file, const TDataSet& data_set, TTabulo& exporter);
// ALIGN into ColumnsAlign, keyed as above.
void ReadAlignSection(const TIniFile& template_file, const TDataSet& data_set, TTabulo& exporter);

}  // namespace velmora
