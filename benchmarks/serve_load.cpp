// Load program for the web host: N browser sessions at once, over loopback,
// each clicking random nodes of the demo site for a fixed time. Not a test:
// it prints figures.
//
//   serve_load [--seconds S] [--sessions 1,8,32] [--connection POSTGRESQL]
//
// It creates the demo site in a temporary folder, starts `zarel serve` in
// this process on a free loopback port (the clock fixed, so pages do not
// change from one second to the next), and first crawls every node of the
// site in a single session, keeping the page each node composes. Then, for
// each session count, that many clients (one thread and one keep-alive
// connection each) click random nodes of their own trees for S seconds (10
// by default). A click counts from sending POST /api/click until its report
// page has been fetched. For each count it prints clicks per second, the
// median and worst click latency, and how many pages differed from the
// single-user page of the same node (the dashboard's visit counter, which
// every view raises, is left out of the comparison).
//
// With --connection, naming an empty PostgreSQL database, the demo site is
// also placed there and served by a second server: each round runs on
// SQLite, then on PostgreSQL, every PostgreSQL page is checked against the
// SQLite single-user page of its node, and the program prints PostgreSQL's
// clicks per second as a share of SQLite's (goal: at least half) and the
// database links each round opened. The servers share the database links as
// zarel serve does (--pool-size defaults to the fewer of threads and
// sessions).
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "apps/demo/demo_command.h"
#include "apps/serve/serve_http.h"
#include "zarel/base/clock.h"
#include "zarel/base/date_time.h"
#include "zarel/db/database_settings.h"

namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Node {
  std::int64_t id;
  std::string path;
};

// Every node of a tree answer, with its path (texts joined by "\").
void Collect(const json& nodes, const std::string& above, std::vector<Node>& into) {
  for (const json& node : nodes) {
    const std::string path =
        above.empty() ? node["text"].get<std::string>() : above + "\\" + node["text"].get<std::string>();
    into.push_back({node["id"].get<std::int64_t>(), path});
    Collect(node["children"], path, into);
  }
}

// The dashboard counts its views; that number is not compared.
std::string Comparable(const std::string& page) {
  static const std::regex kCounter("(Dashboard views: </td><td class=hv>)[0-9]+");
  return std::regex_replace(page, kCounter, "$1#");
}

class Client {
 public:
  explicit Client(int port) : http_("127.0.0.1", port), origin_("http://127.0.0.1:" + std::to_string(port)) {
    http_.set_keep_alive(true);
    http_.set_tcp_nodelay(true);
    const httplib::Result page = http_.Get("/");
    if (!page || page->status != 200) throw std::runtime_error("no session");
    const std::string cookie = page->get_header_value("Set-Cookie");
    cookie_ = cookie.substr(0, cookie.find(';'));
    session_id_ = cookie_.substr(cookie_.find('=') + 1);
    state_ = Get("/api/state");
    serial_ = state_["page"].is_null() ? 0 : state_["page"]["serial"].get<std::uint64_t>();
  }

  json Get(const std::string& path) {
    const httplib::Result result = http_.Get(path.c_str(), {{"Cookie", cookie_}});
    if (!result) throw std::runtime_error("GET " + path + " failed");
    return json::parse(result->body);
  }
  std::string GetText(const std::string& path) {
    const httplib::Result result = http_.Get(path.c_str(), {{"Cookie", cookie_}});
    if (!result || result->status != 200) throw std::runtime_error("GET " + path + " failed");
    return result->body;
  }

  // Clicks a node; answers the page it composed, or nothing when it
  // composed none.
  std::optional<std::string> Click(std::int64_t id) {
    const httplib::Result result =
        http_.Post("/api/click", {{"Cookie", cookie_}, {"Origin", origin_}},
                   json{{"node", id}}.dump(), "application/json");
    if (!result || result->status != 200) throw std::runtime_error("click failed");
    state_ = json::parse(result->body);
    for (const json& event : state_["events"]) {
      if (event["type"] == "message") ++messages_;
    }
    const std::uint64_t serial =
        state_["page"].is_null() ? 0 : state_["page"]["serial"].get<std::uint64_t>();
    if (serial == serial_) return std::nullopt;
    serial_ = serial;
    return GetText(state_["page"]["url"].get<std::string>() + "?n=" + std::to_string(serial));
  }

