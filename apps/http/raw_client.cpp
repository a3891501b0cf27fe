// The socket work and answer parsing of RawClient (see raw_client.h).
#include "apps/http/raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <utility>

namespace zarel::http {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point until) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// A socket address for a numeric IPv4 or IPv6 address and port.
bool MakeAddress(const std::string& host, int port, sockaddr_storage& address, socklen_t& length) {
  std::memset(&address, 0, sizeof address);
  auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
  if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(static_cast<std::uint16_t>(port));
    length = sizeof(sockaddr_in);
    return true;
  }
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
  if (inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(static_cast<std::uint16_t>(port));
    length = sizeof(sockaddr_in6);
    return true;
  }
  return false;
}

long StatusKib(int pid, const char* key) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  const std::size_t key_length = std::strlen(key);
  while (std::getline(status, line)) {
    if (line.compare(0, key_length, key) == 0) return std::atol(line.c_str() + key_length);
  }
  return -1;
}

}  // namespace

std::string_view RawResponse::Header(std::string_view name) const {
  for (const HeaderField& field : headers) {
    if (SameHeaderName(field.first, name)) return field.second;
  }
  return {};
}

std::optional<RawClient> RawClient::Connect(const std::string& host, int port, const std::string& source,
                                            std::string& error) {
  sockaddr_storage address{};
  socklen_t length = 0;
  if (!MakeAddress(host, port, address, length)) {
    error = "not a numeric address: " + host;
    return std::nullopt;
  }
  RawClient client(::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (client.fd_ < 0) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  const int yes = 1;
  ::setsockopt(client.fd_, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  if (!source.empty()) {
    sockaddr_storage from{};
    socklen_t from_length = 0;
    if (!MakeAddress(source, 0, from, from_length) ||
        ::bind(client.fd_, reinterpret_cast<sockaddr*>(&from), from_length) != 0) {
      error = "cannot send from " + source + ": " + std::strerror(errno);
      return std::nullopt;
    }
  }
  if (::connect(client.fd_, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  return client;
}

RawClient::~RawClient() { Close(); }

RawClient::RawClient(RawClient&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), pending_(std::move(other.pending_)) {}

RawClient& RawClient::operator=(RawClient&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    pending_ = std::move(other.pending_);
  }
  return *this;
}

void RawClient::Close(bool reset) {
  if (fd_ < 0) return;
  if (reset) {
    const linger abort{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  }
  ::close(std::exchange(fd_, -1));
}

bool RawClient::Send(std::string_view data, std::chrono::milliseconds timeout) {
  const auto until = Clock::now() + timeout;
  while (!data.empty()) {
    pollfd wait{fd_, POLLOUT, 0};
    if (::poll(&wait, 1, RemainingMs(until)) <= 0) return false;
    const ssize_t sent = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool RawClient::Fill(Clock::time_point until) {
  pollfd wait{fd_, POLLIN, 0};
  if (::poll(&wait, 1, RemainingMs(until)) <= 0) return false;
  char buffer[65536];
  const ssize_t got = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
  if (got <= 0) return got < 0 && (errno == EAGAIN || errno == EINTR);
  pending_.append(buffer, static_cast<std::size_t>(got));
  return true;
}

std::optional<RawResponse> RawClient::Read(std::chrono::milliseconds timeout, bool head) {
  const auto until = Clock::now() + timeout;
  std::size_t end;
  while ((end = pending_.find("\r\n\r\n")) == std::string::npos) {
    if (!Fill(until) || Clock::now() > until) return std::nullopt;
  }
  RawResponse response;
  const std::string head_text = pending_.substr(0, end + 2);
  pending_.erase(0, end + 4);
  const std::size_t first_space = head_text.find(' ');
  if (first_space == std::string::npos) return std::nullopt;
  response.status = std::atoi(head_text.c_str() + first_space + 1);
  std::size_t line = head_text.find("\r\n") + 2;
  while (line < head_text.size()) {
    const std::size_t line_end = head_text.find("\r\n", line);
    const std::string field = head_text.substr(line, line_end - line);
    const std::size_t colon = field.find(':');
    if (colon != std::string::npos) {
      std::size_t value = colon + 1;
      while (value < field.size() && field[value] == ' ') ++value;
      response.headers.emplace_back(field.substr(0, colon), field.substr(value));
    }
    line = line_end + 2;
  }
  if (head || response.status == 204 || response.status == 304 || response.status < 200) return response;

  if (!response.Header("Content-Length").empty()) {
    const std::size_t length = std::stoull(std::string(response.Header("Content-Length")));
    while (pending_.size() < length) {
      if (!Fill(until)) return std::nullopt;
    }
    response.body = pending_.substr(0, length);
    pending_.erase(0, length);
  } else if (response.Header("Transfer-Encoding").find("chunked") != std::string_view::npos) {
    for (;;) {
      std::size_t size_end;
      while ((size_end = pending_.find("\r\n")) == std::string::npos) {
        if (!Fill(until)) return std::nullopt;
      }
      const std::size_t size = std::stoull(pending_.substr(0, size_end), nullptr, 16);
      while (pending_.size() < size_end + 2 + size + 2) {
        if (!Fill(until)) return std::nullopt;
      }
      response.body.append(pending_, size_end + 2, size);
      pending_.erase(0, size_end + 2 + size + 2);
      if (size == 0) break;  // (trailers are not used by the servers tried)
    }
  } else {
    while (Fill(until)) {
      if (Clock::now() > until) return std::nullopt;
    }
    response.body = std::move(pending_);
    pending_.clear();
  }
  return response;
}

bool RawClient::WaitClosed(std::chrono::milliseconds timeout) {
  const auto until = Clock::now() + timeout;
  // Bytes already sent (an answer before the end) are dropped; the poll
  // runs at least once, so a timeout of 0 still sees an end that came.
  for (;;) {
    pollfd wait{fd_, POLLIN, 0};
    if (::poll(&wait, 1, RemainingMs(until)) <= 0) return false;
    char buffer[65536];
    const ssize_t got = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got == 0) return true;
    if (got < 0 && errno != EAGAIN && errno != EINTR) return true;
  }
}

std::string RawClient::ReadSome(std::size_t max, std::chrono::milliseconds timeout) {
  const auto until = Clock::now() + timeout;
  while (pending_.size() < max && Fill(until)) {
  }
  std::string out = pending_.substr(0, max);
  pending_.erase(0, out.size());
  return out;
}

std::string MakeRequest(std::string_view method, std::string_view target,
                        const std::vector<std::string>& extra_lines, std::string_view body) {
  std::string request;
  request.append(method).append(" ").append(target).append(" HTTP/1.1\r\n");
  const bool own_host = std::any_of(extra_lines.begin(), extra_lines.end(), [](const std::string& line) {
    return SameHeaderName(std::string_view(line).substr(0, 5), "Host:");
  });
  if (!own_host) request.append("Host: 127.0.0.1\r\n");
  for (const std::string& line : extra_lines) request.append(line).append("\r\n");
  if (!body.empty() || method == "POST") {
    request.append("Content-Length: ").append(std::to_string(body.size())).append("\r\n");
  }
  request.append("\r\n").append(body);
  return request;
}

long ResidentKib(int pid) { return StatusKib(pid, "VmRSS:"); }
long PeakResidentKib(int pid) { return StatusKib(pid, "VmHWM:"); }

}  // namespace zarel::http
