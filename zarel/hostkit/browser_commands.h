// What every web browser of a host does the same way for the engine's
// commands (ExecWB): their names in failures, the failure of a command that
// cannot run, and saving the page shown as a copy of its file.
//
// Threads: pure functions over their arguments and the file system; any
// thread.
#ifndef ZAREL_HOSTKIT_BROWSER_COMMANDS_H_
#define ZAREL_HOSTKIT_BROWSER_COMMANDS_H_

#include <cstdint>
#include <string>

namespace zarel {

// "Save as", "Print", "Print preview", or "Command N".
std::string BrowserCommandName(std::int16_t command);

// Raises 5 "<command> is not available: <reason>".
[[noreturn]] void RaiseCommandNotAvailable(std::int16_t command, const std::string& reason);

// Raises 53 "File not found: <page>" unless the page file is a regular file.
void RequirePageFile(const std::string& page);

// Save as: copies the page file to destination, a file path or a folder that
// receives the page under its own name. Raises 53 when the page file is gone,
// 76 when the destination's folder does not exist, 75 when it cannot be
// written. The copy is written beside the destination and renamed, so a
// failed save leaves an existing file as it was.
void SavePageFile(const std::string& page, const std::string& destination);

}  // namespace zarel

#endif  // ZAREL_HOSTKIT_BROWSER_COMMANDS_H_