  std::vector<Node> Nodes() const {
    std::vector<Node> nodes;
    Collect(state_["tree"], "", nodes);
    return nodes;
  }
  const std::string& SessionId() const { return session_id_; }
  int Messages() const { return messages_; }

 private:
  httplib::Client http_;
  std::string origin_;
  std::string cookie_;
  std::string session_id_;
  json state_;
  std::uint64_t serial_ = 0;
  int messages_ = 0;
};

// The single-user pages: every node of the site clicked once, depth first.
void Crawl(Client& client, std::map<std::string, std::string>& pages, std::size_t& no_page) {
  std::vector<std::string> done;
  std::map<std::string, bool> seen;
  bool progress = true;
  while (progress) {
    progress = false;
    for (const Node& node : client.Nodes()) {
      if (seen[node.path]) continue;
      seen[node.path] = true;
      progress = true;
      const std::optional<std::string> page = client.Click(node.id);
      if (page) {
        pages[node.path] = Comparable(*page);
      } else {
        ++no_page;
      }
      break;  // the tree changed: list it again
    }
  }
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
};

Round Run(int port, int sessions, double seconds, const std::map<std::string, std::string>& pages,
          zarel::serve::WebServer& server) {
  Round round;
  std::mutex mutex;
  std::vector<std::thread> threads;
  std::atomic<bool> go{false};
  std::atomic<int> ready{0};
  for (int user = 0; user < sessions; ++user) {
    threads.emplace_back([&, user] {
      Round mine;
      try {
        Client client(port);
        std::mt19937 random(static_cast<unsigned>(user) * 7919u + 17u);
        ++ready;
        while (!go) std::this_thread::yield();
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < deadline) {
          const std::vector<Node> nodes = client.Nodes();
          const Node node = nodes[std::uniform_int_distribution<std::size_t>(0, nodes.size() - 1)(random)];
          const auto start = Clock::now();
          std::optional<std::string> page;
          try {
            page = client.Click(node.id);
          } catch (const std::exception&) {
            ++mine.failures;
            continue;
          }
          mine.latencies_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
          ++mine.clicks;
          if (!page) continue;
          const auto expected = pages.find(node.path);
          if (expected == pages.end()) {
            ++mine.unknown;
            continue;
          }
          ++mine.checked;
          if (Comparable(*page) != expected->second) {
            ++mine.mismatches;
            if (mine.first_mismatch.empty()) mine.first_mismatch = node.path;
          }
        }
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
      round.latencies_ms.insert(round.latencies_ms.end(), mine.latencies_ms.begin(), mine.latencies_ms.end());
      if (round.first_mismatch.empty()) round.first_mismatch = mine.first_mismatch;
    });
  }
  while (ready < sessions) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  go = true;
  for (std::thread& thread : threads) thread.join();
  return round;
}

}  // namespace

// One backend's server with the pages of its single-user crawl.
struct Backend {
  std::string name;
  std::unique_ptr<zarel::serve::WebServer> server;
  std::map<std::string, std::string> pages;
};

