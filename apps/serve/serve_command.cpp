// zarel serve: options, start-up checks and the serving loop (see
// serve_command.h).
#include "apps/serve/serve_command.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

#include "apps/options/connection_check.h"
#include "apps/options/connection_option.h"
#include "apps/serve/serve_http.h"
#include "zarel/base/error.h"

namespace zarel {

namespace {

constexpr int kStopped = 0;
constexpr int kRunFailure = 1;
constexpr int kUsageError = 2;
// How long a request may run on after the stop's grace before the program
// leaves without it.
constexpr std::chrono::seconds kStopLimit{1};

constexpr const char* kServeFooter = R"(Each browser that opens the address gets a session of its own: its own Zarel
control and its own copy of the site folder, so the pages and pictures of
different users never mix. Sessions unused for --session-timeout seconds end
and their folders are removed; at most --max-sessions run at once, and a new
browser beyond them is asked to come back later (HTTP 503).

The server listens on 127.0.0.1 (this computer only) unless --bind names
another address. It has no login of its own: anyone who reaches the address
can open the site. Every client is bounded: the size of its requests, the
time it takes to send them, its connections and the sessions it starts (the
options from --max-header-bytes on; the README's "Security" section lists
them). See the README for the HTTP interface.

Example:
  zarel serve sqlite:demo/demo.db --site demo/site --port 8080)";

}  // namespace

CLI::App* AddServeCommand(CLI::App& app, serve::ServeOptions& options) {
  CLI::App* serve = app.add_subcommand(
      "serve", "Serve a report site to web browsers, each session with its own Zarel control.");
  serve->footer(kServeFooter);
  AddConnectionArgument(*serve, options.connection);
  serve->add_option("--site", options.site,
                    "The site's application folder (its images and other files); each session "
                    "works in a copy of it")
      ->required();
  serve->add_option("--bind", options.bind, "Address to listen on (default 127.0.0.1)");
  serve->add_option("--port", options.port, "Port to listen on (default 8080; 0 any free port)")
      ->check(CLI::Range(0, 65535));
  serve->add_option("--form", options.form,
                    "Saved form whose Zarel control each session loads (default: a freshly placed "
                    "control)")
      ->type_name("FILE");
  AddDisplayOptions(*serve, options.display);
  AddSessionOptions(*serve, options);
  AddLimitOptions(*serve, options.limits);
  AddStatementOptions(*serve, options.database);
  AddPoolOptions(*serve, options.database, "the fewer of --threads and --max-sessions");
  serve->add_flag("--diagnose", options.diagnose,
                  "After each database read that failed, show the database layer's own reason "
                  "in the page's message pane");
  return serve;
}

void AddSessionOptions(CLI::App& serve, serve::ServeOptions& options) {
  serve.add_option("--max-sessions", options.max_sessions, "Sessions served at once (default 32)")
      ->check(CLI::Range(1, 100000));
  serve.add_option("--session-timeout", options.session_timeout,
                   "Seconds after which an unused session ends (default 1800)")
      ->check(CLI::Range(1, 7 * 24 * 3600));
  serve.add_option("--threads", options.threads,
                   "Threads running the sessions' requests (default 4; more only for queries that "
                   "wait on a database server)")
      ->check(CLI::Range(1, 256));
}

namespace {

// An option given in seconds (fractions allowed) for a bound kept in
// milliseconds.
void AddSeconds(CLI::App& serve, const std::string& name, std::chrono::milliseconds& value,
                const std::string& description) {
  serve
      .add_option_function<double>(
          name, [&value](double seconds) { value = std::chrono::milliseconds(std::llround(seconds * 1000)); },
          description)
      ->type_name("SECONDS")
      ->check(CLI::Range(0.001, 86400.0));
}

}  // namespace

