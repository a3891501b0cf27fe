// Hostile-client program for the web host. Not a test: it attacks a running
// `zarel serve` over loopback and prints whether a normal user stayed
// answered and what the attacks cost the server.
//
//   serve_hostile [--seconds S] [--slow N] [--flood-mb M] [--smoke]
//
// It creates the demo site in a temporary folder and starts `zarel serve`
// on it as a program of its own (its default bounds, a free port), so that
// its memory is its own. A normal user (one session, from 127.0.0.1, a new
// connection for every request) clicks a node of its tree every 100 ms
// throughout each attack; the attackers come from other loopback addresses
// (127.0.0.2 and up), as other clients would. The attacks, S seconds each
// (10 by default):
//
// 1. Slow heads: N connections (200 by default, 50 from each address) that
//    send one header line a second and never finish their request.
// 2. Sessions from other sites: a page elsewhere re-pointing a window at the
//    server (GET / marked cross-site), its script posting to /api/session
//    (Origin of another site), and one address starting sessions as fast as
//    it can.
// 3. Oversized heads: four connections each sending up to M MB (200 by
//    default) of 8 KB header lines.
// 4. Oversized bodies: a POST of up to M MB in chunks, and one declaring M
//    MB, from four connections each.
//
// For each it prints the answers the attackers got, the normal user's
// clicks, worst time and failures, and the server's resident memory; at
// the end its growth and peak. An attack holds when every normal click was
// answered within a second and nothing an attacker sent got past its bound.
// --smoke runs each attack for two seconds with 40 slow connections and 8
// MB floods (scripts/test).
//
// Everything stays on loopback; every loop is bounded in count and time.
// Exit status 0 when every attack held, 1 otherwise, 2 for a usage error.
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "apps/demo/demo_command.h"
#include "apps/http/raw_client.h"
#include "apps/http/child_program.h"

namespace {

using nlohmann::json;
using zarel::http::MakeRequest;
using zarel::http::RawClient;
using zarel::http::RawResponse;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr double kNormalWorstGoalMs = 1000;
// What the attacks may leave the server holding, beyond what it held before.
constexpr long kGrowthGoalKib = 64 * 1024;

double MsBetween(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double, std::milli>(end - start).count();
}

const char* Verdict(bool held) { return held ? "held" : "NOT HELD"; }

std::string Source(int n) { return "127.0.0." + std::to_string(2 + n); }

std::optional<RawClient> Open(int port, const std::string& source) {
  std::string error;
  return RawClient::Connect("127.0.0.1", port, source, error);
}

// One request on a connection of its own; status 0 when no answer came.
RawResponse Ask(int port, const std::string& source, const std::string& request,
                std::chrono::milliseconds timeout = 5s) {
  std::optional<RawClient> client = Open(port, source);
  if (!client || !client->Send(request, timeout)) return {};
  std::optional<RawResponse> answer = client->Read(timeout);
  return answer ? *answer : RawResponse{};
}

// The answers an attack got, by status (0: the server closed without one).
class Tally {
 public:
  void Add(int status) {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++counts_[status];
  }
  long Count(int status) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = counts_.find(status);
    return found == counts_.end() ? 0 : found->second;
  }
  std::string Text() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::string text;
    for (const auto& [status, count] : counts_) {
      text += (text.empty() ? "" : ", ") + std::to_string(count) + " x " +
              (status == 0 ? std::string("closed") : std::to_string(status));
    }
    return text.empty() ? "none" : text;
  }

 private:
  mutable std::mutex mutex_;
  std::map<int, long> counts_;
};

// The normal user: one session, a click every 100 ms while running.
class NormalUser {
 public:
  explicit NormalUser(int port)
      : port_(port),
        host_("Host: 127.0.0.1:" + std::to_string(port)),
        origin_("Origin: http://127.0.0.1:" + std::to_string(port)) {
    const RawResponse started =
        Ask(port_, "127.0.0.1",
            MakeRequest("POST", "/api/session", {host_, "Content-Type: application/json", origin_}, "{}"));
    if (started.status != 200) throw std::runtime_error("the normal user got no session: " + std::to_string(started.status));
    const std::string set_cookie(started.Header("Set-Cookie"));
    cookie_ = "Cookie: " + set_cookie.substr(0, set_cookie.find(';'));
    Remember(started.body);
  }

