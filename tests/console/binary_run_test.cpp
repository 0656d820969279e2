// Binary columns end to end in the formats whose files are text: CSV, TXT,
// DIF, SYLK, LaTeX and DBF carry the bytes as hexadecimal (or base64) text
// that strict UTF-8 readers take, or as raw bytes when the template asks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_support.h"

namespace velmora {
namespace {

using consoletest::TVelmoraResult;

constexpr const char* kPython = "/usr/bin/python3";

// A PNG signature, a fixed-width value padded with zero bytes, an empty value,
// NULL, and a JPEG start in a BLOB named in FIELDS.
constexpr const char* kBytesSql =
    "CREATE DATABASE IF NOT EXISTS velmora_bytes; USE velmora_bytes; DROP TABLE IF EXISTS b;"
    "CREATE TABLE b (id INT, bin VARBINARY(8), fix BINARY(4), bl BLOB);"
    "INSERT INTO b VALUES (1, x'89504E470D0A1A0A', x'00FF', x'FFD8FFE0'), (2, '', NULL, ''),"
    "(3, NULL, x'41', NULL);";

constexpr const char* kFields = "[FIELDS]\n1=id\n2=bin\n3=fix\n4=bl\n";

class BinaryRunTest : public consoletest::ConsoleServerTest {
 protected:
  void SetUp() override {
    ConsoleServerTest::SetUp();
    if (IsSkipped()) return;
    testsupport::RunSql(*server_, kBytesSql);
  }

  // Runs one item per file name on table b, each with the template given.
  TVelmoraResult RunFiles(const std::vector<std::string>& files, const std::string& template_text) {
    Write("t.ini", template_text);
    std::string tables = "[Tables]\n";
    std::string file_list = "[Files]\n";
    std::string templates = "[Templates]\nAll=t.ini\n";
    for (std::size_t index = 0; index < files.size(); ++index) {
      const std::string key = std::to_string(index + 1);
      tables += key + "=b\n";
      file_list += key + "=" + files[index] + "\n";
    }
    return Run(tables + file_list + templates, SocketConnection("velmora_bytes"));
  }

  // Runs a Python script on a file of the directory; its output.
  std::string Python(const std::string& script, const std::string& name) const {
    const auto result = testsupport::RunCommand({kPython, "-c", script, dir_.File(name)});
    EXPECT_EQ(result.exit_status, 0) << result.output;
    return result.output;
  }
};

constexpr const char* kCsvReader =
    "import csv, sys\n"
    "with open(sys.argv[1], newline='', encoding='utf-8', errors='strict') as f:\n"
    "    for row in csv.reader(f): print(row)\n";

// Raw bytes made the files invalid UTF-8: Python's csv module and the dBASE
// reader raised on them. The layouts themselves are checked byte for byte by
// the format tests.
TEST_F(BinaryRunTest, BinaryColumnsAreHexadecimalInEveryTextFormat) {
  const TVelmoraResult result = RunFiles({"b.csv", "b.txt", "b.dif", "b.slk", "b.tex", "b.dbf"}, kFields);
  EXPECT_EQ(result.exit_status, 0) << result.output << result.errors;
  EXPECT_EQ(Python(kCsvReader, "b.csv"),
            "['id', 'bin', 'fix', 'bl']\n"
            "['1', '0x89504E470D0A1A0A', '0x00FF0000', '0xFFD8FFE0']\n"
            "['2', '', '', '']\n"
            "['3', '', '0x41000000', '']\n");
  for (const std::string name : {"b.txt", "b.dif", "b.slk", "b.tex"}) {
    EXPECT_EQ(Python("import sys\n"
                     "text = open(sys.argv[1], encoding='utf-8', errors='strict').read()\n"
                     // LaTeX's break points inside long words typeset as nothing.
                     "text = text.replace('\\\\penalty1000\\\\relax ', '')\n"
                     "print('0x89504E470D0A1A0A' in text, '0xFFD8FFE0' in text)\n",
                     name),
              "True True\n")
        << name;
  }
  // The BLOB has no field in a dBASE table; the others are character fields
  // as wide as their longest text.
  if (testsupport::RunCommand({kPython, "-c", "import dbfread"}).exit_status != 0) {
    GTEST_SKIP() << "python3-dbfread is not installed";
  }
  EXPECT_EQ(Python("import sys, dbfread\n"
                   "t = dbfread.DBF(sys.argv[1], encoding='utf-8', char_decode_errors='strict')\n"
                   "print([(f.name, f.type, f.length) for f in t.fields][1:])\n"
                   "for r in t: print(list(r.values()))\n",
                   "b.dbf"),
            "[('BIN', 'C', 18), ('FIX', 'C', 10)]\n"
            "[1, '0x89504E470D0A1A0A', '0x00FF0000']\n"
            "[2, '', '']\n"
            "[3, '', '0x41000000']\n");
}

// BinaryAs=raw keeps the bytes; LaTeX then writes those that are not UTF-8
// as U+FFFD and says so on standard error. Other values fail the item.
TEST_F(BinaryRunTest, RawBytesInLaTeXAreCountedAndUnknownFormsRefused) {
  const TVelmoraResult raw = RunFiles({"raw.tex"}, "[FIELDS]\n1=id\n2=fix\n[GENERAL]\nBinaryAs=raw\n");
  EXPECT_EQ(raw.exit_status, 0) << raw.output;
  EXPECT_NE(raw.errors.find("b: 1 invalid UTF-8 sequences were written to raw.tex as U+FFFD"),
            std::string::npos)
      << raw.errors;
  EXPECT_NE(Read("raw.tex").find("1 & \xEF\xBF\xBD\r\n"), std::string::npos);

  const TVelmoraResult refused = RunFiles({"no.csv"}, "[GENERAL]\nBinaryAs=binary\n");
  EXPECT_EQ(refused.lines,
            Connected({"b: ProcessedData: Invalid value \"binary\" for BinaryAs in [GENERAL]: give "
                       "hex, base64 or raw"}));
  EXPECT_EQ(refused.exit_status, 1);
  EXPECT_FALSE(Exists("no.csv"));
}

}  // namespace
}  // namespace velmora
