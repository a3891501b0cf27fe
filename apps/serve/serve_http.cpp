// The web host's HTTP interface (see serve_http.h).
#include "apps/serve/serve_http.h"

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <stop_token>

#include "apps/export/site_export.h"
#include "apps/serve/serve_assets.h"
#include "apps/serve/serve_json.h"
#include "apps/serve/serve_security.h"
#include "apps/serve/serve_tree_path.h"
#include "zarel/base/ascii_text.h"
#include "zarel/base/clock.h"

namespace zarel::serve {

namespace {

using http::Request;
using http::Response;
using http::Router;

constexpr const char* kText = "text/plain; charset=utf-8";
constexpr const char* kJson = "application/json";
constexpr const char* kEnded = "This session has ended; open the page again to start a new one.";

void SendJson(Response& res, int status, std::string body) {
  res.status = status;
  res.SetHeader("Cache-Control", "no-store");
  res.SetContent(std::move(body), kJson);
}

void SendText(Response& res, int status, const std::string& text) {
  res.status = status;
  res.SetHeader("Cache-Control", "no-store");
  res.SetContent(text + "\n", kText);
}

void SendReply(Response& res, const Reply& reply) {
  if (reply.busy) res.SetHeader("Retry-After", "1");
  SendJson(res, reply.status, reply.body);
}

void SetSessionCookie(Response& res, const std::string& id) {
  res.SetHeader("Set-Cookie", std::string(kSessionCookie) + "=" + id + "; Path=/; HttpOnly; SameSite=Strict");
}

// The media type of a Content-Type header, lower case, without parameters.
std::string MediaType(std::string_view content_type) {
  std::string type(content_type.substr(0, content_type.find(';')));
  type.erase(std::remove_if(type.begin(), type.end(), IsWhiteSpace), type.end());
  return LowerAscii(type);
}

std::string FullMessage(int max_sessions) {
  return "zarel serve is already serving as many sessions as it may (" + std::to_string(max_sessions) +
         "). Try again in a few minutes, when an idle session has expired.";
}

std::string TooManyMessage(int seconds) {
  return "Too many sessions were started from this address; try again in " + std::to_string(seconds) +
         (seconds == 1 ? " second." : " seconds.");
}

// Whether a browser marks the request as sent by a page of another site
// (Sec-Fetch-Site; programs send no such header).
bool FromOtherSite(const Request& req) {
  const std::string_view site = req.Header("Sec-Fetch-Site");
  return site == "cross-site" || site == "same-site";
}

// What every handler reaches: the sessions and the server's options.
struct Context {
  SessionManager& sessions;
  const ServeOptions& options;
  ExportGate& exports;
};

// ---- Checks of the server itself, before any route ----

// The host a request names, and for POSTs the page that sent it and the
// type of its body. Answers false, with the answer made, for a request
// refused.
bool CheckRequest(const Context& context, const Request& req, Response& res) {
  const std::string host(req.Header("Host"));
  if (!HostAllowed(context.options.bind, host)) {
    SendText(res, 403,
             "zarel serve answers only requests for this computer (localhost); the host '" + host + "' is refused.");
    return false;
  }
  if (req.method == "POST") {
    // A page of another site may send a POST here (a form, a script), but
    // the browser says whence: Origin or Referer, and Sec-Fetch-Site.
    if (!SameOrigin(host, std::string(req.Header("Origin")), std::string(req.Header("Referer"))) ||
        FromOtherSite(req)) {
      SendText(res, 403, "zarel serve refuses requests sent by pages of other sites.");
      return false;
    }
    if (MediaType(req.Header("Content-Type")) != kJson) {
      SendText(res, 415, "zarel serve takes POST requests with a JSON body (application/json).");
      return false;
    }
  }
  return true;
}

// ---- The page and its files (answered on the connections' thread) ----

// GET /: the page. It starts no session: its script does, by a POST that
// only the page itself can send (see CheckRequest).
void AnswerPage(const Context&, const Request&, Response& res) {
  const std::optional<Asset> page = FindAsset("index.html");
  res.SetHeader("Cache-Control", "no-store");
  // The page runs only its own script; the report pages (the site's own
  // content, with their inline scripts) are served without this policy.
  res.SetHeader("Content-Security-Policy",
                "default-src 'self'; img-src 'self' data:; object-src 'none'; base-uri 'none'; "
                "form-action 'none'; frame-ancestors 'self'");
  res.SetContent(std::string(page->content), page->content_type);
}

// GET /app.js, /app.css, /favicon.svg: the page's own files.
void AnswerAsset(const Context&, const Request& req, Response& res) {
  const std::optional<Asset> asset = FindAsset(req.Path().substr(1));
  res.SetHeader("Cache-Control", "no-cache");
  res.SetContent(std::string(asset->content), asset->content_type);
}

// GET /site/PATH: a file of the session's folder, sent from the file as it
// goes (a page of any size costs the server one small buffer).
void AnswerSiteFile(const Context& context, const Request& req, Response& res) {
  const std::shared_ptr<Session> session = context.sessions.Find(std::string(req.Cookie(kSessionCookie)));
  if (!session) {
    SendText(res, 401, kEnded);
    return;
  }
  // Decoded before it is checked: "%2e%2e" is "..", and refused as such.
  const std::optional<std::string> relative = SiteRelativePath(req.target, kSitePrefix);
  std::optional<SessionFile> file;
  if (relative) file = session->OpenFile(*relative);
  std::string ignored;
  if (!file || !res.SetOpenFile(file->fd, file->content_type, ignored)) {
    SendText(res, 404, "There is no such file in this session's folder.");
    return;
  }
  res.SetHeader("Cache-Control", "no-store");
  if (req.QueryParameter("download") == "1") {
    std::string name = relative->substr(relative->rfind('/') + 1);
    std::erase_if(name, [](char c) { return IsAsciiControl(c) || IsNonAscii(c) || c == '"' || c == '\\'; });
    res.SetHeader("Content-Disposition", "attachment; filename=\"" + name + "\"");
  }
}

// ---- The interface of a session (answered on the worker threads) ----

// The session of a request, or a 401 answer.
std::shared_ptr<Session> SessionOf(const Context& context, const Request& req, Response& res) {
  std::shared_ptr<Session> session = context.sessions.Find(std::string(req.Cookie(kSessionCookie)));
  if (!session) SendJson(res, 401, ErrorJson(kEnded));
  return session;
}

// Runs a call of the session; when the server stops meanwhile, the
// statement the call runs is asked to stop.
template <typename Call>
void RunCall(const Request& req, Response& res, const std::shared_ptr<Session>& session, Call call) {
  const std::stop_callback interrupt(req.stop, [&session] { session->InterruptStatements(); });
  const Reply reply = call(*session);
  session->Touch();
  SendReply(res, reply);
}

// POST /api/session: a new session, at the front page or, with a path
// (the page's address had one), at that node.
void StartSession(const Context& context, const Request& req, Response& res) {
  const std::optional<PathBody> body = ParsePathBody(req.body);
  if (!body) {
    SendJson(res, 400, ErrorJson("A new session takes a JSON object: {} or {\"path\": TEXT}."));
    return;
  }
  // A path refused is refused before any session is made for it.
  TreePath path;
  if (body->path) {
    path = SplitTreePath(*body->path, context.options.limits);
    if (!path.error.empty()) {
      SendJson(res, 400, ErrorJson(path.error));
      return;
    }
  }
  SessionManager::Created created = context.sessions.Create(req.peer);
  if (created.full) {
    res.SetHeader("Retry-After", "60");
    SendJson(res, 503, ErrorJson(FullMessage(context.options.max_sessions)));
    return;
  }
  if (created.retry_after > 0) {
    res.SetHeader("Retry-After", std::to_string(created.retry_after));
    SendJson(res, 429, ErrorJson(TooManyMessage(created.retry_after)));
    return;
  }
  if (!created.session) {
    SendJson(res, 500, ErrorJson("zarel serve could not start a session: " + created.error));
    return;
  }
  SetSessionCookie(res, created.id);
  if (body->path) {
    RunCall(req, res, created.session, [&path](Session& s) { return s.OpenPath(path.levels, true); });
  } else {
    RunCall(req, res, created.session, [](Session& s) { return s.State(); });
  }
}

// POST /api/open {"path": TEXT}: the node at a tree path, in this session
// (the browser's Back and Forward, or an address opened while the browser
// has a session).
void OpenPath(const Context& context, const Request& req, Response& res) {
  std::shared_ptr<Session> session = SessionOf(context, req, res);
  if (!session) return;
  const std::optional<PathBody> body = ParsePathBody(req.body);
  if (!body || !body->path) {
    SendJson(res, 400, ErrorJson("Opening a path names it: {\"path\": TEXT}."));
    return;
  }
  const TreePath path = SplitTreePath(*body->path, context.options.limits);
  if (!path.error.empty()) {
    SendJson(res, 400, ErrorJson(path.error));
    return;
  }
  RunCall(req, res, session, [&path](Session& s) { return s.OpenPath(path.levels, false); });
}

// GET /api/state: the session's tree, page and events.
void AnswerState(const Context& context, const Request& req, Response& res) {
  if (std::shared_ptr<Session> session = SessionOf(context, req, res)) {
    RunCall(req, res, session, [](Session& s) { return s.State(); });
  }
}

// POST /api/click {"node": ID}
void Click(const Context& context, const Request& req, Response& res) {
  std::shared_ptr<Session> session = SessionOf(context, req, res);
  if (!session) return;
  const std::optional<ClickBody> body = ParseClickBody(req.body);
  if (!body) {
    SendJson(res, 400, ErrorJson("A click names its node: {\"node\": ID}."));
    return;
  }
  RunCall(req, res, session, [&body](Session& s) { return s.Click(body->node); });
}

// POST /api/expand {"node": ID, "expanded": BOOL}
void Expand(const Context& context, const Request& req, Response& res) {
  std::shared_ptr<Session> session = SessionOf(context, req, res);
  if (!session) return;
  const std::optional<ExpandBody> body = ParseExpandBody(req.body);
  if (!body) {
    SendJson(res, 400, ErrorJson("Expanding names its node: {\"node\": ID, \"expanded\": true}."));
    return;
  }
  RunCall(req, res, session, [&body](Session& s) { return s.Expand(body->node, body->expanded); });
}

// POST /api/refresh
void Refresh(const Context& context, const Request& req, Response& res) {
  if (std::shared_ptr<Session> session = SessionOf(context, req, res)) {
    RunCall(req, res, session, [](Session& s) { return s.Refresh(); });
  }
}

// POST /api/save, /api/print, /api/preview: the command is the last part
// of the path.
void RunPageCommand(const Context& context, const Request& req, Response& res) {
  if (std::shared_ptr<Session> session = SessionOf(context, req, res)) {
    const std::string_view path = req.Path();
    const std::string command(path.substr(path.rfind('/') + 1));
    RunCall(req, res, session, [&command](Session& s) { return s.Command(command); });
  }
}

// POST /api/export: the session's site as a zip of the static export (see
// serve_export.h). It takes no turn of the session, which goes on answering
// clicks meanwhile.
void ExportZip(const Context& context, const Request& req, Response& res) {
  std::shared_ptr<Session> session = SessionOf(context, req, res);
  if (!session) return;
  if (!IsObjectBody(req.body)) {
    SendJson(res, 400, ErrorJson("Export takes an empty JSON object: {}."));
    return;
  }
  if (!context.exports.Possible()) {
    SendJson(res, 503, ErrorJson("Export needs a server with more than one thread (--threads 2 or more)."));
    return;
  }
  const ExportPlace place(context.exports);
  if (!place.Taken()) {
    res.SetHeader("Retry-After", "10");
    SendJson(res, 503, ErrorJson("Another export is running; try again in a minute."));
    return;
  }
  const SiteZip zip = ExportSiteZip(context.options, context.sessions.WorkFolder(),
                                    site_export::MomentText(Clock::Now()));
  session->Touch();
  std::string error = zip.error;
  if (error.empty() && res.SetFile(zip.file, "application/zip", error)) {
    // The file is open: its folder goes with `zip`, the answer reads on.
    res.SetHeader("Cache-Control", "no-store");
    res.SetHeader("Content-Disposition", "attachment; filename=\"" + zip.name + "\"");
    std::string summary = "Exported " + std::to_string(zip.pages) + (zip.pages == 1 ? " page" : " pages");
    if (zip.failed > 0) summary += "; pages that failed to compose: " + std::to_string(zip.failed);
    if (zip.left_unopened > 0) {
      summary += "; the bound of " + std::to_string(context.options.limits.export_max_nodes) + " nodes left " +
                 std::to_string(zip.left_unopened) + " unopened";
    }
    res.SetHeader("X-Zarel-Export", summary + ".");
    return;
  }
  SendJson(res, 500, ErrorJson(session->Hide("The export failed: " + error)));
}

using Handler = void (*)(const Context&, const Request&, Response&);

// The route table: every address the server answers, its handler, and
// whether it never waits (answered on the connections' thread).
struct Route {
  const char* method;
  const char* path;
  Handler handler;
  Router::Runs runs;
};
constexpr Route kRoutes[] = {
    {"GET", "/", AnswerPage, Router::Runs::kInline},
    {"GET", "/app.js", AnswerAsset, Router::Runs::kInline},
    {"GET", "/app.css", AnswerAsset, Router::Runs::kInline},
    {"GET", "/favicon.svg", AnswerAsset, Router::Runs::kInline},
    {"GET", "/site/*", AnswerSiteFile, Router::Runs::kInline},
    {"POST", "/api/session", StartSession, Router::Runs::kOnWorker},
    {"GET", "/api/state", AnswerState, Router::Runs::kOnWorker},
    {"POST", "/api/click", Click, Router::Runs::kOnWorker},
    {"POST", "/api/expand", Expand, Router::Runs::kOnWorker},
    {"POST", "/api/open", OpenPath, Router::Runs::kOnWorker},
    {"POST", "/api/export", ExportZip, Router::Runs::kOnWorker},
    {"POST", "/api/refresh", Refresh, Router::Runs::kOnWorker},
    {"POST", "/api/save", RunPageCommand, Router::Runs::kOnWorker},
    {"POST", "/api/print", RunPageCommand, Router::Runs::kOnWorker},
    {"POST", "/api/preview", RunPageCommand, Router::Runs::kOnWorker},
};

// The numeric address of a bind address given by name ("localhost"), or
// the text as it is (numeric already, or unknown: Bind then says so).
std::string NumericAddress(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return name;
  char text[NI_MAXHOST];
  const bool named = ::getnameinfo(found->ai_addr, found->ai_addrlen, text, sizeof text, nullptr, 0,
                                   NI_NUMERICHOST) == 0;
  ::freeaddrinfo(found);
  return named ? std::string(text) : name;
}

}  // namespace

http::ServerOptions HttpOptionsOf(const ServeOptions& options) {
  const ServeLimits& limits = options.limits;
  http::ServerOptions http;
  http.bind = NumericAddress(options.bind);
  http.port = options.port;
  http.max_header_bytes = limits.max_header_bytes;
  http.max_body_bytes = limits.max_body_bytes;
  http.head_deadline = limits.head_timeout;
  http.body_deadline = limits.body_timeout;
  http.idle_timeout = limits.idle_timeout;
  http.send_timeout = limits.send_timeout;
  http.stop_grace = limits.stop_timeout;
  http.max_connections = limits.max_connections;
  http.max_connections_per_address = limits.max_connections_per_address;
  http.max_waiting_requests = limits.max_queued_requests;
  http.max_wait_for_worker = limits.queue_timeout;
  http.io_threads = 1;
  http.worker_threads = std::max(1, options.threads);
  http.default_headers = {{"X-Content-Type-Options", "nosniff"}, {"X-Frame-Options", "SAMEORIGIN"}};
  return http;
}

WebServer::WebServer(ServeOptions options)
    : options_(std::move(options)),
      sessions_(std::make_unique<SessionManager>(options_)),
      exports_(std::make_unique<ExportGate>(options_)) {
  Routes();
  http::ServerOptions http = HttpOptionsOf(options_);
  http.handle_inline = [this](const Request& request) { return router_.RunsInline(request); };
  const Context context{*sessions_, options_, *exports_};
  http_ = std::make_unique<http::Server>(std::move(http), [this, context](const Request& req, Response& res) {
    if (CheckRequest(context, req, res)) router_(req, res);
  });
}

WebServer::~WebServer() { Stop(); }

bool WebServer::Bind(std::string& error) { return http_->Bind(error); }

std::string WebServer::Address() const {
  const bool v6 = options_.bind.find(':') != std::string::npos;
  return "http://" + (v6 ? "[" + options_.bind + "]" : options_.bind) + ":" + std::to_string(Port()) + "/";
}

void WebServer::Start() {
  sessions_->StartExpiry();
  http_->Start();
}

void WebServer::Stop() { http_->Stop(); }

void WebServer::Routes() {
  const Context context{*sessions_, options_, *exports_};
  for (const Route& route : kRoutes) {
    router_.Add(route.method, route.path,
                [context, handler = route.handler](const Request& req, Response& res) { handler(context, req, res); },
                route.runs);
  }
}

}  // namespace zarel::serve
