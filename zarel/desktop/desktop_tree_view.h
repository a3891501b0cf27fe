// DesktopTreeView: the host's tree view over a real tree widget
// (QTreeWidget), for the report engine (SetControls).
//
// It follows exactly the rules of the headless tree view
// (zarel/hostkit/headless_tree_view.h), which keeps its nodes: the node
// collection in the order added (Index, Item), a duplicate key refused with
// 35602, an index outside the collection with 35600, a removed node, or one
// of a tree view that has gone, refusing every member with 91, removal of a
// node's whole subtree, Sorted ordering the top level only (by text without
// regard to ASCII letter case, ties in the order added), FullPath joined by
// "\". The widget shows the same nodes in the same order, with:
//   - texts, and text colours (ForeColor, blue-green-red: 255 is red);
//   - images from the application folder (ImageFolder): image list entry N,
//     or key K, is the first of treeN.png, treeN.gif, treeN.svg, treeN.jpg
//     there (see zarel/hostkit/tree_images.h); without one, no picture;
//   - the expanded and selected states, both ways: a branch the user opens
//     or closes, and a node the user moves to, are the node's state;
//   - label editing by the user only with LabelEdit 0 (automatic): with 1
//     (manual, what the engine sets) the texts cannot be edited.
//
// "NodeClick" reaches the receiver (Advise) when the user picks a node: a
// mouse click on a node (also the selected one), a key that moves to
// another node (arrows, Home, End, Page Up/Down, typing its first letters),
// or Enter on the selected node. It comes after the node has become the
// selected node. Selecting a node from code (Selected, the engine's own
// choices) raises nothing. Click() does what a mouse click does.
//
// The widget belongs to the host's window once placed in its layout (or to
// the parent given to Create). When the window goes first, the tree view
// goes on working without showing anything; when the tree view goes first,
// the widget is emptied and deleted unless a parent holds it.
//
// Threads: the toolkit's user-interface thread only.
#ifndef ZAREL_DESKTOP_DESKTOP_TREE_VIEW_H_
#define ZAREL_DESKTOP_DESKTOP_TREE_VIEW_H_

#include <memory>
#include <string>

#include "zarel/hostkit/host_controls.h"

class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace zarel {

class DesktopTreeView : public TreeView {
 public:
  static std::shared_ptr<DesktopTreeView> Create(QWidget* parent = nullptr);
  ~DesktopTreeView() override;
  DesktopTreeView(const DesktopTreeView&) = delete;
  DesktopTreeView& operator=(const DesktopTreeView&) = delete;

  // The widget to place in a window; nullptr once it has been destroyed.
  QTreeWidget* Widget() const;
  // The folder of the nodes' picture files (the application folder).
  void ImageFolder(const std::string& folder);

  TreeNodes& Nodes() override;
  void LabelEdit(int mode) override;
  int LabelEdit() const override;
  void Sorted(bool sorted) override;
  bool Sorted() const override;
  TreeNodeRef SelectedItem() const override;
  std::string PathSeparator() const override { return "\\"; }
  void Advise(TreeViewEvents* sink) override;

  // What a user's click does: selects the node, then raises "NodeClick"
  // with it. 91 for an empty or removed node, 5 for one of another tree.
  void Click(const TreeNodeRef& node);
  // The widget's item that shows a node, and the node an item shows;
  // nullptr for none.
  QTreeWidgetItem* ItemOf(const TreeNodeRef& node) const;
  TreeNodeRef NodeOf(const QTreeWidgetItem* item) const;

 private:
  explicit DesktopTreeView(QWidget* parent);
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zarel

#endif  // ZAREL_DESKTOP_DESKTOP_TREE_VIEW_H_
