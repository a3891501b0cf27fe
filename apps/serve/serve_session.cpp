// One user of the web host (see serve_session.h).
#include "apps/serve/serve_session.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "apps/serve/serve_security.h"
#include "zarel/base/error.h"
#include "zarel/control/control_inside.h"
#include "zarel/data/dal_inside.h"
#include "zarel/hostkit/tree_images.h"

namespace zarel::serve {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr std::size_t kEventsKept = 200;
constexpr const char* kControlName = "Zarel1";

std::int64_t Ticks(std::chrono::steady_clock::time_point moment) {
  return moment.time_since_epoch().count();
}

// Copies the site folder; symbolic links stay behind, so nothing in the
// session's folder points outside it.
void CopySite(const std::string& site, const std::string& folder) {
  std::error_code error;
  if (!fs::create_directory(folder, error) || error) {
    Raise(errc::kPathFileAccessError, "cannot make the session folder " + folder + ": " +
                                          (error ? error.message() : "it exists"));
  }
  fs::copy(site, folder, fs::copy_options::recursive | fs::copy_options::skip_symlinks, error);
  if (error) {
    Raise(errc::kPathFileAccessError,
          "cannot copy the site folder " + site + " to " + folder + ": " + error.message());
  }
}

}  // namespace

FolderRemover::~FolderRemover() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

Session::Session(const ServeOptions& options, const SavedForm* form, const std::string& folder)
    : last_used_(Ticks(std::chrono::steady_clock::now())), folder_(folder) {
  CopySite(options.site, folder);
  canonical_folder_ = fs::canonical(folder).string();
  host_dal_.ConnectionString(options.connection);

  form_ = std::make_unique<ControlContainer>(ControlContainer::Mode::kRun);
  if (form != nullptr) {
    form_->Load(*form, ZarelControlFactory);
    control_ = FirstZarel(*form_);
    if (!control_) Raise(errc::kInvalidProcedureCall, "the saved form holds no Zarel control");
  } else {
    control_ = std::make_shared<Zarel>();
    form_->Place(kControlName, control_);
  }
  control_->Advise(this);
  diagnose_ = options.diagnose;
  if (diagnose_) EngineInside::SetDiagnostics(ControlInside::Engine(*control_), this);
  control_->ConnectionString(options.connection);
  control_->ApplicationFolder(Variant(canonical_folder_));
  ApplyDisplayOptions(*control_, options.display);
  std::shared_ptr<TreeView> tree_view = tree_;
  std::shared_ptr<WebBrowser> browser = browser_;
  control_->SetControls(tree_view, browser);
  control_->RefreshBrowser();
}

Session::~Session() {
  if (control_) {
    EngineInside::SetDiagnostics(ControlInside::Engine(*control_), nullptr);
    control_->Advise(nullptr);
  }
}

std::chrono::steady_clock::time_point Session::LastUsed() const {
  return std::chrono::steady_clock::time_point(
      std::chrono::steady_clock::duration(last_used_.load()));
}

void Session::Touch() { last_used_ = Ticks(std::chrono::steady_clock::now()); }

json Session::State() {
  std::lock_guard<std::mutex> lock(mutex_);
  return json{{"tree", Tree()}, {"page", Page()}, {"events", EventsSince(0)}, {"action", nullptr}};
}

Reply Session::OnNode(std::int64_t node_id, const std::function<void(const TreeNodeRef&)>& action) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::uint64_t first = next_event_;
  const TreeNodeRef node = node_ids_.Find(node_id);
  try {
    if (!node) Raise(errc::kObjectNotSet);
    action(node);
  } catch (const RuntimeError&) {
    Reply reply = Answer(first);
    reply.status = 409;
    reply.body["error"] = "That node is no longer in the tree; the tree is shown as it is now.";
    return reply;
  }
  return Answer(first);
}

Reply Session::Click(std::int64_t node_id) {
  return OnNode(node_id, [this](const TreeNodeRef& node) { tree_->Click(node); });
}

