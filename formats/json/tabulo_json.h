#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/export_format.h"
#include "engine/tabulo.h"

namespace velmora {

// Writes the records as JSON objects keyed by the column captions: one array
// of objects, or one object per line (JSON Lines). Values keep their types:
// numbers with the exact digits the source sent, NULL as null, Booleans as
// true and false, dates and times as ISO 8601 text (a value that is no valid
// date as the source's text), binary data as base64, everything else as
// text. Lines end in LF; the output is UTF-8 throughout.
// The settings of the JSON section, read whole before they replace the
// exporter's. Every value gives a sound file: dates are written as escaped
// text whatever their pattern.
struct TJSONOptions {
  bool Pretty = false;
  std::string DateFormat;

  static TJSONOptions Read(const TIniFile& template_file, const TJSONOptions& current);
};

class TTabuloJSON : public TTabuloFormatText {
 public:
  bool SeeksBack() const override { return false; }

  // One object per line instead of one array; set by Execute for a file name
  // ending in ".jsonl".
  bool JSONLines = false;
  // Objects of the array over several indented lines (not for JSON Lines).
  bool JSONPretty = false;
  // Pattern of the engine's date-time language for date, time and date-time
  // values; empty or "ISO" for ISO 8601.
  std::string JSONDateFormat;

  TJSONOptions JSONOptions() const { return {JSONPretty, JSONDateFormat}; }
  void SetJSONOptions(const TJSONOptions& options);

  // JSON: Pretty and DateFormat. Defined in tabulo_json_sections.cpp.
  void ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) override;

  void Execute() override;
  std::uint64_t ReplacedCharacters() const override { return replaced_characters_; }
  TReplacementKind ReplacementKind() const override { return rkInvalidUtf8; }

  void BeginExport() override;
  void EndExport() override;
  void WriteCaptionRow() override {}
  void FillRow() override;
  void WriteDataRow() override;

 private:
  // How one column's values are written.
  enum TValueForm { vfNumber, vfBoolean, vfMoment, vfBinary, vfText };

  bool IsoDates() const;
  // The keys of the columns, made unique, each as the text that precedes its value.
  void PrepareKeys();
  void AppendValue(int column_index, const TCellValue& value);
  void AppendNumber(std::string_view source);
  void AppendMoment(int column_index, const TCellValue& value);

  std::vector<std::string> key_prefixes_;
  std::vector<TValueForm> forms_;
  std::string row_;
  std::string scratch_;
  std::uint64_t replaced_characters_ = 0;
  int records_written_ = 0;
};

// The registry row of the format.
extern const TExportFormat kJSONFormat;

}  // namespace velmora