  struct Figures {
    long clicks = 0;
    long failures = 0;
    double worst_ms = 0;
  };

  // Clicks until stopped; the figures of those clicks.
  Figures Run(const std::atomic<bool>& stop) {
    Figures figures;
    std::mt19937 random(7);
    while (!stop) {
      const auto start = Clock::now();
      const std::int64_t node = ids_.empty() ? 1 : ids_[random() % ids_.size()];
      const RawResponse answer =
          Ask(port_, "127.0.0.1",
              MakeRequest("POST", "/api/click", {host_, "Content-Type: application/json", origin_, cookie_},
                          "{\"node\":" + std::to_string(node) + "}"));
      const double ms = MsBetween(start, Clock::now());
      ++figures.clicks;
      figures.worst_ms = std::max(figures.worst_ms, ms);
      if (answer.status == 200) {
        Remember(answer.body);
      } else if (answer.status != 409) {  // 409: the node had gone meanwhile
        ++figures.failures;
      }
      std::this_thread::sleep_until(start + 100ms);
    }
    return figures;
  }

 private:
  void Remember(const std::string& body) {
    ids_.clear();
    const std::function<void(const json&)> collect = [&](const json& nodes) {
      for (const json& node : nodes) {
        ids_.push_back(node["id"].get<std::int64_t>());
        collect(node["children"]);
      }
    };
    collect(json::parse(body)["tree"]);
  }

  int port_;
  std::string host_;
  std::string origin_;
  std::string cookie_;
  std::vector<std::int64_t> ids_;
};

struct Settings {
  double seconds = 10;
  int slow = 200;
  std::size_t flood_bytes = 200u << 20;
};

// Sends up to total bytes of what piece repeats after head, until the
// server stops taking them; the answer it gave, if any, and what it took.
struct Flood {
  int status = 0;
  std::size_t sent = 0;
};
Flood SendFlood(int port, const std::string& source, const std::string& head, const std::string& piece,
                const std::string& tail, std::size_t total, Clock::time_point until) {
  Flood flood;
  std::optional<RawClient> client = Open(port, source);
  if (!client) return flood;
  bool open = client->Send(head);
  while (open && flood.sent < total && Clock::now() < until) {
    open = client->Send(piece, 2s);
    if (open) flood.sent += piece.size();
  }
  if (open) open = client->Send(tail, 2s);
  if (std::optional<RawResponse> answer = client->Read(3s)) flood.status = answer->status;
  return flood;
}

class Attacks {
 public:
  Attacks(int port, const Settings& settings) : port_(port), settings_(settings) {}

