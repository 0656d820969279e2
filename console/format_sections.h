#pragma once

#include "engine/dataset.h"
#include "engine/tabulo.h"
#include "platform/ini_file.h"

namespace velmora {

class TTabuloASCII;

// WIDTH into ColumnsWidth and ALIGN into ColumnsAlign, each cleared first and
// keyed by exact field names.
void ReadWidthSection(const TIniFile& template_file, const TDataSet& data_set, TTabulo& exporter);
void ReadAlignSection(const TIniFile& template_file, const TDataSet& data_set, TTabulo& exporter);

// The sections of the text exporter for its export type, which the exporter
// already carries: TXT reads WIDTH, ALIGN and TXT; CSV reads CSV; DIF and SYLK
// read none. An absent key leaves its option as it is.
void ReadTextFormatSections(const TIniFile& template_file, const TDataSet& data_set, TTabuloASCII& exporter);

}  // namespace velmora
