// The zarel program: the hosts of the Zarel control, as subcommands.
//
//   zarel --help       what the program does
//   zarel --version    its version
#include <CLI/CLI.hpp>

#include <iostream>

int main(int argc, char** argv) {
  CLI::App app{"Zarel: a database reporting component and its hosts."};
  app.set_version_flag("--version", std::string("zarel ") + ZAREL_VERSION);
  app.require_subcommand(0, 1);
  CLI11_PARSE(app, argc, argv);
  if (argc == 1) {
    std::cout << app.help();
  }
  return 0;
}
