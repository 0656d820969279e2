// The record loop of the exporter base: skipping, limits, events, abort and
// the guarantees around failures, observed through an exporter that logs its steps.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/memory_dataset.h"
#include "engine/tabulo.h"
#include "platform/error.h"
#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TTempDir;
using testsupport::WriteFile;

class TLoggingExporter : public TTabuloFormatText {
 public:
  std::vector<std::string> log;
  int fail_on_row = -1;  // WriteDataRow of that record (0-based) throws

  void BeginExport() override {
    TTabuloFormatText::BeginExport();
    log.push_back("begin");
  }
  void BeforeExport() override { log.push_back("before"); }
  void AfterExport() override { log.push_back("after"); }
  void EndExport() override {
    log.push_back("end");
    Writer().WriteLine("end");
    TTabuloFormatText::EndExport();
  }
  void WriteCaptionRow() override {
    std::string row;
    GetCaptionRow(row);
    log.push_back("captions " + row);
  }
  void WriteDataRow() override {
    if (rows_written_ == fail_on_row) throw EVelmoraError("row failed");
    ++rows_written_;
    std::string row;
    GetDataRow(true, row);
    log.push_back("row " + row);
    Writer().WriteLine(row);
  }

 private:
  int rows_written_ = 0;
};

class RecordLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_.AddField("ID", ftString, 5);
    for (int record = 1; record <= 10; ++record) data_.AppendRecord({std::to_string(record)});
    data_.Open();
    exporter_.DataSet = &data_;
    exporter_.FileName = directory_.File("out.txt");
  }

  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (const auto& entry : exporter_.log) {
      if (entry.rfind("row ", 0) == 0) rows.push_back(entry.substr(4));
    }
    return rows;
  }

  TTempDir directory_{"loop"};
  TMemoryDataSet data_;
  TLoggingExporter exporter_;
};

TEST_F(RecordLoopTest, SkipAndLimitPassTheRightRecordsAndNumberTheEvents) {
  exporter_.SkipRecCount = 2;
  exporter_.ExportRecCount = 3;
  std::vector<int> skipped, exported;
  exporter_.OnSkippedRecord = [&](TTabulo&, int rec_no) { skipped.push_back(rec_no); };
  exporter_.OnExportedRecord = [&](TTabulo&, int rec_no) { exported.push_back(rec_no); };
  exporter_.Execute();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"3", "4", "5"}));
  EXPECT_EQ(skipped, (std::vector<int>{1, 2}));
  EXPECT_EQ(exported, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(exporter_.log.front(), "begin");
  EXPECT_EQ(exporter_.log[1], "captions ID");
  EXPECT_EQ(exporter_.log[2], "before");
  EXPECT_EQ(exporter_.log[exporter_.log.size() - 2], "after");
  EXPECT_EQ(exporter_.log.back(), "end");
  EXPECT_EQ(data_.ControlsDisabledCount(), 0);
}

TEST_F(RecordLoopTest, RejectedRowsCountAgainstTheLimitAndRaiseNoExportedEvent) {
  exporter_.ExportRecCount = 4;
  int seen = 0;
  exporter_.OnBeforeExportRow = [&](TTabulo&, TTabuloRow&, bool& accept) { accept = (seen++ % 2) == 0; };
  std::vector<int> exported;
  exporter_.OnExportedRecord = [&](TTabulo&, int rec_no) { exported.push_back(rec_no); };
  exporter_.Execute();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1", "3"}));
  // Numbered by the records the loop passed, the rejected ones included.
  EXPECT_EQ(exported, (std::vector<int>{0, 2}));
}

TEST_F(RecordLoopTest, SkippingStopsAtTheEndOfTheData) {
  exporter_.SkipRecCount = 1000;
  exporter_.AutoCalcColWidth = true;
  int skipped = 0;
  exporter_.OnSkippedRecord = [&](TTabulo&, int rec_no) { skipped = rec_no; };
  exporter_.Execute();
  EXPECT_EQ(skipped, 10);
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(exporter_.log.back(), "end");
}

