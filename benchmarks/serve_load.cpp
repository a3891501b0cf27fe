// Load program for the web host. Not a test: it prints figures and whether
// they meet their goals.
//
//   serve_load [--seconds S] [--sessions 1,8,32] [--rounds N] [--connection POSTGRESQL]
//
// It creates the demo site in a temporary folder and starts `zarel serve` in
// this process on a free loopback port (the clock fixed, so pages do not
// change from one second to the next). A single session first crawls every
// node of the site, keeping the page each node composes and the order of the
// clicks. Then:
//
// 1. The click through HTTP against the engine's own click, in N alternating
//    rounds (5 by default): the engine's round replays the crawl on a Zarel
//    control in this process, with a headless tree view and browser and its
//    own copy of the site folder, timing each click (the node's page
//    composed and written); the HTTP round replays it in a new session,
//    timing each click from sending POST /api/click until the page it
//    composed has been fetched (GET /site/...). The client reads the page's
//    address from the answer with a plain search; its parsing of the tree
//    (to find the next node) is not counted, as it is not the web host's
//    work. It prints the medians of the rounds, wall time and CPU time (the
//    server's CPU: the process's less the client thread's), and their
//    ratio. Goal: at most 2.
// 2. Load: for each session count, that many clients (one thread and one
//    keep-alive connection each) click random nodes of their own trees for
//    S seconds (10 by default), a click timed as above. It prints clicks per
//    second, the median, 99th percentile and worst click, and how many pages
//    differed from the single-user page of the same node (the dashboard's
//    visit counter, which every view raises, is left out of the
//    comparison), and the server's CPU time per click (the process's less
//    the client threads') with the clicks per second two cores left to the
//    server would carry at that cost. Goal at 32 sessions: at least 1,000
//    clicks per second, the 99th percentile under 50 ms, no click over
//    200 ms, no page different.
//
// 3. With --connection, naming an empty PostgreSQL database: the demo placed
//    there too and served by a second server in this process (the two share
//    the process's database links, as zarel serve's sessions do, the pool
//    sized as zarel serve sizes it). Each session count runs on SQLite, then
//    on PostgreSQL; every PostgreSQL page is checked against the SQLite
//    crawl's page of its node. It prints PostgreSQL's clicks per second as a
//    share of SQLite's (goal: at least half) and the database links each
//    round opened.
//
// Exit status 0 when every page was the single-user page and no click
// failed (the speed goals are printed, not enforced: the machine may be
// busy), 1 otherwise.
#include <pthread.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <future>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include "apps/demo/demo_command.h"
#include "apps/http/raw_client.h"
#include "apps/options/database_options.h"
#include "apps/options/display_options.h"
#include "apps/serve/serve_http.h"
#include "zarel/base/clock.h"
#include "zarel/base/date_time.h"
#include "zarel/control/zarel.h"
#include "zarel/db/database_settings.h"
#include "zarel/hostkit/control_container.h"
#include "zarel/hostkit/headless_browser.h"
#include "zarel/hostkit/headless_tree_view.h"

