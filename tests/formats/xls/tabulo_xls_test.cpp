// The workbook exporter's layout of a sheet read back from its records: the
// column limit, the data block moved right, header rows beyond the header
// lines, strips by column, and what the events see and change.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "formats/xls/biff_records.h"
#include "formats/xls/biff_writer.h"
#include "platform/locale_settings.h"
#include "support/expect_error.h"
#include "tests/formats/xls/xls_test_support.h"

namespace velmora {
namespace {

using testsupport::ReadFile;
using testsupport::ReadRecords;
using testsupport::TBiffRecord;
using testsupport::UInt16At;
using testsupport::UInt32At;

// A workbook read back: the shared strings (short ones, in one record), the
// cells as "row col" lines of their kind and value, and the XF records.
struct TWorkbook {
  std::vector<TBiffRecord> Records;
  std::vector<std::string> Strings;
  std::vector<std::string> XFs;
  std::map<std::uint16_t, std::string> Formats;  // number format by number

  explicit TWorkbook(const std::string& file) : Records(ReadRecords(file)) {
    for (const TBiffRecord& record : Records) {
      if (record.Id == kXFRecord) XFs.push_back(record.Payload);
      if (record.Id == kFormatRecord) Formats[UInt16At(record.Payload, 0)] = record.Payload.substr(5);
      if (record.Id != kSstRecord) continue;
      std::size_t position = 8;
      for (std::uint32_t index = 0; index < UInt32At(record.Payload, 4); ++index) {
        const std::uint16_t length = UInt16At(record.Payload, position);
        EXPECT_EQ(record.Payload[position + 2], 0) << "a short Latin text is stored compressed";
        Strings.push_back(record.Payload.substr(position + 3, length));
        position += 3 + length;
      }
    }
  }

  // One line per cell of the sheet's records: "row col kind value", kind S
  // (text), N (number), B (blank) or F (formula with its rows), and, when
  // with_xf, the cell's XF number.
  std::string Cells(bool with_xf = false) const {
    std::string lines;
    for (const TBiffRecord& record : Records) {
      const std::string& payload = record.Payload;
      std::string value;
      switch (record.Id) {
        case kLabelSstRecord: value = "S " + Strings.at(UInt32At(payload, 6)); break;
        case kNumberRecord: {
          double number = 0;
          std::memcpy(&number, payload.data() + 6, sizeof number);
          value = "N " + std::to_string(static_cast<long long>(number));
          break;
        }
        case kBlankRecord: value = "B"; break;
        case kFormulaRecord:
          value = "F " + std::to_string(UInt16At(payload, 23)) + "-" + std::to_string(UInt16At(payload, 25)) +
                  " col " + std::to_string(UInt16At(payload, 27) & 0x00FF);
          break;
        default: continue;
      }
      lines += std::to_string(UInt16At(payload, 0)) + " " + std::to_string(UInt16At(payload, 2)) + " " + value;
      if (with_xf) lines += " xf " + std::to_string(UInt16At(payload, 4));
      lines += "\n";
    }
    return lines;
  }

  // The first columns of the COLINFO records.
  std::vector<int> ColumnInfoColumns() const {
    std::vector<int> columns;
    for (const TBiffRecord& record : Records) {
      if (record.Id == kColInfoRecord) columns.push_back(UInt16At(record.Payload, 0));
    }
    return columns;
  }

  // The palette colour of the fill (bits 0-6 of bytes 18-19) and the font of an XF.
  int FillColour(std::uint16_t xf) const { return UInt16At(XFs.at(xf), 18) & 0x7F; }
  int FontOf(std::uint16_t xf) const { return UInt16At(XFs.at(xf), 0); }
  std::string FormatOf(std::uint16_t xf) const {
    const auto found = Formats.find(UInt16At(XFs.at(xf), 2));
    return found == Formats.end() ? "" : found->second;
  }
};

class XlsExporterTest : public ::testing::Test {
 protected:
  // Fields A, B ... of integers with the given rows of values.
  void Fill(int fields, const std::vector<std::vector<int>>& rows = {}) {
    for (int field = 0; field < fields; ++field) data_.AddField(FieldName(field), ftInteger);
    for (const auto& row : rows) {
      TMemoryDataSet::TRecord record;
      for (int value : row) record.push_back(std::to_string(value));
      data_.AppendRecord(record);
    }
    data_.Open();
  }
  static std::string FieldName(int index) {
    return index < 26 ? std::string(1, static_cast<char>('A' + index)) : "F" + std::to_string(index);
  }

