// The listening side of Server: binding, accepting within the connection
// bounds, the deadline sweep and the stop (see http_server.h).
#include "apps/http/http_server.h"

#include <pthread.h>

#include <algorithm>
#include <optional>
#include <thread>

#include <boost/asio/dispatch.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/ip/address.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>

#include "apps/http/http_connection.h"

namespace zarel::http {

namespace asio = boost::asio;
using asio::ip::tcp;
using boost::system::error_code;

namespace {

// Connections refused at connect are told so (503) while at most this many
// are being told; beyond, they are closed at once. A flood of connections
// costs the server this many sockets, not one per attempt.
constexpr std::size_t kMaxRefusing = 64;
// After a failed accept (no file descriptors left), the next try waits this
// long instead of spinning.
constexpr std::chrono::milliseconds kAcceptRetry{50};

// How often deadlines are checked: a quarter of the shortest one, within
// 10 ms and 250 ms. Checking them all at once costs nothing per request.
std::chrono::milliseconds SweepInterval(const ServerOptions& options) {
  const auto shortest = std::min({options.head_deadline, options.body_deadline, options.idle_timeout,
                                  options.send_timeout, options.max_wait_for_worker});
  return std::clamp(shortest / 4, std::chrono::milliseconds(10), std::chrono::milliseconds(250));
}

std::string CheckOptions(const ServerOptions& options) {
  if (options.max_header_bytes == 0) return "the header bound must be above 0";
  if (options.max_connections == 0 || options.max_connections_per_address == 0) {
    return "the connection bounds must be above 0";
  }
  if (options.io_threads < 1) return "at least one I/O thread is needed";
  if (options.worker_threads < 0) return "the number of worker threads cannot be negative";
  const std::chrono::milliseconds zero{0};
  if (options.head_deadline <= zero || options.body_deadline <= zero || options.idle_timeout <= zero ||
      options.send_timeout <= zero || options.max_wait_for_worker <= zero || options.stop_grace < zero) {
    return "deadlines and timeouts must be above 0";
  }
  return "";
}

}  // namespace

class Server::Core {
 public:
  Core(ServerOptions options, Handler handler) : context(std::move(options), std::move(handler)) {}
  ~Core() {
    // The acceptor and timers belong to the io_context: they go first.
    retry.reset();
    sweep.reset();
    acceptor.reset();
  }

  void Accept();
  void OnAccepted(tcp::socket socket);
  void Sweep();

  ServerContext context;
  std::optional<tcp::acceptor> acceptor;
  std::optional<asio::steady_timer> sweep;
  std::optional<asio::steady_timer> retry;
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work;
  std::vector<std::thread> threads;
  int port = 0;
  bool started = false;
  bool stopped = false;
};

void Server::Core::Accept() {
  // With one I/O thread every connection runs on it; with more, each gets a
  // strand so that its steps never run at once.
  asio::any_io_executor executor = context.options.io_threads > 1
                                       ? asio::any_io_executor(asio::make_strand(context.io))
                                       : asio::any_io_executor(context.io.get_executor());
  acceptor->async_accept(executor, [this](const error_code& error, tcp::socket socket) {
    if (context.stopping) return;
    if (error) {
      if (error == asio::error::operation_aborted) return;
      retry->expires_after(kAcceptRetry);
      retry->async_wait([this](const error_code& wait_error) {
        if (!wait_error && !context.stopping) Accept();
      });
      return;
    }
    OnAccepted(std::move(socket));
    Accept();
  });
}

void Server::Core::OnAccepted(tcp::socket socket) {
  error_code error;
  socket.set_option(tcp::no_delay(true), error);  // answers are whole: send them at once
  const tcp::endpoint remote = socket.remote_endpoint(error);
  if (error) return;  // gone already
  asio::ip::address address = remote.address();
  // A client reaching an IPv6 socket over IPv4 counts under its IPv4 address.
  if (address.is_v6() && address.to_v6().is_v4_mapped()) {
    address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
  }
  std::string peer = address.to_string();
  ++context.accepted;
  std::optional<ConnectionLimits::Ticket> ticket = context.limits.TryAcquire(peer);
  if (!ticket) {
    ++context.refused;
    if (context.refusing >= kMaxRefusing) return;  // closed as the socket goes
    ++context.refusing;
  }
  auto connection = std::make_shared<Connection>(context, std::move(socket), std::move(peer), std::move(ticket));
  asio::dispatch(connection->Executor(), [connection] { connection->Start(); });
}

void Server::Core::Sweep() {
  sweep->expires_after(SweepInterval(context.options));
  sweep->async_wait([this](const error_code& error) {
    // Deadlines hold while stopping too: the grace is not spent on clients
    // that no longer read.
    if (error) return;
    const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 Connection::Clock::now().time_since_epoch())
                                 .count();
    context.workers.ExpireWaiting();
    for (const std::shared_ptr<Connection>& connection : context.Connections()) {
      const std::int64_t deadline = connection->Deadline();
      if (deadline != 0 && deadline <= now) {
        asio::post(connection->Executor(), [connection] { connection->CheckDeadline(); });
      }
    }
    Sweep();
  });
}