namespace {

using zarel::http::MakeRequest;
using zarel::http::RawClient;
using zarel::http::RawResponse;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr double kRatioGoal = 2.0;
constexpr double kClicksPerSecondGoal = 1000;
constexpr double kP99GoalMs = 50;
constexpr double kWorstGoalMs = 200;
constexpr int kGoalSessions = 32;

double MsBetween(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double, std::milli>(end - start).count();
}

double CpuMs(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The value at fraction q of the sorted values (0.99: the 99th percentile).
double Quantile(const std::vector<double>& sorted, double q) {
  if (sorted.empty()) return 0;
  const auto index = static_cast<std::size_t>(q * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(index, sorted.size() - 1)];
}

const char* Verdict(bool met) { return met ? "met" : "NOT MET"; }

struct Node {
  std::int64_t id;
  std::string path;
};

// What the client reads of an answer: every node of the tree, with its path
// (texts joined by "\"), in the order the tree lists them, and the number
// of message events. Read by events as a streaming JSON reader meets them,
// without building the whole document (the load's clients read every
// answer, on the same two cores as the server).
class AnswerReader : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, AnswerReader> {
 public:
  std::vector<Node> nodes;
  int messages = 0;

  bool StartObject() {
    // A node is an object in the answer's "tree" list or in the
    // "children" list of a node; an event, one in the "events" list.
    const std::size_t depth = open_.size();
    const bool in_list = depth > 0 && open_.back().array;
    const bool node = in_list && ((depth == 2 && open_.back().key == "tree") ||
                                  (depth > 2 && open_.back().key == "children" && open_[depth - 2].node >= 0));
    const bool event = in_list && depth == 2 && open_.back().key == "events";
    open_.push_back({false, key_, node ? static_cast<long>(nodes.size()) : -1, event});
    if (node) nodes.push_back({0, ""});
    key_.clear();
    return true;
  }
  bool EndObject(rapidjson::SizeType) {
    open_.pop_back();
    return true;
  }
  bool StartArray() {
    open_.push_back({true, key_, -1, false});
    key_.clear();
    return true;
  }
  bool EndArray(rapidjson::SizeType) {
    open_.pop_back();
    return true;
  }
  bool Key(const char* name, rapidjson::SizeType length, bool) {
    key_.assign(name, length);
    return true;
  }
  bool Int(int value) { return Whole(value); }
  bool Uint(unsigned value) { return Whole(value); }
  bool Int64(std::int64_t value) { return Whole(value); }
  bool Uint64(std::uint64_t value) { return Whole(static_cast<std::int64_t>(value)); }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    const Open& in = open_.back();
    const std::string_view value(text, length);
    if (in.node >= 0 && key_ == "text") {
      // The node's parent is the node two levels out (its children list
      // lies between).
      const long parent = open_.size() >= 3 ? open_[open_.size() - 3].node : -1;
      std::string& path = nodes[static_cast<std::size_t>(in.node)].path;
      if (parent >= 0) path = nodes[static_cast<std::size_t>(parent)].path + "\\";
      path += value;
    } else if (in.event && key_ == "type" && value == "message") {
      ++messages;
    }
    return true;
  }
  // Nulls, booleans and fractions are the members nobody reads.
  bool Default() { return true; }

 private:
  struct Open {
    bool array;
    std::string key;  // the member it is the value of
    long node;        // a node of the tree: its index in nodes; -1 otherwise
    bool event;       // an event object
  };
  bool Whole(std::int64_t value) {
    const Open& in = open_.back();
    if (in.node >= 0 && key_ == "id") nodes[static_cast<std::size_t>(in.node)].id = value;
    return true;
  }
  std::vector<Open> open_;
  std::string key_;
};

AnswerReader ReadAnswer(const std::string& body) {
  AnswerReader reader;
  rapidjson::Reader parser;
  rapidjson::StringStream stream(body.c_str());
  if (!parser.Parse(stream, reader)) {
    throw std::runtime_error(std::string("an answer that is not JSON: ") +
                             rapidjson::GetParseError_En(parser.GetParseErrorCode()) + " at byte " +
                             std::to_string(parser.GetErrorOffset()));
  }
  return reader;
}

// The dashboard counts its views; that number is not compared.
std::string Comparable(std::string page) {
  static const std::string kCounter = "Dashboard views: </td><td class=hv>";
  const std::size_t at = page.find(kCounter);
  if (at == std::string::npos) return page;
  const std::size_t digits = at + kCounter.size();
  std::size_t end = digits;
  while (end < page.size() && page[end] >= '0' && page[end] <= '9') ++end;
  page.replace(digits, end - digits, "#");
  return page;
}

// The text of a string member "name" of the JSON object that starts at
// from, found by a plain search (the answers of the web host are compact
// JSON; an escaped quote inside a text cannot look like a member).
std::string MemberText(const std::string& body, std::size_t from, const std::string& name) {
  const std::string key = "\"" + name + "\":\"";
  const std::size_t at = body.find(key, from);
  if (at == std::string::npos) return "";
  const std::size_t start = at + key.size();
  return body.substr(start, body.find('"', start) - start);
}

// The page shown, "URL?n=SERIAL", from a state answer; empty when none.
std::string PageAddress(const std::string& body) {
  const std::size_t page = body.find("\"page\":{");
  if (page == std::string::npos) return "";
  const std::size_t serial = body.find("\"serial\":", page);
  if (serial == std::string::npos) return "";
  const std::size_t digits = serial + 9;
  return MemberText(body, page, "url") + "?n=" +
         body.substr(digits, body.find_first_not_of("0123456789", digits) - digits);
}

// One browser session over one keep-alive connection.
class Client {
 public:
  explicit Client(int port)
      : port_(port),
        host_("Host: 127.0.0.1:" + std::to_string(port)),
        origin_("Origin: http://127.0.0.1:" + std::to_string(port)) {
    Connect();
    const RawResponse started =
        Ask(MakeRequest("POST", "/api/session", {host_, "Content-Type: application/json", origin_}, "{}"));
    if (started.status != 200) throw std::runtime_error("no session: HTTP " + std::to_string(started.status));
    const std::string set_cookie(started.Header("Set-Cookie"));
    cookie_ = "Cookie: " + set_cookie.substr(0, set_cookie.find(';'));
    session_id_ = cookie_.substr(cookie_.find('=') + 1);
    nodes_ = ReadAnswer(started.body).nodes;
    page_ = PageAddress(started.body);
  }

