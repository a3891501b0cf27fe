// Tests of the web host over HTTP: a server started in this process on a
// free loopback port, driven by browsers over real sockets, over a small
// shop site in a real database (SQLite, and PostgreSQL when the test
// server is there).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "apps/serve/serve_security.h"
#include "apps/testing/serve_test_fixture.h"
#include "apps/testing/run_zarel.h"
#include "zarel/base/clock.h"
#include "zarel/base/date_time.h"
#include "zarel/db/database_settings.h"
#include "zarel/testing/databases.h"
#include "zarel/testing/files.h"

namespace zarel::serve {
namespace {

using namespace zarel::serve::testing;

// The page of Pear, composed at 2026-12-05 14:05:09.
constexpr const char* kPearPage =
    "<html><head><title>Shop</title></head><body><div><table width=100%><tr><td class=pgl>"
    "<a href=\"https://zarel.dev\" target=\"_blank\">Zarel</a></td><td class=pgr>05 Dec 2026 "
    "02:05:09 PM</td></table><p class=mh>Pear\r\n"
    "<p id='TTL002' class=ph><img src='circle.gif'>  Product<table id='TBL002' cellspacing=1 "
    "border=1 width=100%><tr><td class=hn width=40%>Name: </td><td class=hv>Pear</td><tr><td "
    "class=hn width=40%>Price: </td><td class=hv>4</td></table><br><br>\r\n"
    "</DIV></BODY></HTML>\r\n";

// Two sessions clicking different nodes each see their own tree and page,
// in folders of their own; the page is byte for byte the engine's.
void CheckIsolation(Browser a, Browser b, const std::string& pear_page,
                    const std::function<std::string(const Browser&)>& folder_of) {
  ASSERT_NE(a.cookie, b.cookie);
  const json start = a.State();
  EXPECT_EQ(start["page"]["url"], "/site/fp.htm");
  EXPECT_EQ(a.Get("/site/fp.htm").body, "<html><body><h1>Shop</h1></body></html>\r\n");

  const std::int64_t products = NodeId(start["tree"], {"Shop", "Products"});
  ASSERT_GT(products, 0);
  json after = json::parse(a.Post("/api/click", {{"node", products}}).body);
  const std::int64_t pear = NodeId(after["tree"], {"Shop", "Products", "Pear"});
  ASSERT_GT(pear, 0);
  after = json::parse(a.Post("/api/click", {{"node", pear}}).body);
  EXPECT_EQ(SelectedPath(after["tree"]), "\\Shop\\Products\\Pear");
  EXPECT_EQ(after["events"], json::parse(R"([{"seq": 2, "type": "log", "logType": "View",
                                              "text": "Shop\\Products\\Pear"}])"));

  // b clicks Products only: its page lists both products, a's stays Pear.
  const json b_start = b.State();
  const json b_after =
      json::parse(b.Post("/api/click", {{"node", NodeId(b_start["tree"], {"Shop", "Products"})}}).body);
  EXPECT_EQ(SelectedPath(b_after["tree"]), "\\Shop\\Products");
  EXPECT_EQ(SelectedPath(a.State()["tree"]), "\\Shop\\Products\\Pear");
  EXPECT_EQ(a.Get("/site/oReport.htm").body, pear_page);
  const std::string b_page = b.Get("/site/oReport.htm").body;
  EXPECT_NE(b_page.find("All products"), std::string::npos);
  EXPECT_EQ(b_page.find("Pear\r\n<p id='TTL002'"), std::string::npos);

