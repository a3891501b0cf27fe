// The site crawl: opens every node of a report site as a user of one role
// would, breadth first, and reports each node it opened with everything the
// engine said on the way. zarel check --crawl reports the messages, failing
// components, slowest components and largest pages; zarel export copies the
// pages as they are composed.
//
// The crawl drives the real Zarel control, placed fresh (ActivePort 80) on a
// run-mode form beside a headless tree view and browser: every node is
// opened by a click, exactly as a user's click opens it, so the tree is
// pruned and regrown as it is for a user. To reach a node whose branch was
// pruned meanwhile, the crawl clicks its ancestors again; the events of
// those clicks are not reported a second time.
//
// Nothing the crawl runs stays in the database: every read of the engine
// goes through one transaction, begun before the site is loaded and rolled
// back at the end, with each read in a savepoint of its own so that a failed
// read does not end the transaction (PostgreSQL). Procedures that write (the
// "execute" component's) run and see their own effects during the crawl;
// none of it is kept.
//
// Threads: one crawl per thread; separate crawls run in parallel.
#ifndef ZAREL_APPS_CRAWL_SITE_CRAWL_H_
#define ZAREL_APPS_CRAWL_SITE_CRAWL_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "apps/options/display_options.h"

namespace zarel::crawl {

struct CrawlOptions {
  std::string connection;       // the report database's connection string
  std::string folder;           // the application folder the pages are composed in (must exist)
  DisplayOptions display;       // heading, date format, path line, role; talking is always on
  std::size_t max_nodes = 1000; // nodes opened at most, the root included
  std::size_t max_depth = 50;   // levels below the root
};

// One thing the engine said while a node was opened.
struct CrawlEvent {
  enum class Kind { kMessage, kLog, kReason };
  Kind kind = Kind::kMessage;
  std::string text;      // the message, the log's narration, the database layer's reason
  std::string log_type;  // kLog: "View"
  // The component of the page that was running (an index into
  // VisitedNode::components), or none for the node's own queries.
  std::optional<std::size_t> component;
};

// One component of a composed page.
struct ComponentReport {
  std::int32_t number = 0;   // XWeb column 0
  std::string caption;
  std::string type;          // trimmed, lower case
  std::string query;         // "EXEC ..." as it ran
  std::chrono::nanoseconds elapsed{0};  // query and renderer
  bool failed = false;       // the engine said something while it ran
};

struct VisitedNode {
  std::string path;          // the node's texts from the root, joined by "\"
  std::string text;          // the node's own text
  std::string image;         // its image list index or key, as text ("Net", "3", "")
  std::int32_t fore_color = 0;  // its ForeColor (blue-green-red)
  std::string key;           // the node's key ("" for the root)
  std::string tag;           // "ID»kind"
  std::size_t depth = 0;     // 0 for the root
  std::vector<std::size_t> route;  // child positions from the root (0-based)
  // The page this opening composed or showed (oReport.htm, or fp.htm for
  // the root), empty when it showed none (a refused node, a failed page).
  std::string page;
  std::uintmax_t page_bytes = 0;
  bool logged_view = false;  // the engine logged "View": the page was completed
  std::size_t children = 0;  // children the node had after it was opened
  std::vector<CrawlEvent> events;
  std::vector<ComponentReport> components;
  std::chrono::nanoseconds elapsed{0};  // the whole click
};

// Receives the crawl as it goes. Visited is called once per opened node, in
// breadth-first order, right after its click returned: the page file is
// the one just composed and is overwritten by the next click.
class CrawlObserver {
 public:
  virtual ~CrawlObserver() = default;
  virtual void Visited(const VisitedNode& node) = 0;
  // After each node: how many were opened, and how many wait in the queue.
  virtual void Progress(std::size_t opened, std::size_t waiting);
};

struct CrawlSummary {
  // The connection could not be opened (the driver's own reason); nothing
  // was crawled.
  std::optional<std::string> connection_failure;
  std::size_t opened = 0;
  // Nodes that were found but not opened, because of max_nodes or
  // max_depth.
  std::size_t left_unopened = 0;
  // Nodes that could no longer be found when the crawl came back for them
  // (a procedure that answered differently the second time).
  std::size_t lost = 0;
  // Whether the transaction was rolled back in the end (false only when the
  // database refused the rollback).
  bool rolled_back = false;
};

// Crawls the site. Raises only for settings the control refuses (the
// display options); everything the site does wrong is in the reports.
CrawlSummary CrawlSite(const CrawlOptions& options, CrawlObserver& observer);

}  // namespace zarel::crawl

#endif  // ZAREL_APPS_CRAWL_SITE_CRAWL_H_
