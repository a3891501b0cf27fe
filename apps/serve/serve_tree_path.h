// A tree path as the page's address carries it: "/?path=Shop%5CGenres%5CFiction"
// is the node Fiction under Genres under the root Shop. The levels are the
// node texts as the tree shows them, from the root down, joined by "\" (the
// tree view's path separator), and the whole is percent-encoded in the
// address; the page's script decodes it and sends the text. The export's
// index takes the same text (index.html#path=...), and names its pages by
// slugs of it.
//
// Opening a path is bounded: the text by max_path_bytes, its levels by
// max_path_levels, and each level costs at most one click (see
// Session::OpenPath).
//
// Threads: a pure function; any thread.
#ifndef ZAREL_APPS_SERVE_SERVE_TREE_PATH_H_
#define ZAREL_APPS_SERVE_SERVE_TREE_PATH_H_

#include <string>
#include <string_view>
#include <vector>

#include "apps/serve/serve_options.h"

namespace zarel::serve {

// The separator between a path's levels.
inline constexpr char kPathSeparator = '\\';

struct TreePath {
  std::vector<std::string> levels;
  // Why the text is refused (too long, too many levels, empty); empty when
  // it is taken.
  std::string error;
};

// The levels of a path text, or why it is refused. A level may be empty (a
// node without text); the path may not.
TreePath SplitTreePath(std::string_view text, const ServeLimits& limits);

}  // namespace zarel::serve

#endif  // ZAREL_APPS_SERVE_SERVE_TREE_PATH_H_
