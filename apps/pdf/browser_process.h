// A headless browser process started by us and spoken to over its DevTools
// pipe: JSON messages ended by a NUL byte, written to the browser's file
// descriptor 3 and read from its descriptor 4. Owns the process (and the
// process group it leads), its private profile folder and its log.
//
// Not to be shared between threads: one thread sends and receives.
#ifndef ZAREL_APPS_PDF_BROWSER_PROCESS_H_
#define ZAREL_APPS_PDF_BROWSER_PROCESS_H_

#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zarel::pdf {

// The browser could not be started, went away, or broke the protocol.
class BrowserError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class BrowserProcess {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  // Starts `executable` with `arguments` (the profile folder and the pipe
  // switch are added here). Throws BrowserError when it cannot be started.
  BrowserProcess(const std::filesystem::path& executable, const std::vector<std::string>& arguments);
  // Asks nothing: closes the pipe (a browser on a DevTools pipe quits when it
  // closes), waits a little, then kills what is left of the process group and
  // removes the profile folder.
  ~BrowserProcess();
  BrowserProcess(const BrowserProcess&) = delete;
  BrowserProcess& operator=(const BrowserProcess&) = delete;

  // Throws BrowserError when the browser is gone.
  void Send(const std::string& message);
  // The next whole message, or nothing when `deadline` passes first. Throws
  // BrowserError when the browser closed the pipe (it quit or crashed).
  std::optional<std::string> Receive(Deadline deadline);

  // Says how the browser ended ("exited with status 1", "was killed by
  // signal 11") followed by the last lines it wrote to its log, waiting a
  // moment for it to end. For error messages after the pipe closed.
  std::string DescribeEnd();

  pid_t Pid() const { return pid_; }

 private:
  void Stop();
  std::string LogTail() const;

  std::filesystem::path profile_;
  pid_t pid_ = -1;
  int socket_ = -1;
  std::optional<int> wait_status_;
  std::string pending_;  // bytes read after the last whole message
};

}  // namespace zarel::pdf

#endif  // ZAREL_APPS_PDF_BROWSER_PROCESS_H_
