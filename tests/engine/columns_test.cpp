// The column model and the display form of values.
#include <gtest/gtest.h>

#include "engine/memory_dataset.h"
#include "engine/tabulo.h"
#include "platform/decimal_number.h"
#include "platform/error.h"
#include "platform/locale_settings.h"
#include "platform/pinned_settings.h"
#include "support/expect_error.h"

namespace velmora {
namespace {

// An exporter that publishes alignments and widths, as the text formats do.
class TAlignedExporter : public TTabuloFormatText {
 public:
  unsigned PublishedSettings() const override {
    return TTabuloFormatText::PublishedSettings() | psColumnsAlign | psColumnsWidth;
  }
  using TTabulo::ColumnSettings;
};

class TPlainExporter : public TTabuloFormatText {
 public:
  using TTabulo::ColumnSettings;
};

class ColumnsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetFormatSettings(TFormatSettings::CLocale());
    data_.AddField("ID", ftInteger).DisplayWidth = 10;
    data_.AddField("NAME", ftString, 20);
    data_.AddField("ACTIVE", ftBoolean).DisplayWidth = 5;
    data_.AddField("PRICE", ftFloat);
    data_.AddField("BORN", ftDate);
    data_.AddField("NOTES", ftMemo);
    data_.AddField("PHOTO", ftBlob);
    data_.AppendRecord({"1234567", "  padded\r\n", "True", "1234.5", "2004-02-29", " memo ", "\x89PNG"});
    data_.AppendRecord({std::nullopt, "x", "False", "not a number", "no date", std::nullopt, std::nullopt});
    data_.Open();
  }

  TMemoryDataSet data_;
};

TEST_F(ColumnsTest, DefaultsComeFromTheFieldsAndTheColumnType) {
  TAlignedExporter text;
  text.DataSet = &data_;
  text.Columns().Build(text.ColumnSettings());
  // Memo fields are taken, binary large objects left out.
  ASSERT_EQ(text.Columns().Count(), 6);
  EXPECT_EQ(text.Columns()[5].Name, "NOTES");
  const TTabuloColumn& id = text.Columns()[0];
  EXPECT_EQ(id.Caption, "ID");
  EXPECT_EQ(id.Width, 10);
  EXPECT_EQ(id.Align, ecaRight);
  EXPECT_EQ(id.Format, "#,###,##0");
  EXPECT_EQ(id.SQLType, "INTEGER");
  EXPECT_TRUE(id.IsNumber && id.IsNumeric && !id.IsString);
  EXPECT_EQ(text.Columns()[1].SQLType, "CHAR(20)");
  EXPECT_EQ(text.Columns()[1].Length, 20);
  EXPECT_EQ(text.Columns()[2].Align, ecaCenter);
  EXPECT_EQ(text.Columns()[3].Format, "#,###,##0.00");
  EXPECT_EQ(text.Columns()[4].Format, "yyyy-mm-dd");

  TPlainExporter sheet;  // publishes no alignments: everything left
  sheet.DataSet = &data_;
  sheet.Columns().Build(sheet.ColumnSettings());
  EXPECT_EQ(sheet.Columns()[0].Align, ecaLeft);
}

// A binary column's declared size counts bytes; its hexadecimal or base64
// text is longer, and a column as wide as the bytes cut the text on the page.
// A width from the template still wins.
TEST_F(ColumnsTest, BinaryColumnsAreAsWideAsTheTextOfTheirBytes) {
  TMemoryDataSet data;
  TField& bytes = data.AddField("BYTES", ftBytes, 8);
  bytes.DisplayWidth = 8;
  bytes.ValueKind = vkBinary;
  data.AddField("SIZED", ftBytes, 8).ValueKind = vkBinary;
  data.Open();
  for (const auto& [form, width] :
       std::vector<std::pair<TBinaryForm, int>>{{bfHex, 18}, {bfBase64, 12}, {bfRaw, 8}}) {
    TAlignedExporter text;
    text.DataSet = &data;
    text.ColumnsWidth = {"SIZED=5"};
    TColumnSettings settings = text.ColumnSettings();
    settings.BinaryForm = form;
    text.Columns().Build(settings);
    EXPECT_EQ(text.Columns()[0].Width, width) << form;
    EXPECT_EQ(text.Columns()[1].Width, 5) << form;
  }
}

