// The session's tree view as JSON for the front end, and the node ids that
// let the front end name a node in its clicks.
//
// Every node the front end sees gets a number, kept for as long as the node
// stays in the tree (across any number of clicks elsewhere), and never
// reused within the session: a click that names a node which has since been
// removed finds nothing, instead of another node.
//
// One node is
//   {"id":7,"text":"North","key":"10»variable»3","tag":"3»leaf",
//    "image":"4","imageUrl":"/site/tree4.gif" or null,
//    "color":"#000000","expanded":false,"selected":true,
//    "children":[ ...nodes... ]}
// with the top-level nodes in display order and each node's children in
// their order. color is the node's ForeColor as an HTML colour. The JSON is
// written straight into the answer's text as the tree is walked.
//
// Threads: one thread at a time per TreeNodeIds (the session's lock).
#ifndef ZAREL_APPS_SERVE_SERVE_TREE_JSON_H_
#define ZAREL_APPS_SERVE_SERVE_TREE_JSON_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "zarel/hostkit/headless_tree_view.h"

namespace zarel::serve {

// The URL of a node's image (its image list index or key, as text), or
// empty when the site has no picture for it.
using ImageUrl = std::function<const std::string&(const std::string& image)>;

class TreeNodeIds {
 public:
  // Appends the tree's nodes to out as a JSON array (see above). Nodes seen
  // before keep their ids; nodes no longer in the tree are forgotten.
  void Describe(const HeadlessTreeView& tree, const ImageUrl& image_url, std::string& out);
  // The node with this id, when it was in the tree at the last Describe and
  // is still alive; otherwise an empty reference.
  TreeNodeRef Find(std::int64_t id) const;

 private:
  struct Entry {
    std::weak_ptr<TreeNode> node;
    std::int64_t id = 0;
    std::uint64_t walk = 0;  // the last Describe that saw the node
  };
  // By the node's address; the weak reference tells a node from a later one
  // at the same address (it keeps the first one's control block, so the
  // two never compare equal).
  std::unordered_map<const TreeNode*, Entry> by_node_;
  std::unordered_map<std::int64_t, const TreeNode*> by_id_;
  std::uint64_t walk_ = 0;
  std::int64_t next_id_ = 1;
};

// A blue-green-red colour as "#rrggbb", returned or appended to out.
std::string HtmlColour(std::int32_t colour);
void AppendHtmlColour(std::string& out, std::int32_t colour);

}  // namespace zarel::serve

#endif  // ZAREL_APPS_SERVE_SERVE_TREE_JSON_H_
