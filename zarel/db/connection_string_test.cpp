// The backend a connection string names, read without connecting.
#include "zarel/db/connection_string.h"

#include <gtest/gtest.h>

#include "zarel/base/error.h"

namespace zarel {
namespace {

TEST(ConnectionString, NamesItsBackendByItsTextAlone) {
  struct Case {
    std::string text;
    const char* backend;  // "sqlite", "postgresql" or "unknown"
  };
  const Case cases[] = {
      {"sqlite:/srv/site/report.db", "sqlite"},
      {"sqlite:", "sqlite"},
      // The prefix decides, whatever follows it.
      {"sqlite:postgresql://host/db", "sqlite"},
      {"postgresql://user@host:5432/reports", "postgresql"},
      {"postgres://host/db", "postgresql"},
      {"host=db.example dbname=reports", "postgresql"},
      {"dbname = reports", "postgresql"},
      {"SQLITE:/srv/report.db", "unknown"},
      {" sqlite:/srv/report.db", "unknown"},
      {"postgresql:/host/db", "unknown"},
      {"mysql://localhost/db", "unknown"},
      {"", "unknown"},
  };
  for (const Case& c : cases) {
    std::string got;
    try {
      got = BackendOfConnectionString(c.text) == Backend::kSQLite ? "sqlite" : "postgresql";
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.Number(), errc::kDatabaseError) << c.text;
      got = "unknown";
    }
    EXPECT_EQ(got, c.backend) << c.text;
  }
}

}  // namespace
}  // namespace zarel