// A column a format leaves out of its kind is listed, so that a run can report
// it; a format that exports every column leaves none out.
TEST_F(ColumnsTest, LeftOutBlobsAreListedUnlessEveryColumnIsExported) {
  TAlignedExporter text;
  text.DataSet = &data_;
  TColumnSettings settings = text.ColumnSettings();
  text.Columns().Build(settings);
  EXPECT_EQ(text.Columns().LeftOut(), std::vector<const TField*>{&data_.Field(6)});
  settings.EveryColumn = true;
  text.Columns().Build(settings);
  EXPECT_TRUE(text.Columns().Count() == 7 && text.Columns().LeftOut().empty());
}

TEST_F(ColumnsTest, KeyedSettingsMatchNamesWithoutLetterCase) {
  TAlignedExporter text;
  text.DataSet = &data_;
  text.Captions = {"id=Number", "Id=ignored"};
  text.ColumnsWidth = {"name=abc", "ID=4"};
  text.ColumnsAlign = {"name=center", "id=x", "broken line"};
  text.UserFormats = {"price=0.000"};
  text.Formats.SetIntegerFormat("");
  text.Columns().Build(text.ColumnSettings());
  EXPECT_EQ(text.Columns()[0].Caption, "Number");
  EXPECT_EQ(text.Columns()[0].Width, 4);
  EXPECT_EQ(text.Columns()[0].Align, ecaLeft);
  EXPECT_EQ(text.Columns()[0].Format, "#,###,##0");
  EXPECT_EQ(text.Columns()[1].Width, 0);
  EXPECT_EQ(text.Columns()[1].Align, ecaCenter);
  EXPECT_EQ(text.Columns()[3].Format, "0.000");
}

TEST_F(ColumnsTest, ExportedFieldsChooseOrderAndMayNameBlobs) {
  TAlignedExporter text;
  text.DataSet = &data_;
  text.ExportedFields = {"photo", "missing", "ID"};
  text.Columns().Build(text.ColumnSettings());
  ASSERT_EQ(text.Columns().Count(), 2);
  EXPECT_EQ(text.Columns()[0].Name, "PHOTO");
  EXPECT_TRUE(!text.Columns()[0].IsMemo && text.Columns()[0].IsBlob);
  EXPECT_EQ(text.Columns()[0].SQLType, "BLOB");
  EXPECT_EQ(text.Columns()[1].Name, "ID");
}

TEST_F(ColumnsTest, CellTextsKeepEveryByteAreFormattedAndNullReplaced) {
  TAlignedExporter text;
  text.DataSet = &data_;
  text.Formats.SetNullString("  (null) ");
  text.BeginExport();
  text.FillRow();
  std::string cell;
  std::vector<std::string> cells;
  for (TTabuloCol& each : text.ExportRow()) {
    text.CellExportText(each, true, cell);
    cells.push_back(cell);
  }
  EXPECT_EQ(cells, (std::vector<std::string>{"1,234,567", "  padded\r\n", "True", "1,234.50", "2004-02-29",
                                             " memo "}));

  data_.Next();
  text.FillRow();
  text.CellExportText(text.ExportRow()[0], true, cell);
  EXPECT_EQ(cell, "(null)");
  text.CellExportText(text.ExportRow()[2], true, cell);
  EXPECT_EQ(cell, "False");
  EXPECT_VELMORA_ERROR(text.CellExportText(text.ExportRow()[3], true, cell),
                       "'not a number' is not a valid floating point value");
  EXPECT_VELMORA_ERROR(text.CellExportText(text.ExportRow()[4], true, cell),
                       "'no date' is not a valid date and time");
}

