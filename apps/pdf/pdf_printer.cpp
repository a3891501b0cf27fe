// Printing HTML files with headless Chromium over the DevTools protocol: one
// browser, one tab (or more, side by side) reused from page to page (a new
// one after any failure), and for each page Page.navigate, the "load"
// lifecycle event of that very navigation, then Page.printToPDF.
#include "apps/pdf/pdf_printer.h"

#include "apps/pdf/browser_process.h"
#include "apps/pdf/file_address.h"

#include <nlohmann/json.hpp>
#include <openssl/evp.h>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <unistd.h>
#include <utility>

namespace zarel::pdf {
namespace {

using json = nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr const char* install_hint = "install Debian's package chromium (apt-get install chromium)";

// The switches a headless browser needs here, and why:
std::vector<std::string> BrowserArguments() {
  return {
      "--headless",
      // Chromium will not run as root with its sandbox ("Running as root
      // without --no-sandbox is not supported"), and in a container the
      // sandbox's user namespaces are often missing anyway. What it renders
      // is pages we just wrote ourselves, and it is kept off the network
      // below.
      "--no-sandbox",
      "--disable-gpu",
      // Containers often give /dev/shm only 64 MB; a large page would crash.
      "--disable-dev-shm-usage",
      // Nothing may reach out: no first-run work, updates, sync, metrics or
      // extensions, and no host name resolves, so a page can only read local
      // files.
      "--no-first-run",
      "--no-default-browser-check",
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
      "--disable-extensions",
      "--disable-default-apps",
      "--disable-breakpad",
      "--disable-features=Translate,MediaRouter,OptimizationHints",
      "--host-resolver-rules=MAP * ~NOTFOUND",
      "--password-store=basic",
      // Pages printed side by side sit in tabs in the background; without
      // these, Chromium slows their timers and rendering down.
      "--disable-background-timer-throttling",
      "--disable-backgrounding-occluded-windows",
      "--disable-renderer-backgrounding",
      "--mute-audio",
      "--hide-scrollbars",
  };
}

bool IsExecutableFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

std::string DecodeBase64(const std::string& text) {
  std::string bytes(text.size() / 4 * 3 + 3, '\0');
  EVP_ENCODE_CTX* context = EVP_ENCODE_CTX_new();
  if (!context) throw PrintError("out of memory decoding the printed PDF");
  EVP_DecodeInit(context);
  int written = 0;
  int last = 0;
  auto* out = reinterpret_cast<unsigned char*>(bytes.data());
  const bool ok = EVP_DecodeUpdate(context, out, &written, reinterpret_cast<const unsigned char*>(text.data()),
                                   static_cast<int>(text.size())) >= 0 &&
                  EVP_DecodeFinal(context, out + written, &last) == 1;
  EVP_ENCODE_CTX_free(context);
  if (!ok) throw PrintError("the browser sent a PDF that is not valid base64");
  bytes.resize(static_cast<std::size_t>(written + last));
  return bytes;
}

std::string seconds(std::chrono::milliseconds span) {
  std::ostringstream text;
  text << static_cast<double>(span.count()) / 1000.0 << " s";
  return text.str();
}

// Whether `file`, with its links followed, lies inside `folder` (canonical).
bool inside(const std::filesystem::path& folder, const std::filesystem::path& file) {
  std::error_code error;
  const auto real = std::filesystem::weakly_canonical(file, error);
  if (error) return false;
  const auto relative = real.lexically_relative(folder);
  return !relative.empty() && *relative.begin() != "..";
}

// The browser sent something that is not the protocol.
struct ProtocolError {
  std::string what;
};

}  // namespace

std::filesystem::path FindBrowser(const std::filesystem::path& wanted,
                                   const std::vector<std::filesystem::path>& known_places,
                                   const std::string& search_path) {
  if (!wanted.empty()) {
    if (IsExecutableFile(wanted)) return wanted;
    throw PrintError("there is no browser program at " + wanted.string() + "; name Chromium's program or " +
                     install_hint);
  }
  for (const auto& place : known_places)
    if (IsExecutableFile(place)) return place;
  std::istringstream folders(search_path);
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (folder.empty()) continue;
    const auto candidate = std::filesystem::path(folder) / "chromium";
    if (IsExecutableFile(candidate)) return candidate;
  }
  throw PrintError(std::string("printing to PDF needs Chromium, which is not installed: ") + install_hint);
}

