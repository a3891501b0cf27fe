// The host's controls as the report engine sees them: a tree view with its
// nodes, and a web browser.
//
// The host owns both and hands them to the engine (clsDB::SetControls). The
// engine calls only the members declared here. headless_tree_view.h and
// headless_browser.h implement them without a screen, for tests and for the
// command-line host; the web host maps them onto a real browser.
//
// Members that fail raise RuntimeError: a duplicate node key 35602, an index
// outside the collection 35600 "Index out of bounds", a node used after it
// was removed 91.
//
// Threads: a tree view, its nodes and a browser are used by one thread at a
// time, the thread of the engine they are given to; "NodeClick" is raised on
// the thread that clicks.
#ifndef ZAREL_HOSTKIT_HOST_CONTROLS_H_
#define ZAREL_HOSTKIT_HOST_CONTROLS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zarel/base/object.h"
#include "zarel/base/variant.h"

namespace zarel {

class TreeNode;
using TreeNodeRef = std::shared_ptr<TreeNode>;

// The relationship argument of TreeNodes::Add: the new node goes last among
// the relative node's children.
inline constexpr int kTreeChild = 4;

class TreeNode : public Object {
 public:
  virtual std::string Key() const = 0;
  virtual std::string Text() const = 0;
  virtual void Text(const std::string& text) = 0;
  virtual std::string Tag() const = 0;
  virtual void Tag(const std::string& tag) = 0;
  // An image list index (a number) or an image key ("Net").
  virtual Variant Image() const = 0;
  virtual void Image(const Variant& image) = 0;
  // Text colour, blue-green-red (255 is red).
  virtual std::int32_t ForeColor() const = 0;
  virtual void ForeColor(std::int32_t colour) = 0;
  virtual bool Expanded() const = 0;
  virtual void Expanded(bool expanded) = 0;
  virtual bool Selected() const = 0;
  // Selecting a node makes it the tree view's SelectedItem.
  virtual void Selected(bool selected) = 0;

  // The number of children, the first child, the next sibling, the first and
  // last node of this node's level (under the same parent, or the top level).
  // Child and Next answer an empty reference when there is none.
  virtual int Children() const = 0;
  virtual TreeNodeRef Child() const = 0;
  virtual TreeNodeRef Next() const = 0;
  virtual TreeNodeRef Parent() const = 0;
  virtual TreeNodeRef FirstSibling() const = 0;
  virtual TreeNodeRef LastSibling() const = 0;
  // The 1-based position in the tree view's node collection.
  virtual int Index() const = 0;
  // The texts from the top node down to this one, joined by the tree view's
  // path separator.
  virtual std::string FullPath() const = 0;
  // Expands every ancestor so that the node can be seen.
  virtual void EnsureVisible() = 0;
};

// The tree view's node collection, in the order the nodes were added.
class TreeNodes {
 public:
  virtual ~TreeNodes() = default;
  virtual void Clear() = 0;
  // Appends a top-level node with no key and no text.
  virtual TreeNodeRef Add() = 0;
  // Adds a node in the given relationship to relative (kTreeChild: as its
  // last child). An empty key means no key; a non-empty key must be unique
  // in the tree view (35602 otherwise).
  virtual TreeNodeRef Add(const TreeNodeRef& relative, int relationship, const std::string& key,
                          const std::string& text, const Variant& image) = 0;
  // Removes the node at a 1-based index with its whole subtree.
  virtual void Remove(int index) = 0;
  virtual int Count() const = 0;
  // The node at a 1-based index; 35600 outside the collection.
  virtual TreeNodeRef Item(int index) const = 0;
};

// Receives the tree view's events, each by name with its parameters. The
// tree view raises "NodeClick" with the clicked node as parameter 0, after
// making it the selected node.
class TreeViewEvents {
 public:
  virtual ~TreeViewEvents() = default;
  virtual void TreeViewEvent(const std::string& name, std::vector<Variant>& parameters) = 0;
};

class TreeView : public Object {
 public:
  virtual TreeNodes& Nodes() = 0;
  virtual void LabelEdit(int mode) = 0;
  virtual int LabelEdit() const = 0;
  virtual void Sorted(bool sorted) = 0;
  virtual bool Sorted() const = 0;
  virtual TreeNodeRef SelectedItem() const = 0;
  virtual std::string PathSeparator() const = 0;
  // Binds the receiver of the tree view's events; nullptr unbinds. The tree
  // view does not own it: whoever binds unbinds before it goes.
  virtual void Advise(TreeViewEvents* sink) = 0;
};

// ExecWB command ids and the option the engine passes.
inline constexpr std::int16_t kCommandSaveAs = 4;
inline constexpr std::int16_t kCommandPrint = 6;
inline constexpr std::int16_t kCommandPrintPreview = 7;
inline constexpr std::int16_t kPromptUser = 1;

class WebBrowser : public Object {
 public:
  // Shows the file at path.
  virtual void Navigate(const std::string& path) = 0;
  // Runs a command on the page shown; raises RuntimeError when it fails.
  virtual void ExecWB(std::int16_t command, std::int16_t option) = 0;
};

}  // namespace zarel

#endif  // ZAREL_HOSTKIT_HOST_CONTROLS_H_