TEST_F(ColumnsTest, IntegersNeverFailAndKeepEveryDigit) {
  TMemoryDataSet numbers;
  numbers.AddField("N", ftLargeint);
  numbers.AppendRecord({"18446744073709551615"});
  numbers.AppendRecord({"12abc"});
  numbers.Open();
  TAlignedExporter text;
  text.DataSet = &numbers;
  text.BeginExport();
  std::string cell;
  text.FillRow();
  text.CellExportText(text.ExportRow()[0], true, cell);
  EXPECT_EQ(cell, "18,446,744,073,709,551,615");
  numbers.Next();
  text.FillRow();
  text.CellExportText(text.ExportRow()[0], true, cell);
  EXPECT_EQ(cell, "0");
}

TEST_F(ColumnsTest, YearsShowTheirFourDigitsUngrouped) {
  TMemoryDataSet years;
  years.AddField("MADE", ftInteger).ValueKind = vkYear;
  years.AddField("COUNT", ftInteger);
  years.AddField("SHORT", ftInteger, 2).ValueKind = vkYear;
  years.AppendRecord({"2006", "2006", "06"});
  years.AppendRecord({"0000", "0", "00"});
  years.Open();
  TAlignedExporter text;
  text.DataSet = &years;
  text.BeginExport();
  EXPECT_EQ(text.Columns()[0].ValueKind, vkYear);
  const auto row_text = [&] {
    text.FillRow();
    std::string row, cell;
    for (TTabuloCol& each : text.ExportRow()) {
      text.CellExportText(each, true, cell);
      row += cell + "|";
    }
    return row;
  };
  EXPECT_EQ(row_text(), "2006|2,006|06|");
  years.Next();
  EXPECT_EQ(row_text(), "0000|0|00|");

  text.UserFormats = {"MADE=#,##0"};  // a format of the user's own still applies
  text.BeginExport();
  years.First();
  EXPECT_EQ(row_text(), "2,006|2,006|06|");
}

// The pass as AutoCalcColWidth runs it: every column widened to its values.
constexpr TWidthRule kWidenEveryColumn{0, true, false};

TEST_F(ColumnsTest, WidthPassCoversCaptionsRawAndDisplayTextsAndKeepsThePosition) {
  TAlignedExporter text;
  text.DataSet = &data_;
  text.ColumnsWidth = {"ID=1", "NAME=1", "ACTIVE=1", "PRICE=1", "BORN=1"};
  text.Captions = {"ACTIVE=Is active"};
  text.Formats.SetNullString("nothing here");
  text.ExportRecCount = 1;
  text.BeginExport();
  data_.Next();
  int fetched = 0;
  auto settings = text.ColumnSettings();
  settings.OnFetchedRecord = [&](int) { ++fetched; };
  text.Columns().ColumnWidthPass(settings, kWidenEveryColumn);
  EXPECT_EQ(text.Columns()[0].Width, 9);   // "1,234,567"
  EXPECT_EQ(text.Columns()[1].Width, 10);  // "  padded\r\n", untrimmed
  EXPECT_EQ(text.Columns()[2].Width, 9);   // the caption
  EXPECT_EQ(text.Columns()[3].Width, 8);   // "1,234.50"
  EXPECT_EQ(fetched, 1);
  EXPECT_EQ(data_.RecordIndex(), 1);
  EXPECT_EQ(data_.OpenBookmarks(), 0);
}

TEST_F(ColumnsTest, WidthPassMeasuresNullCellsAsTheNullString) {
  TAlignedExporter text;
  text.DataSet = &data_;
  text.ColumnsWidth = {"ID=1"};
  text.Formats.SetNullString("nothing here");
  text.SkipRecCount = 1;  // only the record whose ID is NULL
  text.BeginExport();
  text.Columns().ColumnWidthPass(text.ColumnSettings(), kWidenEveryColumn);
  EXPECT_EQ(text.Columns()[0].Width, 12);
}

