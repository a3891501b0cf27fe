// What the web host's tests share: a small shop site in a real database
// (SQLite, and PostgreSQL when the test server is there), a server started
// in the test's process on a free loopback port, and browsers that talk to
// it over real sockets, keeping their session cookie. Included by the
// serve tests only.
#ifndef ZAREL_APPS_TESTING_SERVE_TEST_FIXTURE_H_
#define ZAREL_APPS_TESTING_SERVE_TEST_FIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "apps/http/raw_client.h"
#include "apps/serve/serve_http.h"
#include "apps/testing/http_test_server.h"
#include "zarel/testing/databases.h"
#include "zarel/testing/files.h"

namespace zarel::serve::testing {

using namespace zarel::testing;
using nlohmann::json;
namespace fs = std::filesystem;

// Shop (fixed) > Products (variable: one leaf child per product) and Staff
// only (a leaf for roles 2 and 5).
inline constexpr const char* kShopSite = R"(
CREATE TABLE XNav (ID INTEGER, Caption TEXT, Kind TEXT, ParentID INTEGER,
                   ProcName TEXT, Param TEXT, Image INTEGER, Roles TEXT);
INSERT INTO XNav VALUES (1, 'Shop', 'fixed', 0, NULL, NULL, NULL, NULL);
INSERT INTO XNav VALUES (2, 'Products', 'variable', 1, 'ListProducts', NULL, 2, NULL);
INSERT INTO XNav VALUES (3, 'Product', 'leaf', 2, NULL, NULL, 3, NULL);
INSERT INTO XNav VALUES (4, 'Staff only', 'leaf', 1, NULL, NULL, NULL, '2:5');
CREATE TABLE XWeb (CompID INTEGER, NodeID INTEGER, Pos INTEGER, Caption TEXT,
                   ProcName TEXT, Param TEXT, CompType TEXT, Opt1 TEXT, Opt2 TEXT);
INSERT INTO XWeb VALUES (1, 2, 1, 'All products', 'ListProducts', NULL, 'table', '2', NULL);
INSERT INTO XWeb VALUES (2, 3, 1, 'Product', 'OneProduct', 'lkey', 'header', NULL, NULL);
CREATE TABLE XScr (ID INTEGER, Name TEXT, Html TEXT);
INSERT INTO XScr VALUES (1, 'front', '<html><body><h1>Shop</h1></body></html>');
INSERT INTO XScr VALUES (2, 'page', '<html><head><title>Shop</title></head><body><div>');
CREATE TABLE XProc (Name TEXT, Body TEXT);
INSERT INTO XProc VALUES ('ListProducts', 'SELECT ID, Name, Price FROM Product ORDER BY ID');
INSERT INTO XProc VALUES ('OneProduct', 'SELECT Name, Price FROM Product WHERE ID = ?1');
CREATE TABLE Product (ID INTEGER, Name TEXT, Price INTEGER);
INSERT INTO Product VALUES (1, 'Apple', 3);
INSERT INTO Product VALUES (2, 'Pear', 4);
)";

// One browser: each request on a connection of its own from a loopback
// address, with the session cookie it was given.
class Browser {
 public:
  explicit Browser(int port, std::string source = "127.0.0.1") : port_(port), source_(std::move(source)) {}

  http::RawResponse Get(const std::string& path, std::vector<std::string> headers = {}) {
    return Send(MakeRequest("GET", path, WithUsual(std::move(headers))));
  }
  // A POST as the page itself sends it: JSON, with this server's Origin.
  http::RawResponse Post(const std::string& path, const json& body = json::object()) {
    return PostWith(path, body.dump(), "application/json", {"Origin: " + Origin()});
  }
  http::RawResponse PostWith(const std::string& path, const std::string& body, const std::string& type,
                             std::vector<std::string> headers) {
    headers.push_back("Content-Type: " + type);
    return Send(MakeRequest("POST", path, WithUsual(std::move(headers)), body));
  }
  // Starts a session as the page's script does; answers its state.
  json Start() {
    const http::RawResponse started = Post("/api/session");
    EXPECT_EQ(started.status, 200) << started.body;
    return json::parse(started.body);
  }
  json State() { return json::parse(Get("/api/state").body); }
  std::string Origin() const { return "http://127.0.0.1:" + std::to_string(port_); }

