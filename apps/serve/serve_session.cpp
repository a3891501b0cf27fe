// One user of the web host (see serve_session.h).
#include "apps/serve/serve_session.h"

#include <filesystem>

#include "apps/serve/serve_json.h"
#include "apps/serve/serve_security.h"
#include "zarel/base/error.h"
#include "zarel/control/control_inside.h"
#include "zarel/data/dal_inside.h"
#include "zarel/hostkit/tree_images.h"

namespace zarel::serve {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kEventsKept = 200;
// Requests of one session that may wait for its lock at once: one, so a
// user's impatient clicks hold at most two threads (the call running and
// the one waiting).
constexpr int kMaxWaiting = 1;
constexpr const char* kControlName = "Zarel1";
constexpr const char* kBusy = "This session is still busy with an earlier request; try again in a moment.";
constexpr const char* kGoneNode = "That node is no longer in the tree; the tree is shown as it is now.";

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

Reply Busy() { return Reply{503, ErrorJson(kBusy), true}; }

// The first node from `first` on (its later siblings) with this text.
TreeNodeRef SiblingNamed(TreeNodeRef node, const std::string& text) {
  while (node && node->Text() != text) node = node->Next();
  return node;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

}  // namespace

// The session's turn for one call: its lock, taken at once when free.
// Otherwise the call waits, but never beyond the busy timeout counted from
// the start of the call that holds the turn, and only kMaxWaiting calls
// wait at once: once the holder has run for the busy timeout, the session
// counts as stuck (a long query) and every other call hears so at once.
class Session::Turn {
 public:
  explicit Turn(Session& session) : session_(session) {
    if (session.mutex_.try_lock()) {
      Take();
      return;
    }
    if (session.waiting_.fetch_add(1) < kMaxWaiting) {
      const auto since = std::chrono::steady_clock::time_point(
          std::chrono::steady_clock::duration(session.turn_since_.load()));
      const auto until = since + session.busy_timeout_;
      if (std::chrono::steady_clock::now() < until && session.mutex_.try_lock_until(until)) Take();
    }
    session.waiting_.fetch_sub(1);
  }
  ~Turn() {
    if (taken_) session_.mutex_.unlock();
  }
  Turn(const Turn&) = delete;
  Turn& operator=(const Turn&) = delete;
  bool Taken() const { return taken_; }

 private:
  void Take() {
    taken_ = true;
    session_.turn_since_ = Ticks(std::chrono::steady_clock::now());
  }