TEST_F(ColumnsTest, WidthPassMeasuresTheRecordsTheExportWrites) {
  TAlignedExporter text;
  text.DataSet = &data_;
  text.ColumnsWidth = {"NAME=1"};
  text.GoToFirstRecord = false;
  text.CurrentRecordOnly = true;
  text.BeginExport();
  data_.Next();  // the export writes only the second record, "x"
  text.Columns().ColumnWidthPass(text.ColumnSettings(), kWidenEveryColumn);
  EXPECT_EQ(text.Columns()[1].Width, 4);  // the caption, not "  padded\r\n"
  EXPECT_EQ(data_.RecordIndex(), 1);
}

TEST_F(ColumnsTest, ContentWidthsReplaceTheDeclaredSizeUpToTheCapAndKeepGivenWidths) {
  TMemoryDataSet titles;
  titles.AddField("ID", ftInteger);
  titles.AddField("TITLE", ftString, 255);
  titles.AddField("NOTE", ftString, 255);
  titles.AddField("K", ftString, 255);
  titles.AppendRecord({"7", "ACADEMY DINOSAUR", std::string(90, 'x'), "日本語"});
  titles.AppendRecord({"1001", "AFRICAN EGG", "", "a"});
  titles.Open();
  const struct {
    TWidthRule Rule;
    std::vector<int> Widths;
  } cases[] = {
      // Caption "ID" or the widest value, the note capped at 60, a given width kept.
      {{60, false, false}, {4, 16, 60, 3}},
      {{0, false, false}, {4, 16, 90, 3}},
      // Widening: the given width of K grows to its caption and values.
      {{60, true, false}, {4, 16, 90, 6}},
  };
  for (const auto& test : cases) {
    TAlignedExporter text;
    text.DataSet = &titles;
    text.ColumnsWidth = {"K=3"};
    text.Captions = {"K=Kanji!"};
    text.Formats.SetIntegerFormat("0");
    text.BeginExport();
    text.Columns().ColumnWidthPass(text.ColumnSettings(), test.Rule);
    std::vector<int> widths;
    for (int index = 0; index < text.Columns().Count(); ++index) widths.push_back(text.Columns()[index].Width);
    EXPECT_EQ(widths, test.Widths);
    EXPECT_EQ(text.Columns()[3].ContentCells, 6);  // two-cell characters
    EXPECT_EQ(text.Columns()[3].CaptionCells, 6);
  }
}

TEST_F(ColumnsTest, DefaultFormatsKeepFractionsOfSeconds) {
  TMemoryDataSet moments;
  moments.AddField("AT", ftDateTime);
  moments.AddField("DURING", ftTime);
  moments.AppendRecord({"2024-01-02 03:04:05.123456", "13:04:05.5"});
  moments.AppendRecord({"2024-01-02 03:04:05", "13:04:05"});
  moments.AppendRecord({"2024-01-02 03:04:05", "-838:59:59.5"});
  moments.Open();
  TAlignedExporter text;
  text.DataSet = &moments;
  std::vector<std::string> cells;
  const auto export_row = [&] {
    text.FillRow();
    cells.clear();
    std::string cell;
    for (TTabuloCol& each : text.ExportRow()) {
      text.CellExportText(each, true, cell);
      cells.push_back(cell);
    }
  };
  text.BeginExport();
  export_row();
  EXPECT_EQ(cells, (std::vector<std::string>{"2024-01-02 03:04:05.123456", "13:04:05.5"}));
  moments.Next();
  export_row();
  EXPECT_EQ(cells, (std::vector<std::string>{"2024-01-02 03:04:05", "13:04:05"}));
  moments.Next();
  export_row();
  EXPECT_EQ(cells[1], "-838:59:59.5");  // a duration beyond the clock stays exact

  // A format of the user's own shows what it asks for.
  text.UserFormats = {"AT=hh:nn:ss", "DURING=hh:nn"};
  text.BeginExport();
  moments.First();
  export_row();
  EXPECT_EQ(cells, (std::vector<std::string>{"03:04:05", "13:04"}));
}

