// What the tests of the zarel program's commands share: running its command
// line in process, with what it writes to standard output and standard error
// caught.
#ifndef ZAREL_APPS_TESTING_RUN_ZAREL_H_
#define ZAREL_APPS_TESTING_RUN_ZAREL_H_

#include <string>
#include <vector>

namespace zarel::testing {

struct CommandRun {
  int status;
  std::string out;
  std::string err;
};

// Runs "zarel" with the arguments through ZarelMain.
CommandRun Zarel(std::vector<std::string> arguments);

}  // namespace zarel::testing

#endif  // ZAREL_APPS_TESTING_RUN_ZAREL_H_