int main(int argc, char** argv) {
  double seconds = 10;
  std::vector<int> counts = {1, 8, 32};
  std::string postgres;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (std::strcmp(argv[i], "--sessions") == 0 && i + 1 < argc) {
      counts.clear();
      std::stringstream list(argv[++i]);
      for (std::string item; std::getline(list, item, ',');) counts.push_back(std::stoi(item));
    } else if (std::strcmp(argv[i], "--connection") == 0 && i + 1 < argc) {
      postgres = argv[++i];
    } else {
      std::cerr << "usage: serve_load [--seconds S] [--sessions 1,8,32] [--connection POSTGRESQL]\n";
      return 2;
    }
  }

  const fs::path work = fs::temp_directory_path() / ("zarel-load-" + std::to_string(::getpid()));
  fs::create_directories(work);
  zarel::FixedClock clock(zarel::MakeDate(zarel::DateParts{2026, 12, 5, 14, 5, 9}));
  std::vector<zarel::DemoSite> sites;
  try {
    sites.push_back(zarel::CreateDemoSite((work / "demo").string()));
    if (!postgres.empty()) sites.push_back(zarel::CreateDemoSite((work / "demo-postgres").string(), postgres));
  } catch (const std::exception& error) {
    std::cerr << "serve_load: " << error.what() << "\n";
    fs::remove_all(work);
    return 1;
  }

  zarel::serve::ServeOptions options;
  options.port = 0;
  options.display.talking = true;
  options.max_sessions = 128;
  options.threads = 128;
  options.work_root = work.string();
  zarel::ApplyDatabaseSettings(
      zarel::DatabaseSettingsFrom(options.database, std::min(options.threads, options.max_sessions)));
  int status = 0;
  {
    std::vector<Backend> backends;
    for (const zarel::DemoSite& site : sites) {
      Backend backend;
      backend.name = site.connection.rfind("sqlite:", 0) == 0 ? "SQLite" : "PostgreSQL";
      options.connection = site.connection;
      options.site = site.application_folder;
      backend.server = std::make_unique<zarel::serve::WebServer>(options);
      std::string error;
      if (!backend.server->Bind(error)) {
        std::cerr << "serve_load: " << error << "\n";
        return 1;
      }
      backend.server->Start();
      std::size_t no_page = 0;
      Client single(backend.server->Port());
      const auto start = Clock::now();
      Crawl(single, backend.pages, no_page);
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      std::printf("%s single-user crawl: %zu nodes with a page, %zu without, %.0f ms (%.2f ms per click)\n",
                  backend.name.c_str(), backend.pages.size(), no_page, ms,
                  ms / static_cast<double>(backend.pages.size() + no_page));
      backend.server->Sessions().End(single.SessionId());
      backends.push_back(std::move(backend));
    }
    // Every backend's pages are the first one's.
    for (const Backend& backend : backends) {
      if (backend.pages != backends.front().pages) {
        std::printf("  the %s crawl's pages differ from the %s crawl's\n", backend.name.c_str(),
                    backends.front().name.c_str());
        status = 1;
      }
    }
    std::printf("%d s per round, %u hardware threads, pool size %d\n\n", static_cast<int>(seconds),
                std::thread::hardware_concurrency(), zarel::CurrentDatabaseSettings().pool_size);
    std::printf("%-10s %8s %8s %10s %10s %10s %8s %10s %8s %8s %6s\n", "backend", "sessions", "clicks", "clicks/s",
                "median ms", "worst ms", "checked", "different", "failed", "messages", "links");
    for (int sessions : counts) {
      std::vector<double> rates;
      for (Backend& backend : backends) {
        const std::int64_t opened = zarel::CountDatabaseLinks().opened;
        // Every backend's pages are checked against the first one's crawl.
        Round round = Run(backend.server->Port(), sessions, seconds, backends.front().pages, *backend.server);
        std::sort(round.latencies_ms.begin(), round.latencies_ms.end());
        const double median = round.latencies_ms.empty() ? 0 : round.latencies_ms[round.latencies_ms.size() / 2];
        const double worst = round.latencies_ms.empty() ? 0 : round.latencies_ms.back();
        rates.push_back(static_cast<double>(round.clicks) / seconds);
        std::printf("%-10s %8d %8ld %10.1f %10.2f %10.2f %8ld %10ld %8ld %8ld %6lld\n", backend.name.c_str(), sessions,
                    round.clicks, rates.back(), median, worst, round.checked, round.mismatches, round.failures,
                    round.messages, static_cast<long long>(zarel::CountDatabaseLinks().opened - opened));
        if (round.mismatches > 0) {
          std::printf("  first page that differed: %s\n", round.first_mismatch.c_str());
          status = 1;
        }
        if (round.unknown > 0) std::printf("  pages of nodes the crawl did not reach: %ld\n", round.unknown);
        if (round.failures > 0) status = 1;
      }
      if (rates.size() == 2) {
        const double share = rates[1] / rates[0];
        std::printf("  PostgreSQL / SQLite clicks per second at %d sessions: %.2f (goal: at least 0.5) %s\n",
                    sessions, share, share >= 0.5 ? "met" : "NOT MET");
      }
    }
    for (Backend& backend : backends) backend.server->Stop();
  }
  std::error_code ignored;
  fs::remove_all(work, ignored);
  return status;
}