TEST_F(RecordLoopTest, CurrentRecordOnlyExportsTheRecordUnderTheCursor) {
  exporter_.CurrentRecordOnly = true;
  exporter_.GoToFirstRecord = false;
  data_.First();
  for (int step = 0; step < 4; ++step) data_.Next();
  exporter_.Execute();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"5"}));

  exporter_.log.clear();
  exporter_.GoToFirstRecord = true;
  exporter_.SkipRecCount = 2;
  exporter_.Execute();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"3"}));
}

TEST_F(RecordLoopTest, AbortStopsBeforeTheNextRecordUnlessStopExportContinues) {
  exporter_.OnExportedRecord = [](TTabulo& sender, int rec_no) {
    if (rec_no == 1) sender.Abort();
  };
  exporter_.Execute();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(exporter_.log[exporter_.log.size() - 2], "after");
  EXPECT_EQ(exporter_.log.back(), "end");

  exporter_.log.clear();
  int asked = 0;
  exporter_.OnStopExport = [&](TTabulo&, bool& can_continue) {
    ++asked;
    can_continue = true;
  };
  exporter_.Execute();
  EXPECT_EQ(Rows().size(), 10u);
  EXPECT_EQ(asked, 1);
}

TEST_F(RecordLoopTest, AbortInBeginExportSkipsEverythingButLeavesAFile) {
  exporter_.OnBeginExport = [](TTabulo& sender) { sender.Abort(); };
  exporter_.Execute();
  EXPECT_EQ(exporter_.log, (std::vector<std::string>{"begin"}));
  EXPECT_TRUE(fs::exists(exporter_.FileName));
}

TEST_F(RecordLoopTest, FailingRowStillEndsTheExportAndLeavesNoFile) {
  WriteFile(exporter_.FileName, "previous");
  exporter_.fail_on_row = 2;
  EXPECT_VELMORA_ERROR(exporter_.Execute(), "row failed");
  EXPECT_EQ(exporter_.log.back(), "end");
  EXPECT_EQ(data_.ControlsDisabledCount(), 0);
  EXPECT_EQ(ReadFile(exporter_.FileName), "previous");
  EXPECT_EQ(directory_.Entries(), (std::vector<std::string>{"out.txt"}));
}

TEST_F(RecordLoopTest, SourceChecksUseTheSourceName) {
  TMemoryDataSet empty;
  empty.AddField("ID", ftString, 5);
  empty.Open();
  exporter_.DataSet = &empty;
  exporter_.ExportEmpty = false;
  EXPECT_VELMORA_ERROR(exporter_.Execute(), "Export source (DataSet) is empty");

  exporter_.ExportEmpty = true;
  exporter_.log.clear();
  exporter_.Execute();
  EXPECT_EQ(exporter_.log, (std::vector<std::string>{"begin", "captions ID", "before", "after", "end"}));

  empty.Close();
  EXPECT_VELMORA_ERROR(exporter_.Execute(), "Export source (DataSet) is closed");
  exporter_.DataSet = nullptr;
  EXPECT_VELMORA_ERROR(exporter_.Execute(), "Export source (DataSet) is not assigned");
}

TEST_F(RecordLoopTest, MissingDirectoriesAreCreatedAndImpossibleOnesReported) {
  exporter_.FileName = directory_.File("a/b/out.txt");
  exporter_.Execute();
  EXPECT_TRUE(fs::exists(exporter_.FileName));

  WriteFile(directory_.File("plain"), "x");
  exporter_.FileName = directory_.File("plain/sub/out.txt");
  EXPECT_VELMORA_ERROR(exporter_.Execute(),
                       "Directory '" + directory_.File("plain/sub") + "' not found and cannot be created");
}

TEST_F(RecordLoopTest, DuplicateColumnsOfOneFieldEachCarryTheValue) {
  exporter_.ExportedFields = {"ID", "id"};
  exporter_.ExportRecCount = 1;
  exporter_.Execute();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"11"}));
}

}  // namespace
}  // namespace velmora
