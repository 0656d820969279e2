#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/locale_settings.h"
#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

TEST(IniFileTest, LinesAreTrimmedAndCommentsAndStrayLinesIgnored) {
  const TIniFile file = TIniFile::FromText(
      "key=before any section\r\n"
      "\t [ Main ] \r\n"
      "; a comment=1\r\n"
      "\r\n"
      "  Name \t=  \x01value with blanks  \x02\r\n"
      "lone line\n"
      "Empty=\r"
      "Other=x");
  EXPECT_EQ(file.SectionNames(), std::vector<std::string>{"Main"});
  EXPECT_EQ(file.ReadString("main", "NAME", "-"), "value with blanks");
  EXPECT_EQ(file.ReadString("Main", "Empty", "-"), "");
  EXPECT_EQ(file.ReadString("Main", "Other", "-"), "x");
  EXPECT_EQ(file.ReadString("Main", "key", "-"), "-");
  EXPECT_EQ(file.ReadString("Main", "lone line", "-"), "-");
  EXPECT_EQ(file.ReadString("Missing", "Name", "-"), "-");
  EXPECT_EQ(file.ReadSection("MAIN"),
            (std::vector<std::string>{"Name=value with blanks", "lone line", "Empty=", "Other=x"}));
}

TEST(IniFileTest, ByteOrderMarkDoesNotHideTheFirstSection) {
  const TIniFile file = TIniFile::FromText("\xEF\xBB\xBF[Connection]\r\nHost=db\r\n");
  EXPECT_EQ(file.ReadString("Connection", "Host", "-"), "db");
}

TEST(IniFileTest, FirstOccurrenceOfKeyAndSectionWins) {
  const TIniFile file = TIniFile::FromText(
      "[A]\nk=first\nK=second\nv=a=b\n"
      "[a]\nk=third\nonly=here\n");
  EXPECT_EQ(file.ReadString("A", "k", ""), "first");
  EXPECT_EQ(file.ReadString("A", "v", ""), "a=b");
  EXPECT_EQ(file.ReadString("A", "only", "none"), "none");
  EXPECT_EQ(file.SectionNames(), (std::vector<std::string>{"A", "a"}));
  EXPECT_EQ(file.ReadSection("a"), (std::vector<std::string>{"k=first", "K=second", "v=a=b"}));
}

TEST(IniFileTest, ExactKeyLookupKeepsLetterCase) {
  const TIniFile file = TIniFile::FromText("[Files]\norders=lower.csv\nOrders=upper.csv\n");
  std::string value;
  ASSERT_TRUE(file.FindExactKey("files", "Orders", value));
  EXPECT_EQ(value, "upper.csv");
  EXPECT_FALSE(file.FindExactKey("Files", "ORDERS", value));
}

TEST(IniFileTest, IntegersInDecimalAndBothHexadecimalForms) {
  const TIniFile file = TIniFile::FromText(
      "[I]\n"
      "dec=42\nneg=-17\nplus=+5\nhex=0x1F\nHEX=0XfF\ndollar=$ff\nfull=$FFFFFFFF\n"
      "max=2147483647\nmin=-2147483648\nover=2147483648\nwide=$123456789\n"
      "word=abc\nblank=\nbare0x=0x\nbare$=$\nspace=1 2\nfloat=1.5\n");
  EXPECT_EQ(file.ReadInteger("I", "dec", 0), 42);
  EXPECT_EQ(file.ReadInteger("I", "neg", 0), -17);
  EXPECT_EQ(file.ReadInteger("I", "plus", 0), 5);
  EXPECT_EQ(file.ReadInteger("I", "hex", 0), 31);
  EXPECT_EQ(file.ReadInteger("I", "dollar", 0), 255);
  EXPECT_EQ(file.ReadInteger("I", "full", 0), -1);
  EXPECT_EQ(file.ReadInteger("I", "max", 0), 2147483647);
  EXPECT_EQ(file.ReadInteger("I", "min", 0), -2147483647 - 1);
  for (const char* invalid :
       {"over", "wide", "word", "blank", "bare0x", "bare$", "space", "float", "absent"}) {
    EXPECT_EQ(file.ReadInteger("I", invalid, 7), 7) << invalid;
  }
}

TEST(IniFileTest, BooleansAreIntegers) {
  const TIniFile file = TIniFile::FromText("[B]\nzero=0\none=1\nminus=-3\nword=false\nyes=true\nhex=$0\n");
  EXPECT_FALSE(file.ReadBool("B", "zero", true));
  EXPECT_TRUE(file.ReadBool("B", "one", false));
  EXPECT_TRUE(file.ReadBool("B", "minus", false));
  EXPECT_TRUE(file.ReadBool("B", "word", true));
  EXPECT_FALSE(file.ReadBool("B", "yes", false));
  EXPECT_FALSE(file.ReadBool("B", "hex", true));
  EXPECT_TRUE(file.ReadBool("B", "absent", true));
}

