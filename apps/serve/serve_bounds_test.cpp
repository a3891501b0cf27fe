// Tests of what the web host bounds, over real sockets on loopback: bodies
// sent in chunks, whole header blocks, slow clients and connections per
// address, sessions started by pages of other sites and by one address, a
// session busy with a long query, stopping while a query runs (the program
// itself, by signal), large files, and server paths kept from the browser.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <csignal>
#include <future>
#include <thread>

#include "apps/testing/serve_test_fixture.h"
#include "apps/http/child_program.h"

namespace zarel::serve {
namespace {

using namespace zarel::serve::testing;
using zarel::http::ServeProgram;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A request head for the server on port, without its end.
std::string Head(int port, const std::string& line) {
  return line + "\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n";
}

// Holds the SQLite database locked for writing and reading (an exclusive
// transaction of another connection), so that every query of the site waits
// (up to the driver's busy timeout of five seconds): a long query on demand.
class DatabaseLock {
 public:
  explicit DatabaseLock(const std::string& connection) {
    sqlite3_open(connection.substr(connection.find(':') + 1).c_str(), &db_);
    sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
  }
  ~DatabaseLock() { Release(); }
  void Release() {
    if (db_ == nullptr) return;
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
    db_ = nullptr;
  }

 private:
  sqlite3* db_ = nullptr;
};

std::string Chunked(const std::string& body, std::size_t piece) {
  std::string out;
  char size[32];
  for (std::size_t at = 0; at < body.size(); at += piece) {
    const std::string part = body.substr(at, piece);
    std::snprintf(size, sizeof size, "%zx\r\n", part.size());
    out += size + part + "\r\n";
  }
  return out + "0\r\n\r\n";
}

TEST_F(ServeTest, BodiesSentInChunksAreBoundedLikeDeclaredOnes) {
  Start();
  Browser browser = Open();
  const json start = browser.State();
  const int port = server_->Port();
  const std::string click = json{{"node", NodeId(start["tree"], {"Shop", "Products"})}}.dump();
  const std::string head = Head(port, "POST /api/click HTTP/1.1") + "Content-Type: application/json\r\nCookie: " +
                           kSessionCookie + "=" + browser.cookie + "\r\nTransfer-Encoding: chunked\r\n\r\n";
  // Within the bound, in pieces of three bytes: a click like any other.
  const http::RawResponse small = AskOnce(port, head + Chunked(click, 3));
  EXPECT_EQ(small.status, 200) << small.body;
  EXPECT_EQ(SelectedPath(json::parse(small.body)["tree"]), "\\Shop\\Products");
  // A megabyte in 64 KiB chunks: refused once the bound is passed.
  const http::RawResponse large = AskOnce(port, head + Chunked(std::string(1 << 20, ' '), 65536));
  EXPECT_EQ(large.status, 413);
  EXPECT_EQ(large.body, "The request is too large.\n");
  // Endless chunks: the server refuses them, stops reading and closes long
  // before 256 MB. The client sends until the server has closed (a slow
  // server makes this take longer, never fail).
  RawClient endless = ConnectTo(port);
  ASSERT_TRUE(endless.Send(head));
  const std::string chunk = "10000\r\n" + std::string(65536, 'c') + "\r\n";
  std::size_t sent = 0;
  while (sent < 256u * 1024 * 1024 && endless.Send(chunk, 10s)) sent += chunk.size();
  EXPECT_LT(sent, 16u * 1024 * 1024);
  const std::optional<http::RawResponse> endless_answer = endless.Read(10s);
  ASSERT_TRUE(endless_answer);
  EXPECT_EQ(endless_answer->status, 413);
  EXPECT_TRUE(endless.WaitClosed(10s));
  EXPECT_EQ(browser.State()["events"].size(), 1u);  // the one click, nothing else reached the session
}

TEST_F(ServeTest, TheWholeHeaderBlockIsBounded) {
  Start();
  const int port = server_->Port();
  const std::string line = "X-Fill: " + std::string(7990, 'a') + "\r\n";
  // Three lines of 8 KB: each is fine alone, together they pass 16 KiB.
  std::string three;
  for (int i = 0; i < 3; ++i) three += line;
  const http::RawResponse refused = AskOnce(port, Head(port, "GET / HTTP/1.1") + three + "\r\n");
  EXPECT_EQ(refused.status, 431);
  EXPECT_EQ(refused.body, "The request's headers are too large.\n");
  const http::RawResponse fine = AskOnce(port, Head(port, "GET / HTTP/1.1") + line + "\r\n");
  EXPECT_EQ(fine.status, 200);
  // An endless head: the server refuses it, stops reading and closes long
  // before 256 MB (the client sends until then, however slow the server).
  RawClient endless = ConnectTo(port);
  ASSERT_TRUE(endless.Send(Head(port, "GET / HTTP/1.1")));
  std::size_t sent = 0;
  while (sent < 256u * 1024 * 1024 && endless.Send(line, 10s)) sent += line.size();
  EXPECT_LT(sent, 16u * 1024 * 1024);
  const std::optional<http::RawResponse> endless_answer = endless.Read(10s);
  ASSERT_TRUE(endless_answer);
  EXPECT_EQ(endless_answer->status, 431);
  EXPECT_TRUE(endless.WaitClosed(10s));
}

TEST_F(ServeTest, SlowClientsLeaveANormalUserAnswered) {
  ServeOptions options = Options();
  options.limits.head_timeout = 1500ms;
  Start(options);
  const int port = server_->Port();
  Browser user = Open();
  // 200 clients from as many addresses each send a header line now and then
  // and never finish their request.
  std::vector<RawClient> slow;
  for (int i = 0; i < 200; ++i) {
    slow.push_back(ConnectTo(port, "127.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1)));
    slow.back().Send(Head(port, "GET /api/state HTTP/1.1"));
  }
  const auto started = Clock::now();
  json state = user.State();
  for (int round = 0; round < 5; ++round) {
    const auto asked = Clock::now();
    const http::RawResponse answer =
        user.Post("/api/click", {{"node", NodeId(state["tree"], {"Shop", round % 2 ? "Staff only" : "Products"})}});
    EXPECT_EQ(answer.status, 200);
    EXPECT_LT(Clock::now() - asked, 1s) << "round " << round;
    state = json::parse(answer.body);
    for (RawClient& client : slow) client.Send("X-Slow: " + std::to_string(round) + "\r\n", 10ms);
  }
  // Their head deadline runs from their first byte; trickling does not
  // renew it: all are told 408 and closed.
  int cut_off = 0;
  for (RawClient& client : slow) {
    const std::optional<http::RawResponse> answer = client.Read(3s);
    if (answer && answer->status == 408) ++cut_off;
  }
  EXPECT_EQ(cut_off, 200);
  EXPECT_LT(Clock::now() - started, 6s);
  EXPECT_TRUE(Eventually([&] { return server_->Stats().open_connections == 0; }));
}

TEST_F(ServeTest, ConnectionsFromOneAddressAreBounded) {
  ServeOptions options = Options();
  options.limits.max_connections_per_address = 8;
  Start(options);
  const int port = server_->Port();
  std::vector<RawClient> held;
  for (int i = 0; i < 8; ++i) held.push_back(ConnectTo(port, "127.2.0.1"));
  ASSERT_TRUE(Eventually([&] { return server_->Stats().open_connections == 8; }));
  const http::RawResponse refused = AskOnce(port, MakeRequest("GET", "/"), "127.2.0.1");
  EXPECT_EQ(refused.status, 503);
  EXPECT_EQ(refused.Header("Retry-After"), "1");
  // Other addresses are served meanwhile, and a place that frees is taken.
  EXPECT_EQ(AskOnce(port, MakeRequest("GET", "/"), "127.2.0.2").status, 200);
  held.pop_back();
  ASSERT_TRUE(Eventually([&] { return server_->Stats().open_connections == 7; }));
  EXPECT_EQ(AskOnce(port, MakeRequest("GET", "/"), "127.2.0.1").status, 200);
}

TEST_F(ServeTest, NoPageOfAnotherSiteStartsASession) {
  ServeOptions options = Options();
  options.max_sessions = 2;
  Start(options);
  const int port = server_->Port();
  // What a browser sends for a page elsewhere that points a window, a frame
  // or a picture here, or for the user's own address bar: never a session.
  const std::vector<std::vector<std::string>> fetches = {
      {"Sec-Fetch-Site: cross-site", "Sec-Fetch-Mode: navigate", "Sec-Fetch-Dest: document"},
      {"Sec-Fetch-Site: cross-site", "Sec-Fetch-Mode: navigate", "Sec-Fetch-Dest: iframe"},
      {"Sec-Fetch-Site: cross-site", "Sec-Fetch-Mode: no-cors", "Sec-Fetch-Dest: image"},
      {"Sec-Fetch-Site: same-site", "Sec-Fetch-Mode: navigate", "Sec-Fetch-Dest: document"},
      {"Sec-Fetch-Site: none", "Sec-Fetch-Mode: navigate", "Sec-Fetch-Dest: document"},
      {},
  };
  for (int round = 0; round < 20; ++round) {
    for (const std::vector<std::string>& headers : fetches) {
      Browser visitor(port);
      const http::RawResponse page = visitor.Get("/", headers);
      EXPECT_EQ(page.status, 200);
      EXPECT_EQ(page.Header("Set-Cookie"), "");
      EXPECT_EQ(visitor.Get("/api/state", headers).status, 401);
    }
  }
  EXPECT_EQ(server_->Sessions().Count(), 0);
  // A page elsewhere cannot ask for one either: the browser names it.
  Browser visitor(port);
  const std::vector<std::vector<std::string>> posts = {
      {"Origin: http://evil.example"},
      {"Referer: http://evil.example/page"},
      {"Sec-Fetch-Site: cross-site"},
      {"Origin: null", "Sec-Fetch-Site: cross-site"},
  };
  for (const std::vector<std::string>& headers : posts) {
    EXPECT_EQ(visitor.PostWith("/api/session", "{}", "application/json", headers).status, 403) << headers[0];
    EXPECT_EQ(visitor.PostWith("/api/session", "{}", "text/plain", headers).status, 403) << headers[0];
  }
  EXPECT_EQ(server_->Sessions().Count(), 0);
  // The users' own pages still get theirs.
  Open();
  Open();
  EXPECT_EQ(server_->Sessions().Count(), 2);
}

TEST_F(ServeTest, OneAddressStartsOnlySoManySessionsAMinute) {
  ServeOptions options = Options();
  options.limits.new_sessions_per_minute = 3;
  Start(options);
  for (int i = 0; i < 3; ++i) Open("127.3.0.1");
  Browser fourth(server_->Port(), "127.3.0.1");
  const http::RawResponse refused = fourth.Post("/api/session");
  EXPECT_EQ(refused.status, 429);
  EXPECT_EQ(refused.Header("Retry-After"), "20");  // one start every 20 s
  EXPECT_EQ(json::parse(refused.body),
            (json{{"error", "Too many sessions were started from this address; try again in 20 seconds."}}));
  EXPECT_EQ(refused.Header("Set-Cookie"), "");
  // Other addresses are not held up.
  Open("127.3.0.2");
  EXPECT_EQ(server_->Sessions().Count(), 4);
}

TEST_F(ServeTest, ASessionBusyWithALongQueryAnswersBusyInsteadOfHoldingThreads) {
  ServeOptions options = Options();
  options.threads = 2;
  options.limits.busy_timeout = 300ms;
  Start(options);
  Browser user = Open();
  Browser other = Open();
  const json start = user.State();
  const std::string click = json{{"node", NodeId(start["tree"], {"Shop", "Products"})}}.dump();
  DatabaseLock lock(database_->ConnectionString());
  // The first click waits for the database; the user clicks on, ten times
  // at once.
  RawClient first = ConnectTo(server_->Port());
  ASSERT_TRUE(first.Send(MakeRequest("POST", "/api/click",
                                     {"Content-Type: application/json", "Cookie: zarel_session=" + user.cookie}, click)));
  ASSERT_TRUE(Eventually([&] { return server_->Stats().requests >= 4; }));  // two sessions, a state, the click
  std::this_thread::sleep_for(200ms);  // the click has the session's turn
  const auto started = Clock::now();
  std::vector<std::future<http::RawResponse>> more;
  for (int i = 0; i < 10; ++i) {
    more.push_back(std::async(std::launch::async, [&] { return user.PostWith("/api/click", click, "application/json", {}); }));
  }
  for (std::future<http::RawResponse>& answer : more) {
    const http::RawResponse busy = answer.get();
    EXPECT_EQ(busy.status, 503);
    EXPECT_EQ(busy.Header("Retry-After"), "1");
    EXPECT_EQ(json::parse(busy.body)["error"],
              "This session is still busy with an earlier request; try again in a moment.");
  }
  // One waited for the turn, up to the busy timeout from the click's start;
  // then the session counts as stuck and the rest hear so at once.
  EXPECT_LT(Clock::now() - started, 1500ms);
  // Other users are answered meanwhile, by the threads and on the side.
  const auto asked = Clock::now();
  EXPECT_EQ(other.Get("/api/state").status, 200);
  EXPECT_EQ(other.Get("/site/fp.htm").status, 200);
  EXPECT_EQ(user.Get("/site/fp.htm").status, 200);
  EXPECT_LT(Clock::now() - asked, 1s);
  lock.Release();
  const std::optional<http::RawResponse> done = first.Read(10s);
  ASSERT_TRUE(done);
  EXPECT_EQ(done->status, 200);
  EXPECT_EQ(SelectedPath(json::parse(done->body)["tree"]), "\\Shop\\Products");
}

TEST_F(ServeTest, AStalledDownloadOfALargeFileCostsTheServerLittle) {
  Start();
  Browser browser = Open();
  constexpr std::size_t kSize = 64u << 20;
  {
    std::ofstream big(FolderOf(browser) + "/big.bin", std::ios::binary);
    const std::string block(1 << 20, 'z');
    for (std::size_t i = 0; i < kSize / block.size(); ++i) big << block;
  }
  const long before = http::ResidentKib(::getpid());
  const std::string request = MakeRequest("GET", "/site/big.bin", {"Cookie: zarel_session=" + browser.cookie});
  std::vector<RawClient> stalled;
  for (int i = 0; i < 8; ++i) {
    stalled.push_back(ConnectTo(server_->Port()));
    ASSERT_TRUE(stalled.back().Send(request));
    EXPECT_FALSE(stalled.back().ReadSome(65536, 10s).empty());
  }
  // Read whole, eight downloads would hold 512 MB, taken before the first
  // bytes went; streamed, a buffer each. (The pause only gives a server that
  // read ahead of its clients the time to show it; nothing waits on it.)
  std::this_thread::sleep_for(300ms);
  EXPECT_LT(http::ResidentKib(::getpid()) - before, 32 * 1024);
  for (RawClient& client : stalled) client.Close(true);
  // A client that reads gets the whole file. 64 MB take a while on a busy
  // machine: what is bounded is a pause in their coming, not the whole.
  RawClient reader = ConnectTo(server_->Port());
  ASSERT_TRUE(reader.Send(MakeRequest("GET", "/site/big.bin",
                                      {"Cookie: zarel_session=" + browser.cookie, "Connection: close"})));
  const std::string head = reader.ReadSome(4096, 10s);
  ASSERT_EQ(head.rfind("HTTP/1.1 200 ", 0), 0u) << head;
  const std::size_t head_end = head.find("\r\n\r\n");
  ASSERT_NE(head_end, std::string::npos);
  EXPECT_NE(head.find("Content-Length: " + std::to_string(kSize) + "\r\n"), std::string::npos) << head;
  std::size_t body = head.size() - head_end - 4;
  for (std::string piece; !(piece = reader.ReadSome(1 << 20, 10s)).empty();) body += piece.size();
  EXPECT_EQ(body, kSize);
}

TEST_F(ServeTest, ServerPathsNeverReachTheBrowser) {
  Start();
  Browser browser = Open();
  // The report file cannot be written: the engine's message names it.
  const std::string folder = FolderOf(browser);
  fs::create_directory(folder + "/oReport.htm");
  const json start = browser.State();
  std::vector<std::string> answers;
  answers.push_back(browser.Post("/api/click", {{"node", NodeId(start["tree"], {"Shop", "Products"})}}).body);
  answers.push_back(browser.Post("/api/save").body);
  answers.push_back(browser.Get("/site/oReport.htm").body);
  answers.push_back(browser.Get("/site/none.htm").body);
  answers.push_back(browser.Get("/api/state").body);
  const json clicked = json::parse(answers[0]);
  ASSERT_FALSE(clicked["events"].empty());
  EXPECT_EQ(clicked["events"][0]["text"], "Error: 75, Path/File access error: oReport.htm");
  const std::string canonical_work = fs::canonical(work_.Path()).string();
  for (const std::string& answer : answers) {
    for (const std::string& path : {work_.Path(), canonical_work, site_.Path(), std::string("zarel-serve-")}) {
      EXPECT_EQ(answer.find(path), std::string::npos) << answer;
    }
  }
}

// Whether a folder holds nothing the server made (its work folder).
bool NoWorkFolderIn(const std::string& folder) {
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind("zarel-serve-", 0) == 0) return false;
  }
  return true;
}

TEST_F(ServeTest, TheProgramStopsOnASignalWhileAQueryRunsAndLeavesNothingBehind) {
  struct Case {
    const char* what;
    std::vector<int> signals;  // sent 200 ms apart
    const char* stop_timeout;
  };
  const std::vector<Case> cases = {
      {"SIGTERM: the query is left behind after the grace", {SIGTERM}, "0.5"},
      {"a second SIGINT during a long grace: at once", {SIGTERM, SIGINT}, "30"},
  };
  for (const Case& c : cases) {
    TempFolder tmp;
    ServeProgram program(ZAREL_PROGRAM, {database_->ConnectionString(), "--site", site_.PathOf("site"), "--port", "0",
                          "--stop-timeout", c.stop_timeout},
                         tmp.Path());
    ASSERT_GT(program.Port(), 0) << c.what;
    Browser browser(program.Port());
    const json start = browser.Start();
    ASSERT_FALSE(NoWorkFolderIn(tmp.Path()));
    DatabaseLock lock(database_->ConnectionString());
    // The click waits for the database, up to its five seconds.
    std::future<http::RawResponse> click = std::async(std::launch::async, [&] {
      return browser.Post("/api/click", {{"node", NodeId(start["tree"], {"Shop", "Products"})}});
    });
    std::this_thread::sleep_for(300ms);
    const auto signalled = Clock::now();
    for (const int signal : c.signals) {
      program.Signal(signal);
      std::this_thread::sleep_for(200ms);
    }
    EXPECT_EQ(program.ExitStatus(4s), 0) << c.what;
    EXPECT_LT(Clock::now() - signalled, 3s) << c.what;
    EXPECT_TRUE(NoWorkFolderIn(tmp.Path())) << c.what;
    lock.Release();
    click.wait();
  }
}

}  // namespace
}  // namespace zarel::serve