  const std::string folder_a = folder_of(a);
  const std::string folder_b = folder_of(b);
  EXPECT_NE(folder_a, folder_b);
  EXPECT_EQ(ReadFile(folder_a + "/oReport.htm"), pear_page);
  // The session folders are copies of the site folder without its links.
  EXPECT_EQ(ReadFile(folder_b + "/img/a.txt"), "inside");
  EXPECT_FALSE(fs::exists(fs::symlink_status(folder_b + "/link.txt")));
}

TEST_F(ServeTest, SessionsKeepTheirOwnTreesPagesAndFolders) {
  FixedClock clock(MakeDate(DateParts{2026, 12, 5, 14, 5, 9}));
  Start();
  CheckIsolation(Open(), Open(), kPearPage, [this](const Browser& b) { return FolderOf(b); });
}

TEST_F(ServeTest, SessionsKeepTheirOwnTreesPagesAndFoldersOnPostgres) {
  SetUpDatabase(Backend::kPostgreSQL);
  if (!database_) return;
  FixedClock clock(MakeDate(DateParts{2026, 12, 5, 14, 5, 9}));
  Start();
  // PostgreSQL folds the unquoted column names to lower case.
  std::string page = kPearPage;
  page.replace(page.find("Name: "), 1, "n");
  page.replace(page.find("Price: "), 1, "p");
  CheckIsolation(Open(), Open(), page, [this](const Browser& b) { return FolderOf(b); });
}

TEST_F(ServeTest, TheCookieIsSecretHttpOnlyAndStrict) {
  Start();
  Browser browser(server_->Port());
  const http::RawResponse page = browser.Get("/");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.Header("Set-Cookie"), "");  // the page starts no session
  EXPECT_EQ(page.Header("Content-Security-Policy").rfind("default-src 'self';", 0), 0u);
  EXPECT_EQ(page.Header("X-Frame-Options"), "SAMEORIGIN");
  EXPECT_EQ(browser.Get("/api/state").status, 401);

  const http::RawResponse started = browser.Post("/api/session");
  EXPECT_EQ(started.status, 200);
  EXPECT_EQ(started.Header("Set-Cookie"),
            std::string("zarel_session=") + browser.cookie + "; Path=/; HttpOnly; SameSite=Strict");
  EXPECT_TRUE(LooksLikeSessionId(browser.cookie));
  // The page and the state keep the session; a made-up id reaches none.
  EXPECT_EQ(browser.Get("/").Header("Set-Cookie"), "");
  EXPECT_EQ(browser.Get("/api/state").status, 200);
  browser.cookie = std::string(64, 'a');
  EXPECT_EQ(browser.Get("/api/state").status, 401);
  EXPECT_EQ(browser.Get("/site/fp.htm").status, 401);
  EXPECT_EQ(server_->Sessions().Count(), 1);
}

TEST_F(ServeTest, FilesComeOnlyFromTheSessionsOwnFolder) {
  Start();
  Browser browser = Open();
  Browser other = Open();
  const std::string folder = FolderOf(browser);
  // A link planted in the session's folder that leads out of it.
  fs::create_symlink(site_.PathOf("secret.txt"), folder + "/planted.txt");
  fs::create_symlink(FolderOf(other), folder + "/other");

  const std::vector<std::pair<std::string, int>> cases = {
      {"/site/img/a.txt", 200},
      {"/site/fp.htm", 200},
      {"/site/../secret.txt", 404},
      {"/site/%2e%2e/secret.txt", 404},
      {"/site/img/../../secret.txt", 404},
      {"/site/img/%2E%2E/%2e%2e/secret.txt", 404},
      {"/site/./fp.htm", 404},
      {"/site//etc/passwd", 404},
      {"/site/%2fetc%2fpasswd", 404},
      {"/site/link.txt", 404},     // the site's link was not copied
      {"/site/planted.txt", 404},  // a link out of the folder is not followed
      {"/site/other/fp.htm", 404}, // nor one into another session's folder
      {"/site/img", 404},          // folders are not files
      {"/site/fp.htm%00.txt", 404},
      {"/site/nothing.htm", 404},
      {"/site/%252e%252e/secret.txt", 404},  // decoded once: a name "%2e%2e"
      {"/site/img%5c..%5c..%5csecret.txt", 404},
      {"/site/..%5csecret.txt", 404},
      {"/site/%zz", 404},                    // a malformed escape
      {"/site/img/a.txt%", 404},
      {"/site/%69mg/%61.txt", 200},          // escapes of plain letters are fine
      {"/site/img/a.txt?download=1", 200},
  };
  for (const auto& [path, status] : cases) {
    const http::RawResponse result = browser.Get(path);
    EXPECT_EQ(result.status, status) << path;
    EXPECT_EQ(result.body.find("outside"), std::string::npos) << path;
  }
  // Without a session nothing is served.
  Browser stranger(server_->Port());
  EXPECT_EQ(stranger.Get("/site/fp.htm").status, 401);
}

