// Session: one user of the web host, with a Zarel control of its own.
//
// Each browser session gets its own application folder (a copy of the site
// folder, so report pages and picture files of different users never mix),
// its own Zarel control (freshly placed in run mode, or loaded from the
// saved form the server was given), and a tree view and browser on the
// server side that the control is bound to. The front end shows them: the
// tree from the tree view, the report pane from what the browser was told to
// navigate to, the messages and log lines from the control's events.
//
// Calls run one at a time per session, as on the control's single
// user-interface thread: every call that reaches the control takes the
// session's lock for its whole run. A call that finds the session busy
// waits for it, but only until the call that holds it has run for the busy
// timeout, and only one call waits at a time: the others, and every call
// once the holder has run that long, are answered 503 "busy" at once, so one
// user's repeated clicks during a long query cannot hold the server's
// threads. Different sessions run in parallel. Files of the
// folder are opened without the lock (see OpenFile).
//
// Texts sent to the browser never show the server's folders: event texts
// and error messages have the session's folder, the work folder and the
// site folder taken out (HidePaths).
//
// JSON answers (see README, "The web host"):
//   {"tree": [nodes], "page": {"url": "/site/oReport.htm", "serial": 3}
//    or null, "events": [{"seq": 1, "type": "message" | "log" | "provide",
//    "text": ..., "logType": ...}], "action": null or {"command": "save" |
//    "print" | "preview", "url": ...}}, and after a tree path that stopped
//    early, "note": TEXT first (see OpenPath)
#ifndef ZAREL_APPS_SERVE_SERVE_SESSION_H_
#define ZAREL_APPS_SERVE_SERVE_SESSION_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "apps/serve/serve_browser.h"
#include "apps/serve/serve_options.h"
#include "apps/serve/serve_security.h"
#include "apps/serve/serve_tree_json.h"
#include "zarel/control/zarel.h"
#include "zarel/data/dal.h"
#include "zarel/engine/engine_diagnostics.h"
#include "zarel/hostkit/control_container.h"
#include "zarel/hostkit/headless_tree_view.h"
#include "zarel/hostkit/saved_form.h"

