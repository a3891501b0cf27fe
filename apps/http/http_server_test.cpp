// Tests of the server's behaviour over real sockets: keep-alive and
// pipelining, HEAD and 100-continue, the answers it makes itself, handlers
// that throw or try to add headers of their own, streamed files, binding,
// and stopping with work under way.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "apps/testing/http_test_server.h"

namespace zarel::http {
namespace {

using namespace zarel::testing;

namespace fs = std::filesystem;

// A file of the given size in the temporary folder, removed with the object.
class TempFile {
 public:
  explicit TempFile(std::size_t size, const std::string& name = "data") {
    path_ = fs::temp_directory_path() / ("zarel-http-" + name + "-" + std::to_string(::getpid()) + ".bin");
    std::ofstream out(path_, std::ios::binary);
    for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>('a' + i % 26));
  }
  ~TempFile() { fs::remove(path_); }
  std::string Path() const { return path_.string(); }

 private:
  fs::path path_;
};

TEST(ServerTest, KeptAliveAndPipelinedRequestsAreAnsweredInOrder) {
  TestServer server(QuickOptions(), EchoRouter());
  RawClient client = server.Connect();
  ASSERT_TRUE(client.Send(MakeRequest("GET", "/hello")));
  EXPECT_EQ(client.Read(3s)->body, "hello");
  // Three requests in one write: the second and third wait in the buffer.
  ASSERT_TRUE(client.Send(MakeRequest("POST", "/echo", {}, "one") + MakeRequest("GET", "/hello") +
                          MakeRequest("POST", "/echo", {}, "three")));
  EXPECT_EQ(client.Read(3s)->body, "one");
  EXPECT_EQ(client.Read(3s)->body, "hello");
  EXPECT_EQ(client.Read(3s)->body, "three");
  EXPECT_EQ(server.Get().Stats().accepted, 1u);
}

TEST(ServerTest, ConnectionCloseAndHttp10AreHonoured) {
  TestServer server(QuickOptions(), EchoRouter());
  struct Case {
    const char* what;
    std::string request;
    std::string connection;  // the answer's Connection header
    bool closes;
  };
  const std::vector<Case> cases = {
      {"1.1 asking to close", MakeRequest("GET", "/hello", {"Connection: close"}), "close", true},
      {"1.0 plain", "GET /hello HTTP/1.0\r\n\r\n", "close", true},
      {"1.0 keep-alive", "GET /hello HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", "keep-alive", false},
      {"1.1 plain", MakeRequest("GET", "/hello"), "", false},
  };
  for (const Case& one : cases) {
    RawClient client = server.Connect();
    ASSERT_TRUE(client.Send(one.request)) << one.what;
    const std::optional<RawResponse> answer = client.Read(3s);
    ASSERT_TRUE(answer) << one.what;
    EXPECT_EQ(answer->status, 200) << one.what;
    EXPECT_EQ(answer->Header("Connection"), one.connection) << one.what;
    EXPECT_EQ(client.WaitClosed(200ms), one.closes) << one.what;
  }
}

TEST(ServerTest, HeadAnswersTheLengthWithoutTheBody) {
  TestServer server(QuickOptions(), EchoRouter());
  RawClient client = server.Connect();
  ASSERT_TRUE(client.Send(MakeRequest("HEAD", "/hello") + MakeRequest("GET", "/hello")));
  const std::optional<RawResponse> head = client.Read(3s, true);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 200);
  EXPECT_EQ(head->Header("Content-Length"), "5");
  // The next answer follows at once: no body bytes came between them.
  const std::optional<RawResponse> get = client.Read(3s);
  ASSERT_TRUE(get);
  EXPECT_EQ(get->body, "hello");
}

TEST(ServerTest, AClientWaitingForLeaveToSendItsBodyGetsIt) {
  ServerOptions options = QuickOptions();
  options.max_body_bytes = 100;
  TestServer server(options, EchoRouter());
  RawClient client = server.Connect();
  ASSERT_TRUE(client.Send("POST /echo HTTP/1.1\r\nHost: a\r\nExpect: 100-continue\r\nContent-Length: 4\r\n\r\n"));
  const std::optional<RawResponse> go_on = client.Read(3s);
  ASSERT_TRUE(go_on);
  EXPECT_EQ(go_on->status, 100);
  ASSERT_TRUE(client.Send("body"));
  EXPECT_EQ(client.Read(3s)->body, "body");

  // Too large: refused from the head, before the client sends anything.
  RawClient large = server.Connect();
  ASSERT_TRUE(large.Send("POST /echo HTTP/1.1\r\nHost: a\r\nExpect: 100-continue\r\nContent-Length: 101\r\n\r\n"));
  const std::optional<RawResponse> refused = large.Read(3s);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 413);
}