TEST_F(ServeTest, PostsFromOtherOriginsAreRefusedAndChangeNothing) {
  Start();
  Browser browser = Open();
  const json start = browser.State();
  const std::string body =
      json{{"node", NodeId(start["tree"], {"Shop", "Products"})}}.dump();
  const std::string own = browser.Origin();
  struct Case {
    std::string header;
    std::string type;
    int status;
  };
  const std::vector<Case> cases = {
      {"Origin: http://evil.example", "application/json", 403},
      {"Origin: null", "application/json", 403},
      {"Origin: http://127.0.0.1:1", "application/json", 403},
      {"Referer: http://evil.example/page", "application/json", 403},
      {"Referer: " + own + ".evil.example/", "application/json", 403},
      {"Sec-Fetch-Site: cross-site", "application/json", 403},
      {"Sec-Fetch-Site: same-site", "application/json", 403},
      {"Origin: " + own, "text/plain", 415},
      {"Origin: " + own, "application/x-www-form-urlencoded", 415},
  };
  for (const Case& c : cases) {
    const http::RawResponse result = browser.PostWith("/api/click", body, c.type, {c.header});
    EXPECT_EQ(result.status, c.status) << c.header << " " << c.type;
    EXPECT_EQ(browser.State()["tree"], start["tree"]);
  }
  // From the page itself, or from a program that sends no Origin, it works.
  EXPECT_EQ(browser.PostWith("/api/click", body, "application/json", {"Referer: " + own + "/"}).status, 200);
  EXPECT_EQ(browser.PostWith("/api/click", body, "application/json",
                             {"Origin: https://127.0.0.1:" + std::to_string(server_->Port()),
                              "Sec-Fetch-Site: same-origin"}).status,
            200);
  EXPECT_EQ(browser.PostWith("/api/click", body, "application/json; charset=utf-8", {}).status, 200);
  EXPECT_EQ(browser.Post("/api/refresh").status, 200);
}

TEST_F(ServeTest, RequestsNamingAnotherHostAreRefused) {
  Start();
  Browser browser(server_->Port());
  for (const char* host : {"evil.example", "evil.example:80", "127.0.0.1.evil.example", "10.0.0.1"}) {
    const http::RawResponse result = browser.Get("/", {std::string("Host: ") + host});
    EXPECT_EQ(result.status, 403) << host;
    EXPECT_EQ(browser.PostWith("/api/session", "{}", "application/json", {std::string("Host: ") + host}).status,
              403)
        << host;
  }
  for (const char* host : {"localhost:8080", "127.0.0.1", "[::1]:8080"}) {
    EXPECT_EQ(browser.Get("/", {std::string("Host: ") + host}).status, 200) << host;
  }
  EXPECT_EQ(server_->Sessions().Count(), 0);
}

