// Starting a headless browser on a DevTools pipe, framing its messages, and
// making sure nothing of it outlives us.
#include "apps/pdf/browser_process.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace zarel::pdf {
namespace {

// Whether a process of the group `group` still runs. One that has ended but
// was not yet waited for (a zombie: its parent is gone, and where the first
// process of a container is not init it may never be reaped) counts as
// ended: it can no longer write anything. kill(-group, 0) cannot tell the
// two apart, so the processes are read from /proc.
bool GroupStillRuns(pid_t group) {
  std::error_code error;
  for (std::filesystem::directory_iterator entry("/proc", error), end; !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry->path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // "pid (command) state ppid pgrp ...": the command may hold spaces and
    // parentheses, so the fields are read after its last ")".
    const auto close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(line.substr(close + 1));
    char state = 0;
    long parent = 0, process_group = 0;
    if (!(fields >> state >> parent >> process_group)) continue;
    if (process_group == group && state != 'Z' && state != 'X') return true;
  }
  return false;
}

// A file descriptor closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

std::string SystemError(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

std::filesystem::path MakeProfileFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = (tmp && *tmp ? std::string(tmp) : std::string("/tmp")) + "/zarel-print-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw BrowserError(SystemError("cannot make a profile folder for the browser", errno));
  return pattern;
}

// posix_spawn's attributes and file actions, released on every path.
struct SpawnSetup {
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_t actions;
  SpawnSetup() {
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_init(&actions);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

BrowserProcess::BrowserProcess(const std::filesystem::path& executable, const std::vector<std::string>& arguments)
    : profile_(MakeProfileFolder()) {
  try {
    // One stream socket serves both directions: the browser reads commands
    // from descriptor 3 and writes replies to descriptor 4, and both are the
    // same socket. Unlike a pipe, a socket lets us write with MSG_NOSIGNAL,
    // so a browser that died gives an error here instead of SIGPIPE killing
    // the whole program.
    std::array<int, 2> ends{};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends.data()) != 0)
      throw BrowserError(SystemError("cannot make the browser's pipe", errno));
    Descriptor ours(ends[0]);
    Descriptor theirs_low(ends[1]);
    // Above the descriptors the child gets, so that dup2 always makes a copy
    // (a dup2 onto itself would keep close-on-exec set).
    Descriptor theirs(::fcntl(theirs_low.get(), F_DUPFD_CLOEXEC, 10));
    if (theirs.get() < 0) throw BrowserError(SystemError("cannot make the browser's pipe", errno));
    theirs_low.reset();

    Descriptor nothing(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    Descriptor log(::open((profile_ / "browser.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (nothing.get() < 0 || log.get() < 0) throw BrowserError(SystemError("cannot open the browser's log", errno));

    SpawnSetup setup;
    posix_spawn_file_actions_adddup2(&setup.actions, nothing.get(), 0);
    posix_spawn_file_actions_adddup2(&setup.actions, log.get(), 1);
    posix_spawn_file_actions_adddup2(&setup.actions, log.get(), 2);
    posix_spawn_file_actions_adddup2(&setup.actions, theirs.get(), 3);
    posix_spawn_file_actions_adddup2(&setup.actions, theirs.get(), 4);
    // Descriptors of ours that lack close-on-exec must not leak into the
    // browser: it would hold them open after we close them.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 5);
    // Its own process group, so that it and every helper process it starts
    // can be ended together and only they are; signals reset to defaults.
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setsigdefault(&setup.attributes, &all);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> words{executable.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    words.push_back("--user-data-dir=" + profile_.string());
    words.push_back("--remote-debugging-pipe");
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    const int failed = ::posix_spawn(&pid_, executable.c_str(), &setup.actions, &setup.attributes, argv.data(), environ);
    if (failed != 0) {
      pid_ = -1;
      throw BrowserError(SystemError("cannot start " + executable.string(), failed));
    }
    socket_ = ours.release();
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove_all(profile_, ignored);
    throw;
  }
}

BrowserProcess::~BrowserProcess() { Stop(); }

void BrowserProcess::Stop() {
  if (socket_ >= 0) {
    ::close(socket_);
    socket_ = -1;
  }
  if (pid_ > 0) {
    // Closing its pipe asks the browser to quit; give it a moment to do so
    // cleanly, then end the whole group (helpers that outlived it included).
    using namespace std::chrono_literals;
    const auto until = std::chrono::steady_clock::now() + 3s;
    while (!wait_status_ && std::chrono::steady_clock::now() < until) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) wait_status_ = status;
      else std::this_thread::sleep_for(10ms);
    }
    ::kill(-pid_, SIGKILL);
    if (!wait_status_) {
      int status = 0;
      if (::waitpid(pid_, &status, 0) == pid_) wait_status_ = status;
    }
    // SIGKILL is delivered when each helper next runs: on a busy machine a
    // helper may still be writing into the profile folder for a moment, and
    // a file made while the folder is being removed would stay behind. Wait
    // (briefly) until none of the group is left.
    const auto gone_by = std::chrono::steady_clock::now() + 2s;
    while (GroupStillRuns(pid_) && std::chrono::steady_clock::now() < gone_by) std::this_thread::sleep_for(10ms);
    pid_ = -1;
  }
  std::error_code ignored;
  if (!profile_.empty()) std::filesystem::remove_all(profile_, ignored);
}

void BrowserProcess::Send(const std::string& message) {
  if (socket_ < 0) throw BrowserError("the browser is not running");
  std::string framed = message;
  framed.push_back('\0');
  std::size_t done = 0;
  while (done < framed.size()) {
    const ssize_t wrote = ::send(socket_, framed.data() + done, framed.size() - done, MSG_NOSIGNAL);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) throw BrowserError(SystemError("the browser's pipe closed", errno));
    done += static_cast<std::size_t>(wrote);
  }
}

std::optional<std::string> BrowserProcess::Receive(Deadline deadline) {
  if (socket_ < 0) throw BrowserError("the browser is not running");
  std::size_t scanned = 0;
  for (;;) {
    const auto end = pending_.find('\0', scanned);
    if (end != std::string::npos) {
      std::string message = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return message;
    }
    scanned = pending_.size();
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd wanted{socket_, POLLIN, 0};
    const int ready = ::poll(&wanted, 1, static_cast<int>(std::min<long long>(left.count() + 1, 60'000)));
    if (ready < 0 && errno != EINTR) throw BrowserError(SystemError("cannot wait for the browser", errno));
    if (ready <= 0) continue;
    std::array<char, 1 << 16> buffer{};
    const ssize_t got = ::read(socket_, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw BrowserError(SystemError("cannot read from the browser", errno));
    if (got == 0) throw BrowserError("the browser closed its pipe");
    pending_.append(buffer.data(), static_cast<std::size_t>(got));
  }
}

std::string BrowserProcess::DescribeEnd() {
  using namespace std::chrono_literals;
  const auto until = std::chrono::steady_clock::now() + 2s;
  while (pid_ > 0 && !wait_status_ && std::chrono::steady_clock::now() < until) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) wait_status_ = status;
    else std::this_thread::sleep_for(10ms);
  }
  std::string said;
  if (!wait_status_) said = "is still running but stopped answering";
  else if (WIFEXITED(*wait_status_)) said = "exited with status " + std::to_string(WEXITSTATUS(*wait_status_));
  else if (WIFSIGNALED(*wait_status_))
    said = "was killed by signal " + std::to_string(WTERMSIG(*wait_status_)) + " (" + ::strsignal(WTERMSIG(*wait_status_)) + ")";
  else said = "ended";
  const std::string tail = LogTail();
  if (!tail.empty()) said += "; its log ends with: " + tail;
  return said;
}

std::string BrowserProcess::LogTail() const {
  std::ifstream in(profile_ / "browser.log", std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    lines.push_back(line);
    if (lines.size() > 3) lines.erase(lines.begin());
  }
  std::string tail;
  for (const auto& line : lines) tail += (tail.empty() ? "" : " | ") + line;
  constexpr std::size_t most = 600;
  if (tail.size() > most) tail = "..." + tail.substr(tail.size() - most);
  return tail;
}

}  // namespace zarel::pdf
