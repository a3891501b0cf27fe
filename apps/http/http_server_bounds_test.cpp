// Tests of the server's bounds, with real sockets on loopback: head and body
// sizes (declared, chunked, in many small lines), the head, body, idle and
// send deadlines, connections in all and per address, requests waiting for
// a worker, and slow clients that must not keep others waiting.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "apps/testing/http_test_server.h"

namespace zarel::http {
namespace {

using namespace zarel::testing;

TEST(ServerBoundsTest, TheWholeHeadIsBoundedWhateverItsShape) {
  ServerOptions options = QuickOptions();
  options.max_header_bytes = 4096;
  TestServer server(options, EchoRouter());
  struct Case {
    const char* what;
    std::string request;
    int status;
  };
  const std::string fill(60, 'a');
  std::string many_lines;
  for (int i = 0; i < 80; ++i) many_lines += "X-Line-" + std::to_string(i) + ": " + fill + "\r\n";  // ~5.8 KB
  std::string few_lines;
  for (int i = 0; i < 30; ++i) few_lines += "X-Line-" + std::to_string(i) + ": " + fill + "\r\n";  // ~2.2 KB
  const std::vector<Case> cases = {
      {"many short lines past the bound", "GET /hello HTTP/1.1\r\nHost: a\r\n" + many_lines + "\r\n", 431},
      {"one long line past the bound", "GET /hello HTTP/1.1\r\nHost: a\r\nX-Long: " + std::string(5000, 'b') + "\r\n\r\n", 431},
      {"a long request line", "GET /hello?" + std::string(5000, 'q') + " HTTP/1.1\r\nHost: a\r\n\r\n", 431},
      {"many lines within the bound", "GET /hello HTTP/1.1\r\nHost: a\r\n" + few_lines + "\r\n", 200},
  };
  for (const Case& one : cases) {
    RawClient client = server.Connect();
    client.Send(one.request);
    const std::optional<RawResponse> answer = client.Read(3s);
    ASSERT_TRUE(answer) << one.what;
    EXPECT_EQ(answer->status, one.status) << one.what;
    if (one.status == 431) {
      EXPECT_EQ(answer->Header("Connection"), "close") << one.what;
      EXPECT_EQ(answer->body, "The request's headers are too large.\n") << one.what;
      EXPECT_TRUE(client.WaitClosed(3s)) << one.what;
    }
  }
}

TEST(ServerBoundsTest, TheHeadIsBoundedInAllHoweverItArrives) {
  ServerOptions options = QuickOptions();
  options.max_header_bytes = 16 * 1024;
  TestServer server(options, EchoRouter());
  // Lines of 8,000 bytes: the first piece read holds the request line and
  // part of the first; the parser's own limit would see only the rest.
  const std::string line = "X-Fill: " + std::string(7990, 'a') + "\r\n";
  for (const auto& [lines, status] : {std::pair{2, 200}, std::pair{3, 431}}) {
    std::string head = "GET /hello HTTP/1.1\r\nHost: a\r\n";
    for (int i = 0; i < lines; ++i) head += line;
    EXPECT_EQ(server.Ask(head + "\r\n").status, status) << lines;
  }
}

TEST(ServerBoundsTest, AnEndlessHeadIsCutOffAtTheBound) {
  ServerOptions options = QuickOptions();
  options.max_header_bytes = 8192;
  options.head_deadline = 5s;
  TestServer server(options, EchoRouter());
  RawClient client = server.Connect();
  ASSERT_TRUE(client.Send("GET /hello HTTP/1.1\r\nHost: a\r\n"));
  // Far more than the bound: the server must stop taking it long before.
  std::size_t sent = 0;
  const std::string line = "X-Fill: " + std::string(1000, 'f') + "\r\n";
  while (sent < 64u * 1024 * 1024 && client.Send(line, 500ms)) sent += line.size();
  EXPECT_LT(sent, 64u * 1024 * 1024);
  EXPECT_EQ(server.Get().Stats().rejected, 1u);
}

TEST(ServerBoundsTest, BodiesAreBoundedWhetherDeclaredOrChunked) {
  ServerOptions options = QuickOptions();
  options.max_body_bytes = 1000;
  TestServer server(options, EchoRouter());
  const auto chunked = [](const std::vector<std::size_t>& sizes, const std::string& extension = "") {
    std::string request = "POST /echo HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n";
    char size_text[32];
    for (std::size_t size : sizes) {
      std::snprintf(size_text, sizeof size_text, "%zx", size);
      request += std::string(size_text) + extension + "\r\n" + std::string(size, 'c') + "\r\n";
    }
    return request + "0\r\n\r\n";
  };
  struct Case {
    const char* what;
    std::string request;
    int status;
    std::size_t echoed;
  };
  const std::vector<Case> cases = {
      {"declared, at the bound", MakeRequest("POST", "/echo", {}, std::string(1000, 'd')), 200, 1000},
      {"declared, one past the bound", MakeRequest("POST", "/echo", {}, std::string(1001, 'd')), 413, 0},
      {"declared huge, nothing sent", "POST /echo HTTP/1.1\r\nHost: a\r\nContent-Length: 99999999999\r\n\r\n", 413, 0},
      {"chunks within the bound", chunked({400, 400, 200}), 200, 1000},
      {"chunks past the bound in sum", chunked({400, 400, 400}), 413, 0},
      {"one chunk past the bound", chunked({5000}), 413, 0},
      {"a chunk size beyond any length", "POST /echo HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n"
                                         "ffffffffffffffffffff\r\n",
       400, 0},
  };
  for (const Case& one : cases) {
    const RawResponse answer = server.Ask(one.request);
    EXPECT_EQ(answer.status, one.status) << one.what;
    if (one.status == 200) {
      EXPECT_EQ(answer.body.size(), one.echoed) << one.what;
    }
  }
  EXPECT_EQ(server.Get().Stats().requests, 2u);  // the refused ones never reached the handler
}

TEST(ServerBoundsTest, AnEndlessChunkedBodyIsCutOffAtTheBound) {
  ServerOptions options = QuickOptions();
  options.max_body_bytes = 16 * 1024;
  options.body_deadline = 10s;
  TestServer server(options, EchoRouter());
  RawClient client = server.Connect();
  ASSERT_TRUE(client.Send("POST /echo HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n"));
  const std::string chunk = "10000\r\n" + std::string(65536, 'c') + "\r\n";
  std::size_t sent = 0;
  while (sent < 256u * 1024 * 1024 && client.Send(chunk, 500ms)) sent += chunk.size();
  EXPECT_LT(sent, 256u * 1024 * 1024);
  EXPECT_EQ(server.Get().Stats().requests, 0u);
}

TEST(ServerBoundsTest, AHeadSentSlowlyIsCutOffAtItsDeadlineWhileOthersAreAnswered) {
  ServerOptions options = QuickOptions();
  options.head_deadline = 500ms;
  TestServer server(options, EchoRouter());
  RawClient slow = server.Connect("127.0.0.2");
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(slow.Send("GET /hello HTTP/1.1\r\nHost: a\r\n"));
  std::optional<RawResponse> answer;
  // A line every 100 ms: progress does not renew the deadline.
  for (int i = 0; i < 40 && !answer; ++i) {
    if (!slow.Send("X-Slow: " + std::to_string(i) + "\r\n", 100ms)) break;
    EXPECT_EQ(server.Ask(MakeRequest("GET", "/hello")).status, 200);
    answer = slow.Read(100ms);
  }
  if (!answer) answer = slow.Read(1s);
  const auto lived = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 408);
  EXPECT_EQ(answer->body, "The request was not sent in time.\n");
  EXPECT_LT(lived, 2s);
  EXPECT_GE(server.Get().Stats().timed_out, 1u);
}

TEST(ServerBoundsTest, ABodySentTooSlowlyIsAnswered408) {
  ServerOptions options = QuickOptions();
  options.body_deadline = 300ms;
  TestServer server(options, EchoRouter());
  RawClient client = server.Connect();
  ASSERT_TRUE(client.Send("POST /echo HTTP/1.1\r\nHost: a\r\nContent-Length: 100\r\n\r\n0123456789"));
  const std::optional<RawResponse> answer = client.Read(3s);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 408);
  EXPECT_EQ(server.Get().Stats().requests, 0u);
}