TEST(ServerTest, MalformedRequestsAreAnswered400AndClosed) {
  TestServer server(QuickOptions(), EchoRouter());
  const std::vector<std::string> requests = {
      "NOT HTTP AT ALL\r\n\r\n",
      "GET /hello HTTP/9.9\r\nHost: a\r\n\r\n",
      "GET /hello HTTP/1.1\r\nNo colon here\r\n\r\n",
      "POST /echo HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 7\r\n\r\n12345",
      "POST /echo HTTP/1.1\r\nContent-Length: -1\r\n\r\n",
      std::string("GET /he\0llo HTTP/1.1\r\n\r\n", 24),
  };
  for (const std::string& request : requests) {
    RawClient client = server.Connect();
    client.Send(request);
    const std::optional<RawResponse> answer = client.Read(3s);
    ASSERT_TRUE(answer) << request;
    EXPECT_EQ(answer->status, 400) << request;
    EXPECT_EQ(answer->Header("Content-Type"), "text/plain; charset=utf-8") << request;
    EXPECT_TRUE(client.WaitClosed(3s)) << request;
  }
  EXPECT_EQ(server.Get().Stats().requests, 0u);
}

TEST(ServerTest, AHandlerThatThrowsOrSmugglesHeadersGets500AndNothingItSet) {
  Router router;
  router.Get("/throws", [](const Request&, Response& response) {
    response.SetHeader("X-Half", "made");
    throw std::runtime_error("lost");
  });
  router.Get("/smuggles", [](const Request& request, Response& response) {
    // A file name from the client, put into a header unchecked.
    response.SetHeader("Content-Disposition", "attachment; filename=\"" + *request.QueryParameter("name") + "\"");
    response.SetContent("x", "text/plain");
  });
  router.Get("/frames", [](const Request&, Response& response) {
    response.SetHeader("Content-Length", "1");
    response.SetHeader("Transfer-Encoding", "chunked");
    response.SetContent("twelve bytes", "text/plain");
  });
  TestServer server(QuickOptions(), std::move(router));
  const RawResponse thrown = server.Ask(MakeRequest("GET", "/throws"));
  EXPECT_EQ(thrown.status, 500);
  EXPECT_TRUE(thrown.Header("X-Half").empty());
  EXPECT_EQ(thrown.body, "The server failed to answer this request.\n");

  const RawResponse smuggled = server.Ask(MakeRequest("GET", "/smuggles?name=a%0d%0aSet-Cookie:%20x=1"));
  EXPECT_EQ(smuggled.status, 500);
  EXPECT_TRUE(smuggled.Header("Set-Cookie").empty());
  EXPECT_EQ(server.Ask(MakeRequest("GET", "/smuggles?name=report.htm")).status, 200);

  // The server frames the answer itself, whatever the handler said.
  RawClient client = server.Connect();
  ASSERT_TRUE(client.Send(MakeRequest("GET", "/frames") + MakeRequest("GET", "/frames")));
  for (int i = 0; i < 2; ++i) {
    const std::optional<RawResponse> framed = client.Read(3s);
    ASSERT_TRUE(framed);
    EXPECT_EQ(framed->body, "twelve bytes");
    EXPECT_EQ(framed->Header("Content-Length"), "12");
    EXPECT_TRUE(framed->Header("Transfer-Encoding").empty());
  }
}

TEST(ServerTest, DefaultHeadersGoOnEveryAnswerUnlessTheHandlerSetsItsOwn) {
  ServerOptions options = QuickOptions();
  options.default_headers = {{"X-Content-Type-Options", "nosniff"}, {"X-Frame-Options", "SAMEORIGIN"}};
  Router router = EchoRouter();
  router.Get("/framed", [](const Request&, Response& response) {
    response.SetHeader("X-Frame-Options", "DENY");
    response.SetContent("", "text/plain");
  });
  TestServer server(options, std::move(router));
  const RawResponse plain = server.Ask(MakeRequest("GET", "/hello"));
  EXPECT_EQ(plain.Header("X-Content-Type-Options"), "nosniff");
  EXPECT_EQ(plain.Header("X-Frame-Options"), "SAMEORIGIN");
  const RawResponse own = server.Ask(MakeRequest("GET", "/framed"));
  EXPECT_EQ(own.Header("X-Frame-Options"), "DENY");
  EXPECT_EQ(own.Header("Content-Length"), "0");
  const RawResponse missing = server.Ask(MakeRequest("GET", "/nothing"));
  EXPECT_EQ(missing.status, 404);
  EXPECT_EQ(missing.Header("X-Content-Type-Options"), "nosniff");
  const RawResponse refused = server.Ask("POST /echo HTTP/1.1\r\nContent-Length: 99999999\r\n\r\n");
  EXPECT_EQ(refused.status, 413);
  EXPECT_EQ(refused.Header("X-Content-Type-Options"), "nosniff");
}

