#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dataset.h"
#include "engine/font_color.h"
#include "engine/record_loop.h"
#include "engine/record_window.h"
#include "engine/string_list.h"
#include "engine/tabulo_columns.h"
#include "engine/tabulo_formats.h"
#include "engine/tabulo_row.h"
#include "engine/tabulo_writer.h"

namespace velmora {

enum TTabuloSource { esDataSet, esListView, esDBGrid, esStringGrid };

// "DataSet", "ListView", "DBGrid", "StringGrid".
const char* SourceName(TTabuloSource source);

class TIniFile;
class TTabulo;
class TOutputClaims;
class TOutputFileSet;
using TNotifyEvent = std::function<void(TTabulo& sender)>;
using TExportedRecordEvent = std::function<void(TTabulo& sender, int rec_no)>;
using TTabuloStopEvent = std::function<void(TTabulo& sender, bool& can_continue)>;
using TBeforeExportRowEvent = std::function<void(TTabulo& sender, TTabuloRow& row, bool& accept)>;
using TGetExportTextEvent = std::function<void(TTabulo& sender, int col_no, std::string& text)>;
// Lets a handler restyle one data cell: its alignment, font and background.
using TGetCellParamsEvent =
    std::function<void(TTabulo& sender, int rec_no, int col_no, const std::string& value, TTabuloColAlign& align,
                       TFont& font, TColor& background)>;

// Creates the writer of a format for one Execute.
using TTabuloWriterClass = std::unique_ptr<TTabuloWriter> (*)(TTabulo& owner, TOutputStream& stream);
template <class Writer>
std::unique_ptr<TTabuloWriter> CreateWriterOf(TTabulo& owner, TOutputStream& stream) {
  return std::make_unique<Writer>(owner, stream);
}

// The settings an exporter class publishes; the column model reads a list only
// when the class publishes it.
enum TPublishedSetting : unsigned {
  psCaptions = 1u << 0,
  psFormats = 1u << 1,
  psUserFormats = 1u << 2,
  psColumnsWidth = 1u << 3,
  psColumnsAlign = 1u << 4,
  psOnFetchedRecord = 1u << 5,
};

// The base of every exporter: shared settings, the column list, the export row,
// the record loop and the overridable steps a format fills in.
class TTabulo {
 public:
  TTabulo();
  virtual ~TTabulo();
  TTabulo(const TTabulo&) = delete;
  TTabulo& operator=(const TTabulo&) = delete;

  std::string Name;  // component name

  TTabuloSource ExportSource = esDataSet;
  TDataSet* DataSet = nullptr;  // not owned
  TStringList ExportedFields;
  std::string Title;
  TStringList Header;
  TStringList Captions;
  bool AllowCaptions = true;
  TStringList Footer;
  TTabuloFormats Formats;
  TStringList UserFormats;
  TStringList ColumnsWidth;
  TStringList ColumnsAlign;
  bool CurrentRecordOnly = false;
  bool GoToFirstRecord = true;
  int ExportRecCount = 0;  // 0: no limit
  int SkipRecCount = 0;
  bool OnlyVisibleFields = false;
  bool AutoCalcColWidth = false;
  bool ExportEmpty = true;
  // The form of binary columns' values in formats that write them as text
  // (WritesBinaryAsText); other formats keep their own.
  TBinaryForm BinaryAs = bfHex;

  TNotifyEvent OnBeginExport;
  TNotifyEvent OnEndExport;
  TExportedRecordEvent OnSkippedRecord;
  TExportedRecordEvent OnExportedRecord;
  TTabuloStopEvent OnStopExport;
  TBeforeExportRowEvent OnBeforeExportRow;
  TGetExportTextEvent OnGetExportText;
  TExportedRecordEvent OnFetchedRecord;
  TGetCellParamsEvent OnGetCellParams;

  TTabuloColumns& Columns() { return columns_; }
  TTabuloRow& ExportRow() { return export_row_; }
  int RecordCounter() const { return record_counter_; }
  bool Aborted() const { return aborted_; }

  // The records the export passes, as the settings above define them.
  TRecordWindow RecordWindow() const;

  // The settings this class publishes (TPublishedSetting bits).
  virtual unsigned PublishedSettings() const { return 0; }
  // True for a format that programs read rather than people: a number column
  // whose format the template does not set then prints its value's plain number
  // (every digit, no grouping, the locale's decimal separator) instead of the
  // display defaults. Formats set in Formats or UserFormats still apply.
  virtual bool MachineReadDefaults() const { return false; }
  // True for a format whose file is text, in which raw bytes of a binary
  // column would be no valid UTF-8 and could break the layout: such columns
  // take the form BinaryAs.
  virtual bool WritesBinaryAsText() const { return false; }

  // True for a format that exports every field when ExportedFields names
  // none, binary large objects included; the others leave those out unless
  // they are named.
  virtual bool ExportsEveryColumn() const { return false; }

  // True when the export, as its settings stand, reads records ahead and comes
  // back to them (a width pass, a count of the records before the first one,
  // values sized before they are written): its data set must then hold every
  // record. An export that never moves back can take its records as the server
  // sends them. The base moves back for the width pass.
  virtual bool MovesBack() const { return AutoCalcColWidth; }

  // The widest a column without a WIDTH entry gets from its values, in cells
  // (0: no limit), for a format that lays columns out by width; -1 for one
  // that does not (its columns are measured only when AutoCalcColWidth is on).
  // A format that measures reads the first rows of a streamed result twice:
  // its data set must keep them (see TDataSet::CanMoveOnAndBack).
  virtual int ContentWidthCap() const { return -1; }
  // True when the format widens its columns to the rows it has written, as
  // a workbook rewrites its column records at each sheet's end, when it
  // writes into file_name: a streamed result then keeps no rows ahead for
  // the width pass, which reads none of them, and the rows are read once.
  virtual bool WidensAfterWriting(const std::string& /*file_name*/) const { return false; }
  // Called by the width pass for every value (its display text, or the null
  // text) when MeasuresValues: a format that measures text in a
  // proportional font keeps its own widths here.
  virtual bool MeasuresValues() const { return false; }
  virtual void MeasureValue(int column, std::string_view text);