std::filesystem::path FindBrowser(const PrintOptions& options) {
  // The package's program itself, not its /usr/bin/chromium launcher script:
  // the launcher adds switches of its own (extensions, GPU rasterisation) and
  // one of its checks fails noisily where /dev/shm is mounted twice.
  const char* path = std::getenv("PATH");
  return FindBrowser(options.browser, {"/usr/lib/chromium/chromium"}, path ? path : "");
}


// The conversation with the browser: commands whose replies go to callbacks,
// events routed to the tab they concern, and the tabs, each printing one page
// at a time. Everything runs on the caller's thread, in the loop of run().
struct PdfPrinter::State {
  using Reply = std::function<void(const json& result, const std::string& error)>;

  struct Tab {
    std::string context;  // its browser context, kept when the tab is dropped
    std::string target_id;
    std::string session_id;
    unsigned generation = 0;  // replies meant for a tab since dropped are ignored
    bool ready = false;       // attached, with the events we need turned on
    std::optional<std::size_t> job;
    std::string loader;              // the navigation whose load we wait for
    std::set<std::string> loaded;    // navigations whose "load" event came
    bool printing = false;
    Clock::time_point deadline;
    Clock::time_point step_started;  // of the step under way, for the times
  };

  PrintOptions options;
  std::filesystem::path allowed;  // options.only_files_in, canonical
  std::filesystem::path executable;
  std::unique_ptr<BrowserProcess> browser;
  std::string version;
  std::string gone;  // why the browser cannot be used any more
  long next_id = 0;
  std::map<long, Reply> waiting;
  // When a dropped tab's closing must be answered by (a page timeout after
  // asking): a browser that stops answering altogether is given up on instead
  // of timing out page by page.
  std::optional<Clock::time_point> answer_by;
  std::vector<Tab> tabs;
  PrintTimes times;

  // The run in progress.
  const std::vector<std::filesystem::path>* files = nullptr;
  const Progress* progress = nullptr;
  std::string script;  // run in each page after its load, before its print
  std::vector<PrintedPage> results;
  std::size_t next_job = 0;
  std::size_t done = 0;

  void Send(const std::string& method, json params, const std::string& session, Reply reply) {
    const long id = ++next_id;
    json message{{"id", id}, {"method", method}, {"params", std::move(params)}};
    if (!session.empty()) message["sessionId"] = session;
    waiting.emplace(id, std::move(reply));
    browser->Send(message.dump());
  }

  // A reply handler for tab `t` as it is now; an error abandons its page.
  Reply ForTab(std::size_t t, std::function<void(Tab&, const json&)> then) {
    const unsigned generation = tabs[t].generation;
    return [this, t, generation, then = std::move(then)](const json& result, const std::string& error) {
      Tab& tab = tabs[t];
      if (tab.generation != generation || !tab.job) return;
      if (!error.empty()) return abandon(t, "Chromium said \"" + error + "\"");
      then(tab, result);
    };
  }

  void dispatch(const std::string& text) {
    const json message = json::parse(text, nullptr, false);
    if (message.is_discarded() || !message.is_object())
      throw ProtocolError{"a message that is not a JSON object"};
    if (message.contains("id")) {
      const auto found = waiting.find(message.value("id", 0L));
      if (found == waiting.end()) return;
      const Reply reply = std::move(found->second);
      waiting.erase(found);
      const std::string error = message.contains("error") ? message["error"].value("message", "an error") : "";
      reply(message.value("result", json::object()), error);
      return;
    }
    const std::string session = message.value("sessionId", "");
    if (session.empty()) return;
    const std::string method = message.value("method", "");
    const json params = message.value("params", json::object());
    // Every request a page makes waits for our answer, whether or not the
    // page is still wanted.
    if (method == "Fetch.requestPaused") return AnswerRequest(session, params);
    for (std::size_t t = 0; t < tabs.size(); ++t)
      if (tabs[t].session_id == session && tabs[t].job) return OnEvent(t, method, params);
  }

  // Lets a page's request through only when it reads a file inside the
  // allowed folder. Security: pages show report data; should any ever carry
  // markup of its own (an iframe or picture naming /etc/passwd, a script
  // reading another local file), nothing outside the export gets into the PDF.
  void AnswerRequest(const std::string& session, const json& params) {
    const std::string id = params.value("requestId", "");
    const auto path = PathOfAddress(params.value("request", json::object()).value("url", ""));
    const auto ignore = [](const json&, const std::string&) {};
    if (path && inside(allowed, *path)) Send("Fetch.continueRequest", {{"requestId", id}}, session, ignore);
    else Send("Fetch.failRequest", {{"requestId", id}, {"errorReason", "AccessDenied"}}, session, ignore);
  }