  struct Click {
    std::optional<std::string> page;  // the page composed, if any
    double ms = 0;                    // from the POST to the page read
  };

  // Clicks a node and fetches the page it composed, if any.
  Click ClickNode(std::int64_t id) {
    const auto start = Clock::now();
    const RawResponse answer = Ask(MakeRequest("POST", "/api/click", {host_, "Content-Type: application/json", origin_, cookie_},
                                               "{\"node\":" + std::to_string(id) + "}"));
    if (answer.status != 200) throw std::runtime_error("click: HTTP " + std::to_string(answer.status));
    Click click;
    const std::string page = PageAddress(answer.body);
    if (!page.empty() && page != page_) {
      page_ = page;
      const RawResponse file = Ask(MakeRequest("GET", page, {host_, cookie_}));
      if (file.status != 200) throw std::runtime_error("GET " + page + ": HTTP " + std::to_string(file.status));
      click.page = file.body;
    }
    click.ms = MsBetween(start, Clock::now());
    AnswerReader read = ReadAnswer(answer.body);
    nodes_ = std::move(read.nodes);
    messages_ += read.messages;
    return click;
  }

  const std::vector<Node>& Nodes() const { return nodes_; }
  std::optional<std::int64_t> IdOf(const std::string& path) const {
    for (const Node& node : nodes_) {
      if (node.path == path) return node.id;
    }
    return std::nullopt;
  }
  const std::string& SessionId() const { return session_id_; }
  int Messages() const { return messages_; }

 private:
  void Connect() {
    std::string error;
    std::optional<RawClient> client = RawClient::Connect("127.0.0.1", port_, "127.0.0.1", error);
    if (!client) throw std::runtime_error("cannot connect: " + error);
    connection_.emplace(std::move(*client));
  }
  // One request on the kept-alive connection; a connection the server has
  // closed meanwhile (idle) is opened again once.
  RawResponse Ask(const std::string& request) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (connection_->Send(request)) {
        if (std::optional<RawResponse> answer = connection_->Read(std::chrono::seconds(30))) {
          if (answer->Header("Connection") == "close") Connect();
          return *answer;
        }
      }
      Connect();
    }
    throw std::runtime_error("no answer");
  }

  int port_;
  std::string host_;
  std::string origin_;
  std::optional<RawClient> connection_;
  std::string cookie_;
  std::string session_id_;
  std::vector<Node> nodes_;  // the tree of the last answer
  std::string page_;
  int messages_ = 0;
};

// The single-user pages: every node of the site clicked once, depth first;
// order receives the paths in the order they were clicked.
void Crawl(Client& client, std::map<std::string, std::string>& pages, std::vector<std::string>& order,
           std::size_t& no_page) {
  std::map<std::string, bool> seen;
  bool progress = true;
  while (progress) {
    progress = false;
    const std::vector<Node> nodes = client.Nodes();  // a click replaces the client's list
    for (const Node& node : nodes) {
      if (seen[node.path]) continue;
      seen[node.path] = true;
      progress = true;
      order.push_back(node.path);
      const Client::Click click = client.ClickNode(node.id);
      if (click.page) {
        pages[node.path] = Comparable(*click.page);
      } else {
        ++no_page;
      }
      break;  // the tree changed: list it again
    }
  }
}

