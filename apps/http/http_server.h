// Server: an event-driven HTTP/1.1 server that holds a bound on everything a
// client can make it spend: bytes of a request head and body, time to send
// a head or a body or to read an answer, connections in all and per client
// address, and requests waiting for a handler.
//
// Connections are read and written by a small number of I/O threads that
// never wait for a client; a request is handed to the handler only once it
// has arrived whole and within its bounds, on one of a fixed number of
// worker threads. So a slow or hostile client costs a socket and a small
// buffer, never a thread, and handlers that take long (a query) do not stop
// the I/O of other connections. A request whose client has closed the
// connection while the request waited for a worker is not run: nobody
// would read its answer.
//
// What the server answers by itself (text/plain bodies, "Connection: close"):
//   400  a request that cannot be read as HTTP/1.x (the connection closes)
//   408  a head or body not sent within its deadline
//   413  a body over max_body_bytes, whether its length is declared or sent
//        in chunks (refused as soon as the bound is passed, unread beyond)
//   431  a request line and headers over max_header_bytes in all
//   500  a handler that threw
//   503  with Retry-After: max_connections or max_connections_per_address
//        reached (at connect), max_waiting_requests requests waiting for a
//        worker, a request that waited max_wait_for_worker, or the server
//        stopping
//
// Threading: Start, Stop and Stats may be called from any thread, but Start
// and Stop not at the same time as each other; the handler is called on the
// worker threads (up to worker_threads calls at once, each with its own
// Request and Response), so what it shares must be safe to share between
// threads. Requests that handle_inline picks, and every request when
// worker_threads is 0, are handled on the I/O threads: the handler must then
// never wait (it stalls the connections of that thread meanwhile).
#ifndef ZAREL_APPS_HTTP_HTTP_SERVER_H_
#define ZAREL_APPS_HTTP_HTTP_SERVER_H_

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "apps/http/http_message.h"

namespace zarel::http {

struct ServerOptions {
  std::string bind = "127.0.0.1";  // an IPv4 or IPv6 address
  int port = 0;                    // 0: any free port (see Server::Port)

  // The request line and all header lines together (431 beyond).
  std::size_t max_header_bytes = 16 * 1024;
  // The body, declared by Content-Length or sent in chunks (413 beyond).
  std::size_t max_body_bytes = 16 * 1024;
  // From the first byte of a request until its head has arrived whole: a
  // client that sends its head slowly (a line a second) is cut off here.
  std::chrono::milliseconds head_deadline{5000};
  // From the end of the head until the body has arrived whole.
  std::chrono::milliseconds body_deadline{10000};
  // How long a kept-alive connection may wait for its next request.
  std::chrono::milliseconds idle_timeout{5000};
  // How long an answer may go without the client taking any of it (a
  // large file to a slow client is fine while it keeps reading).
  std::chrono::milliseconds send_timeout{30000};
  // Grace for answers under way when Stop is called.
  std::chrono::milliseconds stop_grace{2000};

  // Connections open at once, in all and from one client address. Behind a
  // proxy every client has the proxy's address: raise the second then.
  std::size_t max_connections = 1024;
  std::size_t max_connections_per_address = 64;
  // Complete requests waiting for a free worker (503 beyond), and how long
  // one may wait (503 then, unrun): when the workers are stuck in long
  // work, clients hear "busy" at once instead of being served minutes late.
  std::size_t max_waiting_requests = 256;
  std::chrono::milliseconds max_wait_for_worker{3000};

  int io_threads = 1;
  // Threads running the handler; 0 runs it on the I/O threads.
  int worker_threads = 4;
  // Requests for which this answers true are handled on the I/O thread,
  // saving the hand-over to a worker and back (about half the server's own
  // cost of a small request): only for handlers that never wait (a file
  // from disk, a built-in asset). Router::RunsInline fits here.
  std::function<bool(const Request&)> handle_inline;

  // Headers added to every answer, the server's own included
  // (X-Content-Type-Options: nosniff, ...). A handler's header of the same
  // name replaces one of these.
  std::vector<HeaderField> default_headers;
};

// Counters, for tests and for a status page; each read is a snapshot.
struct ServerStats {
  std::size_t open_connections = 0;
  std::size_t accepted = 0;
  std::size_t refused = 0;       // at connect: too many connections
  std::size_t requests = 0;      // handed to the handler
  std::size_t timed_out = 0;     // head, body, idle or send deadline passed
  std::size_t rejected = 0;      // answered 400, 413, 431 or 503 by the server
  std::size_t abandoned = 0;     // not run: the client left while it waited
};

class Server {
 public:
  using Handler = std::function<void(const Request&, Response&)>;

  // Keeps the options (checked by Bind) and the handler.
  Server(ServerOptions options, Handler handler);
  // Stops (see Stop).
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Opens the listening socket (SO_REUSEADDR, never SO_REUSEPORT: a second
  // server on a port in use fails here instead of sharing it). Answers false
  // with the reason in error for a bad address, a port in use or options
  // that cannot work (a zero bound, no I/O thread).
  bool Bind(std::string& error);
  // The port bound (after Bind).
  int Port() const;
  // Starts the I/O and worker threads and accepting; returns at once.
  // Bind must have succeeded.
  void Start();
  // Stops accepting and asks running handlers to stop (Request::stop);
  // closes idle connections at once, answers requests still waiting for a
  // worker 503 without running them (nobody does work for clients that are
  // leaving), lets answers under way finish within stop_grace, then
  // closes every connection and joins the threads. It waits for handlers
  // that are running, however long they take: a handler that may run long
  // must honour its stop token. Calling it again does nothing; a stopped
  // server does not start again.
  void Stop();

  ServerStats Stats() const;

 private:
  class Core;
  std::unique_ptr<Core> core_;
};

}  // namespace zarel::http

#endif  // ZAREL_APPS_HTTP_HTTP_SERVER_H_
