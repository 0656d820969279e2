// Compressed and split outputs: every format that takes a compression ending
// decompresses to the bytes of its plain file, a full device leaves nothing,
// and a split export gives complete parts that together hold every record
// once, in order, all committed together or not at all.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "engine/tabulo.h"
#include "formats/format_registry.h"
#include "formats/text/tabulo_ascii.h"
#include "platform/compressed_stream.h"
#include "platform/error.h"
#include "platform/output_file.h"
#include "platform/signal_cleanup.h"
#include "support/compressed_files.h"
#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::Decompressed;
using testsupport::ReadFile;
using testsupport::WriteFile;
using TNames = std::vector<std::string>;

class OutputPartsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_.AddField("ID", ftInteger, 5);
    data_.AddField("NAME", ftString, 12);
    for (int record = 1; record <= 10; ++record) {
      data_.AppendRecord({std::to_string(record), "name \"" + std::to_string(record) + "\""});
    }
    data_.Open();
  }
  std::unique_ptr<TTabuloText> Exporter(const TExportFormat& format, const std::string& name) {
    std::unique_ptr<TTabuloText> exporter = format.Create();
    exporter->DataSet = &data_;
    exporter->FileName = File(name);
    return exporter;
  }
  // The CSV export of the records, one part per SplitRows records.
  std::unique_ptr<TTabuloText> Csv(const std::string& name, int split_rows, std::int64_t split_bytes = 0) {
    auto exporter = Exporter(kCSVFormat, name);
    exporter->SplitRows = split_rows;
    exporter->SplitBytes = split_bytes;
    return exporter;
  }
  std::string File(const std::string& name) const { return directory_.File(name); }

  testsupport::TTempDir directory_{"output-parts"};
  TMemoryDataSet data_;
};

TEST(CompressedStreamTest, EveryCodecAndLevelGivesBackTheBytes) {
  testsupport::TTempDir directory("compressed-stream");
  // Long enough for many blocks of the stream and of the compressor's queue.
  std::string bytes;
  for (int line = 0; line < 40000; ++line) bytes += "line " + std::to_string(line * 7919 % 100003) + ";\r\n";
  for (const TCompression compression : {cmGzip, cmZstd}) {
    for (const int level : {1, 2, HighestCompressionLevel(compression)}) {
      for (const bool threaded : {false, true}) {
        const std::string name = directory.File(compression == cmGzip ? "out.gz" : "out.zst");
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        TOutputStream target(fd, name);
        TOutputStream stream(std::make_unique<TStreamCompressor>(compression, level, target, threaded), name);
        stream.Write(bytes.substr(0, 10));
        stream.Write(bytes.substr(10));  // past the stream's buffer in one write
        EXPECT_VELMORA_ERROR(stream.Seek(0), "Cannot seek in \"" + name + "\": Illegal seek");
        stream.Close();
        target.Close();
        EXPECT_TRUE(Decompressed(name) == bytes) << compression << " level " << level;
      }
    }
  }
}

TEST(CompressedStreamTest, EndingsAndPartNames) {
  EXPECT_EQ(CompressionOfFileName("a.csv.GZ"), cmGzip);
  EXPECT_EQ(CompressionOfFileName("a.sql.zst"), cmZstd);
  EXPECT_EQ(CompressionOfFileName(".gz"), cmNone);
  EXPECT_EQ(CompressionOfFileName("a.tgz"), cmNone);
  EXPECT_EQ(WithoutCompressionEnding("dir/a.csv.zst"), "dir/a.csv");
  const std::pair<const char*, const char*> parts[] = {
      {"orders.csv", "orders.0003.csv"}, {"orders.csv.gz", "orders.0003.csv.gz"},
      {"out/orders", "out/orders.0003"}, {"out.d/orders", "out.d/orders.0003"},
      {".hidden", ".hidden.0003"},       {"a.b.sql.zst", "a.b.0003.sql.zst"},
  };
  for (const auto& [name, part] : parts) EXPECT_EQ(TTabuloText::PartFileName(name, 3), part) << name;
  EXPECT_EQ(TTabuloText::PartFileName("a.csv", 12345), "a.12345.csv");
}

TEST_F(OutputPartsTest, EveryTextFormatCompressesToTheBytesOfItsFile) {
  // Workbooks and DBF tables are refused a compression ending before they
  // run; PDF writes the time of the export into the file.
  const std::set<std::string_view> left_out = {"XLS", "XLSX", "DBF", "PDF"};
  for (const TExportFormat* format : ExportFormats()) {
    const std::string name(format->Name);
    if (left_out.count(name) != 0) continue;
    Exporter(*format, "plain." + name)->Execute();
    const std::string plain = ReadFile(File("plain." + name));
    for (const char* ending : {".gz", ".zst"}) {
      for (const int level : {0, 1, 9}) {
        auto exporter = Exporter(*format, "packed." + name + ending);
        exporter->CompressionLevel = level;
        exporter->Execute();
        EXPECT_TRUE(Decompressed(exporter->FileName) == plain) << name << ending << " level " << level;
      }
    }
  }
  // The HTML export holds its style sheet, as it does written into a pipe.
  EXPECT_EQ(directory_.Entries().size(), 3 * (ExportFormats().size() - left_out.size()));
}