Server::Server(ServerOptions options, Handler handler)
    : core_(std::make_unique<Core>(std::move(options), std::move(handler))) {}

Server::~Server() { Stop(); }

bool Server::Bind(std::string& error) {
  const ServerOptions& options = core_->context.options;
  error = CheckOptions(options);
  if (!error.empty()) return false;
  error_code code;
  const asio::ip::address address = asio::ip::make_address(options.bind, code);
  if (code) {
    error = "'" + options.bind + "' is not an IP address";
    return false;
  }
  if (options.port < 0 || options.port > 65535) {
    error = "port " + std::to_string(options.port) + " is not a port number";
    return false;
  }
  const tcp::endpoint endpoint(address, static_cast<unsigned short>(options.port));
  tcp::acceptor& acceptor = core_->acceptor.emplace(core_->context.io);
  acceptor.open(endpoint.protocol(), code);
  // SO_REUSEADDR only: a restarted server takes its port back at once, but
  // a second server on a port in use fails instead of sharing it (with
  // SO_REUSEPORT the kernel would split the clients between the two).
  if (!code) acceptor.set_option(asio::socket_base::reuse_address(true), code);
  if (!code) acceptor.bind(endpoint, code);
  if (!code) acceptor.listen(asio::socket_base::max_listen_connections, code);
  if (code) {
    error = "cannot listen on " + options.bind + " port " + std::to_string(options.port) + ": " + code.message();
    core_->acceptor.reset();
    return false;
  }
  core_->port = acceptor.local_endpoint(code).port();
  return true;
}

int Server::Port() const { return core_->port; }

void Server::Start() {
  Core& core = *core_;
  if (core.started || core.stopped || !core.acceptor) return;
  core.started = true;
  core.sweep.emplace(core.context.io);
  core.retry.emplace(core.context.io);
  core.work.emplace(core.context.io.get_executor());
  core.Accept();
  core.Sweep();
  for (int i = 0; i < core.context.options.io_threads; ++i) {
    core.threads.emplace_back([&core] {
      ::pthread_setname_np(::pthread_self(), "http-io");  // as top -H and perf show it
      core.context.io.run();
    });
  }
}

void Server::Stop() {
  Core& core = *core_;
  if (core.stopped) return;
  core.stopped = true;
  if (!core.started) {
    core.acceptor.reset();
    return;
  }
  ServerContext& context = core.context;
  context.stopping = true;
  context.stop.request_stop();
  asio::post(context.io, [&core] {
    error_code ignored;
    core.acceptor->close(ignored);
    core.retry->cancel();
  });
  // Requests no worker has taken yet are answered 503 and not run.
  context.workers.DropWaiting();
  for (const std::shared_ptr<Connection>& connection : context.Connections()) {
    asio::post(connection->Executor(), [connection] { connection->OnStop(); });
  }
  const auto grace_end = std::chrono::steady_clock::now() + context.options.stop_grace;
  while (context.limits.Open() > 0 && std::chrono::steady_clock::now() < grace_end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  for (const std::shared_ptr<Connection>& connection : context.Connections()) {
    asio::post(connection->Executor(), [connection] { connection->Close(); });
  }
  context.workers.Stop();  // waits for handlers still running
  core.work.reset();
  context.io.stop();
  for (std::thread& thread : core.threads) thread.join();
  core.threads.clear();
  // The closings posted above may not all have run: io.stop() lets the
  // threads return with handlers still queued. With no thread left, close
  // here whatever is still open, so that no client waits on a connection of
  // a stopped server for as long as the Server object lives.
  for (const std::shared_ptr<Connection>& connection : context.Connections()) connection->Close();
}

ServerStats Server::Stats() const {
  const ServerContext& context = core_->context;
  ServerStats stats;
  stats.open_connections = context.limits.Open();
  stats.accepted = context.accepted;
  stats.refused = context.refused;
  stats.requests = context.requests;
  stats.timed_out = context.timed_out;
  stats.rejected = context.rejected;
  stats.abandoned = context.abandoned;
  return stats;
}

}  // namespace zarel::http
