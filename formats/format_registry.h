#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "engine/export_format.h"

namespace velmora {

class TTabuloText;

// Every export format of the program, in the order of their numbers.
std::span<const TExportFormat* const> ExportFormats();

// The format of an export type number; nullptr for a number no format has.
const TExportFormat* FindExportFormat(int number);

// The format of a file name's ending (its last three characters, any letter
// case); the workbook format for every unknown ending.
const TExportFormat& ExportFormatOfFileName(std::string_view file_name);

// The format of a name given without ending or number: the workbook.
const TExportFormat& DefaultExportFormat();

// The exporter of an export type number with the defaults of its format.
// Raises EVelmoraError "Export type %d (%s) is not available" for a number
// no format has.
std::unique_ptr<TTabuloText> CreateExporter(int number);

}  // namespace velmora
