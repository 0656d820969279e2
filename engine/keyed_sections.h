#pragma once

#include <cstdint>
#include <string>
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

// Raises EVelmoraError for a template value that cannot give a sound file:
// Invalid value "V" for KEY in [SECTION]: reason.
[[noreturn]] void RefuseTemplateValue(const TIniFile& template_file, std::string_view section,
                                      std::string_view key, const std::string& reason);
// An integer key (absent or not a number: current) that must lie in
// lowest .. highest; any other number is refused as above.
int ReadBoundedInteger(const TIniFile& template_file, std::string_view section, std::string_view key,
                       int current, int lowest, int highest);
// A size in bytes (absent: current): digits with an optional K, M or G for
// KiB, MiB or GiB ("64K", "1M"); anything else, or a size past 2^62, is
// refused as above.
std::int64_t ReadByteSize(const TIniFile& template_file, std::string_view section, std::string_view key,
                          std::int64_t current);

}  // namespace velmora
