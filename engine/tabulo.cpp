#include "engine/tabulo.h"

#include <algorithm>

#include "platform/compressed_stream.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/output_file_set.h"
#include "platform/text_utils.h"

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

TRecordWindow TTabulo::RecordWindow() const {
  if (part_window_) return *part_window_;
  TRecordWindow window;
  window.GoToFirstRecord = GoToFirstRecord;
  window.SkipRecCount = SkipRecCount;
  window.ExportRecCount = ExportRecCount;
  window.CurrentRecordOnly = CurrentRecordOnly;
  return window;
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
  settings.Window = RecordWindow();
  settings.MachineReadDefaults = MachineReadDefaults();
  settings.EveryColumn = ExportsEveryColumn();
  settings.BinaryForm = WritesBinaryAsText() ? BinaryAs : bfRaw;
  locale_ = FormatSettings();
  AdjustLocale(locale_);
  settings.Locale = &locale_;
  if ((published & psOnFetchedRecord) && OnFetchedRecord) {
    settings.OnFetchedRecord = [this](int counter) { OnFetchedRecord(*this, counter); };
  }
  if (MeasuresValues()) {
    settings.OnMeasureValue = [this](int column, std::string_view text) { MeasureValue(column, text); };
  }
  return settings;
}

void TTabulo::MeasureValue(int, std::string_view) {}

