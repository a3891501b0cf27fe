// Real databases for the tests: SQLite files in a temporary folder, and
// PostgreSQL databases on the test server named by ZAREL_TEST_PG, each test
// working in a database of its own that it creates and drops (so tests can
// run in parallel). Without ZAREL_TEST_PG the PostgreSQL tests skip, unless
// ZAREL_REQUIRE_PG=1 makes them fail.
#ifndef ZAREL_TESTING_DATABASES_H_
#define ZAREL_TESTING_DATABASES_H_

#include <memory>
#include <string>

#include "zarel/base/variant.h"
#include "zarel/db/database_driver.h"
#include "zarel/testing/files.h"

namespace zarel::testing {

// An empty database of one backend, made for one test.
class TestDatabase {
 public:
  virtual ~TestDatabase() = default;
  virtual Backend Kind() const = 0;
  // The connection string that opens it.
  virtual const std::string& ConnectionString() const = 0;
  // Runs a script of statements on its own connection; raises on failure.
  void Exec(const std::string& script) const;
  // The first value of the first row of a query, as text ("" for Null).
  std::string Scalar(const std::string& query) const;
};

// A new database, or null when the backend is not available (the caller
// then skips; GetPostgresUrl records a failure when ZAREL_REQUIRE_PG=1).
std::unique_ptr<TestDatabase> MakeTestDatabase(Backend backend);

// ZAREL_TEST_PG, or empty; adds a test failure when it is empty and
// ZAREL_REQUIRE_PG=1.
std::string GetPostgresUrl();

// The connection URL with another database name in it.
std::string WithDatabaseName(const std::string& url, const std::string& name);

const char* BackendName(Backend backend);

// A value with its kind, for comparing in tests: "Long 42", "Currency 12.5",
// "Date 2024-03-05", "Bytes 00 01 ff", "String abc", "Null".
std::string Describe(const Variant& value);

// The parameter names of the backend-parameterized tests.
struct BackendParamName {
  template <class Info>
  std::string operator()(const Info& info) const {
    return BackendName(info.param);
  }
};

// A PostgreSQL server of a test's own (initdb in a temporary folder, trust
// authentication, a free port), for tests that stop and start a server.
// Needs ZAREL_TEST_PG_BIN; Available() is false without it.
class PrivateServer {
 public:
  PrivateServer();
  ~PrivateServer();
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;
  bool Available() const { return running_; }
  const std::string& Url() const { return url_; }
  bool Stop();
  bool Start();

 private:
  bool Run(const std::string& command) const;
  std::string folder_;
  std::string as_user_;  // "runuser -u NAME -- " when the server needs another account
  std::string bin_;
  std::string url_;
  bool running_ = false;
};

}  // namespace zarel::testing

#endif  // ZAREL_TESTING_DATABASES_H_
