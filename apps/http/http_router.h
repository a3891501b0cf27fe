// Router: picks the handler of a request by its method and path, and
// answers 404 or 405 itself when none fits. Paths are compared as sent (not
// percent-decoded); a path ending in "/*" takes every path below it.
//
// Threading: set up the routes first, then the router may be shared
// between threads (routing only reads).
#ifndef ZAREL_APPS_HTTP_HTTP_ROUTER_H_
#define ZAREL_APPS_HTTP_HTTP_ROUTER_H_

#include <string>
#include <vector>

#include "apps/http/http_server.h"

namespace zarel::http {

class Router {
 public:
  using Handler = Server::Handler;
  // Where a route's handler runs: on a worker (it may wait: a lock, a
  // query), or on the I/O thread (it never waits; see
  // ServerOptions::handle_inline).
  enum class Runs { kOnWorker, kInline };

  // GET routes answer HEAD too (the server sends the head only).
  void Get(std::string path, Handler handler, Runs runs = Runs::kOnWorker) {
    Add("GET", std::move(path), std::move(handler), runs);
  }
  void Post(std::string path, Handler handler, Runs runs = Runs::kOnWorker) {
    Add("POST", std::move(path), std::move(handler), runs);
  }
  void Add(std::string method, std::string path, Handler handler, Runs runs = Runs::kOnWorker);

  // The handler of the first route that fits; 404 when no path fits, 405
  // with Allow when the path fits for other methods only.
  void operator()(const Request& request, Response& response) const;
  // Whether the route of the request runs inline; the 404 and 405 answers
  // do (they never wait).
  bool RunsInline(const Request& request) const;

 private:
  struct Route {
    std::string method;
    std::string path;  // without the "*" of a prefix route
    bool prefix = false;
    Handler handler;
    Runs runs = Runs::kOnWorker;
  };
  // The route of the request, or none; allowed collects the methods of
  // routes whose path fits.
  const Route* Find(const Request& request, std::string* allowed) const;

  std::vector<Route> routes_;
};

}  // namespace zarel::http

#endif  // ZAREL_APPS_HTTP_HTTP_ROUTER_H_
