// Opening the report database once before a host starts (see
// connection_check.h).
#include "apps/options/connection_check.h"

#include "zarel/base/error.h"
#include "zarel/db/connection.h"

namespace zarel {

std::optional<std::string> ConnectionRefusal(const std::string& connection_string) {
  try {
    auto connection = Connection::Create();
    connection->Open(connection_string);
    connection->Close();
    return std::nullopt;
  } catch (const RuntimeError& error) {
    return error.Description();
  }
}

bool CheckConnectionBeforeStart(const std::string& connection_string, std::ostream& err) {
  const std::optional<std::string> refusal = ConnectionRefusal(connection_string);
  if (!refusal) return true;
  err << "zarel: cannot open the report database: " << *refusal << "\n";
  return false;
}

}  // namespace zarel
