#pragma once

#include <string_view>

#include "engine/dataset.h"
#include "engine/string_list.h"
#include "engine/tabulo.h"
#include "platform/ini_file.h"

namespace velmora {

// The largest column width and column spacing a template may ask for: a wider
// column is a mistake that would otherwise write gigabytes of blanks.
constexpr int kMaxColumnWidth = 65535;

// Fills target (cleared first) with the entries FIELD=value of the section whose
// FIELD equals a field name of the data set exactly, letter case included; an
// entry is added once per field of that name, entries naming no field are dropped.
void ReadKeyedSection(const TIniFile& template_file, std::string_view section, const TDataSet& data_set,
                      TStringList& target);

// WIDTH into ColumnsWidth, keyed as above. Raises EVelmoraError when a width is
// a number beyond kMaxColumnWidth.
void ReadWidthSection(const TIniFile& template_file, const TDataSet& data_set, TTabulo& exporter);
// ALIGN into ColumnsAlign, keyed as above.
void ReadAlignSection(const TIniFile& template_file, const TDataSet& data_set, TTabulo& exporter);

}  // namespace velmora