TEST(ServerTest, FilesAreStreamedWholeAndAsOpened) {
  TempFile file(3 * 1024 * 1024 + 17);
  TempFile empty(0, "empty");
  Router router;
  router.Get("/file", [&](const Request& request, Response& response) {
    std::string error;
    const std::string path = request.QueryParameter("empty") ? empty.Path() : file.Path();
    ASSERT_TRUE(response.SetFile(path, "application/octet-stream", error)) << error;
  });
  ServerOptions options = QuickOptions();
  options.handle_inline = [&router](const Request& request) { return router.RunsInline(request); };
  TestServer server(options, std::move(router));
  RawClient client = server.Connect();
  ASSERT_TRUE(client.Send(MakeRequest("GET", "/file") + MakeRequest("GET", "/file?empty=1") +
                          MakeRequest("HEAD", "/file")));
  const std::optional<RawResponse> whole = client.Read(10s);
  ASSERT_TRUE(whole);
  ASSERT_EQ(whole->body.size(), 3u * 1024 * 1024 + 17);
  std::ifstream in(file.Path(), std::ios::binary);
  const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(whole->body == expected);
  const std::optional<RawResponse> nothing = client.Read(3s);
  ASSERT_TRUE(nothing);
  EXPECT_EQ(nothing->Header("Content-Length"), "0");
  EXPECT_TRUE(nothing->body.empty());
  const std::optional<RawResponse> head = client.Read(3s, true);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->Header("Content-Length"), std::to_string(3 * 1024 * 1024 + 17));
}

TEST(ServerTest, AFileThatShrinksWhileSentEndsTheConnection) {
  TempFile file(8 * 1024 * 1024, "shrinks");
  std::atomic<bool> opened{false};
  Router router;
  router.Get("/file", [&](const Request&, Response& response) {
    std::string error;
    ASSERT_TRUE(response.SetFile(file.Path(), "application/octet-stream", error));
    opened = true;
  });
  TestServer server(QuickOptions(), std::move(router));
  RawClient client = server.Connect();
  ASSERT_TRUE(client.Send(MakeRequest("GET", "/file")));
  ASSERT_TRUE(Eventually([&] { return opened.load(); }));
  fs::resize_file(file.Path(), 1000);
  std::size_t got = 0;
  for (std::string piece; !(piece = client.ReadSome(1 << 20, 1s)).empty();) got += piece.size();
  EXPECT_LT(got, 8u * 1024 * 1024);  // short, and then the connection ends
  EXPECT_TRUE(client.WaitClosed(3s));
}

TEST(ServerTest, BindRefusesBadSettingsAndAPortInUse) {
  TestServer first(QuickOptions(), EchoRouter());
  struct Case {
    const char* what;
    ServerOptions options;
    std::string error_start;
  };
  std::vector<Case> cases;
  cases.push_back({"port in use", QuickOptions(), "cannot listen on 127.0.0.1 port " + std::to_string(first.Port())});
  cases.back().options.port = first.Port();
  cases.push_back({"not an address", QuickOptions(), "'localhost' is not an IP address"});
  cases.back().options.bind = "localhost";
  cases.push_back({"no header bytes", QuickOptions(), "the header bound must be above 0"});
  cases.back().options.max_header_bytes = 0;
  cases.push_back({"no connections", QuickOptions(), "the connection bounds must be above 0"});
  cases.back().options.max_connections_per_address = 0;
  cases.push_back({"no deadline", QuickOptions(), "deadlines and timeouts must be above 0"});
  cases.back().options.head_deadline = 0ms;
  cases.push_back({"no wait for a worker", QuickOptions(), "deadlines and timeouts must be above 0"});
  cases.back().options.max_wait_for_worker = 0ms;
  cases.push_back({"no I/O thread", QuickOptions(), "at least one I/O thread is needed"});
  cases.back().options.io_threads = 0;
  for (const Case& one : cases) {
    Server server(one.options, [](const Request&, Response&) {});
    std::string error;
    EXPECT_FALSE(server.Bind(error)) << one.what;
    EXPECT_EQ(error.substr(0, one.error_start.size()), one.error_start) << one.what << ": " << error;
  }
  EXPECT_EQ(first.Ask(MakeRequest("GET", "/hello")).status, 200);  // the first server still has its port
}

TEST(ServerTest, ServesOverIpv6AndWithSeveralIoThreads) {
  ServerOptions options = QuickOptions();
  options.bind = "::1";
  options.io_threads = 3;
  TestServer server(options, EchoRouter());
  std::string error;
  std::optional<RawClient> client = RawClient::Connect("::1", server.Port(), "", error);
  ASSERT_TRUE(client) << error;
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(client->Send(MakeRequest("POST", "/echo", {}, std::to_string(i))));
    EXPECT_EQ(client->Read(3s)->body, std::to_string(i));
  }
}

