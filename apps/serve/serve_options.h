// The settings of the web host `zarel serve`, as its command line gives them.
//
// The display settings are those of `zarel browse`; the others say where the
// site is, where to listen, how many users to serve at once, and the bounds
// on what any one client can make the server spend (ServeLimits: every one
// has a default here and an option on the command line).
#ifndef ZAREL_APPS_SERVE_SERVE_OPTIONS_H_
#define ZAREL_APPS_SERVE_SERVE_OPTIONS_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "apps/options/database_options.h"
#include "apps/options/display_options.h"

namespace zarel::serve {

// What the web host bounds (see README, "Security").
struct ServeLimits {
  // The request line and all header lines together (431 beyond).
  std::size_t max_header_bytes = 16 * 1024;
  // A request body, declared or sent in chunks (413 beyond).
  std::size_t max_body_bytes = 16 * 1024;
  // From a request's first byte until its head is whole, and from then until
  // its body is whole (408 beyond, not renewed by progress).
  std::chrono::milliseconds head_timeout{5000};
  std::chrono::milliseconds body_timeout{10000};
  // A kept-alive connection waiting for its next request.
  std::chrono::milliseconds idle_timeout{5000};
  // An answer the client takes nothing of.
  std::chrono::milliseconds send_timeout{30000};
  // Connections open at once, in all and from one client address (behind a
  // proxy every client has the proxy's address: raise the second there).
  std::size_t max_connections = 1024;
  std::size_t max_connections_per_address = 64;
  // Requests waiting for a free thread, and how long one may wait (503
  // "busy" beyond either).
  std::size_t max_queued_requests = 256;
  std::chrono::milliseconds queue_timeout{3000};
  // How long a request waits while its session is busy with an earlier
  // one (503 "busy" then; at most one request of a session waits).
  std::chrono::milliseconds busy_timeout{3000};
  // Sessions one client address may start a minute (429 beyond).
  int new_sessions_per_minute = 30;
  // A tree path in the page's address (?path=...): its bytes and its
  // levels (400 beyond either; each level is at most one click).
  std::size_t max_path_bytes = 4096;
  std::size_t max_path_levels = 64;
  // Export: the nodes one export opens at most, and the exports that run
  // at once in the whole server (503 busy beyond; each holds a thread).
  std::size_t export_max_nodes = 1000;
  int max_exports = 1;
  // When the server stops: how long answers under way may still take. A
  // request still running a second after that is left behind: the program
  // removes its work folder and ends.
  std::chrono::milliseconds stop_timeout{2000};
};

struct ServeOptions {
  std::string connection;
  // The site's application folder (its images and other static files);
  // every session works in a copy of it.
  std::string site;
  std::string bind = "127.0.0.1";
  int port = 8080;  // 0: any free port (tests)
  // A saved form holding the Zarel control that each session loads; without
  // it every session places a fresh control (ActivePort 80).
  std::optional<std::string> form;

  DisplayOptions display;
  // Statement limits and the link pool; the pool size defaults to the
  // most requests that can read at once: the fewer of threads and
  // max_sessions.
  DatabaseOptions database;
  // Adds a "reason" event after each database read that failed, with the
  // database layer's own reason.
  bool diagnose = false;

  // At most this many sessions at once; a new user beyond them is answered
  // 503 until an idle session expires.
  int max_sessions = 32;
  // A session unused for this many seconds expires and its folder goes.
  int session_timeout = 1800;
  // Threads running the sessions' requests (the connections themselves are
  // served by one thread that never waits).
  int threads = 4;
  // Where session folders are made; empty: the system's temporary folder.
  std::string work_root;

  ServeLimits limits;
};

}  // namespace zarel::serve

#endif  // ZAREL_APPS_SERVE_SERVE_OPTIONS_H_
