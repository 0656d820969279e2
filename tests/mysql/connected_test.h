#pragma once

#include <gtest/gtest.h>

#include <string>

#include "mysql/client_library.h"
#include "mysql/components.h"
#include "mysql/query_dataset.h"
#include "platform/error.h"
#include "platform/locale_settings.h"
#include "support/expect_error.h"
#include "support/test_server.h"

namespace velmora {

// Settings whose short date and long time forms are those the server prints
// ("2024-01-15", "13:45:00"), so values can be compared with CAST(... AS CHAR).
inline TFormatSettings IsoSettings() {
  TFormatSettings settings = TFormatSettings::CLocale();
  settings.DecimalSeparator = ".";
  settings.DateSeparator = "-";
  settings.TimeSeparator = ":";
  settings.ShortDateFormat = "yyyy-mm-dd";
  settings.LongTimeFormat = "hh:nn:ss";
  return settings;
}

// The three components linked as the console links them, set up for the
// suite's private server (through its socket) with the C-like ISO settings.
class ConnectedTest : public testsupport::TestServerTest {
 protected:
  void SetUp() override {
    TestServerTest::SetUp();
    if (IsSkipped()) return;
    SetFormatSettings(IsoSettings());
    database.Host = "localhost";
    database.Port = Server().Socket;
    database.Login = Server().User;
    database.Password = Server().Password;
    database.Database = Server().Database;
    transact.SetDatabase(&database);
    query.Database = &database;
    query.Transaction = &transact;
  }
  void TearDown() override { SetFormatSettings(TFormatSettings::CLocale()); }

  // Opens query on statement.
  void OpenQuery(const std::string& statement) {
    query.Close();
    query.Sql = statement;
    query.Open();
  }

  // The text of every field of the current record, joined with "|", NULL as "<null>".
  std::string RecordText() const {
    std::string text;
    for (int index = 0; index < query.FieldCount(); ++index) {
      if (index > 0) text += '|';
      const TField& field = query.Field(index);
      text += field.IsNull() ? "<null>" : field.AsString();
    }
    return text;
  }

  TZMySqlDatabase database;
  TZMySqlTransact transact;
  TZMySqlQuery query;
};

// Replaces one entry of the client library's table for the scope of a test.
template <typename TEntry>
class TApiEntryOverride {
 public:
  TApiEntryOverride(TEntry& entry, TEntry replacement) : entry_(entry), saved_(entry) {
    entry_ = replacement;
  }
  ~TApiEntryOverride() { entry_ = saved_; }
  TApiEntryOverride(const TApiEntryOverride&) = delete;
  TApiEntryOverride& operator=(const TApiEntryOverride&) = delete;

 private:
  TEntry& entry_;
  TEntry saved_;
};

}  // namespace velmora
