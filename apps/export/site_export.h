// zarel export's work: crawls a site as a user of one role would (the crawl
// of zarel check --crawl), and writes every composed page once into a
// folder that needs no server: OUT/index.html with the tree on the left and
// the page on the right, OUT/pages/ with the pages (named by slugs of their
// tree paths, see page_names.h) and the pictures and files they use.
//
//   OUT/index.html        the tree (texts, colours, pictures), the page pane
//   OUT/zarel.css         the web host's style sheet
//   OUT/export.css, export.js   the static tree's own rules and script
//   OUT/pages/NAME.html   one page per node that showed one
//   OUT/pages/...         the pictures and files the pages name
//   OUT/.zarel-export     marks the folder as an export (see below)
//
// The folder is written beside OUT under a temporary name and put in place
// at the end; an OUT that exists must be empty or an earlier export (it has
// the mark), which is then replaced. Anything else is refused before the
// crawl, changing nothing.
//
// Threads: one export per thread.
#ifndef ZAREL_APPS_EXPORT_SITE_EXPORT_H_
#define ZAREL_APPS_EXPORT_SITE_EXPORT_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "apps/crawl/site_crawl.h"
#include "zarel/base/variant.h"

namespace zarel::site_export {

// The file that marks a folder as an export.
inline constexpr const char* kExportMark = ".zarel-export";
// The pages' folder inside OUT.
inline constexpr const char* kPagesFolder = "pages";

struct ExportOptions {
  std::string connection;
  std::filesystem::path site_folder;  // the site's pictures and files (--folder)
  std::filesystem::path out;
  DisplayOptions display;
  std::size_t max_nodes = 1000;
  std::size_t max_depth = 50;
  std::string exported_at;  // "YYYY-MM-DD HH:MM:SS", shown in the index and on the cover
};

// One node of the exported tree.
struct ExportedNode {
  std::string path;
  std::string text;
  std::string image;
  std::string image_file;  // its tree picture in OUT/pages ("tree3.gif"), or empty
  std::int32_t fore_color = 0;
  std::string tag;
  std::string page;  // "NAME.html" in OUT/pages, or empty: the node showed no page
  bool failed = false;
  std::string problem;  // what the engine said, when failed
  std::vector<std::size_t> children;  // indexes into ExportResult::nodes, in tree order
};

struct ExportProgress {
  std::size_t nodes_done = 0;
  std::size_t pages_written = 0;
  std::size_t waiting = 0;
  std::chrono::steady_clock::duration elapsed{};
};

struct ExportResult {
  // The export was refused or could not be written (the reason); nothing
  // was changed in OUT.
  std::optional<std::string> failure;
  std::vector<ExportedNode> nodes;  // nodes[0] is the root; empty when failed
  std::size_t pages = 0;
  std::size_t files = 0;                   // pictures and other files carried
  // "name (named by page)" for each file a page names that the site lacks.
  std::vector<std::string> missing_files;
  std::size_t left_unopened = 0;
  std::size_t lost = 0;
  // The indexes of nodes[] whose page failed, in crawl order.
  std::vector<std::size_t> failed;
};

// A moment as the index and the cover show it: "YYYY-MM-DD HH:MM:SS".
std::string MomentText(Date moment);

// Whether OUT may be written (missing, empty or an earlier export); the
// reason when not.
std::optional<std::string> RefusesOut(const std::filesystem::path& out);

// Crawls and writes the export. `progress`, when set, hears after each node.
ExportResult ExportSite(const ExportOptions& options,
                        const std::function<void(const ExportProgress&)>& progress);

// The nodes in tree order (each before its children): the order of the
// book's pages.
std::vector<std::size_t> TreeOrder(const std::vector<ExportedNode>& nodes);

}  // namespace zarel::site_export

#endif  // ZAREL_APPS_EXPORT_SITE_EXPORT_H_