TEST_F(ColumnsTest, FormatsSettersRestoreDefaultsAndAssignCopies) {
  TTabuloFormats formats;
  EXPECT_EQ(formats.CurrencyFormat(), "$#,###,##0.00");
  EXPECT_EQ(formats.DateTimeFormat(), "yyyy-mm-dd hh:nn:ss");
  formats.SetIntegerFormat("0");
  formats.SetBooleanTrue("");
  EXPECT_EQ(formats.BooleanTrue(), "true");
  TTabuloFormats copy;
  copy.Assign(formats);
  EXPECT_EQ(copy.IntegerFormat(), "0");
  // Whether a number format was given travels with the copy.
  EXPECT_TRUE(copy.IntegerFormatSet());
  EXPECT_FALSE(copy.FloatFormatSet());
  copy.SetIntegerFormat("");
  EXPECT_EQ(copy.IntegerFormat(), "#,###,##0");
  EXPECT_FALSE(copy.IntegerFormatSet());
}

// ---------------------------------------------------------------------------
// Plain numbers for programs, display forms for people

// A format that programs read, as CSV is.
class TMachineReadExporter : public TTabuloFormatText {
 public:
  bool MachineReadDefaults() const override { return true; }
};

// The export texts of the current record.
std::vector<std::string> CurrentCells(TTabulo& exporter) {
  exporter.BeginExport();
  exporter.FillRow();
  std::vector<std::string> cells;
  std::string cell;
  for (TTabuloCol& each : exporter.ExportRow()) {
    exporter.CellExportText(each, true, cell);
    cells.push_back(cell);
  }
  return cells;
}

class NumberFormsTest : public PinnedSettingsTest {};

struct TNumberFormsCase {
  const char* Name;
  TFieldType Type;
  const char* Text;     // the field's text, in the German-style form
  const char* Plain;    // machine-read export without a format of the template's own
  const char* Display;  // the display defaults
};

TEST_F(NumberFormsTest, MachineReadExportsPrintEveryDigitWithoutGroupingUnlessTheTemplateSetsAFormat) {
  PinGerman();
  const TNumberFormsCase cases[] = {
      {"COUNT", ftInteger, "16047", "16047", "16.047"},
      {"BIG", ftLargeint, "18446744073709551615", "18446744073709551615", "18.446.744.073.709.551.615"},
      {"EIGHTH", ftFloat, "0,125", "0,125", "0,13"},
      {"DOUBLE", ftFloat, "1234567890,1234567", "1234567890,1234567", "1.234.567.890,12"},
      {"EXACT", ftBCD, "-12345678901234567890123456789012345,123456789012345678901234567890",
       "-12345678901234567890123456789012345,123456789012345678901234567890",
       "-12.345.678.901.234.567.890.123.456.789.012.345,12"},
      {"TINY", ftFloat, "1,5e-7", "1,5e-7", "0,00"},
      {"PRICE", ftCurrency, "12,5", "12,5", "12,50 €"},
      {"BROKEN", ftInteger, "12abc", "0", "0"},
  };
  TMemoryDataSet data;
  TMemoryDataSet::TRecord record;
  std::vector<std::string> plain;
  std::vector<std::string> display;
  for (const TNumberFormsCase& test_case : cases) {
    data.AddField(test_case.Name, test_case.Type);
    record.push_back(test_case.Text);
    plain.push_back(test_case.Plain);
    display.push_back(test_case.Display);
  }
  data.AppendRecord(record);
  data.Open();

  TMachineReadExporter machine;
  machine.DataSet = &data;
  EXPECT_EQ(CurrentCells(machine), plain);
  TPlainExporter text;
  text.DataSet = &data;
  EXPECT_EQ(CurrentCells(text), display);

  // A format the template gives applies, by type or by name, even one equal to
  // the display default.
  machine.Formats.SetIntegerFormat("#,###,##0");
  machine.UserFormats = {"eighth=0.0", "PRICE="};
  std::vector<std::string> formatted = plain;
  formatted[0] = "16.047";
  formatted[1] = "18.446.744.073.709.551.615";
  formatted[2] = "0,1";
  formatted[6] = "12,5";  // the general form of an empty format
  formatted[7] = "0";
  EXPECT_EQ(CurrentCells(machine), formatted);
  machine.Formats.Reset();
  machine.UserFormats.Clear();
  EXPECT_EQ(CurrentCells(machine), plain);
}

