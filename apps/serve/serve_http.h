// WebServer: the web host's HTTP interface over the session manager.
//
// Routes (see README, "The web host: zarel serve"):
//   GET  /               the page; starts a session when the browser has
//                        none (cookie "zarel_session"), but only for the
//                        user's own navigation (403 for a picture or
//                        frame of another site); 503 when full
//   GET  /app.js, /app.css   the page's script and style sheet
//   GET  /api/state      the session's tree, page shown and events
//   POST /api/session    starts a new session (for other front ends)
//   POST /api/click      {"node": ID}: a click on that node
//   POST /api/expand     {"node": ID, "expanded": true|false}
//   POST /api/refresh    RefreshBrowser
//   POST /api/save, /api/print, /api/preview   SavePage, PrintPage,
//                        PreviewPage; the answer's "action" says what the
//                        front end does
//   GET  /site/PATH      a file of the session's own folder ("?download=1"
//                        adds Content-Disposition: attachment)
//
// Every answer carries an exact Content-Type and
// "X-Content-Type-Options: nosniff". Requests naming a foreign host while
// bound to loopback are refused (403), POSTs from pages of other origins
// too (403), POSTs to /api without a JSON body type are refused (415),
// bodies over 16 KiB are refused (413).
#ifndef ZAREL_APPS_SERVE_SERVE_HTTP_H_
#define ZAREL_APPS_SERVE_SERVE_HTTP_H_

#include <memory>
#include <string>
#include <thread>

#include "apps/serve/serve_options.h"
#include "apps/serve/serve_sessions.h"

namespace httplib {
class Server;
}

namespace zarel::serve {

// The name of the session cookie.
inline constexpr const char* kSessionCookie = "zarel_session";
// The largest request body accepted.
inline constexpr std::size_t kMaxBody = 16 * 1024;

class WebServer {
 public:
  // Sets up the routes and the session manager (which raises RuntimeError
  // for a saved form that cannot be read or a work folder that cannot be
  // made).
  explicit WebServer(ServeOptions options);
  // Stops serving and ends every session.
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds to the bind address and port (port 0: any free port); on failure
  // answers false with the reason in error. A port that another server
  // listens on is refused, never shared.
  bool Bind(std::string& error);
  // The port bound to, and "http://ADDRESS:PORT/".
  int Port() const { return port_; }
  std::string Address() const;
  // Serves until Stop; starts the expiry of idle sessions.
  void Listen();
  // Serves on a thread of its own (tests); Stop ends it.
  void Start();
  void Stop();

  SessionManager& Sessions() { return *sessions_; }

 private:
  void Routes();

  ServeOptions options_;
  std::unique_ptr<SessionManager> sessions_;
  std::unique_ptr<httplib::Server> http_;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace zarel::serve

#endif  // ZAREL_APPS_SERVE_SERVE_HTTP_H_
