// Running the zarel program's command line in tests (see run_zarel.h).
#include "apps/testing/run_zarel.h"

#include <sstream>

#include "apps/zarel/zarel_main.h"

namespace zarel::testing {

CommandRun Zarel(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "zarel");
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  std::ostringstream out;
  std::ostringstream err;
  const int status = ZarelMain(static_cast<int>(argv.size()), argv.data(), out, err);
  return {status, out.str(), err.str()};
}

}  // namespace zarel::testing
