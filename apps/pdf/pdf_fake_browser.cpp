// Stands in for Chromium in the printer's tests: speaks the DevTools pipe
// (NUL-ended JSON read from descriptor 3, written to descriptor 4) and
// misbehaves as its --scenario says:
//   ok                  prints every page as a tiny PDF naming its address;
//                       every other page's load event comes before the
//                       reply to its navigation
//   exit-at-start       writes a complaint to standard error, exits with 3
//   silent              never answers
//   not-json            answers the first command with something not JSON
//   crash-on-navigate   kills itself when asked to open a page
//   renderer-crash      reports the page's renderer crashed
//   refuse-print        answers the print command with an error
//   garbage-data        answers it with data that is not base64
//   no-load             never reports a page loaded
//   hang-after-navigate stops answering anything once asked to open a page
#include <csignal>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <openssl/evp.h>
#include <string>
#include <unistd.h>

using json = nlohmann::json;

namespace {

void say(const json& message) {
  std::string text = message.dump();
  text.push_back('\0');
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::write(4, text.data() + done, text.size() - done);
    if (wrote <= 0) std::_Exit(1);
    done += static_cast<std::size_t>(wrote);
  }
}

bool NextMessage(std::string& pending, json& message) {
  for (;;) {
    const auto end = pending.find('\0');
    if (end != std::string::npos) {
      message = json::parse(pending.substr(0, end));
      pending.erase(0, end + 1);
      return true;
    }
    char buffer[4096];
    const ssize_t got = ::read(3, buffer, sizeof buffer);
    if (got <= 0) return false;
    pending.append(buffer, static_cast<std::size_t>(got));
  }
}

std::string base64(const std::string& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  std::string scenario = "ok";
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]).rfind("--scenario=", 0) == 0) scenario = std::string(argv[i]).substr(11);
  if (scenario == "exit-at-start") {
    std::fprintf(stderr, "fake browser: cannot open the display\n");
    return 3;
  }
  if (scenario == "silent") {
    for (;;) ::pause();
  }
  std::string pending;
  json message;
  std::map<std::string, std::string> address_of;  // session -> address it shows
  int targets = 0;
  int navigations = 0;
  bool hung = false;
  while (NextMessage(pending, message)) {
    if (hung) continue;
    const auto id = message["id"];
    const std::string method = message["method"];
    const std::string session = message.value("sessionId", "");
    const json params = message.value("params", json::object());
    json reply{{"id", id}, {"result", json::object()}};
    if (!session.empty()) reply["sessionId"] = session;
    if (method == "Browser.getVersion") {
      if (scenario == "not-json") {
        ::write(4, "hello\0", 6);
        continue;
      }
      reply["result"] = {{"product", "FakeBrowser/1.0"}};
    } else if (method == "Target.createBrowserContext") {
      reply["result"] = {{"browserContextId", "context-" + std::to_string(targets)}};
    } else if (method == "Target.createTarget") {
      reply["result"] = {{"targetId", "target-" + std::to_string(++targets)}};
    } else if (method == "Target.attachToTarget") {
      reply["result"] = {{"sessionId", "session-" + params.value("targetId", "")}};
    } else if (method == "Page.navigate") {
      if (scenario == "crash-on-navigate") ::kill(::getpid(), SIGKILL);
      if (scenario == "hang-after-navigate") {
        hung = true;
        continue;
      }
      const std::string loader = "loader-" + std::to_string(++navigations);
      address_of[session] = params.value("url", "");
      reply["result"] = {{"frameId", "frame"}, {"loaderId", loader}};
      const json load{{"method", "Page.lifecycleEvent"},
                      {"params", {{"frameId", "frame"}, {"loaderId", loader}, {"name", "load"}}},
                      {"sessionId", session}};
      if (scenario == "renderer-crash") {
        say(reply);
        say({{"method", "Inspector.targetCrashed"}, {"params", json::object()}, {"sessionId", session}});
        continue;
      }
      if (scenario == "no-load") {
        say(reply);
        continue;
      }
      if (navigations % 2 == 0) {
        say(load);
        say(reply);
      } else {
        say(reply);
        say(load);
      }
      continue;
    } else if (method == "Page.printToPDF") {
      if (scenario == "refuse-print") {
        reply.erase("result");
        reply["error"] = {{"code", -32000}, {"message", "Printing failed"}};
      } else if (scenario == "garbage-data") {
        reply["result"] = {{"data", "not base64 at all!"}};
      } else {
        reply["result"] = {{"data", base64("%PDF-1.4\n% printed " + address_of[session] + "\n")}};
      }
    }
    say(reply);
  }
  return 0;
}
