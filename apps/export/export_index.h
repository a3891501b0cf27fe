// The export's index.html: the web host's look without a server. The tree
// is written into the page as nested lists (texts, colours, pictures), every
// node with a page a link into the page pane, so that it works from file:
// and from any static server, even with scripts off; export.js adds
// expanding and collapsing, the selected node, and an address per page
// ("index.html#path=Shop%5CProducts") that Back and Forward follow.
//
// Functions only; nothing shared.
#ifndef ZAREL_APPS_EXPORT_EXPORT_INDEX_H_
#define ZAREL_APPS_EXPORT_EXPORT_INDEX_H_

#include <string>
#include <string_view>
#include <vector>

#include "apps/export/site_export.h"

namespace zarel::site_export {

// index.html for the tree (nodes[0] is the root).
std::string IndexHtml(const std::vector<ExportedNode>& nodes, std::string_view exported_at);

// The style sheets and the script index.html loads, by their name in OUT
// ("zarel.css", "export.css", "export.js"), as the build embedded them.
struct IndexFile {
  std::string name;
  std::string_view content;
};
std::vector<IndexFile> IndexFiles();

}  // namespace zarel::site_export

#endif  // ZAREL_APPS_EXPORT_EXPORT_INDEX_H_