// The engine's own click: a Zarel control on a form in run mode, as each
// session of the web host has, beside a headless tree view and browser.
class EngineHost : public zarel::ZarelEvents {
 public:
  EngineHost(const zarel::serve::ServeOptions& options, const std::string& folder) {
    fs::copy(options.site, folder, fs::copy_options::recursive | fs::copy_options::skip_symlinks);
    control_ = std::make_shared<zarel::Zarel>();
    form_.Place("Zarel1", control_);
    control_->Advise(this);
    control_->ConnectionString(options.connection);
    control_->ApplicationFolder(zarel::Variant(fs::canonical(folder).string()));
    zarel::ApplyDisplayOptions(*control_, options.display);
    std::shared_ptr<zarel::TreeView> tree_view = tree_;
    std::shared_ptr<zarel::WebBrowser> browser = browser_;
    control_->SetControls(tree_view, browser);
    control_->RefreshBrowser();
  }
  ~EngineHost() override { control_->Advise(nullptr); }

  // Clicks the node with that path; answers false when there is none.
  bool Click(const std::string& path) {
    zarel::TreeNodeRef found;
    std::vector<std::string> above;
    tree_->Walk([&](const zarel::TreeNodeRef& node, int depth) {
      above.resize(static_cast<std::size_t>(depth));
      const std::string mine = above.empty() ? node->Text() : above.back() + "\\" + node->Text();
      above.push_back(mine);
      if (!found && mine == path) found = node;
    });
    if (!found) return false;
    tree_->Click(found);
    return true;
  }

  void ProvideRecordset(const std::string&, std::shared_ptr<zarel::Recordset>&) override {}
  void ZarelMessage(const std::string& message) override { std::fprintf(stderr, "engine message: %s\n", message.c_str()); }
  void LogIt(const std::string&, const std::string&) override {}

 private:
  zarel::ControlContainer form_{zarel::ControlContainer::Mode::kRun};
  std::shared_ptr<zarel::Zarel> control_;
  std::shared_ptr<zarel::HeadlessTreeView> tree_ = zarel::HeadlessTreeView::Create();
  std::shared_ptr<zarel::HeadlessBrowser> browser_ = zarel::HeadlessBrowser::Create();
};

struct ReplayTimes {
  double wall_ms = 0;
  double cpu_ms = 0;
  int clicks = 0;
};

// The crawl's clicks on the engine in process: only the clicks are timed.
ReplayTimes ReplayOnEngine(const zarel::serve::ServeOptions& options, const std::string& folder,
                           const std::vector<std::string>& order) {
  EngineHost host(options, folder);
  ReplayTimes times;
  for (const std::string& path : order) {
    const auto start = Clock::now();
    const double cpu = CpuMs(CLOCK_THREAD_CPUTIME_ID);
    if (!host.Click(path)) throw std::runtime_error("the engine has no node " + path);
    times.cpu_ms += CpuMs(CLOCK_THREAD_CPUTIME_ID) - cpu;
    times.wall_ms += MsBetween(start, Clock::now());
    ++times.clicks;
  }
  fs::remove_all(folder);
  return times;
}

// The crawl's clicks through HTTP in a new session. CPU: the server's, the
// whole process's less this client thread's.
ReplayTimes ReplayOverHttp(zarel::serve::WebServer& server, const std::vector<std::string>& order) {
  Client client(server.Port());
  ReplayTimes times;
  const double process_before = CpuMs(CLOCK_PROCESS_CPUTIME_ID);
  const double thread_before = CpuMs(CLOCK_THREAD_CPUTIME_ID);
  for (const std::string& path : order) {
    const std::optional<std::int64_t> id = client.IdOf(path);
    if (!id) throw std::runtime_error("the session has no node " + path);
    times.wall_ms += client.ClickNode(*id).ms;
    ++times.clicks;
  }
  times.cpu_ms = (CpuMs(CLOCK_PROCESS_CPUTIME_ID) - process_before) - (CpuMs(CLOCK_THREAD_CPUTIME_ID) - thread_before);
  server.Sessions().End(client.SessionId());
  return times;
}