  void OnEvent(std::size_t t, const std::string& method, const json& params) {
    Tab& tab = tabs[t];
    if (method == "Page.lifecycleEvent" && params.value("name", "") == "load") {
      tab.loaded.insert(params.value("loaderId", ""));
      if (!tab.printing && !tab.loader.empty() && tab.loaded.count(tab.loader)) Loaded(t);
    } else if (method == "Inspector.targetCrashed") {
      abandon(t, "the page crashed Chromium's renderer");
    }
  }

  void StartNext(std::size_t t) {
    while (next_job < files->size()) {
      const std::size_t job = next_job++;
      std::error_code error;
      const auto file = std::filesystem::canonical((*files)[job], error);
      if (error || !std::filesystem::is_regular_file(file, error)) {
        finish(job, {}, "there is no such file");
        continue;
      }
      Tab& tab = tabs[t];
      tab.job = job;
      tab.printing = false;
      tab.deadline = Clock::now() + options.page_timeout;
      if (tab.ready) navigate(t, file);
      else open(t, file);
      return;
    }
  }

  // Each tab lives in a browser context of its own: tabs in one context
  // showing file: pages would share one renderer process, and a page whose
  // script never ends would then stall the pages beside it.
  void open(std::size_t t, const std::filesystem::path& file) {
    tabs[t].step_started = Clock::now();
    if (!tabs[t].context.empty()) return OpenInContext(t, file);
    Send("Target.createBrowserContext", json::object(), "", ForTab(t, [this, t, file](Tab& tab, const json& reply) {
      tab.context = reply.value("browserContextId", "");
      OpenInContext(t, file);
    }));
  }

  void OpenInContext(std::size_t t, const std::filesystem::path& file) {
    const unsigned generation = tabs[t].generation;
    const json wanted{{"url", "about:blank"}, {"browserContextId", tabs[t].context}};
    Send("Target.createTarget", wanted, "", [this, t, generation, file](const json& result, const std::string& error) {
      Tab& tab = tabs[t];
      const std::string target = result.value("targetId", "");
      if (tab.generation != generation || !tab.job) {
        // The page gave up while its tab was being made: close the tab.
        if (!target.empty()) Send("Target.closeTarget", {{"targetId", target}}, "", [](const json&, const std::string&) {});
        return;
      }
      if (!error.empty()) return abandon(t, "Chromium said \"" + error + "\"");
      tab.target_id = target;
      Send("Target.attachToTarget", {{"targetId", target}, {"flatten", true}}, "", ForTab(t, [this, t, file](Tab& attached, const json& reply) {
        attached.session_id = reply.value("sessionId", "");
        const auto ignore = ForTab(t, [](Tab&, const json&) {});
        Send("Inspector.enable", json::object(), attached.session_id, ignore);
        Send("Page.enable", json::object(), attached.session_id, ignore);
        if (!allowed.empty())
          Send("Fetch.enable", {{"patterns", json::array({{{"urlPattern", "*"}}})}}, attached.session_id, ignore);
        Send("Page.setLifecycleEventsEnabled", {{"enabled", true}}, attached.session_id, ForTab(t, [this, t, file](Tab& ready, const json&) {
          ready.ready = true;
          ++times.tabs_opened;
          times.opening += Clock::now() - ready.step_started;
          navigate(t, file);
        }));
      }));
    });
  }

  void navigate(std::size_t t, const std::filesystem::path& file) {
    Tab& tab = tabs[t];
    tab.loader.clear();
    tab.loaded.clear();
    tab.step_started = Clock::now();
    Send("Page.navigate", {{"url", FileAddress(file)}}, tab.session_id, ForTab(t, [this, t](Tab& navigating, const json& reply) {
      if (const auto failure = reply.value("errorText", ""); !failure.empty())
        return abandon(t, "Chromium could not open it (" + failure + ")");
      navigating.loader = reply.value("loaderId", "");
      // The load may have come before the reply to the navigation.
      if (navigating.loaded.count(navigating.loader)) Loaded(t);
    }));
  }

