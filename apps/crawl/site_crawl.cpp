// The site crawl (see site_crawl.h).
#include "apps/crawl/site_crawl.h"

#include <deque>
#include <filesystem>
#include <memory>

#include "zarel/base/error.h"
#include "zarel/control/control_inside.h"
#include "zarel/control/zarel.h"
#include "zarel/data/dal.h"
#include "zarel/data/dal_inside.h"
#include "zarel/engine/engine_diagnostics.h"
#include "zarel/hostkit/control_container.h"
#include "zarel/hostkit/headless_browser.h"
#include "zarel/hostkit/headless_tree_view.h"

namespace zarel::crawl {

void CrawlObserver::Progress(std::size_t, std::size_t) {}

namespace {

using Clock = std::chrono::steady_clock;
using Route = std::vector<std::size_t>;

// The child at a position among a node's children, or none.
TreeNodeRef ChildAt(const TreeNodeRef& parent, std::size_t position) {
  TreeNodeRef child = parent->Children() > 0 ? parent->Child() : TreeNodeRef();
  for (std::size_t i = 0; child && i < position; ++i) child = child->Next();
  return child;
}

class Crawler : public ZarelEvents, public EngineDiagnostics {
 public:
  Crawler(const CrawlOptions& options, CrawlObserver& observer)
      : options_(options), observer_(observer) {
    browser_->OnNavigate([this](const std::string& path) {
      if (visit_ != nullptr) visit_->page = path;
    });
  }

  ~Crawler() override {
    if (control_) {
      EngineInside::SetDiagnostics(ControlInside::Engine(*control_), nullptr);
      control_->Advise(nullptr);
    }
  }

  Crawler(const Crawler&) = delete;
  Crawler& operator=(const Crawler&) = delete;

  CrawlSummary Run() {
    CrawlSummary summary;
    control_ = std::make_shared<Zarel>();
    form_.Place("Zarel1", control_);
    control_->Advise(this);
    control_->ConnectionString(options_.connection);
    control_->ApplicationFolder(Variant(options_.folder));
    ApplyDisplayOptions(*control_, options_.display);
    // Every message counts, and every read goes to the engine's own DAL.
    control_->Talking(true);
    control_->DAMode(1);
    clsDB& engine = ControlInside::Engine(*control_);
    dal_ = &EngineInside::Dal(engine);

    if (!dal_->TransBegin()) {
      const std::string& reason = DALInside::LastFailure(*dal_);
      summary.connection_failure =
          reason.empty() ? std::string("the database refused to begin a transaction") : reason;
      return summary;
    }
    EngineInside::SetDiagnostics(engine, this);
    std::shared_ptr<TreeView> tree_view = tree_;
    std::shared_ptr<WebBrowser> browser = browser_;
    control_->SetControls(tree_view, browser);

    // The refresh opens the root, as it does for every user.
    VisitedNode root_visit;
    Begin(root_visit);
    control_->RefreshBrowser();
    root_ = tree_->SelectedItem();
    Finish(root_visit, root_, Route());

    std::deque<Route> waiting;
    if (root_) {
      ++summary.opened;
      Enqueue(root_visit, waiting, summary);
      observer_.Visited(root_visit);
      observer_.Progress(summary.opened, waiting.size());
    }
    while (!waiting.empty()) {
      Route route = std::move(waiting.front());
      waiting.pop_front();
      TreeNodeRef node = Reach(route);
      if (!node) {
        ++summary.lost;
        continue;
      }
      VisitedNode visit;
      Begin(visit);
      try {
        tree_->Click(node);
      } catch (const RuntimeError&) {
        visit_ = nullptr;
        ++summary.lost;
        continue;
      }
      Finish(visit, node, route);
      ++summary.opened;
      Enqueue(visit, waiting, summary);
      observer_.Visited(visit);
      observer_.Progress(summary.opened, waiting.size());
    }

    EngineInside::SetDiagnostics(engine, nullptr);
    summary.rolled_back = dal_->TransRollback();
    return summary;
  }

 private:
  // --- The control's events ---
  void ProvideRecordset(const std::string&, std::shared_ptr<Recordset>&) override {}
  void ZarelMessage(const std::string& sMessage) override {
    Record(CrawlEvent::Kind::kMessage, sMessage, std::string());
  }
  void LogIt(const std::string& AType, const std::string& ANarration) override {
    Record(CrawlEvent::Kind::kLog, ANarration, AType);
  }