struct Round {
  long clicks = 0;
  long checked = 0;
  long mismatches = 0;
  long unknown = 0;
  long failures = 0;
  long messages = 0;
  std::vector<double> latencies_ms;
  std::string first_mismatch;
  double client_cpu_ms = 0;  // the client threads' own CPU time
  double server_cpu_ms = 0;  // the process's less the clients'
};

Round Run(zarel::serve::WebServer& server, int sessions, double seconds,
          const std::map<std::string, std::string>& pages) {
  Round round;
  std::mutex mutex;
  std::vector<std::thread> threads;
  std::promise<void> go;
  const std::shared_future<void> started = go.get_future().share();
  std::atomic<int> ready{0};
  for (int user = 0; user < sessions; ++user) {
    threads.emplace_back([&, user] {
      ::pthread_setname_np(::pthread_self(), "load-client");
      Round mine;
      try {
        Client client(server.Port());
        std::mt19937 random(static_cast<unsigned>(user) * 7919u + 17u);
        ++ready;
        started.wait();
        const double cpu_start = CpuMs(CLOCK_THREAD_CPUTIME_ID);
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < deadline) {
          const std::vector<Node>& nodes = client.Nodes();
          const Node node = nodes[std::uniform_int_distribution<std::size_t>(0, nodes.size() - 1)(random)];
          Client::Click click;
          try {
            click = client.ClickNode(node.id);
          } catch (const std::exception& error) {
            if (mine.failures++ == 0) {
              std::lock_guard<std::mutex> lock(mutex);
              std::cerr << "session " << user << ": " << error.what() << "\n";
            }
            continue;
          }
          mine.latencies_ms.push_back(click.ms);
          ++mine.clicks;
          if (!click.page) continue;
          const auto expected = pages.find(node.path);
          if (expected == pages.end()) {
            ++mine.unknown;
            continue;
          }
          ++mine.checked;
          if (Comparable(std::move(*click.page)) != expected->second) {
            ++mine.mismatches;
            if (mine.first_mismatch.empty()) mine.first_mismatch = node.path;
          }
        }
        mine.client_cpu_ms = CpuMs(CLOCK_THREAD_CPUTIME_ID) - cpu_start;
        mine.messages = client.Messages();
        server.Sessions().End(client.SessionId());
      } catch (const std::exception& error) {
        ++ready;
        ++mine.failures;
        std::lock_guard<std::mutex> lock(mutex);
        std::cerr << "session " << user << ": " << error.what() << "\n";
      }
      std::lock_guard<std::mutex> lock(mutex);
      round.clicks += mine.clicks;
      round.checked += mine.checked;
      round.mismatches += mine.mismatches;
      round.unknown += mine.unknown;
      round.failures += mine.failures;
      round.messages += mine.messages;
      round.client_cpu_ms += mine.client_cpu_ms;
      round.latencies_ms.insert(round.latencies_ms.end(), mine.latencies_ms.begin(), mine.latencies_ms.end());
      if (round.first_mismatch.empty()) round.first_mismatch = mine.first_mismatch;
    });
  }
  while (ready < sessions) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const double process_before = CpuMs(CLOCK_PROCESS_CPUTIME_ID);
  go.set_value();
  for (std::thread& thread : threads) thread.join();
  round.server_cpu_ms = CpuMs(CLOCK_PROCESS_CPUTIME_ID) - process_before - round.client_cpu_ms;
  return round;
}

}  // namespace

