// The output files of an export: a header patched at the end reaches every
// target, side files appear with the main file or not at all, and the output
// directory is made without recursion and within the system's path limit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <memory>
#include <set>

#include "engine/memory_dataset.h"
#include "engine/tabulo.h"
#include "formats/format_registry.h"
#include "formats/html/tabulo_html.h"
#include "platform/error.h"
#include "platform/output_file_set.h"
#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;
using TNames = std::vector<std::string>;

// Writes a placeholder count first and patches it when the rows are written,
// as binary formats do with their headers; may add a side file and fail.
class TPatchingExporter : public TTabuloText {
 public:
  using TTabuloText::OutputFiles;

  std::string side_file;  // written after the header when not empty
  int fail_on_row = -1;   // WriteDataRow of that record (0-based) throws

  void BeginExport() override {
    TTabuloText::BeginExport();
    Writer().WriteLine("rows=??");
    if (!side_file.empty()) OutputFiles().Add(side_file).Write("side");
  }
  void WriteDataRow() override {
    if (rows_written_ == fail_on_row) throw EVelmoraError("row failed");
    ++rows_written_;
    std::string row;
    GetDataRow(false, row);
    Writer().WriteLine(row);
  }
  void EndExport() override {
    TOutputStream& stream = Writer().Stream();
    const std::int64_t end = stream.Size();
    stream.Seek(5);
    stream.Write(Format("%02d", rows_written_));
    stream.Seek(end);
    TTabuloText::EndExport();
  }

 private:
  int rows_written_ = 0;
};

class OutputFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_.AddField("ID", ftString, 5);
    for (int record = 1; record <= 3; ++record) data_.AppendRecord({std::to_string(record)});
    data_.Open();
  }
  // A fresh exporter of the records into target.
  std::unique_ptr<TPatchingExporter> Exporter(const std::string& target) {
    auto exporter = std::make_unique<TPatchingExporter>();
    exporter->DataSet = &data_;
    exporter->FileName = target;
    return exporter;
  }
  std::string File(const std::string& name) const { return directory_.File(name); }

  testsupport::TTempDir directory_{"output-files"};
  TMemoryDataSet data_;
};

TEST_F(OutputFilesTest, AHeaderPatchedAtTheEndReachesPipesAsItReachesAFile) {
  const std::string expected = "rows=03\r\n1\r\n2\r\n3\r\n";
  Exporter(File("out.txt"))->Execute();
  EXPECT_EQ(ReadFile(File("out.txt")), expected);

  int pipe_ends[2];
  ASSERT_EQ(::pipe2(pipe_ends, O_CLOEXEC), 0);
  auto from_pipe = testsupport::ReadPipeInBackground(pipe_ends[0]);
  Exporter("/dev/fd/" + std::to_string(pipe_ends[1]))->Execute();
  ::close(pipe_ends[1]);
  EXPECT_EQ(from_pipe.get(), expected);

  const std::string fifo = File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::future<std::string> from_fifo;
  auto to_fifo = Exporter(fifo);
  // Nobody reads the FIFO when the export opens it; the copy waits for this reader.
  to_fifo->OnBeginExport = [&](TTabulo&) { from_fifo = testsupport::ReadPipeInBackground(fifo); };
  to_fifo->Execute();
  EXPECT_EQ(from_fifo.get(), expected);
}

TEST_F(OutputFilesTest, EveryFormatGivesAPipeTheBytesOfItsFile) {
  // Formats that write the time of the export into the file differ in it.
  const std::set<std::string_view> time_stamped = {"PDF"};
  for (const TExportFormat* format : ExportFormats()) {
    const std::string name(format->Name);
    std::unique_ptr<TTabuloText> exporter = format->Create();
    exporter->DataSet = &data_;
    exporter->FileName = File("out." + name);
    exporter->Execute();
    const std::string from_file = ReadFile(exporter->FileName);

    int pipe_ends[2];
    ASSERT_EQ(::pipe2(pipe_ends, O_CLOEXEC), 0);
    auto from_pipe = testsupport::ReadPipeInBackground(pipe_ends[0]);
    exporter = format->Create();
    exporter->DataSet = &data_;
    exporter->FileName = "/dev/fd/" + std::to_string(pipe_ends[1]);
    // A format that says it writes in order gets the pipe itself, which
    // refuses every seek, and no spool: a temporary directory that does not
    // exist cannot stop it.
    const bool spool_free = !exporter->SeeksBack();
    if (spool_free) ::setenv("TMPDIR", File("missing").c_str(), 1);
    EXPECT_NO_THROW(exporter->Execute()) << name;
    ::unsetenv("TMPDIR");
    ::close(pipe_ends[1]);
    const std::string piped = from_pipe.get();
    if (time_stamped.count(name) != 0) {
      EXPECT_EQ(piped.size(), from_file.size()) << name;
    } else {
      EXPECT_EQ(piped, from_file) << name;
    }
  }
}

TEST_F(OutputFilesTest, NoPageFilesAreMadeBesideADescriptor) {
  // As /dev/stdout names the file a shell redirected the output to.
  const int fd = ::open(File("redirected.html").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  TTabuloHTML exporter;
  exporter.DataSet = &data_;
  exporter.FileName = "/dev/fd/" + std::to_string(fd);
  exporter.SetMaxRecords(2);
  exporter.Execute();
  ::close(fd);
  const std::string page = ReadFile(File("redirected.html"));
  EXPECT_EQ(page.find("<HTML>"), page.rfind("<HTML>"));
  EXPECT_NE(page.find(">3<"), std::string::npos) << page;
  EXPECT_EQ(directory_.Entries(), TNames{"redirected.html"});
}

TEST_F(OutputFilesTest, AFailureAfterTheSideFileWasWrittenLeavesNeitherFile) {
  WriteFile(File("out.txt"), "old main");
  WriteFile(File("out.side"), "old side");
  for (const int fail_on_row : {1, -1}) {
    auto exporter = Exporter(File("out.txt"));
    exporter->side_file = File("out.side");
    exporter->fail_on_row = fail_on_row;
    if (fail_on_row >= 0) {
      EXPECT_VELMORA_ERROR(exporter->Execute(), "row failed");
      EXPECT_EQ(ReadFile(File("out.txt")) + ", " + ReadFile(File("out.side")), "old main, old side");
    } else {
      exporter->Execute();
      EXPECT_EQ(ReadFile(File("out.side")), "side");
      EXPECT_VELMORA_ERROR(exporter->OutputFiles(), "The output files exist only while the export runs");
    }
    EXPECT_EQ(directory_.Entries(), (TNames{"out.side", "out.txt"}));
  }
}

TEST_F(OutputFilesTest, DirectoriesAreMadeLevelByLevelWithinThePathLimit) {
  // A hundred levels are made; 3,000 do not fit in the limit, and none of them is made.
  std::string within = directory_.Path();
  for (int level = 0; level < 100; ++level) within += "/d";
  Exporter(within + "/out.txt")->Execute();
  EXPECT_EQ(ReadFile(within + "/out.txt"), "rows=03\r\n1\r\n2\r\n3\r\n");

  std::string beyond = File("e");
  for (int level = 0; level < 3000; ++level) beyond += "/e";
  EXPECT_VELMORA_ERROR(Exporter(beyond + "/out.txt")->Execute(),
                       "Directory '" + beyond + "' not found and cannot be created");
  EXPECT_EQ(directory_.Entries(), TNames{"d"});
}

}  // namespace
}  // namespace velmora
