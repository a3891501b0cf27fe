// Tree paths in the page's address (see serve_tree_path.h).
#include "apps/serve/serve_tree_path.h"

namespace zarel::serve {

TreePath SplitTreePath(std::string_view text, const ServeLimits& limits) {
  TreePath path;
  if (text.empty()) {
    path.error = "The address's path names no node.";
    return path;
  }
  // Both bounds are checked before anything is kept: a hostile text costs
  // one pass over at most the body's bytes.
  if (text.size() > limits.max_path_bytes) {
    path.error = "The address's path is too long (" + std::to_string(text.size()) + " bytes; at most " +
                 std::to_string(limits.max_path_bytes) + ").";
    return path;
  }
  std::size_t levels = 1;
  for (const char c : text) levels += c == kPathSeparator ? 1 : 0;
  if (levels > limits.max_path_levels) {
    path.error = "The address's path has too many levels (" + std::to_string(levels) + "; at most " +
                 std::to_string(limits.max_path_levels) + ").";
    return path;
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t separator = text.find(kPathSeparator, start);
    path.levels.emplace_back(text.substr(start, separator == std::string_view::npos ? std::string_view::npos
                                                                                    : separator - start));
    if (separator == std::string_view::npos) break;
    start = separator + 1;
  }
  return path;
}

}  // namespace zarel::serve