  TWorkbook Export(const std::function<void(TTabuloXLS&)>& configure) {
    testsupport::ExportWorkbook(data_, path_, configure);
    return TWorkbook(ReadFile(path_));
  }

  testsupport::TFormatSettingsScope locale_;
  testsupport::TTempDir directory_{"xls-exporter"};
  const std::string path_ = directory_.File("book.xls");
  TMemoryDataSet data_;
};

// ---------------------------------------------------------------------------
// Column limit

struct TColumnLimitCase {
  int fields;
  int start_data_col;
  const char* error;  // null: the export succeeds
};

class XlsColumnLimitTest : public XlsExporterTest, public ::testing::WithParamInterface<TColumnLimitCase> {};

TEST_P(XlsColumnLimitTest, SheetWiderThanTheLimitFailsAndLeavesTheEarlierFile) {
  Fill(GetParam().fields, {std::vector<int>(static_cast<std::size_t>(GetParam().fields), 1)});
  testsupport::WriteFile(path_, "earlier");
  const auto configure = [this](TTabuloXLS& exporter) {
    exporter.StartDataCol = GetParam().start_data_col;
    exporter.Options.SetSheetTitle("Wide");
  };
  if (GetParam().error != nullptr) {
    EXPECT_VELMORA_ERROR(testsupport::ExportWorkbook(data_, path_, configure), GetParam().error);
    EXPECT_EQ(ReadFile(path_), "earlier");
    return;
  }
  const TWorkbook book = Export(configure);
  for (const TBiffRecord& record : book.Records) {
    if (record.Id == kDimensionsRecord) {
      EXPECT_EQ(UInt16At(record.Payload, 10), 256);
    }
  }
  EXPECT_NE(book.Cells().find("1 255 N 1\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, XlsColumnLimitTest,
    ::testing::Values(TColumnLimitCase{256, 0, nullptr}, TColumnLimitCase{255, 1, nullptr},
                      TColumnLimitCase{257, 0, "Sheet Wide needs 257 columns; a worksheet holds at most 256"},
                      TColumnLimitCase{256, 1, "Sheet Wide needs 257 columns; a worksheet holds at most 256"},
                      TColumnLimitCase{2, 255, "Sheet Wide needs 257 columns; a worksheet holds at most 256"}));

// The worksheets wait in a temporary file: a temporary directory that cannot
// take it fails the item naming the directory, and the earlier file stays.
TEST_F(XlsExporterTest, UnusableTemporaryDirectoryFailsNamingItAndLeavesTheEarlierFile) {
  Fill(2, {{1, 2}});
  testsupport::WriteFile(path_, "earlier");
  const std::string missing = directory_.File("no-such-directory");
  const char* saved = std::getenv("TMPDIR");
  const std::string saved_value = saved != nullptr ? saved : "";
  ::setenv("TMPDIR", missing.c_str(), 1);
  EXPECT_VELMORA_ERROR(testsupport::ExportWorkbook(data_, path_, [](TTabuloXLS&) {}),
                       "Cannot create a temporary file in \"" + missing + "\": No such file or directory");
  if (saved != nullptr) {
    ::setenv("TMPDIR", saved_value.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  EXPECT_EQ(ReadFile(path_), "earlier");
}

// ---------------------------------------------------------------------------
// Layout of the blocks

TEST_F(XlsExporterTest, StartDataColMovesCaptionsDataAndAggregatesButNotTheHeader) {
  Fill(2, {{1, 10}, {2, 20}});
  std::vector<std::string> before_data;
  const TWorkbook book = Export([&](TTabuloXLS& exporter) {
    exporter.StartDataCol = 2;
    exporter.Header.Add("h0\t\th2");
    TxlsFieldFormat& format = exporter.FieldFormats.Add();
    format.FieldName = "B";
    format.Aggregate = aggSum;
    exporter.OnGetBeforeDataParams = [&](TxlsSheet&, int, int col, int row, TxlsFormat&, std::string& text) {
      before_data.push_back(std::to_string(row) + "," + std::to_string(col));
      if (col == 1) text = "row " + std::to_string(row);
    };
  });
  EXPECT_EQ(book.Cells(), "0 0 S h0\n0 2 S h2\n"
                          "1 1 S row 1\n1 2 S A\n1 3 S B\n"
                          "2 1 S row 2\n2 2 N 1\n2 3 N 10\n"
                          "3 1 S row 3\n3 2 N 2\n3 3 N 20\n"
                          "4 3 F 2-3 col 3\n");
  EXPECT_EQ(before_data, (std::vector<std::string>{"1,0", "1,1", "2,0", "2,1", "3,0", "3,1"}));
  EXPECT_EQ(book.ColumnInfoColumns(), (std::vector<int>{2, 3}));
}

TEST_F(XlsExporterTest, HeaderAndFooterRowsBeyondTheirLinesAreVisitedEveryColumn) {
  Fill(1, {{7}});
  std::map<int, int> header_calls;  // row: calls
  std::map<int, int> footer_calls;
  const TWorkbook book = Export([&](TTabuloXLS& exporter) {
    exporter.Header.Add("a\tb");
    exporter.HeaderRows = 3;
    exporter.Footer.Add("first");
    exporter.Footer.Add("second");
    exporter.Footer.Add("third");
    exporter.FooterRows = 2;
    exporter.OnGetHeaderParams = [&](TxlsSheet&, int, int col, int row, TxlsFormat&, std::string& text) {
      ++header_calls[row];
      if (row == 2 && col == 255) text = "last";
    };
    exporter.OnGetFooterParams = [&](TxlsSheet&, int, int, int row, TxlsFormat&, std::string&) {
      ++footer_calls[row];
    };
  });
  EXPECT_EQ(header_calls, (std::map<int, int>{{0, 256}, {1, 256}, {2, 256}}));
  EXPECT_EQ(footer_calls, (std::map<int, int>{{5, 256}, {6, 256}}));
  EXPECT_EQ(book.Cells(), "0 0 S a\n0 1 S b\n2 255 S last\n3 0 S A\n4 0 N 7\n5 0 S first\n6 0 S second\n");
}

// Styles by column: the first and third columns take the first strip, the
// second the other one; a column with a field style of its own keeps it.
TEST_F(XlsExporterTest, ColumnStripsAlternateByColumnOnEveryRow) {
  Fill(4, {{1, 2, 3, 4}, {5, 6, 7, 8}});
  const TWorkbook book = Export([](TTabuloXLS& exporter) {
    exporter.StripType = ssCol;
    exporter.StripStyles.Add().Fill = {clrYellow, ptSolid, clrBlack};
    exporter.StripStyles.Add().Fill = {clrRed, ptSolid, clrBlack};
    TxlsFieldFormat& own = exporter.FieldFormats.Add();
    own.FieldName = "d";
    own.Fill = {clrBlue, ptSolid, clrBlack};
  });
  std::map<int, std::vector<int>> colours;  // column: fill colour of its data cells
  for (const TBiffRecord& record : book.Records) {
    if (record.Id == kNumberRecord) {
      colours[UInt16At(record.Payload, 2)].push_back(book.FillColour(UInt16At(record.Payload, 4)));
    }
  }
  // Palette: yellow 13, red 10, blue 12.
  EXPECT_EQ(colours, (std::map<int, std::vector<int>>{{0, {13, 13}}, {1, {10, 10}}, {2, {13, 13}}, {3, {12, 12}}}));
}

// ---------------------------------------------------------------------------
// Events

TEST_F(XlsExporterTest, DataParamsEventChangesStyleAndNumberFormatOfACell) {
  Fill(2, {{1, 2}});
  std::vector<std::string> seen;
  const TWorkbook book = Export([&](TTabuloXLS& exporter) {
    exporter.StartDataCol = 1;
    exporter.OnGetDataParams = [&](TxlsSheet&, int, int col, int row, TxlsFormat& style, std::string& format) {
      seen.push_back(std::to_string(row) + "," + std::to_string(col) + " " + format);
      if (col == 1) {
        format = "0.000";
        style.Fill = {clrGreen, ptSolid, clrBlack};
      } else {
        format.clear();  // the column's own format
      }
    };
  });
  // Integer columns without a format of the template's show plain integers.
  EXPECT_EQ(seen, (std::vector<std::string>{"1,1 0", "1,2 0"}));
  std::map<int, std::uint16_t> xfs;
  for (const TBiffRecord& record : book.Records) {
    if (record.Id == kNumberRecord) xfs[UInt16At(record.Payload, 2)] = UInt16At(record.Payload, 4);
  }
  ASSERT_EQ(xfs.size(), 2u);
  EXPECT_EQ(book.FormatOf(xfs[1]), "0.000");
  EXPECT_EQ(book.FillColour(xfs[1]), 17);
  EXPECT_EQ(book.FormatOf(xfs[2]), "0");
  EXPECT_EQ(book.FillColour(xfs[2]), 9);
}

TEST_F(XlsExporterTest, CaptionTextAndAggregateEventsReachTheirCells) {
  data_.AddField("N", ftInteger);
  data_.AddField("NAME", ftString, 10);
  data_.AppendRecord({"1", "one"});
  data_.AppendRecord({"2", "two"});
  data_.Open();
  const TWorkbook book = Export([](TTabuloXLS& exporter) {
    exporter.OnGetCaptionParams = [](TxlsSheet&, int, int col, TxlsFormat&, std::string& caption) {
      caption = col == 0 ? "Number" : "";
    };
    // The engine's text event runs first, the sheet's second.
    exporter.OnGetExportText = [](TTabulo&, int col, std::string& text) {
      if (col == 1) text += "-a";
    };
    exporter.OnAdvancedGetExportText = [](TxlsSheet&, int, int col, std::string& text) {
      if (col == 1) text += "-b";
    };
    TxlsFieldFormat& format = exporter.FieldFormats.Add();
    format.FieldName = "N";
    format.Aggregate = aggMax;
    // The value of a marked column is ignored; an unmarked column shows it.
    exporter.OnGetAggregateParams = [](TxlsSheet&, int, int, TxlsFormat&, std::string&, std::string& value) {
      value = "highest";
    };
  });
  EXPECT_EQ(book.Cells(), "0 0 S Number\n1 0 N 1\n1 1 S one-a-b\n2 0 N 2\n2 1 S two-a-b\n"
                          "3 0 F 1-2 col 0\n3 1 S highest\n");
}

// A part of a split export is one sheet of the export's records: defined
// sheets, each with its own source, are refused before any file is made.
TEST_F(XlsExporterTest, DefinedSheetsAreNotSplit) {
  Fill(1, {{0}, {1}, {2}});
  EXPECT_VELMORA_ERROR(testsupport::ExportWorkbook(data_, path_,
                                                   [&](TTabuloXLS& exporter) {
                                                     exporter.AddSheet().DataSet = &data_;
                                                     exporter.SplitRows = 2;
                                                   }),
                       "A workbook of defined sheets cannot be split into parts");
  EXPECT_EQ(directory_.Entries(), std::vector<std::string>{});
}

// Rows refused by the engine's event never reach the sheet's; the sheet's
// record counter counts refused rows, so row strips follow the records.
TEST_F(XlsExporterTest, RowEventsSeeTheSheetIndexAndTheRecordCounter) {
  Fill(1, {{0}, {1}, {2}, {3}, {4}});
  std::vector<int> advanced_rows;
  std::vector<std::string> exported;
  TxlsSheet* sheet = nullptr;
  const TWorkbook book = Export([&](TTabuloXLS& exporter) {
    exporter.AddSheet().Exported = false;
    sheet = &exporter.AddSheet();
    sheet->DataSet = &data_;
    sheet->StripType = ssRow;
    sheet->StripStyles.Add().Fill = {clrYellow, ptSolid, clrBlack};
    sheet->StripStyles.Add().Fill = {clrRed, ptSolid, clrBlack};
    exporter.OnBeforeExportRow = [](TTabulo&, TTabuloRow& row, bool& accept) { accept = row[0].Data != "3"; };
    exporter.OnAdvancedBeforeExportRow = [&](TTabulo&, int index, TTabuloRow& row, bool& accept) {
      advanced_rows.push_back(std::stoi(row[0].Data));
      EXPECT_EQ(index, 1);
      accept = row[0].Data != "1";
    };
    exporter.OnAdvancedExportedRecord = [&](TTabulo&, int index, int record) {
      exported.push_back(std::to_string(index) + ":" + std::to_string(record));
    };
  });
  EXPECT_EQ(advanced_rows, (std::vector<int>{0, 1, 2, 4}));
  EXPECT_EQ(exported, (std::vector<std::string>{"1:0", "1:2", "1:4"}));
  std::vector<int> colours;
  for (const TBiffRecord& record : book.Records) {
    if (record.Id == kNumberRecord) colours.push_back(book.FillColour(UInt16At(record.Payload, 4)));
  }
  EXPECT_EQ(colours, (std::vector<int>{13, 13, 13}));  // records 0, 2 and 4: the first strip
}

}  // namespace
}  // namespace velmora