  std::string cookie;

 private:
  // Host with the port, as browsers send it, unless the test names one;
  // the cookie when there is one.
  std::vector<std::string> WithUsual(std::vector<std::string> headers) const {
    bool host = false;
    for (const std::string& line : headers) host = host || line.rfind("Host:", 0) == 0;
    if (!host) headers.push_back("Host: 127.0.0.1:" + std::to_string(port_));
    if (!cookie.empty()) headers.push_back(std::string("Cookie: ") + kSessionCookie + "=" + cookie);
    return headers;
  }
  http::RawResponse Send(const std::string& request) {
    http::RawResponse answer = AskOnce(port_, request, source_);
    const std::string set_cookie(answer.Header("Set-Cookie"));
    if (!set_cookie.empty()) {
      const std::size_t start = set_cookie.find('=') + 1;
      cookie = set_cookie.substr(start, set_cookie.find(';') - start);
    }
    return answer;
  }

  int port_;
  std::string source_;
};

// The id of the node whose texts from the top down are path; -1 if none.
inline std::int64_t NodeId(const json& nodes, const std::vector<std::string>& path, std::size_t level = 0) {
  for (const json& node : nodes) {
    if (node["text"] != path[level]) continue;
    if (level + 1 == path.size()) return node["id"].get<std::int64_t>();
    return NodeId(node["children"], path, level + 1);
  }
  return -1;
}

// The texts of the selected node and its path, for comparing trees.
inline std::string SelectedPath(const json& nodes, const std::string& above = "") {
  for (const json& node : nodes) {
    const std::string path = above + "\\" + node["text"].get<std::string>();
    if (node["selected"].get<bool>()) return path;
    const std::string below = SelectedPath(node["children"], path);
    if (!below.empty()) return below;
  }
  return "";
}

class ServeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetUpDatabase(Backend::kSQLite);
    fs::create_directory(site_.PathOf("site"));
    std::ofstream(site_.PathOf("site/circle.gif")) << "GIF89a";
    std::ofstream(site_.PathOf("site/tree2.gif")) << "GIF89a";
    fs::create_directory(site_.PathOf("site/img"));
    std::ofstream(site_.PathOf("site/img/a.txt")) << "inside";
    std::ofstream(site_.PathOf("secret.txt")) << "outside";
    fs::create_symlink(site_.PathOf("secret.txt"), site_.PathOf("site/link.txt"));
  }

  void SetUpDatabase(Backend backend) {
    database_ = MakeTestDatabase(backend);
    if (!database_) GTEST_SKIP() << "no " << BackendName(backend) << " server";
    database_->Exec(kShopSite);
  }

  ServeOptions Options() const {
    ServeOptions options;
    options.connection = database_->ConnectionString();
    options.site = site_.PathOf("site");
    options.port = 0;
    options.display.talking = true;
    options.work_root = work_.Path();
    options.limits.new_sessions_per_minute = 1000;
    return options;
  }

  WebServer& Start(const ServeOptions& options) {
    server_ = std::make_unique<WebServer>(options);
    std::string error;
    EXPECT_TRUE(server_->Bind(error)) << error;
    server_->Start();
    return *server_;
  }
  WebServer& Start() { return Start(Options()); }

  // A browser that started a session, as the page's script does.
  Browser Open(const std::string& source = "127.0.0.1") {
    Browser browser(server_->Port(), source);
    browser.Start();
    return browser;
  }

  // The folder of a browser's session.
  std::string FolderOf(const Browser& browser) {
    const std::shared_ptr<Session> session = server_->Sessions().Find(browser.cookie);
    return session ? session->Folder() : "";
  }

  void TearDown() override {
    if (server_) server_->Stop();
    server_.reset();
  }

  std::unique_ptr<TestDatabase> database_;
  TempFolder site_;
  TempFolder work_;
  std::unique_ptr<WebServer> server_;
};

}  // namespace zarel::serve::testing

#endif  // ZAREL_APPS_TESTING_SERVE_TEST_FIXTURE_H_
