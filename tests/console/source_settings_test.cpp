// The Connection section merged with an option file and a password file:
// which source wins, and the values refused before connecting.
#include "console/source_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

class SourceSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::WriteFile(dir_.File("my.cnf"),
                           "[client]\nuser=opt_user\npassword=opt_pw\nhost=localhost\nport=3307\n"
                           "socket=/run/opt.sock\nssl-ca=/opt/ca.pem\nssl-mode=REQUIRED\n"
                           "[backup]\nuser=backup_user\nhost=db.example\nport=4000\nsocket=/run/b.sock\n");
    testsupport::WriteFile(dir_.File("pw.txt"), "file_pw\r\nsecond line\n");
    ::chmod(dir_.File("my.cnf").c_str(), 0600);
    ::chmod(dir_.File("pw.txt").c_str(), 0600);
  }

  TConnectionSettings Read(const std::string& connection) const {
    std::string text = "[Connection]\n" + connection;
    for (std::size_t at = text.find("$DIR"); at != std::string::npos; at = text.find("$DIR")) {
      text.replace(at, 4, dir_.Path());
    }
    return TConnectionSettings::Read(TIniFile::FromText(text));
  }

  testsupport::TTempDir dir_{"settings"};
};

TEST_F(SourceSettingsTest, ParameterFileWinsOverPasswordFileWinsOverOptionFile) {
  const struct {
    const char* Connection;
    const char* Host;
    const char* Port;
    const char* Login;
    const char* Password;
  } cases[] = {
      {"", "localhost", "", "", ""},
      {"OptionFile=$DIR/my.cnf\n", "localhost", "/run/opt.sock", "opt_user", "opt_pw"},
      {"OptionFile=$DIR/my.cnf\nOptionGroup=backup\n", "db.example", "4000", "backup_user", ""},
      {"OptionFile=$DIR/my.cnf\nPasswordFile=$DIR/pw.txt\n", "localhost", "/run/opt.sock", "opt_user", "file_pw"},
      {"OptionFile=$DIR/my.cnf\nPasswordFile=$DIR/pw.txt\nPassword=own\nLogin=me\nPort=33\n", "localhost", "33",
       "me", "own"},
      // Entries left empty do not blank out what the files give.
      {"OptionFile=$DIR/my.cnf\nPassword=\nLogin=\nHost=\n", "localhost", "/run/opt.sock", "opt_user", "opt_pw"},
      // Without files an empty entry still means what it always did.
      {"Host=\nPassword=\n", "", "", "", ""},
  };
  for (const auto& test_case : cases) {
    const TConnectionSettings settings = Read(test_case.Connection);
    EXPECT_EQ(settings.Host, test_case.Host) << test_case.Connection;
    EXPECT_EQ(settings.Port, test_case.Port) << test_case.Connection;
    EXPECT_EQ(settings.Login, test_case.Login) << test_case.Connection;
    EXPECT_EQ(settings.Password, test_case.Password) << test_case.Connection;
    EXPECT_EQ(settings.Warnings, std::vector<std::string>()) << test_case.Connection;
  }
}

TEST_F(SourceSettingsTest, TlsAndTimeoutsFromBothSources) {
  TConnectionSettings settings = Read("");
  EXPECT_EQ(settings.Options.SslMode, smPreferred);
  EXPECT_EQ(settings.Options.ConnectTimeout, 30u);
  EXPECT_EQ(settings.Options.ReadTimeout, 0u);
  EXPECT_FALSE(settings.Snapshot);
  EXPECT_FALSE(settings.ContinueOnError);
  EXPECT_EQ(settings.Threads, 1);

  settings = Read("ContinueOnError=1\nThreads= 64 \n");
  EXPECT_TRUE(settings.ContinueOnError);
  EXPECT_EQ(settings.Threads, 64);

  settings = Read("OptionFile=$DIR/my.cnf\nSSLCert=/c.pem\nSSLKey=/k.pem\n");
  EXPECT_EQ(settings.Options.SslMode, smRequired);
  EXPECT_EQ(settings.Options.SslCA, "/opt/ca.pem");
  EXPECT_EQ(settings.Options.SslCert, "/c.pem");
  EXPECT_EQ(settings.Options.SslKey, "/k.pem");

  settings = Read("OptionFile=$DIR/my.cnf\nSSLMode= verify-identity\nSSLCA=/mine.pem\nConnectTimeout=5\n"
                  "ReadTimeout= 120 \nSnapshot=1\n");
  EXPECT_EQ(settings.Options.SslMode, smVerifyIdentity);
  EXPECT_EQ(settings.Options.SslCA, "/mine.pem");
  EXPECT_EQ(settings.Options.ConnectTimeout, 5u);
  EXPECT_EQ(settings.Options.ReadTimeout, 120u);
  EXPECT_TRUE(settings.Snapshot);
}

TEST_F(SourceSettingsTest, InvalidValuesAndMissingFilesAreRefused) {
  const struct {
    const char* Connection;
    std::string Message;
  } cases[] = {
      {"SSLMode=ON\n", "SSLMode \"ON\" is none of DISABLED, PREFERRED, REQUIRED, VERIFY_CA, VERIFY_IDENTITY"},
      {"ConnectTimeout=-1\n", "ConnectTimeout \"-1\" is not a number of seconds from 0 to 86400"},
      {"ReadTimeout=2s\n", "ReadTimeout \"2s\" is not a number of seconds from 0 to 86400"},
      {"ReadTimeout=86401\n", "ReadTimeout \"86401\" is not a number of seconds from 0 to 86400"},
      {"ReadTimeout=\n", "ReadTimeout \"\" is not a number of seconds from 0 to 86400"},
      {"Threads=0\n", "Threads \"0\" is not a number from 1 to 64"},
      {"Threads=65\n", "Threads \"65\" is not a number from 1 to 64"},
      {"Threads=two\n", "Threads \"two\" is not a number from 1 to 64"},
      {"PasswordFile=$DIR/none\n", "Cannot read password file " + dir_.File("none") + ": No such file or directory"},
      {"OptionFile=$DIR/none\n", "Cannot read option file " + dir_.File("none") + ": No such file or directory"},
  };
  for (const auto& test_case : cases) {
    EXPECT_VELMORA_ERROR(Read(test_case.Connection), test_case.Message);
  }
}

TEST_F(SourceSettingsTest, FilesHoldingAPasswordThatOthersCanReadDrawAWarning) {
  ::chmod(dir_.File("my.cnf").c_str(), 0644);
  ::chmod(dir_.File("pw.txt").c_str(), 0640);
  EXPECT_EQ(Read("OptionFile=$DIR/my.cnf\nPasswordFile=$DIR/pw.txt\n").Warnings,
            (std::vector<std::string>{
                "Warning: the option file " + dir_.File("my.cnf") + " holds a password and can be read by other users",
                "Warning: the password file " + dir_.File("pw.txt") +
                    " holds a password and can be read by other users"}));
  // The backup group holds no password: reading it is no risk.
  EXPECT_EQ(Read("OptionFile=$DIR/my.cnf\nOptionGroup=backup\n").Warnings, std::vector<std::string>());
}

}  // namespace
}  // namespace velmora
