// Route matching of Router (see http_router.h).
#include "apps/http/http_router.h"

namespace zarel::http {

namespace {

constexpr const char* kPlainText = "text/plain; charset=utf-8";

}  // namespace

void Router::Add(std::string method, std::string path, Handler handler, Runs runs) {
  Route route{std::move(method), std::move(path), false, std::move(handler), runs};
  if (route.path.size() >= 2 && route.path.ends_with("/*")) {
    route.path.pop_back();
    route.prefix = true;
  }
  routes_.push_back(std::move(route));
}

const Router::Route* Router::Find(const Request& request, std::string* allowed) const {
  const std::string_view path = request.Path();
  const std::string_view method = request.method == "HEAD" ? std::string_view("GET") : request.method;
  for (const Route& route : routes_) {
    const bool fits = route.prefix ? path.size() > route.path.size() && path.starts_with(route.path)
                                   : path == route.path;
    if (!fits) continue;
    if (route.method == method) return &route;
    if (allowed != nullptr && allowed->find(route.method) == std::string::npos) {
      *allowed += allowed->empty() ? "" : ", ";
      *allowed += route.method;
      if (route.method == "GET") *allowed += ", HEAD";
    }
  }
  return nullptr;
}

bool Router::RunsInline(const Request& request) const {
  const Route* route = Find(request, nullptr);
  return route == nullptr || route->runs == Runs::kInline;
}

void Router::operator()(const Request& request, Response& response) const {
  std::string allowed;
  if (const Route* route = Find(request, &allowed)) {
    route->handler(request, response);
    return;
  }
  response.SetHeader("Cache-Control", "no-store");
  if (allowed.empty()) {
    response.status = 404;
    response.SetContent("There is nothing at this address.\n", kPlainText);
  } else {
    response.status = 405;
    response.SetHeader("Allow", allowed);
    response.SetContent("This address does not take that method.\n", kPlainText);
  }
}

}  // namespace zarel::http