TEST_F(ServeTest, EveryAnswerHasAnExactTypeAndNoSniffing) {
  Start();
  Browser browser = Open();
  Browser stranger(server_->Port());
  const std::string big(ServeLimits().max_body_bytes + 1, ' ');
  struct Case {
    std::function<http::RawResponse()> request;
    int status;
    std::string type;
  };
  const std::vector<Case> cases = {
      {[&] { return browser.Get("/"); }, 200, "text/html; charset=utf-8"},
      {[&] { return browser.Get("/app.js"); }, 200, "text/javascript; charset=utf-8"},
      {[&] { return browser.Get("/app.css"); }, 200, "text/css; charset=utf-8"},
      {[&] { return browser.Get("/api/state"); }, 200, "application/json"},
      {[&] { return browser.Get("/site/fp.htm"); }, 200, "text/html; charset=utf-8"},
      {[&] { return browser.Get("/site/circle.gif"); }, 200, "image/gif"},
      {[&] { return browser.Get("/nothing"); }, 404, "text/plain; charset=utf-8"},
      {[&] { return browser.Get("/site/none.gif"); }, 404, "text/plain; charset=utf-8"},
      {[&] { return stranger.Get("/api/state"); }, 401, "application/json"},
      {[&] { return browser.Post("/api/click", {{"node", "x"}}); }, 400, "application/json"},
      {[&] { return browser.Post("/api/click", {{"node", 99999}}); }, 409, "application/json"},
      {[&] { return browser.PostWith("/api/click", "{", "application/json", {}); }, 400, "application/json"},
      {[&] { return browser.PostWith("/api/click", big, "application/json", {}); }, 413, "text/plain; charset=utf-8"},
      {[&] { return browser.Get("/" + std::string(9000, 'a')); }, 404, "text/plain; charset=utf-8"},
      {[&] { return browser.Get("/" + std::string(20000, 'a')); }, 431, "text/plain; charset=utf-8"},
      {[&] { return browser.PostWith("/api/state", "{}", "application/json", {}); }, 405, "text/plain; charset=utf-8"},
      {[&] { return browser.PostWith("/api/session", "[]", "application/json", {}); }, 400, "application/json"},
      {[&] { return browser.PostWith("/api/click", "{}", "text/plain", {}); }, 415, "text/plain; charset=utf-8"},
      {[&] { return browser.Get("/", {"Host: evil.example"}); }, 403, "text/plain; charset=utf-8"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const http::RawResponse result = cases[i].request();
    EXPECT_EQ(result.status, cases[i].status) << "case " << i;
    EXPECT_EQ(result.Header("Content-Type"), cases[i].type) << "case " << i;
    EXPECT_EQ(result.Header("X-Content-Type-Options"), "nosniff") << "case " << i;
    EXPECT_FALSE(result.body.empty()) << "case " << i;
  }
}

TEST_F(ServeTest, SaveprintAndPreviewTellTheFrontEndWhatToDo) {
  Start();
  Browser browser = Open();
  const json start = browser.State();
  browser.Post("/api/click", {{"node", NodeId(start["tree"], {"Shop", "Products"})}});
  for (const std::string& command : std::vector<std::string>{"save", "print", "preview"}) {
    const json answer = json::parse(browser.Post("/api/" + command).body);
    EXPECT_EQ(answer["action"], (json{{"command", command}, {"url", "/site/oReport.htm"}})) << command;
    ASSERT_EQ(answer["events"].size(), 1u) << command;
    EXPECT_EQ(answer["events"][0]["type"], "log");
    EXPECT_EQ(answer["events"][0]["text"], "Shop\\Products");
  }
  EXPECT_EQ(json::parse(browser.Post("/api/save").body)["events"][0]["logType"], "Save");
  const http::RawResponse download = browser.Get("/site/oReport.htm?download=1");
  EXPECT_EQ(download.Header("Content-Disposition"), "attachment; filename=\"oReport.htm\"");

  // The page shown has gone: the command fails as the control reports it.
  fs::remove(FolderOf(browser) + "/oReport.htm");
  const json failed = json::parse(browser.Post("/api/print").body);
  EXPECT_EQ(failed["action"], nullptr);
  EXPECT_EQ(failed["events"], json::parse(R"([{"seq": 6, "type": "message",
                                              "text": "Print Command Error: File not found"}])"));
  EXPECT_EQ(browser.Post("/api/unknown").status, 404);
}

