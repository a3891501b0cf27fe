// `zarel desktop` runs the desktop host, the program zarel-desktop beside
// the zarel program, with the arguments that follow "desktop". The desktop
// host is a program of its own so that the zarel program needs no toolkit:
// zarel-desktop is built only where Qt 6 with its web engine is found.
#ifndef ZAREL_APPS_ZAREL_DESKTOP_LAUNCH_H_
#define ZAREL_APPS_ZAREL_DESKTOP_LAUNCH_H_

#include <ostream>
#include <string>
#include <vector>

namespace zarel {

// The desktop host's program name.
inline constexpr const char* kDesktopProgram = "zarel-desktop";

// Replaces the running program with zarel-desktop from the folder of the
// running program, passing arguments. Returns only when it cannot: the
// reason on err, status 1.
int LaunchDesktop(const std::vector<std::string>& arguments, std::ostream& err);

}  // namespace zarel

#endif  // ZAREL_APPS_ZAREL_DESKTOP_LAUNCH_H_