std::vector<std::string> TTabuloText::ExportNotes(const std::string&) const { return {}; }

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
  // cell; two columns of the same field keep a value each. Values keep every
  // byte the source gave, blanks and control bytes at either end included.
  for (int index = 0; index < columns_.Count(); ++index) {
    columns_[index].Field->GetValue(export_row_[index].Value);
  }
  if (OnBeforeExportRow) export_row_.GiveTexts(columns_);
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
  cell.Data.clear();
  if (cell.Value.IsNull()) {
    cell.Data.assign(Formats.NullString());
  } else if (formatted) {
    column.AppendDisplayText(cell.Value, cell.Data);
  } else {
    column.AppendTextForm(cell.Value, cell.Data);
  }
  EscapeText(cell.Data);
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
  if (const int cap = ContentWidthCap(); AutoCalcColWidth || cap >= 0) {
    columns_.ColumnWidthPass(ColumnSettings(), TWidthRule{std::max(cap, 0), AutoCalcColWidth, true});
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

namespace {

// The walk of the record loop ends where its steps say.
class TStepsWalk : public TRecordWindowWalk {
 public:
  TStepsWalk(TDataSet* data_set, const TRecordWindow& window, const TRecordSteps& steps)
      : TRecordWindowWalk(data_set, window), data_set_(data_set), steps_(steps) {}

 protected:
  bool AtEnd() const override { return steps_.AtEnd(data_set_); }

 private:
  const TDataSet* data_set_;
  const TRecordSteps& steps_;
};

// The steps of a plain export: the exporter's own overridable steps.
class TExporterSteps : public TRecordSteps {
 public:
  explicit TExporterSteps(TTabulo& exporter) : exporter_(exporter) {}

  void LeadingRows() override {
    if (exporter_.AllowCaptions) exporter_.WriteCaptionRow();
  }
  void WalkStarted() override {
    exporter_.BeforeExport();
    exporter_.PartRecordsStart();
  }
  bool AtEnd(const TDataSet*) const override { return exporter_.EndOfFile() || exporter_.PartIsFull(); }
  TTabuloRow& Row() override { return exporter_.ExportRow(); }
  void FillRow() override { exporter_.FillRow(); }
  void WriteDataRow() override {
    exporter_.WriteDataRow();
    exporter_.PartRecordWritten();
  }
  void AfterRecords() override { exporter_.AfterExport(); }

 private:
  TTabulo& exporter_;
};

}  // namespace

void TTabulo::RunRecords() {
  TExporterSteps steps(*this);
  RunRecordLoop(ExportSource == esDataSet ? DataSet : nullptr, RecordWindow(), steps, record_counter_);
}

bool TTabulo::RunRecordLoop(TDataSet* data_set, const TRecordWindow& window, TRecordSteps& steps, int& counter) {
  if (aborted_) return false;
  steps.LeadingRows();
  if (aborted_) return false;
  TStepsWalk walk(data_set, window, steps);
  if (window.GoToFirstRecord) counter = 0;
  walk.Start();
  steps.WalkStarted();
  if (aborted_) return false;
  walk.Skip([&](int skipped) {
    counter = skipped;
    if (OnSkippedRecord) OnSkippedRecord(*this, counter);
  });
  if (aborted_) return false;

  TTabuloRow& row = steps.Row();
  bool completed = true;
  counter = 0;
  while (walk.HasRecord()) {
    if (aborted_) {
      bool can_continue = false;
      if (OnStopExport) OnStopExport(*this, can_continue);
      aborted_ = !can_continue;
      if (!can_continue) {
        completed = false;
        break;
      }
    }
    bool accept = true;
    steps.FillRow();
    if (OnBeforeExportRow) OnBeforeExportRow(*this, row, accept);
    if (accept) accept = steps.AcceptRow(row);
    // A row handlers read carries their texts from here on.
    row.TakeTexts();
    if (accept) {
      steps.BreakIfFull();
      steps.WriteDataRow();
      const int exported = steps.CountExported(counter);
      if (OnExportedRecord) OnExportedRecord(*this, exported);
      steps.RecordExported(counter);
    }
    walk.Advance();
    counter = walk.Passed();
  }
  steps.AfterRecords();
  return completed;
}

bool TTabulo::PartIsFull() const {
  if (part_byte_limit_ <= 0 || part_records_ == 0 || writer_ == nullptr) return false;
  return writer_->BytesWritten() + part_longest_record_ > part_byte_limit_;
}

void TTabulo::PartRecordsStart() {
  part_records_ = 0;
  part_longest_record_ = 0;
  part_record_end_ = writer_ != nullptr ? writer_->BytesWritten() : 0;
}

void TTabulo::PartRecordWritten() {
  if (part_byte_limit_ <= 0 || writer_ == nullptr) return;
  ++part_records_;
  const std::int64_t end = writer_->BytesWritten();
  part_longest_record_ = std::max(part_longest_record_, end - part_record_end_);
  part_record_end_ = end;
}

std::string TTabuloText::PartFileName(const std::string& file_name, long long number) {
  const std::string_view plain = WithoutCompressionEnding(file_name);
  const std::string_view compression = std::string_view(file_name).substr(plain.size());
  // The extension is that of the name's last component only.
  // (a name that only begins with a dot, ".hidden", has none).
  const std::size_t slash = plain.rfind('/');
  const std::size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  const std::size_t dot = plain.rfind('.');
  const std::size_t stem_end = dot != std::string_view::npos && dot > name_start ? dot : plain.size();
  return std::string(plain.substr(0, stem_end)) + Format(".%04lld", number) +
         std::string(plain.substr(stem_end)) + std::string(compression);
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

std::unique_ptr<TTabuloWriter> TTabuloText::CreateWriter(TOutputStream& stream) {
  return GetWriterClass()(*this, stream);
}

void TTabuloText::Execute() {
  EnsureDirectory();
  part_files_.clear();
  TOutputFileSet files(Claims);
  if (SplitRows > 0 || SplitBytes > 0) {
    ExecuteParts(files);
  } else {
    RunIntoFile(files, FileName);
  }
  files.Commit();
  AfterExecute();
}

void TTabuloText::ExecuteParts(TOutputFileSet& files) {
  const TRecordWindow whole = RecordWindow();
  // Each part is written as an export of its own name, so that the side
  // files a format derives from FileName (pages, a memo file) are the part's.
  struct TPartState {
    TTabuloText& owner;
    std::string file_name;
    ~TPartState() {
      owner.FileName = file_name;
      owner.part_window_.reset();
      owner.part_number_ = 0;
      owner.part_byte_limit_ = 0;
    }
  } state{*this, FileName};
  std::vector<std::string> names;
  long long passed = 0;
  for (int part = 1;; ++part) {
    TRecordWindow window = whole;
    if (part > 1) {
      // Later parts go on from the record the previous one stopped before.
      window.GoToFirstRecord = false;
      window.SkipRecCount = 0;
    }
    long long limit = SplitRows;
    if (whole.ExportRecCount > 0) {
      const long long left = whole.ExportRecCount - passed;
      limit = limit > 0 ? std::min(limit, left) : left;
    }
    window.ExportRecCount = static_cast<int>(limit);
    part_window_ = window;
    part_number_ = part;
    part_byte_limit_ = SplitBytes;
    names.push_back(PartFileName(state.file_name, part));
    FileName = names.back();
    RunIntoFile(files, FileName);
    files.Finish(files.Count() - 1);
    passed += record_counter_;
    const bool window_done =
        whole.CurrentRecordOnly || (whole.ExportRecCount > 0 && passed >= whole.ExportRecCount);
    // A part that took no record would be followed by another just like it.
    if (aborted_ || record_counter_ == 0 || window_done || EndOfFile()) break;
  }
  // Parts an earlier, longer export of the same name left would read as part of this one.
  files.RemoveSeriesAtCommit(
      [file_name = state.file_name](long long number) { return PartFileName(file_name, number); },
      static_cast<long long>(names.size()) + 1);
  part_files_ = std::move(names);
}

void TTabuloText::RunIntoFile(TOutputFileSet& files, const std::string& file_name) {
  TOutputStream& stream = files.Add(file_name, SeeksBack() ? snSeeks : snSequential, CompressionLevel);
  {
    // The writer and the file set are reachable only while the export runs.
    struct TRunningExport {
      TTabuloText& owner;
      ~TRunningExport() {
        owner.writer_ = nullptr;
        owner.output_files_ = nullptr;
      }
    } running{*this};
    std::unique_ptr<TTabuloWriter> writer = CreateWriter(stream);
    writer_ = writer.get();
    output_files_ = &files;
    RunExport();
  }
}

}  // namespace velmora