TEST_F(ServeTest, ExpandingAndStaleNodes) {
  Start();
  Browser browser = Open();
  json state = browser.State();
  const std::int64_t shop = NodeId(state["tree"], {"Shop"});
  const std::int64_t products = NodeId(state["tree"], {"Shop", "Products"});
  EXPECT_EQ(state["tree"][0]["children"][0]["imageUrl"], "/site/tree2.gif");
  EXPECT_EQ(state["tree"][0]["imageUrl"], nullptr);

  // The expander only folds the branch: no page, no event.
  state = json::parse(browser.Post("/api/expand", {{"node", shop}, {"expanded", false}}).body);
  EXPECT_FALSE(state["tree"][0]["expanded"].get<bool>());
  EXPECT_TRUE(state["events"].empty());
  EXPECT_EQ(state["page"]["url"], "/site/fp.htm");

  // Clicking Products, then Staff only, prunes the products: their ids no
  // longer answer, and never name another node.
  state = json::parse(browser.Post("/api/click", {{"node", products}}).body);
  const std::int64_t apple = NodeId(state["tree"], {"Shop", "Products", "Apple"});
  browser.Post("/api/click", {{"node", NodeId(state["tree"], {"Shop", "Staff only"})}});
  const http::RawResponse stale = browser.Post("/api/click", {{"node", apple}});
  EXPECT_EQ(stale.status, 409);
  EXPECT_EQ(SelectedPath(json::parse(stale.body)["tree"]), "\\Shop\\Staff only");
  state = json::parse(browser.Post("/api/click", {{"node", products}}).body);
  EXPECT_NE(NodeId(state["tree"], {"Shop", "Products", "Apple"}), apple);
  EXPECT_EQ(NodeId(state["tree"], {"Shop", "Products"}), products);
}

TEST_F(ServeTest, IdleSessionsExpireAndTheirFoldersGo) {
  ServeOptions options = Options();
  options.session_timeout = 1;
  Start(options);
  Browser idle = Open();
  Browser busy = Open();
  const std::string idle_folder = FolderOf(idle);
  const std::string busy_folder = FolderOf(busy);
  ASSERT_TRUE(fs::is_directory(idle_folder));
  // busy keeps using its session while idle waits.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (fs::exists(idle_folder) && std::chrono::steady_clock::now() < until) {
    EXPECT_EQ(busy.Get("/api/state").status, 200);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  EXPECT_FALSE(fs::exists(idle_folder));
  EXPECT_TRUE(fs::is_directory(busy_folder));
  EXPECT_EQ(idle.Get("/api/state").status, 401);
  EXPECT_EQ(idle.Post("/api/refresh").status, 401);
  // Opening the page again starts a new session (its script asks for one).
  EXPECT_EQ(idle.Get("/").status, 200);
  EXPECT_EQ(idle.Post("/api/session").status, 200);
  EXPECT_EQ(idle.Get("/api/state").status, 200);
}

TEST_F(ServeTest, ABrowserBeyondTheBoundIsAskedToComeBackLater) {
  ServeOptions options = Options();
  options.max_sessions = 2;
  Start(options);
  Browser first = Open();
  Browser second = Open();
  Browser third(server_->Port());
  EXPECT_EQ(third.Get("/").status, 200);  // the page itself is there
  const http::RawResponse full = third.Post("/api/session");
  EXPECT_EQ(full.status, 503);
  EXPECT_EQ(full.Header("Content-Type"), "application/json");
  EXPECT_EQ(full.Header("Retry-After"), "60");
  EXPECT_EQ(json::parse(full.body),
            (json{{"error", "zarel serve is already serving as many sessions as it may (2). Try again in a few "
                            "minutes, when an idle session has expired."}}));
  EXPECT_EQ(full.Header("Set-Cookie"), "");
  // The sessions there go on; when one ends, the newcomer gets its place.
  EXPECT_EQ(first.Get("/api/state").status, 200);
  server_->Sessions().End(second.cookie);
  EXPECT_EQ(third.Post("/api/session").status, 200);
  EXPECT_EQ(third.Get("/api/state").status, 200);
}

