// The start, output, wait and stop of ChildProgram (see child_program.h).
#include "apps/http/child_program.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <regex>
#include <thread>

namespace zarel::http {

using Clock = std::chrono::steady_clock;

ChildProgram::ChildProgram(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& tmp) {
  int out[2];
  if (::pipe(out) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    ::close(out[1]);
    if (!tmp.empty()) ::setenv("TMPDIR", tmp.c_str(), 1);
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  out_ = out[0];
  if (pid_ < 0) pid_ = 0;
}

ChildProgram::~ChildProgram() {
  if (pid_ > 0 && ExitStatus(std::chrono::milliseconds(0)) == kRunning) {
    ::kill(pid_, SIGKILL);
    ExitStatus(std::chrono::seconds(5));
  }
  if (out_ >= 0) ::close(out_);
}

std::string ChildProgram::WaitForOutput(const std::string& pattern, std::chrono::milliseconds timeout) {
  const std::regex wanted(pattern);
  const auto until = Clock::now() + timeout;
  std::smatch found;
  char buffer[256];
  while (!std::regex_search(printed_, found, wanted)) {
    if (out_ < 0 || Clock::now() >= until) return "";
    pollfd wait{out_, POLLIN, 0};
    if (::poll(&wait, 1, 100) <= 0) continue;
    const ssize_t got = ::read(out_, buffer, sizeof buffer);
    if (got <= 0) return "";
    printed_.append(buffer, static_cast<std::size_t>(got));
  }
  return found.size() > 1 ? found[1].str() : found[0].str();
}

void ChildProgram::Signal(int signal) const {
  if (pid_ > 0) ::kill(pid_, signal);
}

int ChildProgram::ExitStatus(std::chrono::milliseconds within) {
  const auto until = Clock::now() + within;
  for (;;) {
    int status = 0;
    if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = 0;
      exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (pid_ == 0 || Clock::now() >= until) return exit_status_;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

namespace {
std::vector<std::string> ServeArguments(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "serve");
  return arguments;
}
}  // namespace

ServeProgram::ServeProgram(const std::string& program, std::vector<std::string> arguments, const std::string& tmp)
    : ChildProgram(program, ServeArguments(std::move(arguments)), tmp) {
  // "zarel serve: open http://127.0.0.1:PORT/ in a browser"
  const std::string port = WaitForOutput(":([0-9]+)/ in a browser", std::chrono::minutes(1));
  port_ = port.empty() ? 0 : std::stoi(port);
}

}  // namespace zarel::http