  json PrintSettings() const {
    return {{"printBackground", options.print_background},
            {"paperWidth", options.paper_width},
            {"paperHeight", options.paper_height},
            {"marginTop", options.margin},
            {"marginBottom", options.margin},
            {"marginLeft", options.margin},
            {"marginRight", options.margin},
            {"preferCSSPageSize", true},
            {"displayHeaderFooter", false},
            // Untagged: the structure tree would not survive joining the
            // parts into one file anyway.
            {"generateTaggedPDF", false},
            {"transferMode", "ReturnAsBase64"}};
  }

  // The page has loaded: print it, or first run the run's script in it.
  void Loaded(std::size_t t) {
    const auto now = Clock::now();
    times.loading += now - tabs[t].step_started;
    tabs[t].step_started = now;
    tabs[t].printing = true;
    if (script.empty()) return PrintTab(t);
    const json evaluate{{"expression", script}, {"awaitPromise", true}, {"returnByValue", true}};
    Send("Runtime.evaluate", evaluate, tabs[t].session_id, ForTab(t, [this, t](Tab& tab, const json& reply) {
      if (reply.contains("exceptionDetails")) {
        const json& details = reply["exceptionDetails"];
        const std::string text = details.contains("exception") ? details["exception"].value("description", "")
                                                               : details.value("text", "");
        return abandon(t, "its preparation failed: " + text.substr(0, text.find('\n')));
      }
      const json& value = reply.value("result", json::object());
      if (!value.contains("value") || !value["value"].is_string())
        return abandon(t, "its preparation gave no text");
      results[*tab.job].prepared = value["value"].get<std::string>();
      PrintTab(t);
    }));
  }

  void PrintTab(std::size_t t) {
    Send("Page.printToPDF", PrintSettings(), tabs[t].session_id, ForTab(t, [this, t](Tab& tab, const json& reply) {
      std::string pdf;
      try {
        pdf = DecodeBase64(reply.value("data", ""));
      } catch (const PrintError& failed) {
        return abandon(t, failed.what());
      }
      if (pdf.rfind("%PDF-", 0) != 0) return abandon(t, "Chromium's answer is not a PDF");
      times.printing += Clock::now() - tab.step_started;
      const std::size_t job = *tab.job;
      tab.job.reset();
      finish(job, std::move(pdf), "");
      StartNext(t);
    }));
  }

  void finish(std::size_t job, std::string pdf, const std::string& error) {
    results[job].pdf = std::move(pdf);
    if (!error.empty()) results[job].error = "cannot print " + (*files)[job].string() + ": " + error;
    ++done;
    if (progress && *progress) (*progress)(done, files->size());
  }

  // Gives up the tab's page with `why`, closes the tab so that nothing of
  // that page (a script still running, a late event) reaches the next one,
  // and goes on with the next page in a new tab.
  void abandon(std::size_t t, const std::string& why) {
    const std::size_t job = *tabs[t].job;
    drop(t);
    finish(job, {}, why);
    StartNext(t);
  }

  // A tab as new, with replies still on their way for it ignored.
  static void forget(Tab& tab) {
    const unsigned next = tab.generation + 1;
    std::string context = std::move(tab.context);
    tab = Tab{};
    tab.generation = next;
    tab.context = std::move(context);
  }

  void drop(std::size_t t) {
    Tab& tab = tabs[t];
    const std::string target = tab.target_id;
    forget(tab);
    if (target.empty()) return;
    answer_by = Clock::now() + options.page_timeout;
    Send("Target.closeTarget", {{"targetId", target}}, "", [this](const json&, const std::string&) { answer_by.reset(); });
  }

  Clock::time_point NextDeadline() const {
    auto earliest = Clock::now() + options.page_timeout;
    for (const auto& tab : tabs)
      if (tab.job) earliest = std::min(earliest, tab.deadline);
    if (answer_by) earliest = std::min(earliest, *answer_by);
    return earliest;
  }

  void expire() {
    const auto now = Clock::now();
    if (answer_by && now >= *answer_by) {
      gone = "Chromium stopped answering";
      return;
    }
    for (std::size_t t = 0; t < tabs.size(); ++t)
      if (tabs[t].job && now >= tabs[t].deadline)
        abandon(t, "it did not load and print within " + seconds(options.page_timeout));
  }

