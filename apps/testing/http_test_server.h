// The HTTP server's test helpers: TestServer, a Server on a free loopback
// port with a Router, started for one test and stopped when it goes, with
// clients that connect to it from a chosen loopback address; options with
// short deadlines; a router that echoes; polling for a condition
// (zarel/testing/eventually.h).
#ifndef ZAREL_APPS_TESTING_HTTP_TEST_SERVER_H_
#define ZAREL_APPS_TESTING_HTTP_TEST_SERVER_H_

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "apps/http/http_router.h"
#include "apps/http/http_server.h"
#include "apps/http/raw_client.h"
#include "zarel/testing/eventually.h"

namespace zarel::testing {

using namespace std::chrono_literals;
using http::MakeRequest;
using http::RawClient;
using http::RawResponse;
using http::Request;
using http::Response;
using http::Router;
using http::Server;
using http::ServerOptions;

// Options with short deadlines, so that tests of them take well under a
// second; every bound is set explicitly by the tests that use it.
inline ServerOptions QuickOptions() {
  ServerOptions options;
  options.head_deadline = 400ms;
  options.body_deadline = 400ms;
  options.idle_timeout = 400ms;
  options.send_timeout = 400ms;
  options.stop_grace = 500ms;
  options.worker_threads = 2;
  return options;
}

// A client connected to the loopback server on port from the source address
// (127.0.0.2 and so on stand for other computers); throws when none connects.
RawClient ConnectTo(int port, const std::string& source = "127.0.0.1");
// One request on a new connection, and its answer, also when the server
// refused the request before all of it was sent (status 0: none within ten
// seconds).
RawResponse AskOnce(int port, const std::string& request, const std::string& source = "127.0.0.1");

class TestServer {
 public:
  // Binds to a free loopback port and starts; throws when it cannot bind.
  TestServer(ServerOptions options, Router router);

  Server& Get() { return server_; }
  int Port() const { return server_.Port(); }
  RawClient Connect(const std::string& source = "127.0.0.1") const { return ConnectTo(Port(), source); }
  RawResponse Ask(const std::string& request, const std::string& source = "127.0.0.1") const {
    return AskOnce(Port(), request, source);
  }

 private:
  Router router_;
  Server server_;
};

// A router with GET /hello answering "hello" and POST /echo answering the
// body it got.
Router EchoRouter();

}  // namespace zarel::testing

#endif  // ZAREL_APPS_TESTING_HTTP_TEST_SERVER_H_