TEST(ServerBoundsTest, ConnectionsThatSendNothingOrGoIdleAreClosed) {
  ServerOptions options = QuickOptions();
  options.head_deadline = 300ms;
  options.idle_timeout = 300ms;
  TestServer server(options, EchoRouter());
  RawClient silent = server.Connect();
  RawClient idle = server.Connect();
  ASSERT_TRUE(idle.Send(MakeRequest("GET", "/hello")));
  ASSERT_TRUE(idle.Read(3s));
  EXPECT_TRUE(silent.WaitClosed(3s));
  EXPECT_TRUE(idle.WaitClosed(3s));
  EXPECT_TRUE(Eventually([&] { return server.Get().Stats().open_connections == 0; }));
}

TEST(ServerBoundsTest, ConnectionsPerAddressAreBoundedAndOtherAddressesStillServed) {
  ServerOptions options = QuickOptions();
  options.max_connections_per_address = 3;
  options.head_deadline = 10s;
  TestServer server(options, EchoRouter());
  std::vector<RawClient> held;
  for (int i = 0; i < 3; ++i) held.push_back(server.Connect("127.0.0.2"));
  ASSERT_TRUE(Eventually([&] { return server.Get().Stats().open_connections == 3; }));

  RawClient refused = server.Connect("127.0.0.2");
  const std::optional<RawResponse> answer = refused.Read(3s);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 503);
  EXPECT_EQ(answer->Header("Retry-After"), "1");
  EXPECT_TRUE(refused.WaitClosed(3s));
  EXPECT_EQ(server.Ask(MakeRequest("GET", "/hello"), "127.0.0.3").status, 200);

  held.pop_back();  // its place is free again
  ASSERT_TRUE(Eventually([&] { return server.Get().Stats().open_connections == 2; }));
  EXPECT_EQ(server.Ask(MakeRequest("GET", "/hello"), "127.0.0.2").status, 200);
  EXPECT_EQ(server.Get().Stats().refused, 1u);
}

