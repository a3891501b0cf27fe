// HeadlessTreeView: a complete tree view without a screen.
//
// It keeps the nodes, their keys, texts, tags, images, colours and the
// expanded and selected states exactly as a visible tree view would, and
// raises "NodeClick" when Click() is called, so the engine can be driven by
// tests and by the command-line host. Adding a node, removing one and every
// sibling step cost time independent of the number of nodes in the tree (a
// removal costs time in the size of the removed subtree), so trees of tens
// of thousands of nodes stay fast. Index and item by index cost O(log n).
//
// Sorted orders the top-level nodes by text, ignoring letter case (ties in
// the order they were added); it changes the display order (Walk, Next,
// FirstSibling, LastSibling), never Index, which is the order in the node
// collection. Every member of a removed node, or of a node whose tree view
// has gone or been cleared, raises 91.
//
// Threads: one thread at a time per tree view and its nodes (see
// host_controls.h).
#ifndef ZAREL_HOSTKIT_HEADLESS_TREE_VIEW_H_
#define ZAREL_HOSTKIT_HEADLESS_TREE_VIEW_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zarel/hostkit/host_controls.h"

namespace zarel {

class HeadlessTreeView : public TreeView {
 public:
  static std::shared_ptr<HeadlessTreeView> Create();
  ~HeadlessTreeView() override;

  TreeNodes& Nodes() override;
  void LabelEdit(int mode) override;
  int LabelEdit() const override;
  void Sorted(bool sorted) override;
  bool Sorted() const override;
  TreeNodeRef SelectedItem() const override;
  std::string PathSeparator() const override { return "\\"; }
  void Advise(TreeViewEvents* sink) override;

  // What a user's click does: selects the node, then raises "NodeClick"
  // with it. 91 for an empty or removed node.
  void Click(const TreeNodeRef& node);
  // Raises any event by name (for tests of the receiver).
  void RaiseEvent(const std::string& name, std::vector<Variant>& parameters);

  // Every node in display order: depth first, the top-level nodes in their
  // display order (sorted by text when Sorted is on), each node's children
  // in the order they were added. Calls visit(node, depth) with depth 0 for
  // top-level nodes. visit must not add or remove nodes.
  void Walk(const std::function<void(const TreeNodeRef&, int depth)>& visit) const;

 private:
  HeadlessTreeView();
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zarel

#endif  // ZAREL_HOSTKIT_HEADLESS_TREE_VIEW_H_
