// WebServer: the web host's HTTP interface over the session manager, on the
// HTTP server of apps/http.
//
// Routes (see README, "The web host: zarel serve"):
//   GET  /               the page; its script starts a session (POST
//                        /api/session) when the browser has none
//   GET  /app.js, /app.css, /favicon.svg   the page's own files
//   GET  /api/state      the session's tree, page shown and events
//   POST /api/session    starts a new session (cookie "zarel_session");
//                        503 when full, 429 when the client's address has
//                        started too many this minute
//   POST /api/click      {"node": ID}: a click on that node
//   POST /api/expand     {"node": ID, "expanded": true|false}
//   POST /api/open       {"path": TEXT}: the node at a tree path (see
//                        serve_tree_path.h); POST /api/session takes the
//                        same member to start at that node
//   POST /api/refresh    RefreshBrowser
//   POST /api/save, /api/print, /api/preview   SavePage, PrintPage,
//                        PreviewPage; the answer's "action" says what the
//                        front end does
//   POST /api/export     the session's site as a zip of the static export
//                        (see serve_export.h)
//   GET  /site/PATH      a file of the session's own folder ("?download=1"
//                        adds Content-Disposition: attachment), streamed
//
// Every answer carries an exact Content-Type and
// "X-Content-Type-Options: nosniff". Requests naming a foreign host while
// bound to loopback are refused (403), POSTs from pages of other origins
// too (403), POSTs without a JSON body type are refused (415). No GET starts
// a session, so a page of another site that points a window or a picture
// here cannot fill the server with sessions: a session is started only by
// a POST from the page itself.
//
// Where requests run: the page, its files and /site/ files never wait, and
// are answered on the connections' own thread; everything that takes a
// session's turn or runs the control goes to the worker threads
// (options.threads). When the server stops, the statement each running
// request runs is asked to stop, requests still waiting for a worker are
// answered 503 and not run, and answers under way get a short grace.
#ifndef ZAREL_APPS_SERVE_SERVE_HTTP_H_
#define ZAREL_APPS_SERVE_SERVE_HTTP_H_

#include <memory>
#include <string>

#include "apps/http/http_router.h"
#include "apps/http/http_server.h"
#include "apps/serve/serve_export.h"
#include "apps/serve/serve_options.h"
#include "apps/serve/serve_sessions.h"

namespace zarel::serve {

// The name of the session cookie.
inline constexpr const char* kSessionCookie = "zarel_session";

// The HTTP server's settings for the web host's options.
http::ServerOptions HttpOptionsOf(const ServeOptions& options);

class WebServer {
 public:
  // Sets up the routes and the session manager (which raises RuntimeError
  // for a saved form that cannot be read or a work folder that cannot be
  // made).
  explicit WebServer(ServeOptions options);
  // Stops serving, ends every session and removes the work folder.
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds to the bind address and port (port 0: any free port); on failure
  // answers false with the reason in error. A port that another server
  // listens on is refused, never shared.
  bool Bind(std::string& error);
  // The port bound to, and "http://ADDRESS:PORT/".
  int Port() const { return http_->Port(); }
  std::string Address() const;
  // Starts serving and expiring idle sessions; returns at once.
  void Start();
  // Stops serving (see above); the sessions stay until the server goes.
  // May be called from any thread, once Start has returned.
  void Stop();

  SessionManager& Sessions() { return *sessions_; }
  http::ServerStats Stats() const { return http_->Stats(); }

 private:
  void Routes();

  ServeOptions options_;
  std::unique_ptr<SessionManager> sessions_;
  std::unique_ptr<ExportGate> exports_;
  http::Router router_;
  std::unique_ptr<http::Server> http_;
};

}  // namespace zarel::serve

#endif  // ZAREL_APPS_SERVE_SERVE_HTTP_H_