  // Reads the template sections of this format onto its options; runs after the
  // general sections, with the data set open, before Execute. Raises
  // EVelmoraError for a value that cannot give a sound export. The base reads none.
  virtual void ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set);

  // The overridable steps, in their order.
  virtual TTabuloWriterClass GetWriterClass() const;
  virtual void BeginExport();
  virtual void BeforeExport() {}
  virtual void AfterExport() {}
  virtual void EndExport();
  virtual bool EndOfFile();
  virtual void GetCaptionRow(std::string& row);
  virtual void WriteCaptionRow() {}
  // Fills every cell's Value from its field; with an OnBeforeExportRow handler
  // also its Data with the value's text form, for the handler to read.
  virtual void FillRow();
  virtual void GetDataRow(bool formatted, std::string& row);
  virtual void WriteDataRow() {}
  virtual std::string GetColCaption(int index);
  virtual void GetColData(TTabuloCol& cell, std::string& text);
  virtual void Execute() {}
  virtual void Abort() { aborted_ = true; }
  // Replaces the format's special characters in place; the base changes nothing.
  virtual void EscapeText(std::string& text) const;

  std::string Escaped(std::string_view text) const;
  // The export text of one cell of the current record: NullString for NULL,
  // else the value's display form when formatted (its text form when not),
  // escaped, left in cell.Data; then GetColData.
  void CellExportText(TTabuloCol& cell, bool formatted, std::string& text);
  // Fires OnGetCellParams for one data cell; does nothing when it is unassigned.
  void GetCellParams(int rec_no, int col_no, const std::string& value, TTabuloColAlign& align, TFont& font,
                     TColor& background);

 protected:
  // Runs the record loop with the writer in place: the checks of the source,
  // BeginExport, the width pass, captions, skipping, the records, AfterExport
  // and EndExport.
  virtual void RunExport();
  // Adjusts the locale the export's values print with, a copy of the settings
  // in force (a format whose readers need a decimal point sets it); the base
  // keeps it.
  virtual void AdjustLocale(TFormatSettings&) const {}
  TColumnSettings ColumnSettings();
  TTabuloWriter& Writer() const;
  // The record loop over one data set and window: the leading rows, the walk
  // to the window's start, skipping, then per record the stop check
  // (OnStopExport after an Abort), the row fill, OnBeforeExportRow, the data
  // row and OnExportedRecord; steps supplies the format's part of each.
  // counter holds the record number the events report. Returns false when
  // the export was aborted before the records or OnStopExport ended them.
  bool RunRecordLoop(TDataSet* data_set, const TRecordWindow& window, TRecordSteps& steps, int& counter);

  TTabuloWriter* writer_ = nullptr;
  int record_counter_ = 0;
  bool aborted_ = false;

 private:
  void RunRecords();

  TTabuloColumns columns_;
  TTabuloRow export_row_;
  std::string cell_text_;
  TFormatSettings locale_;  // see AdjustLocale
};

// An exporter that writes one output file, and the side files its format adds.
class TTabuloText : public TTabulo {
 public:
  std::string FileName;
  // The files of the run this export belongs to: every file the export writes
  // is claimed there, and one an earlier export of the run claimed is refused.
  TOutputClaims* Claims = nullptr;

  // Writes the export into FileName, the main file of the export's output
  // files. The files appear only when the export succeeded, all together;
  // after a failure earlier files of those names are left as they were.
  void Execute() override;
  virtual void AfterExecute() {}
  virtual std::string GetFileName() const { return FileName; }
  virtual std::string GetResultFileName() const { return FileName; }
  // True when the format moves back in its main file (a header or a count
  // patched at the end, a table inserted before the rows): a pipe or device
  // then gets the file only once it is complete. A format that writes every
  // byte once, in order, says false, and a pipe takes its rows as they come.
  virtual bool SeeksBack() const { return true; }
  // Characters of the last export that the output's character set could not
  // carry and that were written as a replacement character.
  virtual std::uint64_t ReplacedCharacters() const { return 0; }
  // What ReplacedCharacters counts: characters outside the output's character
  // set written as "?", or sequences of invalid UTF-8 written as U+FFFD.
  enum TReplacementKind { rkOutsideCharacterSet, rkInvalidUtf8 };
  virtual TReplacementKind ReplacementKind() const { return rkOutsideCharacterSet; }
  // What the user of the last export's file must know to read it (how to
  // compile it, text its reader will not show), one line each, without the
  // item's name; the run prints them after the count line.
  virtual std::vector<std::string> ExportNotes(const std::string& file_name) const;

 protected:
  // Creates the directory of FileName (the program's directory when it has none)
  // when it is missing.
  void EnsureDirectory() const;
  // The output files of the running export; FileName is the main one. A
  // format adds its side files here.
  TOutputFileSet& OutputFiles() const;
  // The writer of one Execute, over the main file's stream; the base makes
  // the one GetWriterClass names.
  virtual std::unique_ptr<TTabuloWriter> CreateWriter(TOutputStream& stream);

 private:
  TOutputFileSet* output_files_ = nullptr;
};

// Publishes AllowCaptions, Captions, Formats and UserFormats.
class TTabuloFormatText : public TTabuloText {
 public:
  unsigned PublishedSettings() const override { return psCaptions | psFormats | psUserFormats; }
};

}  // namespace velmora