namespace zarel::serve {

// An answer of a session call: the HTTP status and its JSON body.
struct Reply {
  int status = 200;
  std::string body;
  // A 503 "busy": the client may try again in a second (Retry-After).
  bool busy = false;
};

// A file of the session's folder, open for sending.
struct SessionFile {
  int fd = -1;  // owned by the receiver
  std::string content_type;
};

// The URL path under which the session's folder is served.
inline constexpr const char* kSitePrefix = "/site/";

// Removes a folder with everything in it when it goes.
class FolderRemover {
 public:
  explicit FolderRemover(std::string path) : path_(std::move(path)) {}
  ~FolderRemover();
  FolderRemover(const FolderRemover&) = delete;
  FolderRemover& operator=(const FolderRemover&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

class Session : public ZarelEvents, public EngineDiagnostics {
 public:
  // Copies the site folder into folder (which must not exist yet; regular
  // files and folders are copied, symbolic links are not), creates the
  // control (loaded from form when given, otherwise freshly placed), sets
  // it up from options, binds the tree view and browser and refreshes: the
  // session starts on the front page with the tree's first level. Raises
  // RuntimeError when the folder cannot be made or the control refuses a
  // setting; the folder is then removed again. hidden: the server's paths
  // to keep from the browser besides the session's own folder.
  Session(const ServeOptions& options, const SavedForm* form, const std::string& folder,
          std::vector<HiddenPath> hidden);
  // Releases the control, then removes the folder.
  ~Session() override;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The tree, the page shown and every event kept (the last 200).
  Reply State();
  // A click on the node with this id ("NodeClick" on the tree view); 409
  // when the node is no longer in the tree. The answer holds the events of
  // this call only.
  Reply Click(std::int64_t node_id);
  // Opens the node at a tree path (its levels: node texts from the root
  // down, see serve_tree_path.h) as a user would, with the click's own
  // engine call: from the root down, a click on each node whose children
  // are not in the tree (not opened yet, or pruned since), then a click on
  // the node the path ends at, unless it is the selected node already.
  // Nodes that are open already are not clicked again: the session's role
  // does not change, so they would open the same way. A path of the root
  // alone refreshes (the front page is the root's page, and a click on the
  // root shows none), unless the root is selected already. Among siblings with
  // one text the first is taken. A level not found, or a node that did not
  // open when clicked (its role list refused the session's role, or its data
  // could not be read), ends the path at the last node reached, and the
  // answer's "note" says where and why. whole: the answer holds every event
  // kept (a new session), not only this call's.
  Reply OpenPath(const std::vector<std::string>& levels, bool whole);
  // Opens or closes a node's branch in the tree view (the expander button):
  // no event reaches the control. 409 for a node no longer in the tree.
  Reply Expand(std::int64_t node_id, bool expanded);
  // RefreshBrowser.
  Reply Refresh();
  // SavePage, PrintPage or PreviewPage by command "save", "print",
  // "preview"; the answer's action says what the front end must do.
  Reply Command(const std::string& command);
  // A file of the session's folder by its path relative to the folder (a
  // plain relative path), opened for reading; nothing when there is no such
  // regular file inside it. Takes no lock: a file is opened whole as it is
  // at that moment, and may be called from any thread.
  std::optional<SessionFile> OpenFile(const std::string& relative) const;
  // Asks the statement the session's current call runs, if any, to stop
  // (the server is stopping). May be called from any thread.
  void InterruptStatements();

  const std::string& Folder() const { return folder_.Path(); }
  // When the session was last used; Touch marks it used now.
  std::chrono::steady_clock::time_point LastUsed() const;
  void Touch();
  // The text with the server's folders taken out.
  std::string Hide(std::string_view text) const;

  // ZarelEvents.
  void ProvideRecordset(const std::string& sSQL, std::shared_ptr<Recordset>& sRS) override;
  void ZarelMessage(const std::string& sMessage) override;
  void LogIt(const std::string& AType, const std::string& ANarration) override;
  // The engine's diagnostics (--diagnose): a "reason" event after a read
  // that failed.
  void QueryFinished(const std::string& query, bool succeeded, const std::string& reason) override;

 private:
  class Turn;
  struct Event {
    std::uint64_t seq;
    std::string json;
  };

  // Follows the path (see OpenPath); the note, or empty when it was
  // followed to its end.
  std::string FollowPath(const std::vector<std::string>& levels);
  // Clicks the node; whether the click opened it (the engine composed its
  // page), false for a node refused or gone.
  bool ClickOpens(const TreeNodeRef& node);
  void AddEvent(std::string_view type, std::string_view log_type, std::string_view text);
  const std::string& ImageUrl(const std::string& image);
  std::string UrlOf(const std::string& path) const;
  // The state as JSON, with the events from number first on and the action.
  Reply Answer(std::uint64_t first, std::string_view action = "null");
  // Does something to the node with this id, in the session's turn, and
  // answers the state after it; 409 when the node is no longer in the tree.
  Reply OnNode(std::int64_t node_id, const std::function<void(const TreeNodeRef&)>& action);

  std::timed_mutex mutex_;
  std::atomic<int> waiting_{0};
  std::atomic<std::int64_t> turn_since_{0};  // when the holder of the turn took it
  const std::chrono::milliseconds busy_timeout_;
  std::atomic<std::int64_t> last_used_;
  FolderRemover folder_;  // declared before the control: removed after it went
  std::optional<FolderHandle> folder_handle_;
  std::string canonical_folder_;
  std::vector<HiddenPath> hidden_;
  std::deque<Event> events_;
  std::uint64_t next_event_ = 1;
  std::map<std::string, std::string> image_urls_;
  TreeNodeIds node_ids_;
  std::size_t last_answer_size_ = 0;
  DAL host_dal_;  // answers ProvideRecordset in data access mode 2
  bool diagnose_ = false;
  std::shared_ptr<HeadlessTreeView> tree_ = HeadlessTreeView::Create();
  std::shared_ptr<SessionBrowser> browser_ = SessionBrowser::Create();
  std::unique_ptr<ControlContainer> form_;
  std::shared_ptr<Zarel> control_;
};

}  // namespace zarel::serve

#endif  // ZAREL_APPS_SERVE_SERVE_SESSION_H_
