#include "engine/tabulo.h"

#include "platform/text_utils.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/output_file_set.h"

namespace velmora {

const char* SourceName(TTabuloSource source) {
  switch (source) {
    case esDataSet: return "DataSet";
    case esListView: return "ListView";
    case esDBGrid: return "DBGrid";
    case esStringGrid: return "StringGrid";
  }
  return "DataSet";
}

TTabulo::TTabulo() = default;
TTabulo::~TTabulo() = default;

void TTabulo::ReadFormatSections(const TIniFile&, const TDataSet&) {}

TTabuloWriterClass TTabulo::GetWriterClass() const { return &CreateWriterOf<TTabuloWriter>; }

TTabuloWriter& TTabulo::Writer() const {
  if (writer_ == nullptr) throw EVelmoraError("The writer exists only while the export runs");
  return *writer_;
}

TColumnSettings TTabulo::ColumnSettings() {
  const unsigned published = PublishedSettings();
  TColumnSettings settings;
  settings.ExportedFields = &ExportedFields;
  settings.DataSet = ExportSource == esDataSet ? DataSet : nullptr;
  settings.OnlyVisibleFields = OnlyVisibleFields;
  settings.Formats = (published & psFormats) ? &Formats : nullptr;
  settings.UserFormats = (published & psUserFormats) ? &UserFormats : nullptr;
  settings.ColumnsWidth = (published & psColumnsWidth) ? &ColumnsWidth : nullptr;
  settings.Captions = (published & psCaptions) ? &Captions : nullptr;
  settings.ColumnsAlign = (published & psColumnsAlign) ? &ColumnsAlign : nullptr;
  settings.ColumnsLength = (published & psColumnsLength) ? &ColumnsLength : nullptr;
  settings.SkipRecCount = SkipRecCount;
  settings.ExportRecCount = ExportRecCount;
  settings.GoToFirstRecord = GoToFirstRecord;
  settings.CurrentRecordOnly = CurrentRecordOnly;
  settings.CaptionRow = CaptionRow;
  settings.AutoCalcStrType = AutoCalcStrType;
  if ((published & psOnFetchedRecord) && OnFetchedRecord) {
    settings.OnFetchedRecord = [this](int counter) { OnFetchedRecord(*this, counter); };
  }
  return settings;
}

void TTabulo::BeginExport() {
  columns_.Build(ColumnSettings());
  export_row_.Clear();
  for (int index = 0; index < columns_.Count(); ++index) export_row_.Add(columns_[index].Name, index);
  aborted_ = false;
  if (OnBeginExport) OnBeginExport(*this);
}

void TTabulo::EndExport() {
  if (OnEndExport) OnEndExport(*this);
}

bool TTabulo::EndOfFile() {
  if (ExportSource != esDataSet || DataSet == nullptr) return true;
  return DataSet->Eof();
}

void TTabulo::GetCaptionRow(std::string& row) {
  row.clear();
  for (int index = 0; index < columns_.Count(); ++index) row += GetColCaption(index);
}

void TTabulo::FillRow() {
  // Cells are in column order, one per column, so each column fills its own
  // cell; two columns of the same field keep a value each.
  for (int index = 0; index < columns_.Count(); ++index) {
    std::string& data = export_row_[index].Data;
    columns_[index].Field->GetText(data);
    std::size_t end = data.size();
    while (end > 0 && static_cast<unsigned char>(data[end - 1]) <= 32) --end;
    data.resize(end);
    std::size_t start = 0;
    while (start < data.size() && static_cast<unsigned char>(data[start]) <= 32) ++start;
    if (start > 0) data.erase(0, start);
  }
}

void TTabulo::GetDataRow(bool formatted, std::string& row) {
  row.clear();
  for (TTabuloCol& cell : export_row_) {
    CellExportText(cell, formatted, cell_text_);
    row += cell_text_;
  }
}

std::string TTabulo::GetColCaption(int index) { return Escaped(columns_[index].Caption); }

void TTabulo::GetColData(TTabuloCol& cell, std::string& text) { text.assign(cell.Data); }

void TTabulo::EscapeText(std::string&) const {}

std::string TTabulo::Escaped(std::string_view text) const {
  std::string result(text);
  EscapeText(result);
  return result;
}

void TTabulo::CellExportText(TTabuloCol& cell, bool formatted, std::string& text) {
  const TTabuloColumn& column = columns_[cell.ColumnIndex];
  if (column.Field->IsNull()) {
    cell.Data.assign(Formats.NullString());
    EscapeText(cell.Data);
  } else if (formatted && column.FormatText(cell.Data)) {
    EscapeText(cell.Data);
  }
  GetColData(cell, text);
}

void TTabulo::GetCellParams(int rec_no, int col_no, const std::string& value, TTabuloColAlign& align,
                            TFont& font, TColor& background) {
  if (OnGetCellParams) OnGetCellParams(*this, rec_no, col_no, value, align, font, background);
}

void TTabulo::RunExport() {
  record_counter_ = 0;
  const char* source_name = SourceName(ExportSource);
  if (ExportSource == esDataSet && DataSet == nullptr) {
    throw EVelmoraError(Format("Export source (%s) is not assigned", source_name));
  }
  const bool data_set_source = ExportSource == esDataSet;
  if (data_set_source && !DataSet->Active()) {
    throw EVelmoraError(Format("Export source (%s) is closed", source_name));
  }
  if (!ExportEmpty && (!data_set_source || DataSet->IsEmpty())) {
    throw EVelmoraError(Format("Export source (%s) is empty", source_name));
  }

  struct TControlsGuard {
    TDataSet* data_set;
    ~TControlsGuard() {
      if (data_set != nullptr) data_set->EnableControls();
    }
  } guard{data_set_source ? DataSet : nullptr};
  if (data_set_source) DataSet->DisableControls();

  BeginExport();
  if (aborted_) return;
  if (AutoCalcColWidth) {
    columns_.ColumnWidthPass(ColumnSettings());
    if (aborted_) return;
  }
  try {
    RunRecords();
  } catch (...) {
    // The format's closing step still runs after a failure in a data row; the
    // first failure is the one reported.
    try {
      EndExport();
    } catch (...) {
    }
    throw;
  }
  EndExport();
}

void TTabulo::RunRecords() {
  if (AllowCaptions) {
    WriteCaptionRow();
    if (aborted_) return;
  }
  if (GoToFirstRecord) {
    record_counter_ = 0;
    if (ExportSource == esDataSet) DataSet->First();
  }
  BeforeExport();
  if (aborted_) return;
  for (int skipped = 0; skipped < SkipRecCount; ++skipped) {
    ++record_counter_;
    if (ExportSource == esDataSet) DataSet->Next();
    if (OnSkippedRecord) OnSkippedRecord(*this, record_counter_);
  }
  if (aborted_) return;

  record_counter_ = 0;
  while (!EndOfFile() && (ExportRecCount == 0 || ExportRecCount > record_counter_)) {
    if (aborted_) {
      bool can_continue = false;
      if (OnStopExport) OnStopExport(*this, can_continue);
      aborted_ = !can_continue;
      if (!can_continue) break;
    }
    bool accept = true;
    FillRow();
    if (OnBeforeExportRow) OnBeforeExportRow(*this, export_row_, accept);
    if (accept) {
      WriteDataRow();
      if (OnExportedRecord) OnExportedRecord(*this, record_counter_);
    }
    if (CurrentRecordOnly) break;
    ++record_counter_;
    DataSet->Next();
  }
  AfterExport();
}

void TTabuloText::EnsureDirectory() const {
  std::string directory = ExtractFileDir(FileName);
  if (directory.empty()) directory = ExtractFileDir(ProgramPath());
  if (directory.empty() || DirectoryExists(directory)) return;
  if (!ForceDirectories(directory)) {
    throw EVelmoraError(Format("Directory '%s' not found and cannot be created", directory.c_str()));
  }
}

TOutputFileSet& TTabuloText::OutputFiles() const {
  if (output_files_ == nullptr) throw EVelmoraError("The output files exist only while the export runs");
  return *output_files_;
}

void TTabuloText::Execute() {
  EnsureDirectory();
  TOutputFileSet files;
  TOutputStream& stream = files.Add(FileName);
  {
    // The writer and the file set are reachable only while the export runs.
    struct TRunningExport {
      TTabuloText& owner;
      ~TRunningExport() {
        owner.writer_ = nullptr;
        owner.output_files_ = nullptr;
      }
    } running{*this};
    std::unique_ptr<TTabuloWriter> writer = GetWriterClass()(*this, stream);
    writer_ = writer.get();
    output_files_ = &files;
    RunExport();
  }
  files.Commit();
  AfterExecute();
}

}  // namespace velmora
