// Connection: one client connection of the server, read and answered
// without ever waiting on the client: each step (waiting for a request,
// reading its head, reading its body, sending the answer, closing) is an
// asynchronous operation with a deadline, and a request goes to the handler
// only when it has arrived whole within its bounds. ServerContext is what
// the connections of one server share. Internal to the server.
//
// Threading: a connection runs on its own strand; the server calls it only
// through Post (OnStop, CheckDeadline, Close). Deadline() may be read from
// any thread.
#ifndef ZAREL_APPS_HTTP_HTTP_CONNECTION_H_
#define ZAREL_APPS_HTTP_HTTP_CONNECTION_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include "apps/http/connection_limits.h"
#include "apps/http/http_message.h"
#include "apps/http/http_server.h"
#include "apps/http/worker_pool.h"

namespace zarel::http {

class Connection;

// What every connection of a server shares; owned by the server, it lives
// until its I/O threads have been joined and its io_context is gone.
struct ServerContext {
  ServerContext(ServerOptions server_options, Server::Handler request_handler);

  const ServerOptions options;
  const Server::Handler handler;
  ConnectionLimits limits;
  WorkerPool workers;
  std::stop_source stop;
  std::atomic<bool> stopping{false};

  // Every connection alive, for the deadline sweep and for Stop.
  std::mutex registry_mutex;
  std::unordered_map<const Connection*, std::weak_ptr<Connection>> registry;
  std::vector<std::shared_ptr<Connection>> Connections();

  // Connections refused at connect that are still being told so.
  std::atomic<std::size_t> refusing{0};

  std::atomic<std::size_t> accepted{0}, refused{0}, requests{0}, timed_out{0}, rejected{0}, abandoned{0};

  // Last: destroyed first, with the handlers still queued on it (they hold
  // connections, whose destructors use the members above).
  boost::asio::io_context io;
};

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  using Socket = boost::asio::ip::tcp::socket;
  using Clock = std::chrono::steady_clock;

  // A counted connection (ticket) serves requests; one without a ticket was
  // refused at connect and is only told so (503) and closed.
  Connection(ServerContext& context, Socket socket, std::string peer,
             std::optional<ConnectionLimits::Ticket> ticket);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void Start();

  // The time by which the current step must be done (nanoseconds of the
  // steady clock; 0 while the handler has the request or after closing).
  std::int64_t Deadline() const { return deadline_.load(std::memory_order_relaxed); }
  // Closes the connection when its step is past its deadline.
  void CheckDeadline();
  // The server stops: closes at once unless an answer is being made or
  // sent, which then closes the connection when sent.
  void OnStop();
  void Close();

  boost::asio::any_io_executor Executor() { return socket_.get_executor(); }

 private:
  enum class State { kIdle, kReadingHead, kReadingBody, kHandling, kWriting, kClosing, kClosed };

  void WaitForRequest();
  void ReadHead();
  void ParseHead();
  void OnHead();
  void ReadBody();
  void OnRequest();
  void OnReadError(const boost::system::error_code& error);
  void Answer(Response response, bool close);
  void Refuse(int status, std::string_view text, bool retry_after);
  void SendSome();
  void SendFile();
  void AfterSend();
  void Linger();
  void SetDeadline(std::chrono::milliseconds from_now);
  void ClearDeadline() { deadline_.store(0, std::memory_order_relaxed); }

  ServerContext& context_;
  Socket socket_;
  const std::string peer_;
  std::optional<ConnectionLimits::Ticket> ticket_;
  const bool refused_;
  State state_ = State::kIdle;
  bool first_request_ = true;
  bool timed_out_ = false;
  bool head_request_ = false;
  bool keep_alive_ = true;
  bool close_after_send_ = false;
  int version_ = 11;
  std::size_t linger_read_ = 0;
  std::size_t head_bytes_ = 0;  // of the current head, taken by the parser
  std::atomic<std::int64_t> deadline_{0};

  boost::beast::flat_buffer buffer_;
  std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;

  // The answer being sent: its head, its body (or file) and how much of
  // them has gone.
  std::string out_head_;
  std::string out_body_;
  std::size_t out_sent_ = 0;
  FileSource out_file_;
  std::uint64_t file_sent_ = 0;
  std::vector<char> file_buffer_;
};

}  // namespace zarel::http

#endif  // ZAREL_APPS_HTTP_HTTP_CONNECTION_H_
