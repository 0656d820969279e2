#pragma once

#include <string>
#include <vector>

#include "engine/export_format.h"
#include "engine/tabulo.h"
#include "formats/dbf/dbf_writer.h"

namespace velmora {

// Writes the records as a dBASE III table, with a ".dbt" memo file beside it
// when the export has memo columns. Every value is written locale-free
// (numbers with "." and no grouping, dates as yyyymmdd), text stays UTF-8 and
// character fields are as long as their longest value in bytes (at most 254),
// so nothing but over-long texts is cut, and only on a character boundary.
class TTabuloDBF : public TTabuloText {
 public:
  // Builds the field list of the export's columns; a record or header the
  // format cannot describe raises EVelmoraError. Reads the data set ahead to
  // size the character fields.
  std::vector<TDBFField> BuildFields();

  // Character fields are sized to the longest value before the first record.
  bool MovesBack() const override { return true; }
  // Character fields hold UTF-8 text: binary columns go in as text.
  bool WritesBinaryAsText() const override { return true; }
  TTabuloWriterClass GetWriterClass() const override;
  void BeginExport() override;
  void EndExport() override;
  void WriteDataRow() override;

 private:
  TTabuloDBFWriter& DBFWriter() const;
  // Appends the bytes of one field of the current record.
  void AppendField(const TDBFField& field);
  void AppendNumber(const TDBFField& field, const TTabuloColumn& column);
  void AppendDate(const TDBFField& field);

  std::vector<TDBFField> fields_;
  std::string record_;
  std::string value_;
  TCellValue cell_;  // the value of the field being written
  std::string number_;
};

// The registry row of the format.
extern const TExportFormat kDBFFormat;

}  // namespace velmora