TEST(ServerBoundsTest, ConnectionsInAllAreBounded) {
  ServerOptions options = QuickOptions();
  options.max_connections = 4;
  options.head_deadline = 10s;
  TestServer server(options, EchoRouter());
  std::vector<RawClient> held;
  for (int i = 0; i < 4; ++i) held.push_back(server.Connect("127.0.1." + std::to_string(i + 1)));
  ASSERT_TRUE(Eventually([&] { return server.Get().Stats().open_connections == 4; }));
  EXPECT_EQ(server.Ask(MakeRequest("GET", "/hello"), "127.0.2.1").status, 503);
  held.clear();
  ASSERT_TRUE(Eventually([&] { return server.Get().Stats().open_connections == 0; }));
  EXPECT_EQ(server.Ask(MakeRequest("GET", "/hello"), "127.0.2.1").status, 200);
}

TEST(ServerBoundsTest, ManySlowClientsLeaveANormalClientAnswered) {
  ServerOptions options = QuickOptions();
  options.worker_threads = 1;
  options.head_deadline = 30s;  // they are not cut off during the test
  TestServer server(options, EchoRouter());
  std::vector<RawClient> slow;
  for (int i = 0; i < 150; ++i) {
    slow.push_back(server.Connect("127.0.3." + std::to_string(i + 1)));
    slow.back().Send("GET /hello HTTP/1.1\r\nHost: a\r\nX-Slow: 1\r\n");
  }
  ASSERT_TRUE(Eventually([&] { return server.Get().Stats().open_connections == 150; }));
  for (int i = 0; i < 5; ++i) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(server.Ask(MakeRequest("GET", "/hello")).status, 200);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    for (RawClient& client : slow) client.Send("X-Slow: 2\r\n", 10ms);
  }
}