void AddLimitOptions(CLI::App& serve, serve::ServeLimits& limits) {
  serve.add_option("--max-header-bytes", limits.max_header_bytes,
                   "Bytes of a request line and its headers together (default 16384; 431 beyond)")
      ->check(CLI::Range(1024, 1024 * 1024));
  serve.add_option("--max-body-bytes", limits.max_body_bytes,
                   "Bytes of a request body, declared or chunked (default 16384; 413 beyond)")
      ->check(CLI::Range(64, 64 * 1024 * 1024));
  AddSeconds(serve, "--head-timeout", limits.head_timeout,
             "Seconds from a request's first byte until its headers are whole (default 5; 408 beyond)");
  AddSeconds(serve, "--body-timeout", limits.body_timeout,
             "Seconds from the headers until the body is whole (default 10; 408 beyond)");
  AddSeconds(serve, "--idle-timeout", limits.idle_timeout,
             "Seconds a kept-alive connection may wait for its next request (default 5)");
  AddSeconds(serve, "--send-timeout", limits.send_timeout,
             "Seconds an answer may go without the client taking any of it (default 30)");
  serve.add_option("--max-connections", limits.max_connections,
                   "Connections open at once (default 1024; 503 beyond)")
      ->check(CLI::Range(1, 1000000));
  serve.add_option("--max-connections-per-address", limits.max_connections_per_address,
                   "Connections open at once from one client address (default 64; 503 beyond; raise it "
                   "behind a proxy, where every client has the proxy's address)")
      ->check(CLI::Range(1, 1000000));
  serve.add_option("--max-queued", limits.max_queued_requests,
                   "Requests waiting for a free thread (default 256; 503 busy beyond)")
      ->check(CLI::Range(1, 1000000));
  AddSeconds(serve, "--queue-timeout", limits.queue_timeout,
             "Seconds a request may wait for a free thread (default 3; 503 busy then)");
  AddSeconds(serve, "--busy-timeout", limits.busy_timeout,
             "Seconds a request waits while its session is busy with an earlier one (default 3; 503 busy "
             "then)");
  AddSeconds(serve, "--stop-timeout", limits.stop_timeout,
             "Seconds answers under way may take when the server is stopped (default 2); a request still "
             "running a second later is left behind");
  serve.add_option("--max-path-bytes", limits.max_path_bytes,
                   "Bytes of a tree path in the page's address (default 4096; refused beyond)")
      ->check(CLI::Range(16, 1024 * 1024));
  serve.add_option("--max-path-levels", limits.max_path_levels,
                   "Levels of a tree path in the page's address (default 64; refused beyond)")
      ->check(CLI::Range(1, 10000));
  serve.add_option("--export-max-nodes", limits.export_max_nodes,
                   "Nodes one Export opens at most (default 1000)")
      ->check(CLI::Range(1, 1000000));
  serve.add_option("--max-exports", limits.max_exports,
                   "Exports that run at once (default 1; 503 busy beyond; never all the threads)")
      ->check(CLI::Range(1, 256));
  serve.add_option("--new-sessions-per-minute", limits.new_sessions_per_minute,
                   "Sessions one client address may start a minute (default 30; 429 beyond; raise it behind "
                   "a proxy)")
      ->check(CLI::Range(1, 1000000));
}

int RunServe(const serve::ServeOptions& given, std::ostream& out, std::ostream& err) {
  serve::ServeOptions options = given;
  std::error_code error;
  if (!std::filesystem::is_directory(options.site, error)) {
    err << "zarel: site folder '" << options.site << "' does not exist\n";
    return kRunFailure;
  }
  options.site = std::filesystem::canonical(options.site, error).string();
  ApplyDatabaseSettings(DatabaseSettingsFrom(options.database, std::min(options.threads, options.max_sessions)));
  if (!CheckConnectionBeforeStart(options.connection, err)) return kRunFailure;

  // Interruptions are taken by this thread; every other thread (the
  // server's included) has them blocked.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &stop_signals, &previous);
  struct RestoreMask {
    sigset_t mask;
    ~RestoreMask() { pthread_sigmask(SIG_SETMASK, &mask, nullptr); }
  } restore{previous};

  std::unique_ptr<serve::WebServer> server;
  try {
    server = std::make_unique<serve::WebServer>(options);
  } catch (const RuntimeError& failure) {
    err << "zarel: " << failure.Description() << "\n";
    return kRunFailure;
  }
  // A first session shows at once whether the control takes the settings.
  {
    serve::SessionManager::Created trial = server->Sessions().Create();
    if (!trial.session) {
      err << "zarel: the control refused a setting: " << trial.error << "\n";
      return kUsageError;
    }
    server->Sessions().End(trial.id);
  }
  std::string reason;
  if (!server->Bind(reason)) {
    err << "zarel: " << reason << "\n";
    return kRunFailure;
  }
  server->Start();
  out << "zarel serve: open " << server->Address() << " in a browser (Ctrl+C stops)" << std::endl;

  int signal = 0;
  sigwait(&stop_signals, &signal);
  // Stopping runs on a thread of its own, so that a request that does not
  // end cannot keep the program: after the grace and kStopLimit, or at a
  // second interruption, the program removes its work folder and leaves.
  std::promise<void> done;
  std::future<void> stopped = done.get_future();
  std::thread stopper([&server, &done] {
    server->Stop();
    done.set_value();
  });
  const auto limit = std::chrono::steady_clock::now() + options.limits.stop_timeout + kStopLimit;
  while (stopped.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
    const timespec tick{0, 100 * 1000 * 1000};
    if (sigtimedwait(&stop_signals, nullptr, &tick) > 0 || std::chrono::steady_clock::now() > limit) {
      err << "zarel serve: a request did not end; leaving without it" << std::endl;
      std::filesystem::remove_all(server->Sessions().WorkFolder(), error);
      out << "zarel serve: stopped" << std::endl;
      std::_Exit(kStopped);
    }
  }
  stopper.join();
  server.reset();  // ends the sessions and removes the work folder
  // A second interruption that came while the server was stopping is
  // pending: taken here, or restoring the mask would let it end the
  // program by the signal instead of with its status.
  const timespec none{0, 0};
  while (sigtimedwait(&stop_signals, nullptr, &none) > 0) {
  }
  out << "zarel serve: stopped" << std::endl;
  return kStopped;
}

}  // namespace zarel
