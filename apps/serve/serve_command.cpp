// zarel serve: options, start-up checks and the serving loop (see
// serve_command.h).
#include "apps/serve/serve_command.h"

#include <pthread.h>
#include <signal.h>

#include <filesystem>
#include <thread>

#include "apps/options/connection_check.h"
#include "apps/serve/serve_http.h"
#include "apps/serve/serve_security.h"
#include "zarel/base/error.h"

namespace zarel {

namespace {

constexpr int kStopped = 0;
constexpr int kRunFailure = 1;
constexpr int kUsageError = 2;

constexpr const char* kServeFooter = R"(Each browser that opens the address gets a session of its own: its own Zarel
control and its own copy of the site folder, so the pages and pictures of
different users never mix. Sessions unused for --session-timeout seconds end
and their folders are removed; at most --max-sessions run at once, and a new
browser beyond them is asked to come back later (HTTP 503).

The server listens on 127.0.0.1 (this computer only) unless --bind names
another address. It has no login of its own: anyone who reaches the address
can open the site. See the README for the HTTP interface.

Example:
  zarel serve sqlite:demo/demo.db --site demo/site --port 8080)";

}  // namespace

CLI::App* AddServeCommand(CLI::App& app, serve::ServeOptions& options) {
  CLI::App* serve = app.add_subcommand(
      "serve", "Serve a report site to web browsers, each session with its own Zarel control.");
  serve->footer(kServeFooter);
  serve->add_option("CONNECTION", options.connection,
                    "Connection string of the report database (sqlite:PATH, postgresql://..., "
                    "or libpq key=value)")
      ->required();
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
  serve->add_flag("--diagnose", options.diagnose,
                  "After each database read that failed, show the database layer's own reason "
                  "in the page's message pane");
  serve->add_option("--max-sessions", options.max_sessions,
                    "Sessions served at once (default 32)")
      ->check(CLI::Range(1, 100000));
  serve->add_option("--session-timeout", options.session_timeout,
                    "Seconds after which an unused session ends (default 1800)")
      ->check(CLI::Range(1, 7 * 24 * 3600));
  serve->add_option("--threads", options.threads,
                    "Threads answering requests (default 128; each open connection holds one)")
      ->check(CLI::Range(2, 4096));
  return serve;
}

int RunServe(const serve::ServeOptions& given, std::ostream& out, std::ostream& err) {
  serve::ServeOptions options = given;
  std::error_code error;
  if (!std::filesystem::is_directory(options.site, error)) {
    err << "zarel: site folder '" << options.site << "' does not exist\n";
    return kRunFailure;
  }
  options.site = std::filesystem::canonical(options.site, error).string();
  if (!CheckConnectionBeforeStart(options.connection, err)) return kRunFailure;

  // Interruptions are taken by a thread of their own, which stops the
  // server; every other thread (the server's included) has them blocked.
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
  out << "zarel serve: open " << server->Address() << " in a browser (Ctrl+C stops)" << std::endl;

  std::thread stopper([&server, stop_signals] {
    int signal = 0;
    sigwait(&stop_signals, &signal);
    server->Stop();
  });
  server->Listen();
  // Listen ended by a signal: the stopper has already returned. Otherwise
  // wake it so it can end.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  out << "zarel serve: stopped" << std::endl;
  return kStopped;
}

}  // namespace zarel