// The PostgreSQL round of --connection (see the top of this file); answers
// 1 when a page differed or a click failed.
int CompareBackends(zarel::serve::ServeOptions options, zarel::serve::WebServer& sqlite_server,
                    const std::map<std::string, std::string>& pages, const std::string& postgres,
                    const fs::path& work, const std::vector<int>& counts, double seconds) {
  zarel::DemoSite site;
  try {
    site = zarel::CreateDemoSite((work / "demo-postgres").string(), postgres);
  } catch (const std::exception& error) {
    std::cerr << "serve_load: " << error.what() << "\n";
    return 1;
  }
  options.connection = site.connection;
  options.site = site.application_folder;
  zarel::serve::WebServer postgres_server(options);
  std::string error;
  if (!postgres_server.Bind(error)) {
    std::cerr << "serve_load: " << error << "\n";
    return 1;
  }
  postgres_server.Start();
  int status = 0;
  {
    std::map<std::string, std::string> postgres_pages;
    std::vector<std::string> order;
    std::size_t no_page = 0;
    Client single(postgres_server.Port());
    Crawl(single, postgres_pages, order, no_page);
    postgres_server.Sessions().End(single.SessionId());
    if (postgres_pages != pages) {
      std::printf("  the PostgreSQL crawl's pages differ from the SQLite crawl's\n");
      status = 1;
    }
  }
  std::printf("\nPostgreSQL beside SQLite: %g s per round, pool size %d\n", seconds,
              zarel::CurrentDatabaseSettings().pool_size);
  std::printf("%-10s %8s %8s %10s %10s %10s %10s %7s %6s\n", "backend", "sessions", "clicks", "clicks/s", "median ms",
              "worst ms", "different", "failed", "links");
  zarel::serve::WebServer* const servers[] = {&sqlite_server, &postgres_server};
  const char* const names[] = {"SQLite", "PostgreSQL"};
  for (int sessions : counts) {
    double rates[2] = {0, 0};
    for (int b = 0; b < 2; ++b) {
      const std::int64_t opened = zarel::CountDatabaseLinks().opened;
      Round round = Run(*servers[b], sessions, seconds, pages);
      std::sort(round.latencies_ms.begin(), round.latencies_ms.end());
      rates[b] = static_cast<double>(round.clicks) / seconds;
      std::printf("%-10s %8d %8ld %10.1f %10.2f %10.2f %10ld %7ld %6lld\n", names[b], sessions, round.clicks, rates[b],
                  Quantile(round.latencies_ms, 0.5), round.latencies_ms.empty() ? 0 : round.latencies_ms.back(),
                  round.mismatches, round.failures,
                  static_cast<long long>(zarel::CountDatabaseLinks().opened - opened));
      if (round.mismatches > 0) std::printf("  first page that differed: %s\n", round.first_mismatch.c_str());
      if (round.mismatches > 0 || round.failures > 0) status = 1;
    }
    const double share = rates[0] > 0 ? rates[1] / rates[0] : 0;
    std::printf("  PostgreSQL / SQLite clicks per second at %d sessions: %.2f; goal at least 0.5: %s\n", sessions,
                share, Verdict(share >= 0.5));
  }
  postgres_server.Stop();
  return status;
}