TEST(ServerBoundsTest, RequestsBeyondTheWaitingBoundAreAnsweredBusy) {
  ServerOptions options = QuickOptions();
  options.worker_threads = 1;
  options.max_waiting_requests = 2;
  std::mutex mutex;
  std::condition_variable changed;
  bool release = false;
  int entered = 0;
  Router router;
  router.Get("/wait", [&](const Request&, Response& response) {
    std::unique_lock<std::mutex> lock(mutex);
    ++entered;
    changed.notify_all();
    changed.wait(lock, [&] { return release; });
    response.SetContent("done", "text/plain");
  });
  TestServer server(options, std::move(router));
  std::vector<RawClient> clients;
  for (int i = 0; i < 3; ++i) {  // one running, two waiting
    clients.push_back(server.Connect());
    clients.back().Send(MakeRequest("GET", "/wait"));
    if (i == 0) {
      std::unique_lock<std::mutex> lock(mutex);
      ASSERT_TRUE(changed.wait_for(lock, 3s, [&] { return entered == 1; }));
    }
  }
  ASSERT_TRUE(Eventually([&] { return server.Get().Stats().requests == 3; }));
  const RawResponse busy = server.Ask(MakeRequest("GET", "/wait"));
  EXPECT_EQ(busy.status, 503);
  EXPECT_EQ(busy.Header("Retry-After"), "1");
  EXPECT_EQ(busy.body, "The server is busy; try again in a moment.\n");
  {
    std::lock_guard<std::mutex> lock(mutex);
    release = true;
  }
  changed.notify_all();
  for (RawClient& client : clients) {
    const std::optional<RawResponse> answer = client.Read(3s);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
  }
}

TEST(ServerBoundsTest, WhenWorkersAreStuckWaitingRequestsHearBusySoonAndInlineRoutesStillAnswer) {
  ServerOptions options = QuickOptions();
  options.worker_threads = 2;
  options.max_wait_for_worker = 300ms;
  std::atomic<bool> release{false};
  Router router = EchoRouter();
  router.Get("/query", [&](const Request&, Response& response) {
    while (!release) std::this_thread::sleep_for(1ms);  // a long query
    response.SetContent("rows", "text/plain");
  });
  router.Get("/page", [](const Request&, Response& response) { response.SetContent("page", "text/html"); },
             Router::Runs::kInline);
  std::shared_ptr<Router> routes = std::make_shared<Router>(router);
  options.handle_inline = [routes](const Request& request) { return routes->RunsInline(request); };
  TestServer server(options, std::move(router));
  std::vector<RawClient> stuck;
  for (int i = 0; i < 2; ++i) {
    stuck.push_back(server.Connect());
    stuck.back().Send(MakeRequest("GET", "/query"));
  }
  ASSERT_TRUE(Eventually([&] { return server.Get().Stats().requests == 2; }));
  const auto start = std::chrono::steady_clock::now();
  RawClient waiting = server.Connect();
  ASSERT_TRUE(waiting.Send(MakeRequest("GET", "/query")));
  EXPECT_EQ(server.Ask(MakeRequest("GET", "/page")).body, "page");  // not behind the stuck workers
  const std::optional<RawResponse> busy = waiting.Read(3s);
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->status, 503);
  EXPECT_EQ(busy->Header("Retry-After"), "1");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  release = true;
  for (RawClient& client : stuck) {
    const std::optional<RawResponse> answer = client.Read(3s);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->body, "rows");
  }
}

TEST(ServerBoundsTest, AClientThatStopsReadingALargeAnswerIsCutOffAndFreed) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("zarel-http-send-" + std::to_string(::getpid()) + ".bin");
  {
    std::ofstream out(file, std::ios::binary);
    const std::string block(1 << 20, 'x');
    for (int i = 0; i < 32; ++i) out << block;  // 32 MB: more than the socket buffers hold
  }
  ServerOptions options = QuickOptions();
  options.send_timeout = 300ms;
  Router router;
  router.Get("/file", [&file](const Request&, Response& response) {
    std::string error;
    ASSERT_TRUE(response.SetFile(file.string(), "application/octet-stream", error)) << error;
  });
  TestServer server(options, std::move(router));
  RawClient client = server.Connect();
  ASSERT_TRUE(client.Send(MakeRequest("GET", "/file")));
  EXPECT_FALSE(client.ReadSome(1000, 3s).empty());
  // Not reading any more: the server gives up once its writes stall.
  EXPECT_TRUE(Eventually([&] { return server.Get().Stats().open_connections == 0; }, 5s));
  EXPECT_GE(server.Get().Stats().timed_out, 1u);
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace zarel::http
