// Compressed and split outputs end to end: .gz and .zst files that their own
// tools decompress to the plain export's bytes, refusals
// before any file is touched, parts read back whole by their readers (the csv
// module, the command-line client replaying a script), and a full disk that
// leaves neither a compressed file nor a part.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_support.h"
#include "support/compressed_files.h"

namespace velmora {
namespace {

using consoletest::TVelmoraResult;
using testsupport::Decompressed;

constexpr const char* kPartsSql = R"sql(
DROP TABLE IF EXISTS part_rows;
CREATE TABLE part_rows (id INT PRIMARY KEY, name VARCHAR(40), amount DECIMAL(12,2), note TEXT)
  CHARACTER SET utf8mb4;
INSERT INTO part_rows
  SELECT seq, CONCAT('name ', seq, IF(seq % 7 = 0, ' "quoted", with comma', '')), seq * 1.25,
         IF(seq % 10 = 0, NULL, CONCAT('line\n', REPEAT('x', seq % 50), ' 北京'))
  FROM seq_1_to_2500;
DROP DATABASE IF EXISTS velmora_parts_copy;
CREATE DATABASE velmora_parts_copy;
)sql";

class OutputPartsRunTest : public consoletest::ConsoleServerTest {
 protected:
  void SetUp() override {
    ConsoleServerTest::SetUp();
    if (IsSkipped()) return;
    testsupport::RunSql(*server_, kPartsSql, "velmora_console");
  }
};

// The format comes from the ending before the compression's, an All entry
// keeps its compression ending, and the levels at either end of the ranges
// are taken.
TEST_F(OutputPartsRunTest, CompressedFilesHoldTheBytesOfThePlainExport) {
  Write("fast.ini", "[GENERAL]\nCompressionLevel=1\n");
  Write("best.ini", "[GENERAL]\nCompressionLevel=19\n");
  const TVelmoraResult result =
      Run("[Tables]\nplain=part_rows\ngz=part_rows\nzst=part_rows\n"
          "[Files]\nplain=out/part_rows.sql\ngz=out/rows.sql.gz\nAll=out/x.sql.zst\n"
          "[Templates]\ngz=fast.ini\nAll=best.ini\n");
  ASSERT_EQ(result.lines, Connected({"part_rows: 2500 records exported to out/part_rows.sql",
                                     "part_rows: 2500 records exported to out/rows.sql.gz",
                                     "part_rows: 2500 records exported to out/part_rows.sql.zst"}))
      << result.errors;
  const std::string plain = Read("out/part_rows.sql");
  for (const char* name : {"out/rows.sql.gz", "out/part_rows.sql.zst"}) {
    EXPECT_TRUE(Decompressed(dir_.File(name)) == plain) << name;
    EXPECT_LT(Read(name).size(), plain.size() / 3) << name;
  }
}

TEST_F(OutputPartsRunTest, WhatCannotBeCompressedIsRefusedBeforeAnyFile) {
  Write("level.ini", "[GENERAL]\nCompressionLevel=10\n");
  Write("bytes.ini", "[GENERAL]\nSplitBytes=10X\n");
  const TVelmoraResult result =
      Run("[Tables]\nxlsx=part_rows\nxls=part_rows\ndbf=part_rows\nlevel=part_rows\nbytes=part_rows\n"
          "[Files]\nxlsx=out/a.xlsx.gz\nxls=out/b.xls.zst\ndbf=out/c.dbf.gz\nlevel=out/d.csv.gz\n"
          "bytes=out/f.csv\n"
          "[Templates]\nlevel=level.ini\nbytes=bytes.ini\n");
  EXPECT_EQ(
      result.lines,
      Connected({"part_rows: Cannot compress \"out/a.xlsx.gz\": an XLSX workbook is compressed already; "
                 "name it without \".gz\"",
                 "part_rows: Cannot compress \"out/b.xls.zst\": a workbook is a container its readers open "
                 "in place; name it without \".zst\"",
                 "part_rows: Cannot compress \"out/c.dbf.gz\": a DBF table is read in place, with its memo "
                 "file beside it; name it without \".gz\"",
                 "part_rows: ProcessedData: Invalid value \"10\" for CompressionLevel in [GENERAL]: give a "
                 "number from "
                 "1 to 9",
                 "part_rows: ProcessedData: Invalid value \"10X\" for SplitBytes in [GENERAL]: give a number "
                 "of bytes, "
                 "with K, M or G for KiB, MiB or GiB"}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(Exists("out"));
}

TEST_F(OutputPartsRunTest, PartsAreReadBackWholeInOrderAndTheScriptPartsReplay) {
  Write("rows.ini",
        "[GENERAL]\nSplitRows=1000\n[SQL]\nCreateTable=1\nTableName=part_rows\nRowsPerInsert=300\n");
  Write("bytes.ini", "[GENERAL]\nSplitBytes=40K\n");
  const TVelmoraResult result =
      Run("[Tables]\ncsv=part_rows\nsql=part_rows\ntxt=part_rows\n"
          "[Files]\ncsv=out/rows.csv.gz\nsql=out/rows.sql\ntxt=out/rows.txt\n"
          "[Templates]\ncsv=rows.ini\nsql=rows.ini\ntxt=bytes.ini\n");
  ASSERT_EQ(result.exit_status, 0) << result.output << result.errors;
  ASSERT_EQ(result.lines.size(), 9u) << result.output;
  EXPECT_EQ(result.lines[6],
            "part_rows: 2500 records exported to out/rows.0001.csv.gz ... out/rows.0003.csv.gz (3 parts)");
  EXPECT_EQ(result.lines[7],
            "part_rows: 2500 records exported to out/rows.0001.sql ... out/rows.0003.sql (3 parts)");
  EXPECT_TRUE(
      result.lines[8].starts_with("part_rows: 2500 records exported to out/rows.0001.txt ... out/rows.00"))
      << result.lines[8];

  // Each CSV part read alone by the csv module: its caption row, then ids in order.
  std::string ids;
  for (const char* part : {"0001", "0002", "0003"}) {
    const std::string name = "out/rows." + std::string(part) + ".csv";
    Write(name, Decompressed(dir_.File(name + ".gz")));
    const testsupport::TCommandResult read = testsupport::RunCommand(
        {"/usr/bin/python3", "-c",
         "import csv,sys\nrows=list(csv.reader(open(sys.argv[1],newline='',encoding='utf-8')))\n"
         "assert rows[0]==['id','name','amount','note'], rows[0]\n"
         "assert all(len(r)==4 for r in rows)\nprint(rows[1][0], rows[-1][0], len(rows)-1)",
         dir_.File(name)});
    ids += read.output;
  }
  EXPECT_EQ(ids, "1 1000 1000\n1001 2000 1000\n2001 2500 500\n");

  // The script parts replayed in order give the table back.
  const std::string client = testsupport::FindExecutable("mariadb");
  ASSERT_FALSE(client.empty());
  for (const char* part : {"0001", "0002", "0003"}) {
    const testsupport::TCommandResult replay =
        testsupport::RunCommand({"bash", "-c",
                                 "exec \"$0\" --no-defaults --socket=\"$1\" --user=\"$2\" --password=\"$3\" "
                                 "--default-character-set=utf8mb4 velmora_parts_copy < \"$4\"",
                                 client, server_->Socket, server_->User, server_->Password,
                                 dir_.File("out/rows." + std::string(part) + ".sql")});
    ASSERT_EQ(replay.exit_status, 0) << part << ": " << replay.output;
  }
  const std::string checksum =
      "SELECT COUNT(*), SUM(CRC32(CONCAT_WS('|', id, name, amount, IFNULL(note, 'N')))) FROM part_rows";
  EXPECT_EQ(testsupport::RunSql(*server_, checksum, "velmora_parts_copy"),
            testsupport::RunSql(*server_, checksum, "velmora_console"));

  // TXT parts of at most 40 KiB, each laid out by its own width pass, none
  // without its caption line.
  int records = 0;
  const std::string last = result.lines[8].substr(result.lines[8].rfind("out/rows."), 17);
  const int parts = std::stoi(last.substr(9, 4));
  EXPECT_GE(parts, 3);
  for (int part = 1; part <= parts; ++part) {
    const std::string text =
        Read("out/rows." + std::string(4 - std::to_string(part).size(), '0') + std::to_string(part) + ".txt");
    EXPECT_LE(text.size(), 40u * 1024u) << part;
    // The caption line first, then the records, each holding "name N".
    EXPECT_NE(text.substr(0, text.find("\r\n")).find("id name"), std::string::npos) << part;
    for (std::size_t at = text.find("name "); at != std::string::npos; at = text.find("name ", at + 1)) {
      ++records;
    }
    --records;
  }
  EXPECT_EQ(records, 2500);
}

// Workbook parts by rows (XLS, whose parts break to continuation sheets at
// 65,536 rows only) and by bytes (XLSX, judged by the compressed size): each
// part opens whole in its reader with the caption row on top, and the parts'
// ids run in order, none lost or doubled.
TEST_F(OutputPartsRunTest, WorkbookPartsOpenWholeWithTheirRowsInOrder) {
  Write("rows.ini", "[GENERAL]\nSplitRows=1000\n");
  Write("bytes.ini", "[GENERAL]\nSplitBytes=24K\n");
  const TVelmoraResult result =
      Run("[Tables]\nxls=part_rows\nxlsx=part_rows\n[Files]\nxls=out/rows.xls\nxlsx=out/rows.xlsx\n"
          "[Templates]\nxls=rows.ini\nxlsx=bytes.ini\n");
  ASSERT_EQ(result.exit_status, 0) << result.output << result.errors;
  ASSERT_EQ(result.lines.size(), 8u) << result.output;
  EXPECT_EQ(result.lines[6],
            "part_rows: 2500 records exported to out/rows.0001.xls ... out/rows.0003.xls (3 parts)");
  const std::string& xlsx_line = result.lines[7];
  ASSERT_TRUE(xlsx_line.starts_with("part_rows: 2500 records exported to out/rows.0001.xlsx ... out/rows.00"))
      << xlsx_line;
  const int xlsx_parts = std::stoi(xlsx_line.substr(xlsx_line.rfind("(") + 1));
  EXPECT_GE(xlsx_parts, 3);

  // Prints per part its first and last id and its row count; for XLSX also
  // whether the part stayed within the limit and its trailer.
  const testsupport::TCommandResult read = testsupport::RunCommand(
      {"/usr/bin/python3", "-c",
       "import glob,os,sys,xlrd,openpyxl\n"
       "def show(name, rows):\n"
       "  assert rows[0][:4]==['id','name','amount','note'], (name, rows[0])\n"
       "  ids=[int(float(r[0])) for r in rows[1:]]\n"
       "  assert ids==list(range(ids[0],ids[0]+len(ids))), name\n"
       "  print(os.path.basename(name), ids[0], ids[-1], len(ids))\n"
       "for name in sorted(glob.glob(sys.argv[1]+'/rows.*.xls')):\n"
       "  book=xlrd.open_workbook(name)\n"
       "  assert book.nsheets==1\n"
       "  sheet=book.sheet_by_index(0)\n"
       "  show(name, [sheet.row_values(r) for r in range(sheet.nrows)])\n"
       "total=0\n"
       "for name in sorted(glob.glob(sys.argv[1]+'/rows.*.xlsx')):\n"
       "  book=openpyxl.load_workbook(name, read_only=True)\n"
       "  rows=[list(r) for r in book.worksheets[0].iter_rows(values_only=True)]\n"
       "  assert os.path.getsize(name) <= 24*1024+4096, (name, os.path.getsize(name))\n"
       "  total+=len(rows)-1\n"
       "  assert rows[1][0]==total-len(rows)+2, name\n"
       "  show(name, rows)\n"
       "print('xlsx', total)\n",
       dir_.File("out")});
  ASSERT_EQ(read.exit_status, 0) << read.output;
  EXPECT_TRUE(
      read.output.starts_with("rows.0001.xls 1 1000 1000\nrows.0002.xls 1001 2000 1000\n"
                              "rows.0003.xls 2001 2500 500\n"))
      << read.output;
  EXPECT_TRUE(read.output.ends_with("xlsx 2500\n")) << read.output;
}

// The process may write no file beyond 4 KiB (and ignores the signal that
// would end it): the compressed file and the split parts fail, nothing of
// either is left, and the small item after them is exported.
TEST_F(OutputPartsRunTest, AFullDiskLeavesNoCompressedFileAndNoPart) {
  Write("split.ini", "[GENERAL]\nSplitRows=2000\n");
  Write("run.cfg", SocketConnection() +
                       "[Tables]\ngz=part_rows\nsplit=part_rows\nsmall=clients\n"
                       "[Files]\ngz=out/big.csv.gz\nsplit=out/big.csv\nsmall=out/small.csv.zst\n"
                       "[Templates]\nsplit=split.ini\n");
  const TVelmoraResult result = consoletest::RunProgram(
      "/bin/bash", {"-c", "trap '' XFSZ; ulimit -f 4; exec \"$0\" run.cfg", consoletest::VelmoraBinary()},
      dir_.Path());
  ASSERT_EQ(result.lines.size(), 9u) << result.output;
  EXPECT_TRUE(result.lines[6].starts_with("part_rows: ProcessedData: Cannot write to \"out/big.csv.gz\""))
      << result.lines[6];
  EXPECT_TRUE(result.lines[7].starts_with("part_rows: ProcessedData: Cannot write to \"out/big.0001.csv\""))
      << result.lines[7];
  EXPECT_EQ(result.lines[8], "clients: 2 records exported to out/small.csv.zst");
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(testsupport::RunCommand({"/bin/ls", "-A", dir_.File("out")}).output, "small.csv.zst\n");
}

}  // namespace
}  // namespace velmora