int main(int argc, char** argv) {
  double seconds = 10;
  int rounds = 5;
  std::vector<int> counts = {1, 8, 32};
  std::string postgres;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--sessions") == 0 && i + 1 < argc) {
      counts.clear();
      std::stringstream list(argv[++i]);
      for (std::string item; std::getline(list, item, ',');) counts.push_back(std::stoi(item));
    } else if (std::strcmp(argv[i], "--connection") == 0 && i + 1 < argc) {
      postgres = argv[++i];
    } else {
      std::cerr << "usage: serve_load [--seconds S] [--sessions 1,8,32] [--rounds N] [--connection POSTGRESQL]\n";
      return 2;
    }
  }

  const fs::path work = fs::temp_directory_path() / ("zarel-load-" + std::to_string(::getpid()));
  fs::create_directories(work);
  const zarel::DemoSite site = zarel::CreateDemoSite((work / "demo").string());
  zarel::FixedClock clock(zarel::MakeDate(zarel::DateParts{2026, 12, 5, 14, 5, 9}));

  zarel::serve::ServeOptions options;
  options.connection = "sqlite:" + site.database;
  options.site = site.application_folder;
  options.port = 0;
  options.display.talking = true;
  options.max_sessions = 128;
  options.limits.new_sessions_per_minute = 1000000;  // every client starts from 127.0.0.1
  options.work_root = work.string();
  zarel::ApplyDatabaseSettings(
      zarel::DatabaseSettingsFrom(options.database, std::min(options.threads, options.max_sessions)));
  int status = 0;
  {
    zarel::serve::WebServer server(options);
    std::string error;
    if (!server.Bind(error)) {
      std::cerr << "serve_load: " << error << "\n";
      return 1;
    }
    server.Start();

    std::map<std::string, std::string> pages;
    std::vector<std::string> order;
    std::size_t no_page = 0;
    {
      Client single(server.Port());
      Crawl(single, pages, order, no_page);
      server.Sessions().End(single.SessionId());
    }
    std::printf("single-user crawl: %zu nodes with a page, %zu without; %u hardware threads\n\n", pages.size(),
                no_page, std::thread::hardware_concurrency());

    std::vector<double> engine_wall, engine_cpu, http_wall, http_cpu;
    for (int r = 0; r < rounds; ++r) {
      const ReplayTimes engine = ReplayOnEngine(options, (work / ("engine" + std::to_string(r))).string(), order);
      const ReplayTimes http = ReplayOverHttp(server, order);
      engine_wall.push_back(engine.wall_ms / engine.clicks);
      engine_cpu.push_back(engine.cpu_ms / engine.clicks);
      http_wall.push_back(http.wall_ms / http.clicks);
      http_cpu.push_back(http.cpu_ms / http.clicks);
    }
    const double wall_ratio = Median(http_wall) / Median(engine_wall);
    const double cpu_ratio = Median(http_cpu) / Median(engine_cpu);
    std::printf("one click, %zu clicks a round, medians of %d alternating rounds:\n", order.size(), rounds);
    std::printf("  engine in process:  %.3f ms wall, %.3f ms CPU\n", Median(engine_wall), Median(engine_cpu));
    std::printf("  through HTTP:       %.3f ms wall, %.3f ms server CPU (the page fetched too)\n", Median(http_wall),
                Median(http_cpu));
    std::printf("  ratio: %.2f wall, %.2f CPU; goal at most %.1f: %s (wall), %s (CPU)\n\n", wall_ratio, cpu_ratio,
                kRatioGoal, Verdict(wall_ratio <= kRatioGoal), Verdict(cpu_ratio <= kRatioGoal));

    std::printf("load: %g s per session count\n", seconds);
    std::printf("%8s %8s %10s %10s %8s %10s %8s %10s %7s %8s %10s %10s\n", "sessions", "clicks", "clicks/s",
                "median ms", "p99 ms", "worst ms", "checked", "different", "failed", "messages", "server CPU",
                "2 cores");
    for (int sessions : counts) {
      Round round = Run(server, sessions, seconds, pages);
      std::sort(round.latencies_ms.begin(), round.latencies_ms.end());
      const double per_second = static_cast<double>(round.clicks) / seconds;
      const double median = Quantile(round.latencies_ms, 0.5);
      const double p99 = Quantile(round.latencies_ms, 0.99);
      const double worst = round.latencies_ms.empty() ? 0 : round.latencies_ms.back();
      // The server's CPU per click, and the clicks per second two cores
      // left to the server alone would carry at that cost.
      const double cpu_per_click = round.clicks > 0 ? round.server_cpu_ms / static_cast<double>(round.clicks) : 0;
      const double capacity = cpu_per_click > 0 ? 2000.0 / cpu_per_click : 0;
      std::printf("%8d %8ld %10.1f %10.2f %8.2f %10.2f %8ld %10ld %7ld %8ld %7.3f ms %8.0f/s\n", sessions,
                  round.clicks, per_second, median, p99, worst, round.checked, round.mismatches, round.failures,
                  round.messages, cpu_per_click, capacity);
      if (round.mismatches > 0) std::printf("  first page that differed: %s\n", round.first_mismatch.c_str());
      if (round.unknown > 0) std::printf("  pages of nodes the crawl did not reach: %ld\n", round.unknown);
      if (sessions == kGoalSessions) {
        std::printf("  goal at %d sessions: at least %.0f clicks/s: %s; p99 under %.0f ms: %s; none over %.0f ms: %s; "
                    "every page the single-user page: %s\n",
                    kGoalSessions, kClicksPerSecondGoal, Verdict(per_second >= kClicksPerSecondGoal), kP99GoalMs,
                    Verdict(p99 < kP99GoalMs), kWorstGoalMs, Verdict(worst <= kWorstGoalMs),
                    Verdict(round.mismatches == 0 && round.failures == 0));
      }
      if (round.mismatches > 0 || round.failures > 0) status = 1;
    }
    if (!postgres.empty() && CompareBackends(options, server, pages, postgres, work, counts, seconds) != 0) status = 1;
    server.Stop();
  }
  std::error_code ignored;
  fs::remove_all(work, ignored);
  return status;
}
