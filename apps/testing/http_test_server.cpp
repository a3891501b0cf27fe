// The HTTP server's test helpers (see http_test_server.h).
#include "apps/testing/http_test_server.h"

#include <stdexcept>

namespace zarel::testing {

RawClient ConnectTo(int port, const std::string& source) {
  std::string error;
  std::optional<RawClient> client = RawClient::Connect("127.0.0.1", port, source, error);
  if (!client) throw std::runtime_error("cannot connect from " + source + ": " + error);
  return std::move(*client);
}

RawResponse AskOnce(int port, const std::string& request, const std::string& source) {
  RawClient client = ConnectTo(port, source);
  // A server that refuses a request before its end (a head or body past its
  // bound) answers, reads a little more and closes: a client still sending
  // then sees its send fail, but the answer came before and is read, as a
  // browser reads it.
  client.Send(request);
  return client.Read(10s).value_or(RawResponse{});
}

TestServer::TestServer(ServerOptions options, Router router)
    : router_(std::move(router)),
      server_(std::move(options), [this](const Request& request, Response& response) { router_(request, response); }) {
  std::string error;
  if (!server_.Bind(error)) throw std::runtime_error("cannot bind: " + error);
  server_.Start();
}

Router EchoRouter() {
  Router router;
  router.Get("/hello", [](const Request&, Response& response) { response.SetContent("hello", "text/plain"); });
  router.Post("/echo", [](const Request& request, Response& response) {
    response.SetContent(request.body, "application/octet-stream");
  });
  return router;
}

}  // namespace zarel::testing
