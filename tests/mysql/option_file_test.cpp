// Reading one group of a MySQL option file: groups, comments, quoting,
// escapes and key spellings.
#include "mysql/option_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

TEST(OptionFileTest, ParsesTheEntriesOfTheNamedGroupOnly) {
  const struct {
    const char* Name;
    const char* Text;
    TOptionGroup Expected;
  } cases[] = {
      {"other groups ignored", "[mysqld]\nuser=server\n[client]\nuser=me\n[mysql]\nuser=other\n", {{"user", "me"}}},
      {"group repeated, later wins", "[client]\nuser=a\nport=1\n[x]\n[client]\nuser=b\n",
       {{"user", "b"}, {"port", "1"}}},
      {"group name in any case, blanks", "[ Client ]\n  Password =  s3cret  \n", {{"password", "s3cret"}}},
      {"underscores and capitals as dashes", "[client]\nSSL_CA=/ca.pem\nssl-Cert=/c.pem\n",
       {{"ssl-ca", "/ca.pem"}, {"ssl-cert", "/c.pem"}}},
      {"comments and directives", "# top\n!include /etc/secret.cnf\n[client]\n; note\n#user=x\n!includedir /d\n", {}},
      {"blank-led hash ends the value", "[client]\npassword=pa#ss  # comment\n", {{"password", "pa#ss"}}},
      {"quoted values keep hash and blanks", "[client]\npassword=\" a #b \"\nuser='it''\n",
       {{"password", " a #b "}, {"user", "it"}}},
      {"escapes", "[client]\npassword=a\\\\b\\sc\\\"d\nuser=\"q\\\"x\"\n",
       {{"password", "a\\b c\"d"}, {"user", "q\"x"}}},
      {"key without value, CRLF lines", "[client]\r\nssl\r\nuser=win\r\n", {{"ssl", ""}, {"user", "win"}}},
      {"entries before any group", "user=nobody\n[client]\n", {}},
  };
  for (const auto& test_case : cases) {
    EXPECT_EQ(ParseOptionGroup(test_case.Text, "client"), test_case.Expected) << test_case.Name;
  }
}

TEST(OptionFileTest, ReadsAFileAndReportsOneThatIsMissing) {
  testsupport::TTempDir dir("option-file");
  testsupport::WriteFile(dir.File("my.cnf"), "[backup]\nuser=dump\n");
  EXPECT_EQ(ReadOptionGroup(dir.File("my.cnf"), "backup"), (TOptionGroup{{"user", "dump"}}));
  EXPECT_VELMORA_ERROR(ReadOptionGroup(dir.File("none.cnf"), "client"),
                       "Cannot read option file " + dir.File("none.cnf") + ": No such file or directory");
}

TEST(OptionFileTest, ReadableByOthersLooksAtGroupAndWorldBits) {
  testsupport::TTempDir dir("option-file");
  const std::string path = dir.File("secret");
  testsupport::WriteFile(path, "x");
  const struct {
    mode_t Mode;
    bool Expected;
  } cases[] = {{0600, false}, {0400, false}, {0640, true}, {0604, true}, {0620, false}};
  for (const auto& test_case : cases) {
    ASSERT_EQ(::chmod(path.c_str(), test_case.Mode), 0);
    EXPECT_EQ(ReadableByOthers(path), test_case.Expected) << std::oct << test_case.Mode;
  }
}

}  // namespace
}  // namespace velmora
