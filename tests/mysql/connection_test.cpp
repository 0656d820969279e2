#include <gmock/gmock.h>

#include <memory>

#include "connected_test.h"
#include "mysql/direct_connection.h"

namespace velmora {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// ---------------------------------------------------------------------------
// Without a server

TEST(ClientLibrary, FailureListsEveryLoaderError) {
  try {
    OpenClientLibrary({"libvelmora-missing-a.so", "libvelmora-missing-b.so"}, "/nonexistent-dir");
    FAIL() << "no error";
  } catch (const EVelmoraError& error) {
    const std::string message = error.what();
    EXPECT_THAT(message,
                StartsWith("Cannot load dynamic library /nonexistent-dir/libmysqlclient.so.14.0.0: "));
    EXPECT_THAT(message, HasSubstr("\nlibvelmora-missing-a.so: "));
    EXPECT_THAT(message, HasSubstr("\nlibvelmora-missing-b.so: "));
  }
}

TEST(ClientLibrary, LibraryWithoutTheEntryPointsIsRefused) {
  try {
    OpenClientLibrary({"libm.so.6"}, "");
    FAIL() << "no error";
  } catch (const EVelmoraError& error) {
    EXPECT_THAT(error.what(), StartsWith("Cannot load dynamic library "));
    EXPECT_THAT(error.what(), HasSubstr("mysql_"));
  }
}

TEST(ClientLibrary, LoadsAnInstalledClientLibraryOnce) {
  LoadClientLibrary();
  ASSERT_TRUE(ClientLibraryLoaded());
  const std::vector<std::string>& candidates = ClientLibraryCandidates();
  EXPECT_EQ(candidates.front(), "libmysqlclient.so.14");
  EXPECT_NE(std::find(candidates.begin(), candidates.end(), ClientLibraryName()), candidates.end());
  EXPECT_NE(MySqlApi().mysql_fetch_field_direct, nullptr);
  void* handle = MySqlApi().library_handle;
  LoadClientLibrary();
  EXPECT_EQ(MySqlApi().library_handle, handle);
}

TEST(ResolveEndpoint, LocalHostTakesTheSocketFromThePort) {
  TMySqlEndpoint endpoint = ResolveEndpoint(" LocalHost ", " /run/db.sock ");
  EXPECT_EQ(endpoint.Host, "");
  EXPECT_EQ(endpoint.Socket, "/run/db.sock");
  EXPECT_EQ(endpoint.Port, 3306u);

  endpoint = ResolveEndpoint("", "3307");
  EXPECT_EQ(endpoint.Host, "");
  EXPECT_EQ(endpoint.Socket, "");
  EXPECT_EQ(endpoint.Port, 3307u);

  endpoint = ResolveEndpoint("db.example", "/run/db.sock");
  EXPECT_EQ(endpoint.Host, "db.example");
  EXPECT_EQ(endpoint.Socket, "");

  EXPECT_EQ(ResolveEndpoint("db", "not a port").Port, 3306u);
  EXPECT_EQ(ResolveEndpoint("db", "70000").Port, 3306u);
  EXPECT_EQ(ResolveEndpoint("db", "-1").Port, 3306u);
}

TEST(ClientFlagValue, AddsThePowersOfTwoOfTheItems) {
  EXPECT_EQ(ClientFlagValue({}), 0u);
  EXPECT_EQ(ClientFlagValue({cfLongPassword, cfFoundRows, cfConnectWithDB}), 1u + 2u + 8u);
  EXPECT_EQ(ClientFlagValue({cfCompress, cfTransactions}), 32u + 8196u);
}

TEST(Components, MissingPartsAreReported) {
  TZMySqlDatabase database;
  TZMySqlTransact transact;
  TZMySqlQuery query;
  query.Sql = "select 1";
  EXPECT_VELMORA_ERROR(transact.Connect(), "Database component not defined");
  EXPECT_VELMORA_ERROR(query.Open(), "Database component not defined");
  query.Database = &database;
  EXPECT_VELMORA_ERROR(query.Open(), "Transaction component not defined");
  EXPECT_FALSE(query.Active());
  EXPECT_TRUE(query.Eof());
}

TEST(Components, EmptyStatementIsRefusedBeforeTheServerIsContacted) {
  TZMySqlDatabase database;
  database.Port = "/nonexistent/mysqld.sock";  // connecting would fail
  TZMySqlTransact transact;
  transact.SetDatabase(&database);
  TZMySqlQuery query;
  query.Database = &database;
  query.Transaction = &transact;
  query.Sql = " \n ;; -- nothing\n";
  EXPECT_VELMORA_ERROR(query.Open(), "Empty Query");
  EXPECT_FALSE(transact.Connected());
  EXPECT_EQ(transact.ServerVersion(), "");
}

// ---------------------------------------------------------------------------
// Against the private server

using ConnectionTest = ConnectedTest;

TEST_F(ConnectionTest, ConnectsThroughTheSocketGivenAsPort) {
  EXPECT_EQ(transact.ServerVersion(), "");
  database.Database.clear();  // connected without a database, as the console does
  database.Connect();
  EXPECT_TRUE(database.Connected());
  EXPECT_TRUE(transact.Connected());
  EXPECT_THAT(transact.ServerVersion(), HasSubstr("MariaDB"));
  EXPECT_GE(ServerVersionNumber(transact.ServerVersion()), 100000);
  database.Disconnect();
  EXPECT_FALSE(transact.Connected());
  EXPECT_EQ(transact.ServerVersion(), "");
}

TEST_F(ConnectionTest, ConnectsOverTcp) {
  database.Host = " 127.0.0.1 ";
  database.Port = Server().Port;
  OpenQuery("select @@port, database()");
  EXPECT_EQ(RecordText(), Server().Port + "|" + Server().Database);
}

TEST_F(ConnectionTest, RefusedLoginRaisesTheClientMessage) {
  database.Password = "wrong";
  try {
    database.Connect();
    FAIL() << "no error";
  } catch (const EVelmoraError& error) {
    EXPECT_THAT(error.what(), StartsWith("Access denied for user 'velmora'@'localhost'"));
  }
  EXPECT_FALSE(transact.Connected());
}

TEST_F(ConnectionTest, UnknownDatabaseRaisesTheClientMessage) {
  database.Database = "velmora_no_such_db";
  EXPECT_VELMORA_ERROR(database.Connect(), "Unknown database 'velmora_no_such_db'");
}

TEST_F(ConnectionTest, SelectDatabaseConnectsFirstAndSwitches) {
  Sql("CREATE DATABASE IF NOT EXISTS velmora_second");
  database.Database.clear();
  database.SelectDatabase("velmora_second");
  EXPECT_TRUE(transact.Connected());
  OpenQuery("select database()");
  EXPECT_EQ(RecordText(), "velmora_second");
  EXPECT_VELMORA_ERROR(database.SelectDatabase("velmora_no_such_db"),
                       "Unknown database 'velmora_no_such_db'");
  // A failed switch keeps the current database.
  OpenQuery("select database()");
  EXPECT_EQ(RecordText(), "velmora_second");
}

TEST_F(ConnectionTest, ConnectionTalksUtf8WithFourByteCharacters) {
  OpenQuery("select @@character_set_client, @@character_set_connection, @@character_set_results");
  EXPECT_EQ(RecordText(), "utf8mb4|utf8mb4|utf8mb4");
}

// A hostile server could read any file of the user through LOAD DATA LOCAL.
TEST_F(ConnectionTest, LocalFilesAreNeverSent) {
  Sql("DROP TABLE IF EXISTS local_lines; CREATE TABLE local_lines (line TEXT)");
  query.Sql = "LOAD DATA LOCAL INFILE '/etc/hostname' INTO TABLE local_lines";
  EXPECT_THROW(query.ExecSql(), EVelmoraError);
  EXPECT_EQ(testsupport::QueryValue(Server(), "select count(*) from local_lines"), "0");
}

TEST_F(ConnectionTest, RejectedStatementRaisesTheServerMessageAndLeavesTheConnectionUsable) {
  EXPECT_VELMORA_ERROR(OpenQuery("select * from no_such_table"),
                       "Table '" + Server().Database + ".no_such_table' doesn't exist");
  EXPECT_FALSE(query.Active());
  EXPECT_EQ(query.FieldCount(), 0);
  OpenQuery("select 42 as answer");
  EXPECT_EQ(RecordText(), "42");
}

TEST_F(ConnectionTest, StatementWithoutColumnsLeavesTheQueryClosed) {
  OpenQuery("set @velmora = 1");
  EXPECT_FALSE(query.Active());
  query.Sql = "do 1";
  query.ExecSql();
  query.Sql = "select 1 union select 2";
  query.ExecSql();
  EXPECT_EQ(query.RowsAffected(), 2u);
}

// Regression: the status result a CALL sends after its rows was never read,
// and every later statement on the connection failed as out of sync.
TEST_F(ConnectionTest, ProcedureCallLeavesTheConnectionUsable) {
  query.Sql = "create or replace procedure velmora_rows() select 1 as a union select 2";
  query.ExecSql();
  OpenQuery("call velmora_rows()");
  EXPECT_EQ(RecordText(), "1");
  OpenQuery("select 42 as answer");
  EXPECT_EQ(RecordText(), "42");
  query.Close();
  query.Sql = "call velmora_rows()";
  query.ExecSql();
  OpenQuery("select 43 as answer");
  EXPECT_EQ(RecordText(), "43");
}

TEST_F(ConnectionTest, TransactSafeConnectionRollsBack) {
  Sql("DROP TABLE IF EXISTS tx_rows; CREATE TABLE tx_rows (n INT) ENGINE=InnoDB");
  transact.TransactSafe = true;
  query.Sql = "insert into tx_rows values (1), (2)";
  query.ExecSql();
  EXPECT_EQ(query.RowsAffected(), 2u);
  transact.Rollback();
  OpenQuery("select count(*) from tx_rows");
  EXPECT_EQ(RecordText(), "0");
  query.Close();
  query.Sql = "insert into tx_rows values (3)";
  query.ExecSql();
  transact.Commit();
  EXPECT_EQ(testsupport::QueryValue(Server(), "select count(*) from tx_rows"), "1");
}

TEST_F(ConnectionTest, DisconnectClosesTheOpenQuery) {
  OpenQuery("select 1");
  ASSERT_TRUE(query.Active());
  database.Disconnect();
  EXPECT_FALSE(query.Active());
  EXPECT_EQ(query.FieldCount(), 0);
}

TEST_F(ConnectionTest, ComponentsMayGoInAnyOrder) {
  auto owned_database = std::make_unique<TZMySqlDatabase>();
  auto owned_transact = std::make_unique<TZMySqlTransact>();
  auto owned_query = std::make_unique<TZMySqlQuery>();
  owned_database->Port = Server().Socket;
  owned_database->Login = Server().User;
  owned_database->Password = Server().Password;
  owned_transact->SetDatabase(owned_database.get());
  owned_query->Database = owned_database.get();
  owned_query->Transaction = owned_transact.get();
  owned_query->Sql = "select 1";
  owned_query->Open();
  owned_database.reset();  // closes the connection and with it the result
  EXPECT_FALSE(owned_query->Active());
  EXPECT_EQ(owned_transact->Database(), nullptr);
  owned_transact.reset();
  owned_query.reset();
}

// ---------------------------------------------------------------------------
// Failures of the client library, made on purpose through its table

unsigned int ErrnoLostConnection(MYSQL*) {
  return 2013;
}
const char* ErrorLostConnection(MYSQL*) {
  return "Lost connection to server during query ";
}
int FailQuery(MYSQL*, const char*, unsigned long) {
  return 1;
}

TEST_F(ConnectionTest, FailedSendIsNeverTakenAsSuccess) {
  database.Connect();
  TApiEntryOverride send(MySqlApi().mysql_real_query, &FailQuery);
  TApiEntryOverride number(MySqlApi().mysql_errno, &ErrnoLostConnection);
  TApiEntryOverride text(MySqlApi().mysql_error, &ErrorLostConnection);
  EXPECT_VELMORA_ERROR(OpenQuery("select 1"), "Lost connection to server during query");
  EXPECT_FALSE(query.Active());
}

int fetches_before_failure = 0;
decltype(MySqlApi().mysql_fetch_row) real_fetch_row = nullptr;
MYSQL_ROW FetchThenLoseConnection(MYSQL_RES* result) {
  if (fetches_before_failure-- > 0) return real_fetch_row(result);
  return nullptr;
}

// Regression: a NULL row was always taken as the end of the rows, so a
// connection lost while streaming looked like a complete (shorter) result.
TEST_F(ConnectionTest, LostConnectionWhileReadingIsNotTheEnd) {
  database.Connect();
  query.ExtraOptions.clear();  // streamed: rows come from the server one by one
  real_fetch_row = MySqlApi().mysql_fetch_row;
  fetches_before_failure = 2;
  TApiEntryOverride fetch(MySqlApi().mysql_fetch_row, &FetchThenLoseConnection);
  OpenQuery("select 1 union all select 2 union all select 3");
  query.Next();
  TApiEntryOverride number(MySqlApi().mysql_errno, &ErrnoLostConnection);
  TApiEntryOverride text(MySqlApi().mysql_error, &ErrorLostConnection);
  EXPECT_VELMORA_ERROR(query.Next(), "Lost connection to server during query");
}

// A stored result is read whole before its first row is shown: a connection
// lost on the way fails the statement, never passing a shorter result off as
// the whole.
TEST_F(ConnectionTest, ConnectionLostWhileStoringFailsTheStatement) {
  real_fetch_row = MySqlApi().mysql_fetch_row;
  fetches_before_failure = 1;
  TApiEntryOverride fetch(MySqlApi().mysql_fetch_row, &FetchThenLoseConnection);
  TApiEntryOverride number(MySqlApi().mysql_errno, &ErrnoLostConnection);
  TApiEntryOverride text(MySqlApi().mysql_error, &ErrorLostConnection);
  EXPECT_VELMORA_ERROR(OpenQuery("select 1 union all select 2 union all select 3"),
                       "Lost connection to server during query");
  EXPECT_FALSE(query.Active());
}

decltype(MySqlApi().mysql_options) real_options = nullptr;
// A library that takes the order to insist on TLS and then ignores it.
int OptionsIgnoringEnforce(MYSQL* handle, enum mysql_option option, const void* value) {
  if (option == MYSQL_OPT_SSL_ENFORCE) return 0;
  return real_options(handle, option, value);
}

// The suite's server offers no TLS: a library that silently falls back to
// plain text must not pass for an encrypted connection.
TEST_F(ConnectionTest, PlainTextFallbackOfTheLibraryIsCaughtAfterConnecting) {
  LoadClientLibrary();
  real_options = MySqlApi().mysql_options;
  TApiEntryOverride options(MySqlApi().mysql_options, &OptionsIgnoringEnforce);
  for (const TSslMode mode : {smRequired, smVerifyCA}) {
    database.Options.SslMode = mode;
    database.Options.SslCA = "/nonexistent/ca.pem";
    EXPECT_VELMORA_ERROR(transact.Connect(), std::string("SSLMode ") + SslModeName(mode) +
                                                 ": the connection to the server is not encrypted");
    EXPECT_FALSE(transact.Connected());
    database.Disconnect();
  }
  // Preferred accepts the plain connection.
  database.Options.SslMode = smPreferred;
  transact.Connect();
  EXPECT_TRUE(transact.Connected());
}

}  // namespace
}  // namespace velmora