Reply Session::Expand(std::int64_t node_id, bool expanded) {
  return OnNode(node_id, [expanded](const TreeNodeRef& node) { node->Expanded(expanded); });
}

Reply Session::Refresh() {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::uint64_t first = next_event_;
  control_->RefreshBrowser();
  return Answer(first);
}

Reply Session::Command(const std::string& command) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::uint64_t first = next_event_;
  if (command == "save") {
    control_->SavePage();
  } else if (command == "print") {
    control_->PrintPage();
  } else if (command == "preview") {
    control_->PreviewPage();
  } else {
    return Reply{404, json{{"error", "There is no command '" + command + "'."}}};
  }
  json action = nullptr;
  if (std::optional<BrowserAction> taken = browser_->TakeAction()) {
    const std::string url = UrlOf(taken->path);
    if (!url.empty()) action = json{{"command", taken->command}, {"url", url}};
  }
  return Answer(first, std::move(action));
}

std::optional<SessionFile> Session::File(const std::string& relative) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::optional<std::string> path = ResolveInside(canonical_folder_, relative);
  if (!path) return std::nullopt;
  std::ifstream file(*path, std::ios::binary);
  if (!file) return std::nullopt;
  SessionFile found;
  found.content.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  if (file.bad()) return std::nullopt;
  found.content_type = ContentTypeFor(*path);
  return found;
}

// --- The control's events, raised while a call holds the lock ---

void Session::ProvideRecordset(const std::string& sSQL, std::shared_ptr<Recordset>& sRS) {
  AddEvent(json{{"type", "provide"}, {"text", sSQL}});
  // A query the database refuses leaves sRS empty, which the engine reports.
  if (!host_dal_.ReadRecordset(sSQL, sRS) && diagnose_) {
    AddEvent(json{{"type", "reason"}, {"text", DALInside::LastFailure(host_dal_)}});
  }
}

void Session::QueryFinished(const std::string&, bool succeeded, const std::string& reason) {
  if (!succeeded) AddEvent(json{{"type", "reason"}, {"text", reason}});
}

void Session::ZarelMessage(const std::string& sMessage) {
  AddEvent(json{{"type", "message"}, {"text", sMessage}});
}

void Session::LogIt(const std::string& AType, const std::string& ANarration) {
  AddEvent(json{{"type", "log"}, {"logType", AType}, {"text", ANarration}});
}

// --- Helpers, called with the lock held ---

void Session::AddEvent(json event) {
  event["seq"] = next_event_++;
  events_.push_back(std::move(event));
  while (events_.size() > kEventsKept) events_.pop_front();
}

json Session::EventsSince(std::uint64_t first) const {
  json list = json::array();
  for (const json& event : events_) {
    if (event["seq"].get<std::uint64_t>() >= first) list.push_back(event);
  }
  return list;
}

json Session::Tree() {
  return node_ids_.Describe(*tree_, [this](const std::string& image) { return ImageUrl(image); });
}

json Session::ImageUrl(const std::string& image) {
  const auto known = image_urls_.find(image);
  if (known != image_urls_.end()) return known->second;
  json url = nullptr;
  for (const std::string& name : TreeImageFileNames(image)) {
    if (ResolveInside(canonical_folder_, name)) {
      url = std::string(kSitePrefix) + name;
      break;
    }
  }
  image_urls_.emplace(image, url);
  return url;
}

std::string Session::UrlOf(const std::string& path) const {
  const std::string base = canonical_folder_ + "/";
  if (path.compare(0, base.size(), base) != 0 || path.size() == base.size()) return "";
  return std::string(kSitePrefix) + UrlEncodePath(path.substr(base.size()));
}

json Session::Page() const {
  const std::string url = UrlOf(browser_->LocationPath());
  if (url.empty()) return nullptr;
  return json{{"url", url}, {"serial", browser_->Navigations()}};
}

Reply Session::Answer(std::uint64_t first, json action) {
  return Reply{200, json{{"tree", Tree()},
                         {"page", Page()},
                         {"events", EventsSince(first)},
                         {"action", std::move(action)}}};
}

}  // namespace zarel::serve