TEST_F(ServeTest, SessionsWorkInParallel) {
  ServeOptions options = Options();
  Start(options);
  constexpr int kUsers = 6;
  std::vector<std::thread> users;
  std::atomic<int> wrong{0};
  for (int user = 0; user < kUsers; ++user) {
    users.emplace_back([&, user] {
      Browser browser = Open();
      const std::string product = user % 2 == 0 ? "Apple" : "Pear";
      for (int round = 0; round < 10; ++round) {
        json state = browser.State();
        state = json::parse(browser.Post("/api/click", {{"node", NodeId(state["tree"], {"Shop", "Products"})}}).body);
        state = json::parse(browser.Post("/api/click", {{"node", NodeId(state["tree"], {"Shop", "Products", product})}}).body);
        const std::string page = browser.Get("/site/oReport.htm").body;
        if (page.find("<p class=mh>" + product + "\r\n") == std::string::npos) ++wrong;
      }
    });
  }
  for (std::thread& user : users) user.join();
  EXPECT_EQ(wrong.load(), 0);
}

// The database links keep what they prepared between clicks, never what
// they read: a click after another program changed the data, a table's
// columns or a procedure's body shows the database as it is then.
TEST_F(ServeTest, EachClickShowsTheDatabaseAsItIsThen) {
  Start(Options());
  Browser browser = Open();
  const auto products_page = [&browser] {
    const json state = browser.State();
    const json after =
        json::parse(browser.Post("/api/click", {{"node", NodeId(state["tree"], {"Shop", "Products"})}}).body);
    EXPECT_EQ(SelectedPath(after["tree"]), "\\Shop\\Products");
    return browser.Get("/site/oReport.htm").body;
  };
  std::string page = products_page();
  EXPECT_NE(page.find("Pear"), std::string::npos);
  EXPECT_EQ(products_page(), page);

  database_->Exec("UPDATE Product SET Name = 'Quince' WHERE ID = 2");
  page = products_page();
  EXPECT_NE(page.find("Quince"), std::string::npos);
  EXPECT_EQ(page.find("Pear"), std::string::npos);

  database_->Exec(
      "ALTER TABLE Product ADD COLUMN Stock INTEGER DEFAULT 17;"
      "UPDATE XProc SET Body = 'SELECT * FROM Product ORDER BY ID' WHERE Name = 'ListProducts'");
  page = products_page();
  EXPECT_NE(page.find("Stock"), std::string::npos);
  EXPECT_NE(page.find("17"), std::string::npos);

  database_->Exec("ALTER TABLE Product DROP COLUMN Price");
  page = products_page();
  EXPECT_NE(page.find("Stock"), std::string::npos);
  EXPECT_EQ(page.find("Price"), std::string::npos);
}

TEST_F(ServeTest, SessionsLoadTheirControlFromTheSavedForm) {
  // A form saved without ActivePort 80: the control refuses every query.
  std::ofstream(site_.PathOf("closed.form")) << "ZarelForm 1\nBegin Zarel Zarel1\nEnd\n";
  ServeOptions options = Options();
  options.form = site_.PathOf("closed.form");
  Start(options);
  Browser browser = Open();
  const json state = browser.State();
  ASSERT_FALSE(state["events"].empty());
  EXPECT_EQ(state["events"][0]["text"], "Please set ActivePort to 80");
  server_->Stop();

  std::ofstream(site_.PathOf("open.form")) << "ZarelForm 1\nBegin Zarel Zarel1\n  ActivePort = 80\nEnd\n";
  options.form = site_.PathOf("open.form");
  Start(options);
  Browser other = Open();
  const json open = other.State();
  EXPECT_TRUE(open["events"].empty());
  EXPECT_GT(NodeId(open["tree"], {"Shop", "Products"}), 0);
}

