// Two independent readers of compound documents open containers of every size
// class: tiny, just past the 109 FAT sectors the header lists (one DIFAT
// sector), and past 16 MB (several DIFAT sectors). Each must list the one
// "Workbook" stream and give back exactly the bytes written, padding included.
#include <gtest/gtest.h>

#include <string>

#include "formats/xls/compound_document.h"
#include "platform/output_file.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::RunCommand;
using testsupport::TTempDir;
using testsupport::WriteFile;

constexpr const char* kPython = "/usr/bin/python3";

// Prints what each reader sees: the directory, the stream's size, whether the
// stream is the records followed by zero bytes, and any complaint.
constexpr const char* kReader = R"(import io, sys, olefile, xlrd.compdoc
path, records = sys.argv[1], open(sys.argv[2], 'rb').read()
def matches(data):
    return data[:len(records)] == records and data[len(records):] == bytes(len(data) - len(records))
ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
data = ole.openstream('Workbook').read()
print('olefile', ole.listdir(), ole.get_size('Workbook'), len(data), matches(data), ole.parsing_issues)
ole.close()
log = io.StringIO()
data = xlrd.compdoc.CompDoc(open(path, 'rb').read(), logfile=log).get_named_stream('Workbook')
print('xlrd', len(data), matches(data), repr(log.getvalue()))
)";

bool ReadersAvailable() {
  return RunCommand({kPython, "-c", "import olefile, xlrd.compdoc"}).exit_status == 0;
}

class CompoundInteropTest : public ::testing::TestWithParam<std::int64_t> {};

TEST_P(CompoundInteropTest, ReadersGetTheWorkbookStreamBack) {
  if (!ReadersAvailable()) GTEST_SKIP() << "python3-olefile or python3-xlrd is not installed";
  const TTempDir directory("compound-interop");
  std::string records(static_cast<std::size_t>(GetParam()), '\0');
  for (std::size_t index = 0; index < records.size(); ++index) {
    records[index] = static_cast<char>((index * 7919 + index / 251) & 0xFF);
  }
  const std::string path = directory.File("book.xls");
  TOutputFile file(path);
  BeginCompoundDocument(file.Stream());
  file.Stream().Write(records);
  const TCompoundLayout layout = WriteCompoundDocument(file.Stream());
  file.Commit();
  WriteFile(directory.File("records.bin"), records);

  const testsupport::TCommandResult result =
      RunCommand({kPython, "-c", kReader, path, directory.File("records.bin")}, 300);
  const std::string size = std::to_string(layout.StreamSize);
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_EQ(result.output, "olefile [['Workbook']] " + size + " " + size + " True []\n" +
                               "xlrd " + size + " True ''\n");
}

INSTANTIATE_TEST_SUITE_P(Sizes, CompoundInteropTest,
                         ::testing::Values(300,                // padded to 6144 bytes
                                           6144,               // exactly the smallest stream
                                           13842 * 512,        // the last size without DIFAT
                                           13843 * 512 - 7,    // about 7 MB: the first DIFAT sector
                                           29971 * 512,        // the second DIFAT sector
                                           17 * 1024 * 1024 + 1));  // past 16 MB
}  // namespace
}  // namespace velmora
