// The zarel program: the hosts of the Zarel control, as subcommands.
//
//   zarel --help       what the program does
//   zarel --version    its version
//   zarel browse ...   the command-line host (see browse_command.h)
//   zarel desktop ...  the desktop host, the program zarel-desktop
//                      (see desktop_launch.h)
#include <iostream>

#include "apps/zarel/zarel_main.h"

int main(int argc, char** argv) { return zarel::ZarelMain(argc, argv, std::cout, std::cerr); }
