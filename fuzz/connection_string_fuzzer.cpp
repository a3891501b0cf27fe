// Fuzzes the reading of connection strings, without ever connecting: which
// backend a text names, and libpq's reading of the PostgreSQL forms.
// Properties: the backend is decided by the text alone ("sqlite:" first;
// the PostgreSQL URL and key=value forms) and an unknown text is refused
// with the system's error, never anything else.
#include <libpq-fe.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "zarel/base/error.h"
#include "zarel/db/connection_string.h"

using namespace zarel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (text.find('\0') != std::string::npos) return 0;
  try {
    const Backend backend = BackendOfConnectionString(text);
    fuzz::Check((backend == Backend::kSQLite) == (text.rfind("sqlite:", 0) == 0),
                "sqlite: and nothing else names SQLite", text);
    if (backend == Backend::kPostgreSQL) {
      char* error = nullptr;
      PQconninfoOption* options = PQconninfoParse(text.c_str(), &error);
      PQconninfoFree(options);
      PQfreemem(error);
    }
  } catch (const RuntimeError& error) {
    fuzz::Check(error.Number() == errc::kDatabaseError, "an unknown text is a database error",
                text);
    fuzz::Check(text.rfind("sqlite:", 0) != 0, "sqlite: is always known", text);
  }
  return 0;
}