  // Runs one attack beside the normal user; whether both held.
  bool Run(const char* name, NormalUser& user, zarel::http::ServeProgram& server,
           const std::function<bool(Clock::time_point until)>& attack) {
    std::printf("%s\n", name);
    std::atomic<bool> stop{false};
    NormalUser::Figures figures;
    std::thread clicking([&] { figures = user.Run(stop); });
    const auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double>(settings_.seconds));
    const bool attack_held = attack(until);
    std::this_thread::sleep_until(until);
    stop = true;
    clicking.join();
    const bool user_held = figures.failures == 0 && figures.clicks > 0 && figures.worst_ms < kNormalWorstGoalMs;
    std::printf("  normal user: %ld clicks, worst %.1f ms, %ld failed (goal: all within %.0f ms): %s\n",
                figures.clicks, figures.worst_ms, figures.failures, kNormalWorstGoalMs, Verdict(user_held));
    std::printf("  server memory: %.1f MB resident\n\n",
                static_cast<double>(zarel::http::ResidentKib(server.Pid())) / 1024.0);
    return attack_held && user_held;
  }

  // 1. Connections that send one header line a second.
  bool SlowHeads(Clock::time_point until) {
    std::vector<std::optional<RawClient>> slow;
    std::vector<Clock::time_point> opened;
    for (int i = 0; i < settings_.slow; ++i) {
      slow.push_back(Open(port_, Source(i / 50)));
      opened.push_back(Clock::now());
      if (slow.back()) slow.back()->Send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    }
    double longest_ms = 0;
    long closed = 0;
    while (Clock::now() < until) {
      std::this_thread::sleep_for(1s);
      for (std::size_t i = 0; i < slow.size(); ++i) {
        if (!slow[i]) continue;
        // Whatever the server answered, the line after it finds the
        // connection closed (or the answer already read shows it).
        if (!slow[i]->Send("X-Slow: 1\r\n", 100ms) || slow[i]->WaitClosed(0ms)) {
          longest_ms = std::max(longest_ms, MsBetween(opened[i], Clock::now()));
          ++closed;
          slow[i].reset();
        }
      }
    }
    long open = 0;
    for (std::size_t i = 0; i < slow.size(); ++i) {
      if (slow[i]) {
        ++open;
        longest_ms = std::max(longest_ms, MsBetween(opened[i], Clock::now()));
      }
    }
    std::printf("  %d slow connections: %ld closed by the server, %ld still open at the end; longest lived %.1f s\n",
                settings_.slow, closed, open, longest_ms / 1000);
    return true;  // the server may keep them while it has room: the user's clicks tell
  }

  // 2. Sessions started by pages of other sites and by one address.
  bool SessionFlood(Clock::time_point until) {
    const std::string host = "Host: 127.0.0.1:" + std::to_string(port_);
    Tally navigations, posts, one_address;
    long started_elsewhere = 0;
    long started_by_one = 0;
    int n = 0;
    while (Clock::now() < until && n < 2000) {
      ++n;
      const RawResponse page =
          Ask(port_, Source(1), MakeRequest("GET", "/", {host, "Sec-Fetch-Site: cross-site", "Sec-Fetch-Mode: navigate"}));
      navigations.Add(page.status);
      if (!page.Header("Set-Cookie").empty()) ++started_elsewhere;
      const RawResponse post = Ask(port_, Source(2),
                                   MakeRequest("POST", "/api/session",
                                               {host, "Content-Type: application/json",
                                                "Origin: http://pages.elsewhere.test", "Sec-Fetch-Site: cross-site"},
                                               "{}"));
      posts.Add(post.status);
      if (!post.Header("Set-Cookie").empty()) ++started_elsewhere;
      const RawResponse own = Ask(port_, Source(3),
                                  MakeRequest("POST", "/api/session", {host, "Content-Type: application/json"}, "{}"));
      one_address.Add(own.status);
      if (!own.Header("Set-Cookie").empty()) ++started_by_one;
    }
    std::printf("  windows of other sites re-pointed at /: %s\n", navigations.Text().c_str());
    std::printf("  sessions posted by pages of other sites: %s\n", posts.Text().c_str());
    std::printf("  sessions posted from one address: %s\n", one_address.Text().c_str());
    // The default bound: 30 at once, then one more every two seconds.
    const long one_address_bound = 30 + static_cast<long>(settings_.seconds / 2) + 1;
    const bool held = started_elsewhere == 0 && started_by_one <= one_address_bound;
    std::printf("  sessions started: %ld by other sites, %ld by one address (at most %ld at 30 a minute): %s\n",
                started_elsewhere, started_by_one, one_address_bound, Verdict(held));
    return held;
  }

  // 3. and 4. Requests far over the bounds, from four connections each.
  bool Oversized(const char* what, const std::string& head, const std::string& piece, const std::string& tail,
                 int expected, Clock::time_point until) {
    std::vector<std::thread> threads;
    std::vector<Flood> floods(4);
    for (int i = 0; i < 4; ++i) {
      threads.emplace_back(
          [&, i] { floods[i] = SendFlood(port_, Source(i), head, piece, tail, settings_.flood_bytes, until); });
    }
    for (std::thread& thread : threads) thread.join();
    Tally answers;
    std::size_t most = 0;
    bool held = true;
    for (const Flood& flood : floods) {
      answers.Add(flood.status);
      most = std::max(most, flood.sent);
      // The bounds are a few KiB; the socket buffers take some MB more.
      if (flood.status != expected && flood.status != 0) held = false;
      if (flood.sent >= settings_.flood_bytes) held = false;
    }
    std::printf("  %s: %s; at most %.1f MB sent before the server stopped taking them: %s\n", what,
                answers.Text().c_str(), static_cast<double>(most) / (1 << 20), Verdict(held));
    return held;
  }

  int Port() const { return port_; }

 private:
  int port_;
  Settings settings_;
};

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      settings.seconds = std::max(1.0, std::atof(argv[++i]));
    } else if (std::strcmp(argv[i], "--slow") == 0 && i + 1 < argc) {
      settings.slow = std::clamp(std::atoi(argv[++i]), 1, 1000);
    } else if (std::strcmp(argv[i], "--flood-mb") == 0 && i + 1 < argc) {
      settings.flood_bytes = static_cast<std::size_t>(std::clamp(std::atoi(argv[++i]), 1, 1024)) << 20;
    } else if (std::strcmp(argv[i], "--smoke") == 0) {
      settings = Settings{2, 40, 8u << 20};
    } else {
      std::cerr << "usage: serve_hostile [--seconds S] [--slow N] [--flood-mb M] [--smoke]\n";
      return 2;
    }
  }

  const fs::path work = fs::temp_directory_path() / ("zarel-hostile-" + std::to_string(::getpid()));
  fs::create_directories(work / "tmp");
  const zarel::DemoSite site = zarel::CreateDemoSite((work / "demo").string());
  bool held = true;
  {
    zarel::http::ServeProgram server(
        ZAREL_PROGRAM, {"sqlite:" + site.database, "--site", site.application_folder, "--port", "0"},
        (work / "tmp").string());
    if (server.Port() == 0) {
      std::cerr << "serve_hostile: zarel serve did not start\n";
      return 1;
    }
    const int port = server.Port();
    std::printf("zarel serve on port %d, process %d; each attack %g s\n", port, static_cast<int>(server.Pid()),
                settings.seconds);
    NormalUser user(port);
    // Warm up, so that the memory before is that of a server in use.
    {
      std::atomic<bool> stop{false};
      std::thread warm([&] {
        std::this_thread::sleep_for(1s);
        stop = true;
      });
      user.Run(stop);
      warm.join();
    }
    const long before = zarel::http::ResidentKib(server.Pid());
    std::printf("server memory before: %.1f MB resident\n\n", static_cast<double>(before) / 1024.0);

    Attacks attacks(port, settings);
    const std::string host = "Host: 127.0.0.1:" + std::to_string(port);
    held &= attacks.Run("1. slow heads", user, server, [&](Clock::time_point until) { return attacks.SlowHeads(until); });
    held &= attacks.Run("2. sessions from other sites and from one address", user, server,
                        [&](Clock::time_point until) { return attacks.SessionFlood(until); });
    const std::string line = "X-Filler: " + std::string(8 * 1024 - 14, 'a') + "\r\n";
    held &= attacks.Run("3. oversized heads", user, server, [&](Clock::time_point until) {
      return attacks.Oversized("8 KB header lines", "GET / HTTP/1.1\r\n" + host + "\r\n", line, "\r\n", 431, until);
    });
    const std::string chunk = "10000\r\n" + std::string(0x10000, '{') + "\r\n";
    held &= attacks.Run("4. oversized bodies", user, server, [&](Clock::time_point until) {
      const std::string post = "POST /api/click HTTP/1.1\r\n" + host + "\r\nContent-Type: application/json\r\n";
      const bool chunked = attacks.Oversized("bodies in chunks", post + "Transfer-Encoding: chunked\r\n\r\n", chunk,
                                             "0\r\n\r\n", 413, until);
      const bool declared = attacks.Oversized(
          "declared bodies", post + "Content-Length: " + std::to_string(settings.flood_bytes) + "\r\n\r\n",
          std::string(0x10000, '{'), "", 413, until);
      return chunked && declared;
    });

    const long after = zarel::http::ResidentKib(server.Pid());
    const long peak = zarel::http::PeakResidentKib(server.Pid());
    const bool memory_held = after - before < kGrowthGoalKib;
    std::printf("server memory: %.1f MB before, %.1f MB after, peak %.1f MB; growth under %ld MB: %s\n",
                static_cast<double>(before) / 1024.0, static_cast<double>(after) / 1024.0,
                static_cast<double>(peak) / 1024.0, kGrowthGoalKib / 1024, Verdict(memory_held));
    held &= memory_held;
    server.Signal(SIGTERM);
    const int status = server.ExitStatus(10s);
    std::printf("stopped by SIGTERM: exit status %d\n", status);
    held &= status == 0;
  }
  std::error_code ignored;
  fs::remove_all(work, ignored);
  std::printf("\nevery attack held: %s\n", held ? "yes" : "NO");
  return held ? 0 : 1;
}