TEST_F(NumberFormsTest, PlainIntegersMatchTheGeneralPlainDecimalForm) {
  // Integer cells take a short path; it must agree with the general one on
  // signs, leading zeros and zero, and very long digit runs keep the general one.
  const std::string many_digits = "-000" + std::string(1200, '7');
  const std::vector<std::string> texts = {"0",   "-0",    "+0", "-000", "007",  "+0042",
                                          "-17", "-0001", "+5", "10",   "-100", many_digits};
  TMemoryDataSet data;
  data.AddField("N", ftLargeint);
  for (const std::string& text : texts) data.AppendRecord({text});
  data.Open();
  TMachineReadExporter machine;
  machine.DataSet = &data;
  std::size_t row = 0;
  for (data.First(); !data.Eof(); data.Next(), ++row) {
    SCOPED_TRACE(texts[row].substr(0, 12));
    std::string general;
    ASSERT_TRUE(AppendPlainDecimal(texts[row], ",", general));
    EXPECT_EQ(CurrentCells(machine)[0], general);
  }
}

TEST_F(NumberFormsTest, PlainNumbersOfFloatsFailLikeTheirDisplayForm) {
  TMemoryDataSet data;
  data.AddField("PRICE", ftFloat);
  data.AppendRecord({"12.5.0"});
  data.Open();
  TMachineReadExporter machine;
  machine.DataSet = &data;
  EXPECT_VELMORA_ERROR(CurrentCells(machine), "'12.5.0' is not a valid floating point value");
}

TEST_F(NumberFormsTest, TimesUseTheLocaleDecimalSeparatorInsideAndOutsideADay) {
  PinGerman();
  // Within a day the field's text carries the locale's separator already; a
  // duration beyond the clock arrives with the server's ".".
  TMemoryDataSet data;
  data.AddField("AT", ftTime);
  for (const char* text : {"12:34:56,789012", "838:59:59.000000", "-00:00:01.5", "100:00:00"})
    data.AppendRecord({text});
  data.Open();
  TPlainExporter text;  // its default time format is the locale's
  text.DataSet = &data;
  std::vector<std::string> shown;
  for (data.First(); !data.Eof(); data.Next()) shown.push_back(CurrentCells(text)[0]);
  EXPECT_EQ(shown,
            (std::vector<std::string>{"12:34:56,789012", "838:59:59,000000", "-00:00:01,5", "100:00:00"}));
}

TEST(ColumnTypes, FieldTypesMapToColumnTypesAndSqlNames) {
  EXPECT_EQ(ColumnTypeOf(ftAutoInc), ctInteger);
  EXPECT_EQ(ColumnTypeOf(ftBCD), ctFloat);
  EXPECT_EQ(ColumnTypeOf(ftTimeStamp), ctDateTime);
  EXPECT_EQ(ColumnTypeOf(ftMemo), ctString);
  EXPECT_EQ(ColumnTypeOf(ftGraphic), ctUnknown);
  EXPECT_STREQ(ColumnTypeName(ctLargeInt), "Integer");
  EXPECT_EQ(SqlTypeNameOf(ftAutoInc, 0), "UNKNOWN");
  EXPECT_EQ(SqlTypeNameOf(ftTime, 0), "DATE");
  EXPECT_EQ(SqlTypeNameOf(ftBCD, 0), "DOUBLE PRECISION");
}

}  // namespace
}  // namespace velmora