TEST(ServerTest, StopAsksHandlersToStopAndAnswersWaitingRequestsBusy) {
  std::atomic<int> running{0};
  std::atomic<int> ran{0};
  Router router = EchoRouter();
  router.Get("/long", [&](const Request& request, Response& response) {
    ++running;
    ++ran;
    // A long query that watches the server's stop.
    while (!request.stop.stop_requested()) std::this_thread::sleep_for(1ms);
    response.SetContent("stopped", "text/plain");
  });
  ServerOptions options = QuickOptions();
  options.worker_threads = 1;
  options.stop_grace = 2s;
  auto server = std::make_unique<TestServer>(options, std::move(router));
  RawClient idle = server->Connect();
  RawClient working = server->Connect();
  RawClient waiting = server->Connect();
  ASSERT_TRUE(working.Send(MakeRequest("GET", "/long")));
  ASSERT_TRUE(Eventually([&] { return running == 1; }));
  ASSERT_TRUE(waiting.Send(MakeRequest("GET", "/long")));
  ASSERT_TRUE(Eventually([&] { return server->Get().Stats().requests == 2; }));

  const auto start = std::chrono::steady_clock::now();
  server->Get().Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  const std::optional<RawResponse> stopped = working.Read(3s);
  ASSERT_TRUE(stopped);
  EXPECT_EQ(stopped->body, "stopped");
  EXPECT_EQ(stopped->Header("Connection"), "close");
  const std::optional<RawResponse> dropped = waiting.Read(3s);
  ASSERT_TRUE(dropped);
  EXPECT_EQ(dropped->status, 503);
  EXPECT_EQ(ran, 1);  // the waiting request was never run
  EXPECT_TRUE(idle.WaitClosed(3s));
  std::string error;
  EXPECT_FALSE(RawClient::Connect("127.0.0.1", server->Port(), "", error));
  server->Get().Stop();  // again: nothing
}

TEST(ServerTest, ARequestWhoseClientLeftWhileItWaitedIsNotRun) {
  std::atomic<bool> release{false};
  std::atomic<int> counted{0};
  Router router;
  router.Get("/hold", [&](const Request&, Response& response) {
    while (!release) std::this_thread::sleep_for(1ms);
    response.SetContent("held", "text/plain");
  });
  router.Post("/count", [&](const Request&, Response& response) {
    ++counted;
    response.SetContent("counted", "text/plain");
  });
  ServerOptions options = QuickOptions();
  options.worker_threads = 1;
  TestServer server(options, std::move(router));
  RawClient holding = server.Connect();
  ASSERT_TRUE(holding.Send(MakeRequest("GET", "/hold")));
  ASSERT_TRUE(Eventually([&] { return server.Get().Stats().requests == 1; }));
  // Two clicks wait behind it; their clients go, one politely, one reset.
  for (const bool reset : {false, true}) {
    RawClient leaving = server.Connect();
    ASSERT_TRUE(leaving.Send(MakeRequest("POST", "/count")));
    ASSERT_TRUE(Eventually([&] { return server.Get().Stats().requests == (reset ? 3u : 2u); }));
    leaving.Close(reset);
  }
  release = true;
  EXPECT_EQ(holding.Read(3s)->body, "held");
  ASSERT_TRUE(Eventually([&] { return server.Get().Stats().abandoned == 2; }));
  EXPECT_EQ(counted, 0);
  // A client that stays is served as always.
  EXPECT_EQ(server.Ask(MakeRequest("POST", "/count")).body, "counted");
  EXPECT_EQ(counted, 1);
  EXPECT_TRUE(Eventually([&] { return server.Get().Stats().open_connections <= 1; }));
}

TEST(ServerTest, StopEndsAnswersThatOutliveTheGrace) {
  TempFile file(32 * 1024 * 1024, "grace");
  Router router;
  router.Get("/file", [&](const Request&, Response& response) {
    std::string error;
    ASSERT_TRUE(response.SetFile(file.Path(), "application/octet-stream", error));
  });
  ServerOptions options = QuickOptions();
  options.stop_grace = 200ms;
  options.send_timeout = 60s;
  TestServer server(options, std::move(router));
  // Several stalled downloads: each must be closed by the time Stop returns,
  // not later when the server object goes.
  std::vector<RawClient> readers;
  for (int i = 0; i < 8; ++i) {
    readers.push_back(server.Connect());
    ASSERT_TRUE(readers.back().Send(MakeRequest("GET", "/file")));
    ASSERT_FALSE(readers.back().ReadSome(1000, 3s).empty());
  }
  const auto start = std::chrono::steady_clock::now();
  server.Get().Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_EQ(server.Get().Stats().open_connections, 0u);
  for (RawClient& reader : readers) EXPECT_TRUE(reader.WaitClosed(3s));
}

}  // namespace
}  // namespace zarel::http
