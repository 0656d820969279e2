#include "formats/workbook/tabulo_workbook.h"

#include <algorithm>

#include "formats/workbook/sheet_run.h"
#include "platform/error.h"
#include "platform/text_utils.h"

namespace velmora {

TTabuloWorkbook::TTabuloWorkbook() {
  OnlyVisibleFields = true;
}
TTabuloWorkbook::~TTabuloWorkbook() = default;

TxlsSheet& TTabuloWorkbook::AddSheet() {
  TxlsSheet& sheet = *Sheets.emplace_back(std::make_unique<TxlsSheet>());
  sheet.Title = "Sheet " + std::to_string(Sheets.size());
  return sheet;
}

bool TTabuloWorkbook::MovesBack() const {
  int exported = 0;
  for (const auto& sheet : Sheets) {
    if (!sheet->Exported) continue;
    ++exported;
    if (sheet->AutoCalcColWidth) return true;
  }
  return exported == 0 ? AutoCalcColWidth : exported > 1;
}

std::unique_ptr<TTabuloWriter> TTabuloWorkbook::CreateWriter(TOutputStream& stream) {
  std::unique_ptr<TxlsWorkbookSink> sink = GetSinkClass()(*this, stream);
  sink_ = sink.get();
  return sink;
}

TxlsWorkbookSink& TTabuloWorkbook::Sink() const {
  if (writer_ == nullptr || sink_ == nullptr)
    throw EVelmoraError("The writer exists only while the export runs");
  return *sink_;
}

void TTabuloWorkbook::Execute() {
  if (FileName.empty()) throw EVelmoraError("Result file name not present");
  // A part is one sheet of the export's records; sheets of their own cannot
  // be divided into parts.
  if ((SplitRows > 0 || SplitBytes > 0) &&
      std::any_of(Sheets.begin(), Sheets.end(), [](const auto& sheet) { return sheet->Exported; })) {
    throw EVelmoraError("A workbook of defined sheets cannot be split into parts");
  }
  TTabuloFormatText::Execute();
}

std::unique_ptr<TxlsSheet> TTabuloWorkbook::TemporarySheet() {
  auto sheet = std::make_unique<TxlsSheet>();
  sheet->AutoCalcColWidth = AutoCalcColWidth;
  sheet->Title = Options.SheetTitle();
  sheet->Options = Options;
  sheet->FieldFormats.Assign(FieldFormats);
  sheet->StripType = StripType;
  sheet->StripStyles.Assign(StripStyles);
  sheet->ExportSource = ExportSource;
  sheet->DataSet = DataSet;
  sheet->ExportedFields = ExportedFields;
  sheet->HeaderRows = HeaderRows;
  sheet->StartDataCol = StartDataCol;
  sheet->FooterRows = FooterRows;
  sheet->Header = Header;
  sheet->Captions = Captions;
  sheet->Footer = Footer;
  sheet->Formats.Assign(Formats);
  sheet->UserFormats = UserFormats;
  sheet->ColumnsWidth = ColumnsWidth;
  sheet->AllowCaptions = AllowCaptions;
  // The export's window, or the part's while a split export runs.
  const TRecordWindow window = RecordWindow();
  sheet->GoToFirstRecord = window.GoToFirstRecord;
  sheet->ExportRecCount = window.ExportRecCount;
  sheet->SkipRecCount = window.SkipRecCount;
  sheet->CurrentRecordOnly = window.CurrentRecordOnly;
  sheet->OnlyVisibleFields = OnlyVisibleFields;
  return sheet;
}

namespace {

// The scale of a fixed-point column as its source declares it ("decimal(10,3)"
// gives 3); -1 when the declaration names no scale.
int DeclaredScale(std::string_view type) {
  const auto begins = [type](std::string_view word) { return SameText(type.substr(0, word.size()), word); };
  if (!begins("decimal") && !begins("numeric")) return -1;
  const std::size_t comma = type.find(',');
  const std::size_t close = type.find(')');
  if (comma == std::string_view::npos || close == std::string_view::npos || close < comma) return -1;
  int scale = 0;
  for (const char digit : type.substr(comma + 1, close - comma - 1)) {
    if (digit < '0' || digit > '9' || scale > 30) return -1;
    scale = scale * 10 + (digit - '0');
  }
  return scale;
}

}  // namespace

void TTabuloWorkbook::UseSheetNumberFormats(TxlsSheet& sheet) {
  // A sheet shows keys and counts as plain integers and fixed-point numbers
  // with the digits of their scale, unless the template chose the formats
  // (a FORMATS entry, or a USER_FORMATS entry).
  const bool integer_default = !sheet.Formats.IntegerFormatSet();
  const bool float_default = !sheet.Formats.FloatFormatSet();
  std::string value;
  for (int column_index = 0; column_index < sheet.Columns().Count(); ++column_index) {
    TTabuloColumn& column = sheet.Columns()[column_index];
    if (sheet.UserFormats.FindValue(column.Name, value)) continue;
    const bool integer = column.ColumnType == ctInteger || column.ColumnType == ctLargeInt;
    if (integer && integer_default && column.Format == sheet.Formats.IntegerFormat()) {
      column.Format = "0";
    } else if (column.ColumnType == ctFloat && float_default &&
               column.Format == sheet.Formats.FloatFormat() && column.Field != nullptr) {
      const int scale = DeclaredScale(column.Field->SourceType.Type);
      if (scale >= 0)
        column.Format = "#,###,##0" + (scale > 0 ? "." + std::string(scale, '0') : std::string());
    }
  }
}

void TTabuloWorkbook::CheckSheet(TxlsSheet& sheet, int max_columns) {
  const char* source_name = SourceName(sheet.ExportSource);
  if (sheet.ExportSource != esDataSet || sheet.DataSet == nullptr) {
    throw EVelmoraError(Format("Sheet %s define with error: %s", sheet.Title.c_str(),
                               Format("Export source (%s) is not assigned", source_name).c_str()));
  }
  if (!sheet.DataSet->Active()) throw EVelmoraError(Format("Export source (%s) is closed", source_name));
  if (!ExportEmpty && sheet.DataSet->IsEmpty()) {
    throw EVelmoraError(Format("Export source (%s) is empty", source_name));
  }
  if (sheet.StartDataCol < 0 || sheet.StartDataCol >= max_columns) sheet.StartDataCol = 0;
  TColumnSettings settings;
  settings.ExportedFields = &sheet.ExportedFields;
  settings.DataSet = sheet.DataSet;
  settings.OnlyVisibleFields = sheet.OnlyVisibleFields;
  settings.Formats = &sheet.Formats;
  settings.UserFormats = &sheet.UserFormats;
  settings.ColumnsWidth = &sheet.ColumnsWidth;
  settings.Captions = &sheet.Captions;
  settings.Window = sheet.RecordWindow();
  sheet.Columns().Build(settings);
  const int columns = sheet.Columns().Count() + sheet.StartDataCol;
  if (columns > max_columns) {
    throw EVelmoraError(Format("Sheet %s needs %d columns; a worksheet holds at most %d", sheet.Title.c_str(),
                               columns, max_columns));
  }
  UseSheetNumberFormats(sheet);
  MeasureColumns(sheet, settings);
}

void TTabuloWorkbook::MeasureColumns(TxlsSheet& sheet, TColumnSettings& settings) {
  // AutoCalcColWidth widens every column to all its values; by default a
  // column without a WIDTH entry is as wide as its caption and its values up
  // to the cap, measured over the rows a streamed result keeps at hand (the
  // sheet run measures the rows after them as it writes them).
  const bool every_value = sheet.AutoCalcColWidth;
  TSheetWidths& widths = sheet.Widths();
  widths.Start(sheet.Columns(), every_value ? 0 : kSheetWidthCap,
               sheet.Options.CaptionsFormat.Font.Has(xfsBold));
  settings.OnMeasureValue = [&widths](int column, std::string_view text) { widths.Measure(column, text); };
  settings.OnFetchedRecord = [this, &widths](int counter) {
    widths.MeasuredRecords = counter;
    if (OnFetchedRecord) OnFetchedRecord(*this, counter);
  };
  sheet.Columns().ColumnWidthPass(
      settings, every_value ? TWidthRule{0, true, false} : TWidthRule{kSheetWidthCap, false, true});
  widths.Apply(sheet.Columns());
}

void TTabuloWorkbook::RunExport() {
  std::vector<TxlsSheet*> sheets;
  for (const auto& sheet : Sheets) {
    if (sheet->Exported) sheets.push_back(sheet.get());
  }
  std::unique_ptr<TxlsSheet> temporary;
  if (sheets.empty()) {
    temporary = TemporarySheet();
    sheets.push_back(temporary.get());
  }
  total_records_ = 0;
  TxlsWorkbookSink& writer = Sink();
  for (TxlsSheet* sheet : sheets) CheckSheet(*sheet, writer.MaxSheetColumns());

  aborted_ = false;
  writer.WriteWorkbookGlobals(sheets.front()->Options.DataFormat.Font);
  BeforeExport();
  if (OnBeginExport) OnBeginExport(*this);
  for (std::size_t position = 0; position < sheets.size(); ++position) {
    TxlsSheet& sheet = *sheets[position];
    const int index =
        temporary ? 0
                  : static_cast<int>(std::find_if(Sheets.begin(), Sheets.end(),
                                                  [&](const auto& item) { return item.get() == &sheet; }) -
                                     Sheets.begin());
    sheet.DataSet->DisableControls();
    struct TControlsGuard {
      TDataSet* data_set;
      ~TControlsGuard() { data_set->EnableControls(); }
    } guard{sheet.DataSet};
    TSheetRun run(*this, writer, sheet, index);
    const bool completed = run.Run();
    // The records the sheet passed: a split export goes on after them.
    record_counter_ = run.RecordCounter();
    if (!completed) break;
  }
  AfterExport();
  // An aborted export still ends as a valid workbook holding the rows written.
  writer.Finish();
  EndExport();
}

}  // namespace velmora
