#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tabulo_writer.h"
#include "formats/workbook/workbook_sink.h"
#include "formats/xls/xls_pools.h"
#include "formats/xls/xls_shared_strings.h"

namespace velmora {

// The rows and columns one worksheet holds.
constexpr int kMaxSheetRows = 65536;
constexpr int kMaxSheetColumns = 256;

// Writes a BIFF8 workbook into the writer's stream inside a compound document:
// the globals block, then one worksheet per BeginSheet .. EndSheet, then
// Finish. The records that can only be known at the end (user formats, fonts
// and XFs, the sheet list and the shared strings) are inserted before the
// globals' EOF by one move of the stream's tail; memory holds only those
// records and the shared-string table.
class TTabuloXLSWriter : public TxlsWorkbookSink {
 public:
  TTabuloXLSWriter(TTabulo& owner, TOutputStream& stream);
  ~TTabuloXLSWriter() override;

  int MaxSheetRows() const override { return kMaxSheetRows; }
  int MaxSheetColumns() const override { return kMaxSheetColumns; }
  TxlsStylePools& Pools() override { return pools_; }
  TxlsSharedStrings& SharedStrings() { return shared_strings_; }

  // Starts the document and writes the globals block; data_font is the font
  // of the built-in fonts 1 to 3.
  void WriteWorkbookGlobals(const TxlsFont& data_font) override;
  // The records of a worksheet up to its DIMENSIONS placeholder. title is the
  // sheet's name as readers need it; widths are in characters (cut to 255), for
  // the columns from first_column on.
  void BeginSheet(std::u16string title, std::string_view page_header, std::string_view page_footer,
                  int first_column, const std::vector<int>& widths) override;

  // New widths for the COLINFO records of the current worksheet, written by Finish.
  void WidenColumns(const std::vector<int>& widths) override;

  void WriteBlankCell(int row, int column, std::uint16_t xf) override;
  // Writes nothing for an empty text. Raises "Cell R%d,C%d: String length
  // more than 32767 bytes" for a text of more than 32767 UTF-16 units.
  void WriteStringCell(int row, int column, std::uint16_t xf, std::string_view text) override;
  void WriteNumberCell(int row, int column, std::uint16_t xf, double value) override;
  void WriteBooleanCell(int row, int column, std::uint16_t xf, bool value) override;
  // A SUM, AVERAGE, MIN or MAX formula over rows first_row .. last_row of the
  // cell's column, carrying its computed result.
  void WriteAggregateCell(int row, int column, int first_row, int last_row, int aggregate, std::uint16_t xf,
                          const TFormulaResult& result) override;

  // WINDOW2, SELECTION and EOF; rows and columns are the used counts for
  // the sheet's DIMENSIONS.
  void EndSheet(int rows, int columns) override;
  int SheetCount() const { return static_cast<int>(sheets_list_.size()); }

  // Inserts the deferred globals, patches DIMENSIONS and sheet offsets,
  // writes the final EOF and completes the compound document.
  void Finish() override;
  // The document's size were it finished now: the globals, the worksheets
  // and the shared strings written so far, and the compound document's
  // allocation tables around them.
  std::int64_t BytesWritten() const override;

 private:
  struct TSheetPlace {
    std::u16string Title;
    std::int64_t BofOffset = 0;      // in the worksheets' temporary file
    std::int64_t DimensionsPos = 0;  // there
    std::uint32_t Rows = 0;
    std::uint16_t Columns = 0;
    std::int64_t ColInfoPos = 0;  // of the first COLINFO, there
    std::vector<int> Widths;      // the widths of its COLINFO records
    bool Widened = false;         // the widths changed after BeginSheet
  };

  void Record(std::uint16_t id);
  void WordRecord(std::uint16_t id, std::uint16_t value);
  void Bof(std::uint16_t type);
  void CellHead(int row, int column, std::uint16_t xf);
  // Where records go: the output stream until the first worksheet, then the worksheets' file.
  TOutputStream& Out();
  // The shared-string index of a text of a cell in column.
  std::uint32_t SharedStringIndex(int column, std::string_view text);

  // How often the texts of a column were in the table already.
  struct TColumnRepeats {
    std::uint32_t Tried = 0;     // texts looked for in the current trial
    std::uint32_t Repeated = 0;  // of which found
    std::uint32_t Unlooked = 0;  // texts still to be added without looking
  };

  std::string record_;  // payload of the record being built
  TxlsStylePools pools_;
  TxlsSharedStrings shared_strings_;
  std::vector<TSheetPlace> sheets_list_;
  std::vector<TColumnRepeats> repeats_;    // per column
  std::unique_ptr<TOutputStream> sheets_;  // the worksheets' records
};

// The bytes of a complete globals block as written before the deferred
// records are inserted, for the checks of the fixed records.
std::string WorkbookGlobalsHead(const TxlsFont& data_font);

}  // namespace velmora
