// ChildProgram: a program run as a child process (fork and exec) with its
// standard output read, for the tests that stop `zarel serve` by signal and
// the hostile-client program that measures its memory. What is still
// running when the instance goes is killed.
//
// Threading: one instance, used from one thread.
#ifndef ZAREL_APPS_HTTP_CHILD_PROGRAM_H_
#define ZAREL_APPS_HTTP_CHILD_PROGRAM_H_

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace zarel::http {

class ChildProgram {
 public:
  // Runs program with the arguments (argv[1] on) and, when tmp is not
  // empty, TMPDIR set to it.
  ChildProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& tmp);
  ~ChildProgram();
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  // Reads the output until pattern (a regular expression with one group)
  // matches, within the timeout: the group's text, or "" when the output
  // ended or the time ran out first.
  std::string WaitForOutput(const std::string& pattern, std::chrono::milliseconds timeout);

  pid_t Pid() const { return pid_; }
  void Signal(int signal) const;
  // The exit status once the program has ended (128 + N for signal N), or
  // kRunning when it is still running after the wait.
  static constexpr int kRunning = -1;
  int ExitStatus(std::chrono::milliseconds within);

 private:
  pid_t pid_ = 0;
  int out_ = -1;
  std::string printed_;
  int exit_status_ = kRunning;
};

// `zarel serve` as a child: program is the zarel program, arguments follow
// "serve". Port() is the port it printed it listens on, 0 when it printed
// none within a minute.
class ServeProgram : public ChildProgram {
 public:
  ServeProgram(const std::string& program, std::vector<std::string> arguments, const std::string& tmp);
  int Port() const { return port_; }

 private:
  int port_ = 0;
};

}  // namespace zarel::http

#endif  // ZAREL_APPS_HTTP_CHILD_PROGRAM_H_
