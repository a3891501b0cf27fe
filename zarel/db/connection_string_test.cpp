// The backend a connection string names, read without connecting.
#include "zarel/db/connection_string.h"

#include <gtest/gtest.h>

#include "zarel/base/error.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

TEST(ConnectionString, NamesItsBackendByItsTextAlone) {
  struct Case {
    std::string text;
    const char* backend;      // "sqlite", "postgresql" or "unknown"
    const char* sqlite_path = "";  // what SQLitePathOf gives a SQLite string
  };
  const Case cases[] = {
      {"sqlite:/srv/site/report.db", "sqlite", "/srv/site/report.db"},
      {"sqlite:", "sqlite"},
      // The prefix decides, whatever follows it.
      {"sqlite:postgresql://host/db", "sqlite", "postgresql://host/db"},
      {"sqlite:relative dir/it's.db", "sqlite", "relative dir/it's.db"},
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
    if (got == "sqlite") {
      EXPECT_EQ(SQLitePathOf(c.text), c.sqlite_path) << c.text;
    } else {
      EXPECT_EQ(testing::ErrorNumberOf([&] { SQLitePathOf(c.text); }), errc::kDatabaseError) << c.text;
    }
  }
}

}  // namespace
}  // namespace zarel