  Session& session_;
  bool taken_ = false;
};

FolderRemover::~FolderRemover() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

Session::Session(const ServeOptions& options, const SavedForm* form, const std::string& folder,
                 std::vector<HiddenPath> hidden)
    : busy_timeout_(options.limits.busy_timeout),
      last_used_(Ticks(std::chrono::steady_clock::now())),
      folder_(folder),
      hidden_(std::move(hidden)) {
  CopySite(options.site, folder);
  folder_handle_.emplace(folder);
  canonical_folder_ = folder_handle_->Path();
  hidden_.push_back({folder, "the session's folder"});
  hidden_.push_back({canonical_folder_, "the session's folder"});
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

std::string Session::Hide(std::string_view text) const { return HidePaths(text, hidden_); }

void Session::InterruptStatements() {
  // The statement a call runs cannot be stopped from another thread yet:
  // the call ends when its statement does.
}

Reply Session::State() {
  const Turn turn(*this);
  if (!turn.Taken()) return Busy();
  return Answer(0);
}

Reply Session::OnNode(std::int64_t node_id, const std::function<void(const TreeNodeRef&)>& action) {
  const Turn turn(*this);
  if (!turn.Taken()) return Busy();
  const std::uint64_t first = next_event_;
  const TreeNodeRef node = node_ids_.Find(node_id);
  try {
    if (!node) Raise(errc::kObjectNotSet);
    action(node);
  } catch (const RuntimeError&) {
    Reply reply = Answer(first);
    reply.status = 409;
    // The answer is an object: the error goes in as its first member.
    reply.body.insert(1, "\"error\":" + JsonString(kGoneNode) + ",");
    return reply;
  }
  return Answer(first);
}

Reply Session::Click(std::int64_t node_id) {
  return OnNode(node_id, [this](const TreeNodeRef& node) { tree_->Click(node); });
}

Reply Session::OpenPath(const std::vector<std::string>& levels, bool whole) {
  const Turn turn(*this);
  if (!turn.Taken()) return Busy();
  const std::uint64_t first = whole ? 0 : next_event_;
  const std::string note = FollowPath(levels);
  Reply reply = Answer(first);
  // The answer is an object: the note goes in as its first member.
  if (!note.empty()) reply.body.insert(1, "\"note\":" + JsonString(Hide(note)) + ",");
  return reply;
}

bool Session::ClickOpens(const TreeNodeRef& node) {
  // Every node below the root that the engine opens has its page composed
  // and shown; a refused node, or one whose query or page failed, shows
  // none. (The root is never clicked here: it is open from the start.)
  const std::uint64_t before = browser_->Navigations();
  try {
    tree_->Click(node);
  } catch (const RuntimeError&) {
    return false;
  }
  return browser_->Navigations() != before;
}

std::string Session::FollowPath(const std::vector<std::string>& levels) {
  const auto refused = [](const TreeNodeRef& node) {
    return "The address's path ends at " + Quoted(node->FullPath()) +
           ": that node did not open (your role may not open it, or its data could not be read).";
  };
  try {
    TreeNodeRef top;
    if (tree_->Nodes().Count() > 0) {
      top = tree_->Nodes().Item(1);
      while (top->Parent()) top = top->Parent();
      top = top->FirstSibling();
    }
    TreeNodeRef node = SiblingNamed(top, levels.front());
    if (!node) {
      return top ? "The address's path was not followed: the tree has no " + Quoted(levels.front()) + " at its top."
                 : std::string("The address's path was not followed: the tree is empty.");
    }
    if (levels.size() == 1) {
      // The root has no page of its own: a click on it leaves the page
      // shown as it is. Its page is the front page, which the refresh
      // shows, as at the session's start (and as the Refresh command does).
      if (!node->Selected()) control_->RefreshBrowser();
      return "";
    }
    // Each level costs at most one click: the node's own, when its children
    // are not in the tree; the node the path ends at is clicked once more
    // only when it was not clicked on the way and is not selected.
    bool clicked = false;
    for (std::size_t level = 1; level < levels.size(); ++level) {
      if (node->Children() == 0) {
        if (!ClickOpens(node)) return refused(node);
        clicked = true;
      }
      TreeNodeRef child = node->Children() > 0 ? SiblingNamed(node->Child(), levels[level]) : TreeNodeRef();
      if (!child) {
        if (!clicked && !node->Selected() && !ClickOpens(node)) return refused(node);
        return "The address's path ends at " + Quoted(node->FullPath()) + ": there is no " + Quoted(levels[level]) +
               " under it.";
      }
      node = std::move(child);
      clicked = false;
    }
    if (!clicked && !node->Selected() && !ClickOpens(node)) return refused(node);
    return "";
  } catch (const RuntimeError&) {
    // A node removed by the site's own events while the path was followed.
    return "The address's path could not be followed to its end: the tree changed on the way.";
  }
}

Reply Session::Expand(std::int64_t node_id, bool expanded) {
  return OnNode(node_id, [expanded](const TreeNodeRef& node) { node->Expanded(expanded); });
}

Reply Session::Refresh() {
  const Turn turn(*this);
  if (!turn.Taken()) return Busy();
  const std::uint64_t first = next_event_;
  control_->RefreshBrowser();
  return Answer(first);
}

Reply Session::Command(const std::string& command) {
  if (command != "save" && command != "print" && command != "preview") {
    return Reply{404, ErrorJson("There is no command '" + command + "'.")};
  }
  const Turn turn(*this);
  if (!turn.Taken()) return Busy();
  const std::uint64_t first = next_event_;
  if (command == "save") {
    control_->SavePage();
  } else if (command == "print") {
    control_->PrintPage();
  } else {
    control_->PreviewPage();
  }
  std::string action = "null";
  if (std::optional<BrowserAction> taken = browser_->TakeAction()) {
    const std::string url = UrlOf(taken->path);
    if (!url.empty()) action = "{\"command\":" + JsonString(taken->command) + ",\"url\":" + JsonString(url) + "}";
  }
  return Answer(first, action);
}

std::optional<SessionFile> Session::OpenFile(const std::string& relative) const {
  const int fd = folder_handle_->OpenFile(relative);
  if (fd < 0) return std::nullopt;
  return SessionFile{fd, ContentTypeFor(relative)};
}

// --- The control's events, raised while a call holds the lock ---

void Session::ProvideRecordset(const std::string& sSQL, std::shared_ptr<Recordset>& sRS) {
  AddEvent("provide", "", sSQL);
  // A query the database refuses leaves sRS empty, which the engine reports.
  if (!host_dal_.ReadRecordset(sSQL, sRS) && diagnose_) {
    AddEvent("reason", "", DALInside::LastFailure(host_dal_));
  }
}

void Session::QueryFinished(const std::string&, bool succeeded, const std::string& reason) {
  if (!succeeded) AddEvent("reason", "", reason);
}

void Session::ZarelMessage(const std::string& sMessage) { AddEvent("message", "", sMessage); }

void Session::LogIt(const std::string& AType, const std::string& ANarration) {
  AddEvent("log", AType, ANarration);
}

// --- Helpers, called in the session's turn ---

void Session::AddEvent(std::string_view type, std::string_view log_type, std::string_view text) {
  const std::uint64_t seq = next_event_++;
  std::string json = "{\"seq\":" + std::to_string(seq) + ",\"type\":";
  AppendJsonString(json, type);
  if (!log_type.empty()) {
    json += ",\"logType\":";
    AppendJsonString(json, Hide(log_type));
  }
  json += ",\"text\":";
  AppendJsonString(json, Hide(text));
  json += '}';
  events_.push_back({seq, std::move(json)});
  while (events_.size() > kEventsKept) events_.pop_front();
}

const std::string& Session::ImageUrl(const std::string& image) {
  const auto known = image_urls_.find(image);
  if (known != image_urls_.end()) return known->second;
  std::string url;
  for (const std::string& name : TreeImageFileNames(image)) {
    if (ResolveInside(canonical_folder_, name)) {
      url = std::string(kSitePrefix) + name;
      break;
    }
  }
  return image_urls_.emplace(image, std::move(url)).first->second;
}

std::string Session::UrlOf(const std::string& path) const {
  const std::string base = canonical_folder_ + "/";
  if (path.compare(0, base.size(), base) != 0 || path.size() == base.size()) return "";
  return std::string(kSitePrefix) + UrlEncodePath(path.substr(base.size()));
}

Reply Session::Answer(std::uint64_t first, std::string_view action) {
  Reply reply;
  std::string& body = reply.body;
  // Answers of a session are alike in size: one allocation, mostly.
  body.reserve(last_answer_size_ + 256);
  body += "{\"tree\":";
  node_ids_.Describe(*tree_, [this](const std::string& image) -> const std::string& { return ImageUrl(image); },
                     body);
  body += ",\"page\":";
  const std::string url = UrlOf(browser_->LocationPath());
  if (url.empty()) {
    body += "null";
  } else {
    body += "{\"url\":";
    AppendJsonString(body, url);
    body += ",\"serial\":" + std::to_string(browser_->Navigations()) + "}";
  }
  body += ",\"events\":[";
  // The events are in order: those from first on are at the end.
  auto from = events_.end();
  while (from != events_.begin() && std::prev(from)->seq >= first) --from;
  for (auto it = from; it != events_.end(); ++it) {
    if (it != from) body += ',';
    body += it->json;
  }
  body += "],\"action\":";
  body += action;
  body += '}';
  last_answer_size_ = body.size();
  return reply;
}

}  // namespace zarel::serve