  std::vector<PrintedPage> run(const std::vector<std::filesystem::path>& html_files, const Progress& heard,
                               const std::string& prepare) {
    files = &html_files;
    progress = &heard;
    script = prepare;
    results.assign(html_files.size(), {});
    next_job = 0;
    done = 0;
    if (gone.empty()) {
      try {
        for (std::size_t t = 0; t < tabs.size(); ++t) StartNext(t);
        while (done < html_files.size() && gone.empty()) {
          if (auto text = browser->Receive(NextDeadline())) dispatch(*text);
          expire();
        }
      } catch (const BrowserError& failed) {
        gone = std::string("Chromium quit (") + failed.what() + "): it " + browser->DescribeEnd();
      } catch (const ProtocolError& failed) {
        gone = "Chromium broke the DevTools protocol: " + failed.what;
      } catch (const json::exception& failed) {
        gone = std::string("Chromium broke the DevTools protocol: ") + failed.what();
      }
    }
    for (std::size_t job = 0; job < results.size(); ++job)
      if (results[job].pdf.empty() && results[job].error.empty())
        results[job].error = "cannot print " + html_files[job].string() + ": " + gone;
    if (!gone.empty())
      for (auto& tab : tabs) forget(tab);
    files = nullptr;
    progress = nullptr;
    return std::move(results);
  }

  void start() {
    bool answered = false;
    std::string refused;
    Send("Browser.getVersion", json::object(), "", [&](const json& result, const std::string& error) {
      answered = true;
      refused = error;
      version = result.value("product", "");
    });
    const auto deadline = Clock::now() + options.start_timeout;
    const std::string name = executable.string();
    try {
      while (!answered) {
        auto text = browser->Receive(deadline);
        if (!text) throw PrintError("Chromium (" + name + ") did not answer within " + seconds(options.start_timeout));
        dispatch(*text);
      }
    } catch (const BrowserError&) {
      throw PrintError("Chromium (" + name + ") could not start: it " + browser->DescribeEnd());
    } catch (const ProtocolError& failed) {
      throw PrintError("Chromium (" + name + ") does not speak the DevTools protocol: " + failed.what);
    } catch (const json::exception& failed) {
      throw PrintError("Chromium (" + name + ") does not speak the DevTools protocol: " + failed.what());
    }
    if (!refused.empty()) throw PrintError("Chromium (" + name + ") refused to start: " + refused);
    tabs.resize(std::max<std::size_t>(options.parallel, 1));
  }
};

PdfPrinter::PdfPrinter(PrintOptions options) : state_(std::make_unique<State>()) {
  state_->options = std::move(options);
  if (!state_->options.only_files_in.empty()) {
    std::error_code error;
    state_->allowed = std::filesystem::canonical(state_->options.only_files_in, error);
    if (error || !std::filesystem::is_directory(state_->allowed))
      throw PrintError("cannot print from " + state_->options.only_files_in.string() + ": there is no such folder");
  }
  state_->executable = FindBrowser(state_->options);
  auto arguments = BrowserArguments();
  // Pages printed together are loaded in frames of one document whose script
  // then reads them, which file: pages may do only with this switch. Security:
  // it lets a page's script read local files, but only where every request
  // is checked against the allowed folder (AnswerRequest), so it is given
  // only then.
  if (!state_->allowed.empty()) arguments.push_back("--allow-file-access-from-files");
  arguments.insert(arguments.end(), state_->options.extra_arguments.begin(), state_->options.extra_arguments.end());
  try {
    state_->browser = std::make_unique<BrowserProcess>(state_->executable, arguments);
  } catch (const BrowserError& failed) {
    throw PrintError(std::string("cannot start Chromium: ") + failed.what());
  }
  state_->start();
}

PdfPrinter::~PdfPrinter() = default;
PdfPrinter::PdfPrinter(PdfPrinter&&) noexcept = default;
PdfPrinter& PdfPrinter::operator=(PdfPrinter&&) noexcept = default;

std::string PdfPrinter::Print(const std::filesystem::path& html_file) {
  auto printed = PrintAll({html_file});
  if (!printed.front().error.empty()) throw PrintError(printed.front().error);
  return std::move(printed.front().pdf);
}

std::vector<PrintedPage> PdfPrinter::PrintAll(const std::vector<std::filesystem::path>& html_files,
                                               const Progress& progress) {
  return state_->run(html_files, progress, {});
}

std::vector<PrintedPage> PdfPrinter::PrintAllPrepared(const std::vector<std::filesystem::path>& html_files,
                                                       const std::string& script, const Progress& progress) {
  return state_->run(html_files, progress, script);
}

const std::string& PdfPrinter::BrowserVersion() const { return state_->version; }

const PrintTimes& PdfPrinter::Times() const { return state_->times; }

}  // namespace zarel::pdf
