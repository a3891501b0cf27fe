// The web host's HTTP interface (see serve_http.h).
#include "apps/serve/serve_http.h"

#include <httplib.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "apps/serve/serve_assets.h"
#include "apps/serve/serve_security.h"
#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"

namespace zarel::serve {

using nlohmann::json;

namespace {

constexpr const char* kText = "text/plain; charset=utf-8";
constexpr const char* kJson = "application/json";

std::string Dump(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

void SendJson(httplib::Response& res, int status, const json& body) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(Dump(body), kJson);
}

void SendText(httplib::Response& res, int status, const std::string& text) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(text + "\n", kText);
}

std::string SessionIdOf(const httplib::Request& req) {
  const std::string cookies = req.get_header_value("Cookie");
  const std::string name = std::string(kSessionCookie) + "=";
  std::size_t start = 0;
  while (start < cookies.size()) {
    std::size_t end = cookies.find(';', start);
    if (end == std::string::npos) end = cookies.size();
    std::size_t first = start;
    while (first < end && cookies[first] == ' ') ++first;
    if (cookies.compare(first, name.size(), name) == 0) {
      return cookies.substr(first + name.size(), end - first - name.size());
    }
    start = end + 1;
  }
  return "";
}

void SetSessionCookie(httplib::Response& res, const std::string& id) {
  res.set_header("Set-Cookie",
                 std::string(kSessionCookie) + "=" + id + "; Path=/; HttpOnly; SameSite=Strict");
}

// The media type of a Content-Type header, lower case, without parameters.
std::string MediaType(const std::string& content_type) {
  std::string type = content_type.substr(0, content_type.find(';'));
  type.erase(std::remove_if(type.begin(), type.end(), IsWhiteSpace), type.end());
  return LowerAscii(type);
}

std::string FullMessage(int max_sessions) {
  return "zarel serve is already serving as many sessions as it may (" +
         std::to_string(max_sessions) +
         "). Try again in a few minutes, when an idle session has expired.";
}

// Whether a request without a session may start one. Browsers say where a
// request comes from (Sec-Fetch-*): a picture or frame of another site
// that points here would otherwise start a session with every request
// (its requests carry no session cookie) and could fill the server. Only
// the user's own navigation to the page starts one; programs that send no
// such headers may too.
bool MayStartSession(const httplib::Request& req) {
  const std::string site = req.get_header_value("Sec-Fetch-Site");
  if (site.empty() || site == "same-origin" || site == "none") return true;
  return req.get_header_value("Sec-Fetch-Mode") == "navigate" &&
         req.get_header_value("Sec-Fetch-Dest") == "document";
}

// The body of a POST as a JSON object; empty bodies are {}.
std::optional<json> BodyObject(const httplib::Request& req) {
  if (req.body.empty()) return json::object();
  json body = json::parse(req.body, nullptr, false);
  if (body.is_discarded() || !body.is_object()) return std::nullopt;
  return body;
}

// What every handler reaches: the sessions and the server's options.
struct Context {
  SessionManager& sessions;
  const ServeOptions& options;
};

using Handler = void (*)(const Context&, const httplib::Request&, httplib::Response&);

// ---- Checks and answers of the server itself ----

// Checks every request before its route: the host it names, and for POSTs
// the origin of the page that sent it and the type of its body.
httplib::Server::HandlerResponse CheckRequest(const Context& context, const httplib::Request& req,
                                              httplib::Response& res) {
  const std::string host = req.get_header_value("Host");
  if (!HostAllowed(context.options.bind, host)) {
    SendText(res, 403,
             "zarel serve answers only requests for this computer (localhost); the host '" + host +
                 "' is refused.");
    return httplib::Server::HandlerResponse::Handled;
  }
  if (req.method == "POST") {
    if (!SameOrigin(host, req.get_header_value("Origin"), req.get_header_value("Referer"))) {
      SendText(res, 403, "zarel serve refuses requests sent by pages of other sites.");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (MediaType(req.get_header_value("Content-Type")) != kJson) {
      SendText(res, 415, "zarel serve takes POST requests with a JSON body (application/json).");
      return httplib::Server::HandlerResponse::Handled;
    }
  }
  return httplib::Server::HandlerResponse::Unhandled;
}

// Answers of the server itself (unknown route, body too large, bad request)
// get a text body, so that they too have an exact type.
httplib::Server::HandlerResponse AnswerError(const httplib::Request&, httplib::Response& res) {
  if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
  std::string text;
  switch (res.status) {
    case 404: text = "There is nothing at this address."; break;
    case 405: text = "This address does not take that method."; break;
    case 413: text = "The request is too large."; break;
    case 414: text = "The address is too long."; break;
    default: text = "The request was not understood (HTTP " + std::to_string(res.status) + ").";
  }
  SendText(res, res.status, text);
  return httplib::Server::HandlerResponse::Handled;
}

void AnswerFailure(const httplib::Request&, httplib::Response& res, std::exception_ptr) {
  SendText(res, 500, "zarel serve failed to answer this request.");
}

// ---- The page and its files ----

// GET /: the page; starts a session when the request has none.
void AnswerPage(const Context& context, const httplib::Request& req, httplib::Response& res) {
  std::shared_ptr<Session> session = context.sessions.Find(SessionIdOf(req));
  if (!session) {
    if (!MayStartSession(req)) {
      SendText(res, 403, "zarel serve starts sessions only for pages opened in the browser's own window.");
      return;
    }
    SessionManager::Created created = context.sessions.Create();
    if (created.full) {
      res.set_header("Retry-After", "60");
      SendText(res, 503, FullMessage(context.options.max_sessions));
      return;
    }
    if (!created.session) {
      SendText(res, 500, "zarel serve could not start a session: " + created.error);
      return;
    }
    SetSessionCookie(res, created.id);
  }
  const std::optional<Asset> page = FindAsset("index.html");
  res.set_header("Cache-Control", "no-store");
  // The page runs only its own script; the report pages (the site's own
  // content, with their inline scripts) are served without this policy.
  res.set_header("Content-Security-Policy",
                 "default-src 'self'; img-src 'self' data:; object-src 'none'; base-uri 'none'; "
                 "form-action 'none'; frame-ancestors 'self'");
  res.set_content(std::string(page->content), page->content_type);
}

// GET /app.js, /app.css, /favicon.svg: the page's own files.
void AnswerAsset(const Context&, const httplib::Request& req, httplib::Response& res) {
  const std::optional<Asset> asset = FindAsset(req.path.substr(1));
  res.set_header("Cache-Control", "no-cache");
  res.set_content(std::string(asset->content), asset->content_type);
}

// GET /site/PATH: a file of the session's folder.
void AnswerSiteFile(const Context& context, const httplib::Request& req, httplib::Response& res) {
  std::shared_ptr<Session> session = context.sessions.Find(SessionIdOf(req));
  if (!session) {
    SendText(res, 401, "This session has ended; open the page again to start a new one.");
    return;
  }
  const std::string relative = req.matches[1];
  std::optional<SessionFile> file = session->File(relative);
  if (!file) {
    SendText(res, 404, "There is no such file in this session's folder.");
    return;
  }
  res.set_header("Cache-Control", "no-store");
  if (req.get_param_value("download") == "1") {
    const std::size_t slash = relative.rfind('/');
    std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
    name.erase(std::remove_if(name.begin(), name.end(),
                              [](char c) { return IsAsciiControl(c) || IsNonAscii(c) || c == '"' || c == '\\'; }),
               name.end());
    res.set_header("Content-Disposition", "attachment; filename=\"" + name + "\"");
  }
  res.set_content(std::move(file->content), file->content_type);
}

// ---- The interface of a session ----

// The session of a request, or a 401 answer.
std::shared_ptr<Session> SessionOf(const Context& context, const httplib::Request& req,
                                   httplib::Response& res) {
  std::shared_ptr<Session> session = context.sessions.Find(SessionIdOf(req));
  if (!session) {
    SendJson(res, 401, json{{"error", "This session has ended; open the page again to start a new one."}});
  }
  return session;
}

void SendReply(Session& session, httplib::Response& res, const Reply& reply) {
  session.Touch();
  SendJson(res, reply.status, reply.body);
}

// POST /api/session: a new session, for front ends that do not load /.
void StartSession(const Context& context, const httplib::Request&, httplib::Response& res) {
  SessionManager::Created created = context.sessions.Create();
  if (created.full) {
    res.set_header("Retry-After", "60");
    SendJson(res, 503, json{{"error", FullMessage(context.options.max_sessions)}});
    return;
  }
  if (!created.session) {
    SendJson(res, 500, json{{"error", "zarel serve could not start a session: " + created.error}});
    return;
  }
  SetSessionCookie(res, created.id);
  SendJson(res, 200, created.session->State());
}

// GET /api/state: the session's tree, page and events.
void AnswerState(const Context& context, const httplib::Request& req, httplib::Response& res) {
  if (std::shared_ptr<Session> session = SessionOf(context, req, res)) {
    SendJson(res, 200, session->State());
    session->Touch();
  }
}

// POST /api/click {"node": ID}
void Click(const Context& context, const httplib::Request& req, httplib::Response& res) {
  std::shared_ptr<Session> session = SessionOf(context, req, res);
  if (!session) return;
  const std::optional<json> body = BodyObject(req);
  if (!body || !body->contains("node") || !(*body)["node"].is_number_integer()) {
    SendJson(res, 400, json{{"error", "A click names its node: {\"node\": ID}."}});
    return;
  }
  SendReply(*session, res, session->Click((*body)["node"].get<std::int64_t>()));
}

// POST /api/expand {"node": ID, "expanded": BOOL}
void Expand(const Context& context, const httplib::Request& req, httplib::Response& res) {
  std::shared_ptr<Session> session = SessionOf(context, req, res);
  if (!session) return;
  const std::optional<json> body = BodyObject(req);
  if (!body || !body->contains("node") || !(*body)["node"].is_number_integer() ||
      !body->contains("expanded") || !(*body)["expanded"].is_boolean()) {
    SendJson(res, 400, json{{"error", "Expanding names its node: {\"node\": ID, \"expanded\": true}."}});
    return;
  }
  SendReply(*session, res, session->Expand((*body)["node"].get<std::int64_t>(), (*body)["expanded"].get<bool>()));
}

// POST /api/refresh
void Refresh(const Context& context, const httplib::Request& req, httplib::Response& res) {
  if (std::shared_ptr<Session> session = SessionOf(context, req, res)) {
    SendReply(*session, res, session->Refresh());
  }
}

// POST /api/save, /api/print, /api/preview: the command is the last part
// of the path.
void RunPageCommand(const Context& context, const httplib::Request& req, httplib::Response& res) {
  if (std::shared_ptr<Session> session = SessionOf(context, req, res)) {
    SendReply(*session, res, session->Command(req.path.substr(req.path.rfind('/') + 1)));
  }
}

// The route table: every address the server answers and its handler.
struct Route {
  const char* method;
  const char* path;
  Handler handler;
};
constexpr Route kRoutes[] = {
    {"GET", "/", AnswerPage},
    {"GET", "/app.js", AnswerAsset},
    {"GET", "/app.css", AnswerAsset},
    {"GET", "/favicon.svg", AnswerAsset},
    {"GET", "/site/(.+)", AnswerSiteFile},
    {"POST", "/api/session", StartSession},
    {"GET", "/api/state", AnswerState},
    {"POST", "/api/click", Click},
    {"POST", "/api/expand", Expand},
    {"POST", "/api/refresh", Refresh},
    {"POST", "/api/save", RunPageCommand},
    {"POST", "/api/print", RunPageCommand},
    {"POST", "/api/preview", RunPageCommand},
};

}  // namespace

WebServer::WebServer(ServeOptions options)
    : options_(std::move(options)),
      sessions_(std::make_unique<SessionManager>(options_)),
      http_(std::make_unique<httplib::Server>()) {
  const int threads = std::max(2, options_.threads);
  http_->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  http_->set_payload_max_length(kMaxBody);
  http_->set_tcp_nodelay(true);  // answers are small: send them at once
  // SO_REUSEADDR only: a restarted server may take its port back at once,
  // but a second server on a port in use must fail, not share the port
  // (with SO_REUSEPORT the kernel would split the browsers between the two,
  // each knowing only its own sessions).
  http_->set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  http_->set_keep_alive_max_count(1000);
  // An idle browser connection holds a thread: let it go soon.
  http_->set_keep_alive_timeout(2);
  http_->set_default_headers({{"X-Content-Type-Options", "nosniff"},
                              {"X-Frame-Options", "SAMEORIGIN"}});
  Routes();
}

WebServer::~WebServer() { Stop(); }

bool WebServer::Bind(std::string& error) {
  if (options_.port == 0) {
    port_ = http_->bind_to_any_port(options_.bind);
    if (port_ <= 0) {
      error = "cannot listen on " + options_.bind;
      return false;
    }
    return true;
  }
  if (!http_->bind_to_port(options_.bind, options_.port)) {
    error = "cannot listen on " + options_.bind + " port " + std::to_string(options_.port) +
            " (is it in use, or not an address of this computer?)";
    return false;
  }
  port_ = options_.port;
  return true;
}

std::string WebServer::Address() const {
  const bool v6 = options_.bind.find(':') != std::string::npos;
  return "http://" + (v6 ? "[" + options_.bind + "]" : options_.bind) + ":" +
         std::to_string(port_) + "/";
}

void WebServer::Listen() {
  sessions_->StartExpiry();
  http_->listen_after_bind();
}

void WebServer::Start() {
  thread_ = std::thread([this] { Listen(); });
  while (!http_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void WebServer::Stop() {
  if (http_) http_->stop();
  if (thread_.joinable()) thread_.join();
}

void WebServer::Routes() {
  httplib::Server& http = *http_;
  const Context context{*sessions_, options_};
  http.set_pre_routing_handler([context](const httplib::Request& req, httplib::Response& res) {
    return CheckRequest(context, req, res);
  });
  http.set_error_handler(httplib::Server::HandlerWithResponse(AnswerError));
  http.set_exception_handler(AnswerFailure);
  for (const Route& route : kRoutes) {
    const auto answer = [context, handler = route.handler](const httplib::Request& req,
                                                           httplib::Response& res) {
      handler(context, req, res);
    };
    if (std::string_view(route.method) == "GET") {
      http.Get(route.path, answer);
    } else {
      http.Post(route.path, answer);
    }
  }
}

}  // namespace zarel::serve
