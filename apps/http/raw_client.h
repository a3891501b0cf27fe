// RawClient: a plain blocking HTTP/1.1 client over one TCP socket, for the
// tests and the load and hostile-client programs. It sends exactly the bytes
// it is given (malformed, slow or endless if so asked) and reads answers
// with a time limit, so a misbehaving server shows as a failure, not a hang.
//
// Threading: one instance per thread.
#ifndef ZAREL_APPS_HTTP_RAW_CLIENT_H_
#define ZAREL_APPS_HTTP_RAW_CLIENT_H_

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/http/http_message.h"

namespace zarel::http {

struct RawResponse {
  int status = 0;
  std::vector<HeaderField> headers;
  std::string body;
  std::string_view Header(std::string_view name) const;
};

class RawClient {
 public:
  // Connects to host:port (numeric IPv4 or IPv6), from the source address
  // when one is given (127.0.0.2 and so on stand for other clients on
  // loopback). Nothing, with the reason in error, when it cannot connect.
  static std::optional<RawClient> Connect(const std::string& host, int port, const std::string& source,
                                          std::string& error);
  ~RawClient();
  RawClient(RawClient&& other) noexcept;
  RawClient& operator=(RawClient&& other) noexcept;
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  // Sends all of data; false when the server closed or reset the connection
  // or would not take it within the timeout.
  bool Send(std::string_view data, std::chrono::milliseconds timeout = std::chrono::seconds(5));
  // Reads one whole answer (by Content-Length, chunks or the end of the
  // connection); nothing when the connection ended first or the time ran
  // out. head: the answer to a HEAD request, which has no body.
  std::optional<RawResponse> Read(std::chrono::milliseconds timeout, bool head = false);
  // Whether the server closed the connection within the timeout (bytes that
  // arrive meanwhile are dropped).
  bool WaitClosed(std::chrono::milliseconds timeout);
  // Reads up to max bytes of whatever comes, within the timeout.
  std::string ReadSome(std::size_t max, std::chrono::milliseconds timeout);
  // Closes at once; with reset, the server sees a reset, not an orderly end.
  void Close(bool reset = false);
  int Descriptor() const { return fd_; }

 private:
  explicit RawClient(int fd) : fd_(fd) {}
  // Waits for more bytes into pending_; false on end, error or timeout.
  bool Fill(std::chrono::steady_clock::time_point until);

  int fd_ = -1;
  std::string pending_;
};

// A request with the usual headers: "METHOD TARGET HTTP/1.1", "Host:
// 127.0.0.1" unless the extra lines name a host of their own, the extra lines
// (each "Name: value"), Content-Length and the body when there is one.
std::string MakeRequest(std::string_view method, std::string_view target,
                        const std::vector<std::string>& extra_lines = {}, std::string_view body = {});

// The resident and peak memory of a process in KiB (from /proc), or -1.
long ResidentKib(int pid);
long PeakResidentKib(int pid);

}  // namespace zarel::http

#endif  // ZAREL_APPS_HTTP_RAW_CLIENT_H_