TEST_F(ServeTest, TextsThatAreNoUtf8StillGiveValidJson) {
  // A product name with a byte that is no UTF-8: the tree still arrives.
  database_->Exec("INSERT INTO Product VALUES (3, CAST(X'4361FE' AS TEXT), 5)");
  Start();
  Browser browser = Open();
  const json start = browser.State();
  const http::RawResponse answer =
      browser.Post("/api/click", {{"node", NodeId(start["tree"], {"Shop", "Products"})}});
  EXPECT_EQ(answer.status, 200);
  const json state = json::parse(answer.body);
  EXPECT_GT(NodeId(state["tree"], {"Shop", "Products", "Ca\xEF\xBF\xBD"}), 0);
}

TEST_F(ServeTest, InDataAccessMode2TheServerAnswersTheQueries) {
  ServeOptions options = Options();
  options.display.damode = 2;
  Start(options);
  Browser browser = Open();
  const json start = browser.State();
  const json answer = json::parse(
      browser.Post("/api/click", {{"node", NodeId(start["tree"], {"Shop", "Products"})}}).body);
  EXPECT_EQ(answer["events"][0], (json{{"seq", answer["events"][0]["seq"]}, {"type", "provide"},
                                       {"text", "EXEC ListProducts"}}));
  EXPECT_GT(NodeId(answer["tree"], {"Shop", "Products", "Pear"}), 0);
  EXPECT_NE(browser.Get("/site/oReport.htm").body.find("All products"), std::string::npos);
}

TEST_F(ServeTest, ASavedFormThatCannotBeReadStopsTheServerFromStarting) {
  ServeOptions options = Options();
  options.form = site_.PathOf("missing.form");
  EXPECT_EQ(ErrorNumberOf([&] { WebServer server(options); }), 53);
  std::ofstream(site_.PathOf("bad.form")) << "not a form\n";
  options.form = site_.PathOf("bad.form");
  EXPECT_EQ(ErrorNumberOf([&] { WebServer server(options); }), 321);
}