  // --- The engine's internal hooks ---
  // Each read in a savepoint of its own: on PostgreSQL a failed statement
  // would otherwise end the transaction for every read after it.
  void QueryStarting(const std::string&) override { dal_->ExecSQL("SAVEPOINT zarel_crawl"); }
  void QueryFinished(const std::string&, bool succeeded, const std::string& reason) override {
    if (!succeeded) {
      Record(CrawlEvent::Kind::kReason, reason, std::string());
      dal_->ExecSQL("ROLLBACK TO SAVEPOINT zarel_crawl");
    }
    dal_->ExecSQL("RELEASE SAVEPOINT zarel_crawl");
  }
  void ComponentStarting(const ComponentRun& component) override {
    if (visit_ == nullptr) return;
    ComponentReport report;
    report.number = component.number;
    report.caption = component.caption;
    report.type = component.type;
    report.query = component.query;
    visit_->components.push_back(std::move(report));
    component_ = visit_->components.size() - 1;
  }
  void ComponentFinished(const ComponentRun&, Clock::duration elapsed) override {
    if (visit_ == nullptr || !component_) return;
    visit_->components[*component_].elapsed =
        std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed);
    component_.reset();
  }

  void Record(CrawlEvent::Kind kind, const std::string& text, const std::string& log_type) {
    if (visit_ == nullptr) return;
    CrawlEvent event{kind, text, log_type, component_};
    if (component_ && kind != CrawlEvent::Kind::kLog) visit_->components[*component_].failed = true;
    if (kind == CrawlEvent::Kind::kLog && log_type == "View") visit_->logged_view = true;
    visit_->events.push_back(std::move(event));
  }

  void Begin(VisitedNode& visit) {
    visit_ = &visit;
    component_.reset();
    started_ = Clock::now();
  }

  void Finish(VisitedNode& visit, const TreeNodeRef& node, const Route& route) {
    visit.elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - started_);
    visit_ = nullptr;
    component_.reset();
    visit.route = route;
    visit.depth = route.size();
    if (node) {
      visit.path = node->FullPath();
      visit.text = node->Text();
      visit.image = node->Image().TextOrEmpty();
      visit.fore_color = node->ForeColor();
      visit.key = node->Key();
      visit.tag = node->Tag();
      visit.children = static_cast<std::size_t>(node->Children());
    }
    std::error_code ignored;
    if (!visit.page.empty()) {
      const std::uintmax_t size = std::filesystem::file_size(visit.page, ignored);
      visit.page_bytes = ignored ? 0 : size;
    }
  }

  void Enqueue(const VisitedNode& visit, std::deque<Route>& waiting, CrawlSummary& summary) const {
    for (std::size_t i = 0; i < visit.children; ++i) {
      if (visit.depth + 1 > options_.max_depth ||
          summary.opened + waiting.size() >= options_.max_nodes) {
        ++summary.left_unopened;
        continue;
      }
      Route child = visit.route;
      child.push_back(i);
      waiting.push_back(std::move(child));
    }
  }

  // The node at a route, clicking (without reporting) each ancestor whose
  // children were pruned since, as a user would to get back there. None
  // when the route leads nowhere now.
  TreeNodeRef Reach(const Route& route) {
    TreeNodeRef node = root_;
    for (std::size_t position : route) {
      if (!node) return node;
      if (node->Children() == 0) {
        try {
          tree_->Click(node);
        } catch (const RuntimeError&) {
          return TreeNodeRef();
        }
      }
      node = ChildAt(node, position);
    }
    return node;
  }

  const CrawlOptions& options_;
  CrawlObserver& observer_;
  std::shared_ptr<HeadlessTreeView> tree_ = HeadlessTreeView::Create();
  std::shared_ptr<HeadlessBrowser> browser_ = HeadlessBrowser::Create();
  DAL* dal_ = nullptr;
  TreeNodeRef root_;
  VisitedNode* visit_ = nullptr;  // the node being opened, or none (a silent click)
  std::optional<std::size_t> component_;
  Clock::time_point started_;
  // The form and its control, declared last so that they go first.
  ControlContainer form_{ControlContainer::Mode::kRun};
  std::shared_ptr<Zarel> control_;
};

}  // namespace

CrawlSummary CrawlSite(const CrawlOptions& options, CrawlObserver& observer) {
  Crawler crawler(options, observer);
  return crawler.Run();
}

}  // namespace zarel::crawl
