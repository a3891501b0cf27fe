// Test databases on SQLite and PostgreSQL, and a private PostgreSQL server.
#include "zarel/testing/databases.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "zarel/base/error.h"
#include "zarel/db/connection.h"
#include "zarel/db/database_values.h"

namespace zarel::testing {

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

class SQLiteTestDatabase final : public TestDatabase {
 public:
  SQLiteTestDatabase() {
    const std::string path = folder_.Path() + "/test.db";
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_close(db);
    connection_string_ = "sqlite:" + path;
  }
  Backend Kind() const override { return Backend::kSQLite; }
  const std::string& ConnectionString() const override { return connection_string_; }

 private:
  TempFolder folder_;
  std::string connection_string_;
};

class PostgresTestDatabase final : public TestDatabase {
 public:
  explicit PostgresTestDatabase(std::string server_url) : server_url_(std::move(server_url)) {
    static std::atomic<int> counter{0};
    std::random_device random;
    name_ = "zarel_t_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + "_" +
            std::to_string(random() % 1000000);
    OnServer("CREATE DATABASE " + name_);
    connection_string_ = WithDatabaseName(server_url_, name_);
  }
  ~PostgresTestDatabase() override {
    try {
      OnServer("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    } catch (...) {
    }
  }
  Backend Kind() const override { return Backend::kPostgreSQL; }
  const std::string& ConnectionString() const override { return connection_string_; }

 private:
  void OnServer(const std::string& command) const {
    auto connection = Connection::Create();
    connection->Open(server_url_);
    connection->Execute(command, kExecuteNoRecords);
    connection->Close();
  }

  std::string server_url_;
  std::string name_;
  std::string connection_string_;
};

int FreePort() {
  const int handle = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  int port = 54329;
  if (bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(handle);
  return port;
}

std::string ServerBinFolder() {
  std::string bin = Env("ZAREL_TEST_PG_BIN");
  if (!bin.empty()) return bin;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
    if (std::filesystem::exists(entry.path() / "bin" / "initdb")) bin = (entry.path() / "bin").string();
  }
  return bin;
}

}  // namespace

void TestDatabase::Exec(const std::string& script) const {
  auto connection = Connection::Create();
  connection->Open(ConnectionString());
  connection->Execute(script, kExecuteNoRecords);
  connection->Close();
}

std::string TestDatabase::Scalar(const std::string& query) const {
  auto connection = Connection::Create();
  connection->Open(ConnectionString());
  auto recordset = connection->Execute(query);
  connection->Close();
  if (recordset->RecordCount() == 0) return "";
  return recordset->Fields().Item(0).Value().TextOrEmpty();
}

std::string GetPostgresUrl() {
  const std::string url = Env("ZAREL_TEST_PG");
  if (url.empty() && Env("ZAREL_REQUIRE_PG") == "1") {
    ADD_FAILURE() << "ZAREL_REQUIRE_PG=1 but ZAREL_TEST_PG is not set";
  }
  return url;
}

std::string WithDatabaseName(const std::string& url, const std::string& name) {
  const std::size_t scheme = url.find("://");
  const std::size_t slash = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  const std::size_t query = url.find('?');
  std::string result = slash == std::string::npos ? url.substr(0, query) : url.substr(0, slash);
  result += "/" + name;
  if (query != std::string::npos) result += url.substr(query);
  return result;
}

std::unique_ptr<TestDatabase> MakeTestDatabase(Backend backend) {
  if (backend == Backend::kSQLite) return std::make_unique<SQLiteTestDatabase>();
  const std::string url = GetPostgresUrl();
  if (url.empty()) return nullptr;
  return std::make_unique<PostgresTestDatabase>(url);
}

std::string Describe(const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty: return "Empty";
    case VarType::kNull: return "Null";
    case VarType::kBoolean: return std::string("Boolean ") + (value.AsBoolean() ? "true" : "false");
    case VarType::kInteger: return "Integer " + ParameterText(value);
    case VarType::kLong: return "Long " + ParameterText(value);
    case VarType::kLongLong: return "LongLong " + ParameterText(value);
    case VarType::kSingle: return "Single " + ParameterText(value);
    case VarType::kDouble: return "Double " + ParameterText(value);
    case VarType::kCurrency: return "Currency " + ParameterText(value);
    case VarType::kDate: return "Date " + ParameterText(value);
    case VarType::kString: return "String " + value.AsString();
    case VarType::kBytes: {
      std::string text = "Bytes";
      static const char* const kHex = "0123456789abcdef";
      for (std::uint8_t byte : value.AsBytes()) {
        text += ' ';
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
      }
      return text;
    }
    case VarType::kObject: return "Object";
  }
  return "?";
}

const char* BackendName(Backend backend) { return backend == Backend::kSQLite ? "SQLite" : "PostgreSQL"; }

PrivateServer::PrivateServer() {
  bin_ = ServerBinFolder();
  if (bin_.empty()) return;
  std::string pattern = "/tmp/zarel-pg-own-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return;
  folder_ = pattern;
  std::filesystem::permissions(folder_, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                            std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                            std::filesystem::perms::others_exec);
  if (geteuid() == 0) {
    // The server refuses to run as root.
    std::string user = Env("ZAREL_TEST_PG_USER");
    if (user.empty() || user == "root") user = "postgres";
    as_user_ = "runuser -u " + user + " -- ";
    if (!Run("chown " + user + " " + folder_)) return;
  }
  const std::string port = std::to_string(FreePort());
  if (!Run(as_user_ + bin_ + "/initdb -D " + folder_ + "/data -U postgres --auth=trust -E UTF8 --locale=C.UTF-8 >" +
           folder_ + "/initdb.log 2>&1")) {
    return;
  }
  // The settings live in the data folder, so a plain pg_ctl start brings
  // the same server back.
  {
    std::ofstream settings(folder_ + "/data/postgresql.auto.conf", std::ios::app);
    settings << "port = " << port << "\nlisten_addresses = '127.0.0.1'\nunix_socket_directories = '" << folder_
             << "'\nfsync = off\n";
    if (!settings) return;
  }
  url_ = "postgresql://postgres@127.0.0.1:" + port + "/postgres";
  running_ = Start();
}

PrivateServer::~PrivateServer() {
  if (folder_.empty()) return;
  Run(as_user_ + bin_ + "/pg_ctl -D " + folder_ + "/data -m immediate -w stop >/dev/null 2>&1");
  std::error_code error;
  std::filesystem::remove_all(folder_, error);
}

bool PrivateServer::Stop() {
  return Run(as_user_ + bin_ + "/pg_ctl -D " + folder_ + "/data -m fast -w -t 60 stop >/dev/null 2>&1");
}

bool PrivateServer::Start() {
  return Run(as_user_ + bin_ + "/pg_ctl -D " + folder_ + "/data -l " + folder_ +
             "/server.log -w -t 60 start >/dev/null 2>&1");
}

bool PrivateServer::Run(const std::string& command) const { return std::system(command.c_str()) == 0; }

}  // namespace zarel::testing
