// The CONNECTION argument (see connection_option.h).
#include "apps/options/connection_option.h"

namespace zarel {

void AddConnectionArgument(CLI::App& command, std::string& connection) {
  command
      .add_option("CONNECTION", connection,
                  "Connection string of the report database (sqlite:PATH, postgresql://..., or libpq key=value)")
      ->required();
}

}  // namespace zarel