TEST_F(ServeTest, TheCommandRefusesWhatItCannotServe) {
  Start();  // holds a port, so that another server cannot have it
  const std::string busy = std::to_string(server_->Port());
  const std::string site = site_.PathOf("site");
  const std::string connection = database_->ConnectionString();
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string error;
  };
  const std::vector<Case> cases = {
      {{"--site", site, "--port", "70000"}, 2, "--port: Value 70000 not in range 0 to 65535"},
      {{"--site", site, "--max-sessions", "0"}, 2, "--max-sessions: Value 0 not in range 1 to 100000"},
      {{"--site", site_.PathOf("none")}, 1, "zarel: site folder '" + site_.PathOf("none") + "' does not exist\n"},
      {{"--site", site, "--form", site_.PathOf("none.form")}, 1, "zarel: "},
      {{"--site", site, "--role", "abc"}, 2, "zarel: the control refused a setting: Type mismatch\n"},
      {{"--site", site, "--port", busy}, 1, "zarel: cannot listen on 127.0.0.1 port " + busy},
      {{"--site", site, "--pool-size", "-1"}, 2, "--pool-size: Value -1 not in range 0 to 10000"},
      {{"--site", site, "--pool-idle", "0"}, 2, "--pool-idle: Value 0 not in range"},
      {{"--site", site, "--pool-wait", "x"}, 2, "--pool-wait"},
      {{"--site", site, "--query-timeout", "-2"}, 2, "--query-timeout: Value -2 not in range"},
      {{"--site", site, "--lock-timeout", "forever"}, 2, "--lock-timeout"},
      {{"--site", site, "--statements-kept", "-1"}, 2, "--statements-kept: Value -1 not in range 0 to 10000"},
      {{"--site", site, "--statements-kept", "10001"}, 2, "--statements-kept: Value 10001 not in range"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> words = {"serve", connection};
    words.insert(words.end(), c.arguments.begin(), c.arguments.end());
    const zarel::testing::CommandRun run = zarel::testing::Zarel(words);
    EXPECT_EQ(run.status, c.status) << c.arguments[2 % c.arguments.size()];
    EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  // Nothing is left behind in the work folders.
  EXPECT_EQ(server_->Sessions().Count(), 0);

  // The database settings are the process's from the start: the pool as
  // large as the reads that can run at once (here 8 threads, fewer than the
  // 32 sessions), the bounds as given.
  const DatabaseSettings saved = CurrentDatabaseSettings();
  const testing::CommandRun run =
      testing::Zarel({"serve", connection, "--site", site, "--port", busy, "--threads", "8", "--query-timeout",
                      "2.5", "--lock-timeout", "0", "--pool-idle", "7", "--pool-wait", "0.5",
                      "--statements-kept", "5"});
  EXPECT_EQ(run.status, 1);
  const DatabaseSettings applied = CurrentDatabaseSettings();
  ApplyDatabaseSettings(saved);
  EXPECT_EQ(applied.pool_size, 8);
  EXPECT_EQ(applied.statement_time_limit, std::chrono::milliseconds(2500));
  EXPECT_EQ(applied.lock_wait, std::chrono::milliseconds(0));
  EXPECT_EQ(applied.pool_idle, std::chrono::milliseconds(7000));
  EXPECT_EQ(applied.pool_wait, std::chrono::milliseconds(500));
  EXPECT_EQ(applied.statements_kept, 5);
}

// With --diagnose the message pane gets the database layer's reason after
// each read that failed, as an event of type "reason"; without it, none.
TEST_F(ServeTest, DiagnoseAddsTheReasonOfEachFailedRead) {
  database_->Exec("INSERT INTO XWeb VALUES (9, 2, 0, 'Broken', 'NoSuchList', NULL, 'table', NULL, NULL)");
  for (const bool diagnose : {true, false}) {
    SCOPED_TRACE(diagnose ? "diagnosed" : "plain");
    ServeOptions options = Options();
    options.diagnose = diagnose;
    Start(options);
    Browser browser = Open();
    const json start = browser.State();
    const json answer = json::parse(
        browser.Post("/api/click", {{"node", NodeId(start["tree"], {"Shop", "Products"})}}).body);
    std::vector<std::string> texts;
    for (const json& event : answer["events"]) {
      texts.push_back(event["type"].get<std::string>() + ": " + event["text"].get<std::string>());
    }
    std::vector<std::string> expected = {
        "message: Unable to Access Data for the SQL : EXEC NoSuchList",
        "reason: Could not find stored procedure 'NoSuchList'.",
        "message: Error Reading Data From Database"};
    if (!diagnose) expected.erase(expected.begin() + 1);
    ASSERT_GE(texts.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + static_cast<long>(expected.size())),
              expected);
    server_->Stop();
    server_.reset();
  }
}

// zarel serve does not start on a report database it cannot open: it says
// why, in the driver's words, and exits 1.
TEST_F(ServeTest, ADatabaseThatCannotBeOpenedStopsTheServerFromStarting) {
  std::ofstream(site_.PathOf("notes.db")) << "these are notes, not a database, long enough to be read";
  std::vector<std::pair<std::string, std::string>> cases = {
      {"sqlite:" + site_.PathOf("none.db"), "does not exist"},
      {"sqlite:" + site_.PathOf("notes.db"), "not a database"},
  };
  const std::string url = testing::GetPostgresUrl();
  if (!url.empty()) {
    const std::size_t at = url.find('@');
    const std::size_t colon = url.rfind(':', at);
    cases.push_back({url.substr(0, colon + 1) + "wrong-password" + url.substr(at),
                     "password authentication failed"});
    cases.push_back({"postgresql://zarel@no-such-host.invalid:5432/reports", "no-such-host.invalid"});
  }
  for (const auto& [connection, reason] : cases) {
    SCOPED_TRACE(connection);
    const testing::CommandRun run =
        testing::Zarel({"serve", connection, "--site", site_.PathOf("site"), "--port", "0"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("zarel: cannot open the report database: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace zarel::serve