int FullDevice(const std::string& target) {
  return target.find("full") != std::string::npos ? ::open("/dev/full", O_WRONLY | O_CLOEXEC) : -1;
}

TEST_F(OutputPartsTest, AFullDeviceLeavesNoCompressedFileAndNoPart) {
  // Enough records that the compressed data fills buffers during the export.
  for (int record = 11; record <= 60000; ++record) data_.AppendRecord({std::to_string(record), "x"});
  TOutputFile::SetDescriptorHookForTesting(&FullDevice);
  for (const char* name : {"full.csv.gz", "full.csv.zst", "full.rtf.gz"}) {
    auto exporter = Exporter(
        *FindExportFormat(std::string_view(name).find("rtf") != std::string_view::npos ? 2 : 8), name);
    EXPECT_THROW(exporter->Execute(), EVelmoraError) << name;
  }
  // The second part goes to the full device: the first does not appear either.
  WriteFile(File("parts.0001.csv"), "old");
  auto split = Csv("parts.csv", 30000);
  split->FileName = File("parts.csv");
  TOutputFile::SetDescriptorHookForTesting([](const std::string& target) {
    return target.find("0002") != std::string::npos ? ::open("/dev/full", O_WRONLY | O_CLOEXEC) : -1;
  });
  EXPECT_VELMORA_ERROR(split->Execute(),
                       "Cannot write to \"" + File("parts.0002.csv") + "\": No space left on device");
  TOutputFile::SetDescriptorHookForTesting(nullptr);
  EXPECT_EQ(directory_.Entries(), TNames{"parts.0001.csv"});
  EXPECT_EQ(ReadFile(File("parts.0001.csv")), "old");
}

TEST_F(OutputPartsTest, ATerminatingSignalInTheSecondPartLeavesNoPartAndNoTemporaryFile) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGTERM, SIG_DFL);
    InstallSignalCleanup();
    auto exporter = Csv("rows.csv.gz", 6);
    // While the compressing thread of the second part runs.
    exporter->OnExportedRecord = [](TTabulo&, int) {
      static int exported = 0;
      if (++exported == 8) ::raise(SIGTERM);
    };
    exporter->Execute();
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(directory_.Entries(), TNames{});
}

TEST_F(OutputPartsTest, PartsHoldTheWindowsRecordsOnceInOrderEachWithItsCaptions) {
  struct TCase {
    int split_rows;
    std::int64_t split_bytes;
    int skip, count;
    std::vector<int> records_per_part;
  };
  // A record line takes 20 or 21 bytes, the caption line 13.
  const TCase cases[] = {
      {3, 0, 0, 0, {3, 3, 3, 1}},
      {5, 0, 0, 0, {5, 5}},
      {4, 0, 1, 8, {4, 4}},
      {3, 0, 2, 7, {3, 3, 1}},
      {0, 80, 0, 0, {3, 3, 3, 1}},
      {2, 80, 0, 0, {2, 2, 2, 2, 2}},
      {0, 60, 0, 0, {2, 2, 2, 2, 2}},
      {0, 1, 0, 0, std::vector<int>(10, 1)},
      {20, 0, 0, 0, {10}},
      {0, 1, 20, 0, {0}},
  };
  for (const TCase& test : cases) {
    auto exporter = Csv("rows.csv.gz", test.split_rows, test.split_bytes);
    exporter->SkipRecCount = test.skip;
    exporter->ExportRecCount = test.count;
    exporter->Execute();
    const std::string label = std::to_string(test.split_rows) + "/" + std::to_string(test.split_bytes) + "/" +
                              std::to_string(test.skip) + "/" + std::to_string(test.count);
    ASSERT_EQ(exporter->PartFileNames().size(), test.records_per_part.size()) << label;
    int next = test.skip + 1;
    for (std::size_t part = 0; part < test.records_per_part.size(); ++part) {
      EXPECT_EQ(exporter->PartFileNames()[part], TTabuloText::PartFileName(File("rows.csv.gz"), part + 1));
      std::string expected = "\"ID\",\"NAME\"\r\n";
      for (int record = 0; record < test.records_per_part[part]; ++record, ++next) {
        expected += "\"" + std::to_string(next) + "\",\"name \"\"" + std::to_string(next) + "\"\"\"\r\n";
      }
      EXPECT_EQ(Decompressed(exporter->PartFileNames()[part]), expected) << label << " part " << part;
    }
    if (test.split_bytes > 1) {
      for (const std::string& part : exporter->PartFileNames()) {
        EXPECT_LE(Decompressed(part).size(), static_cast<std::size_t>(test.split_bytes)) << label;
      }
    }
    EXPECT_EQ(exporter->FileName, File("rows.csv.gz"));
    // A shorter export of the same name removes the parts the longer one left.
    EXPECT_EQ(directory_.Entries().size(), test.records_per_part.size()) << label;
  }
  Csv("rows.csv.gz", 0)->Execute();
  EXPECT_EQ(directory_.Entries(), (TNames{"rows.0001.csv.gz", "rows.csv.gz"}));
}

}  // namespace
}  // namespace velmora