TEST(IniFileTest, FloatsInTheLocaleForm) {
  const TFormatSettings saved = FormatSettings();
  TFormatSettings comma = TFormatSettings::CLocale();
  comma.DecimalSeparator = ",";
  comma.ThousandSeparator = ".";
  SetFormatSettings(comma);
  const TIniFile file = TIniFile::FromText("[F]\nlocal=2,5\nforeign=2.5\nbad=x\nblank=\n");
  EXPECT_DOUBLE_EQ(file.ReadFloat("F", "local", 0), 2.5);
  EXPECT_DOUBLE_EQ(file.ReadFloat("F", "foreign", -1), -1);
  EXPECT_DOUBLE_EQ(file.ReadFloat("F", "bad", -1), -1);
  EXPECT_DOUBLE_EQ(file.ReadFloat("F", "blank", -1), -1);
  SetFormatSettings(saved);
}

TEST(IniFileTest, MissingFileReadsAsEmpty) {
  const TIniFile file("/nonexistent-velmora-dir/none.ini");
  EXPECT_FALSE(file.Exists());
  EXPECT_TRUE(file.SectionNames().empty());
  EXPECT_EQ(file.ReadInteger("GENERAL", "ExportType", 3), 3);
}

// Arbitrary bytes, unbalanced brackets and NUL bytes never break the reader.
TEST(IniFileTest, AnyBytesParse) {
  std::string text = "[\n]\n[]\n=\n==\n[x\n]y[\n[s]\n";
  text += std::string("\0k=a\0b\0\n[", 10);
  for (int byte = 0; byte < 256; ++byte) text += static_cast<char>(byte);
  const TIniFile file = TIniFile::FromText(text);
  EXPECT_EQ(file.ReadString("", "", "-"), "");
  EXPECT_EQ(file.ReadSection(""), (std::vector<std::string>{"=", "==", "[x", "]y["}));
  EXPECT_EQ(file.ReadString("s", "k", "-"), std::string("a\0b", 3));
}

// A directory, a pipe (opening it must not wait for a writer) or a file beyond
// the limit is no settings file: refused with the file's name.
TEST(IniFileTest, OnlyRegularFilesUpToTheLimitAreRead) {
  const testsupport::TTempDir directory("ini");
  std::filesystem::create_directory(directory.File("sub.ini"));
  ASSERT_EQ(::mkfifo(directory.File("pipe.ini").c_str(), 0600), 0);
  testsupport::WriteFile(directory.File("large.ini"), "");
  std::filesystem::resize_file(directory.File("large.ini"), TIniFile::kMaxFileSize + 1);

  const struct {
    const char* Name;
    const char* Reason;
  } refused[] = {
      {"sub.ini", "not a regular file"},
      {"pipe.ini", "not a regular file"},
      {"large.ini", "larger than 16777216 bytes"},
  };
  for (const auto& file : refused) {
    const std::string path = directory.File(file.Name);
    EXPECT_VELMORA_ERROR(TIniFile{path}, "Cannot read file \"" + path + "\": " + file.Reason);
  }
}

TEST(IniFileTest, FileWithoutReadPermissionIsRefused) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  const testsupport::TTempDir directory("ini");
  const std::string path = directory.File("secret.ini");
  testsupport::WriteFile(path, "[S]\nk=v\n");
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  EXPECT_VELMORA_ERROR(TIniFile{path}, "Cannot open file \"" + path + "\": Permission denied");
}

// "[S]" CR LF "k=" e-acute, U+1F600 (a surrogate pair), a lone low surrogate, in
// UTF-16LE after its byte order mark; the same text in UTF-16BE.
TEST(IniFileTest, Utf16FilesAreReadAsUtf16) {
  const std::string little_endian("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\xE9\0\x3D\xD8\x00\xDE\x00\xDC", 24);
  std::string big_endian = "\xFE\xFF";
  for (std::size_t index = 2; index + 1 < little_endian.size(); index += 2) {
    big_endian += little_endian[index + 1];
    big_endian += little_endian[index];
  }
  for (const std::string& text : {little_endian, big_endian, little_endian + "x"}) {
    const std::string expected = text.size() % 2 == 0 ? "\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD"
                                                      : "\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD";
    EXPECT_EQ(TIniFile::FromText(text).ReadString("S", "k", "-"), expected) << testsupport::HexBytes(text);
  }
}

}  // namespace
}  // namespace velmora
