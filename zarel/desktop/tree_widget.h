// The tree widget behind DesktopTreeView, and its items.
//
// NodeTreeWidget is a one-column tree without a header whose items cannot
// be sorted by the widget itself: the order is always the one the tree
// view's nodes keep. It tells its owner when a key moved the current item
// or Enter was pressed on it (OnKeyPick), and when it is being destroyed
// (OnGone), before any of its items go.
//
// Threads: the toolkit's user-interface thread only.
#ifndef ZAREL_DESKTOP_TREE_WIDGET_H_
#define ZAREL_DESKTOP_TREE_WIDGET_H_

#include <QTreeWidget>
#include <functional>

namespace zarel {

class DesktopNode;

// An item showing one node. It goes when its node leaves the tree view, or
// with the widget.
class NodeItem : public QTreeWidgetItem {
 public:
  static constexpr int kType = QTreeWidgetItem::UserType + 1;
  explicit NodeItem(DesktopNode* node) : QTreeWidgetItem(kType), node_(node) {}
  DesktopNode* Node() const { return node_; }

 private:
  DesktopNode* node_;
};

class NodeTreeWidget : public QTreeWidget {
 public:
  explicit NodeTreeWidget(QWidget* parent);
  ~NodeTreeWidget() override;

  void OnKeyPick(std::function<void(QTreeWidgetItem*)> pick) { on_key_pick_ = std::move(pick); }
  void OnGone(std::function<void()> gone) { on_gone_ = std::move(gone); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::function<void(QTreeWidgetItem*)> on_key_pick_;
  std::function<void()> on_gone_;
};

// The node an item of the widget shows, or nullptr.
DesktopNode* NodeOfItem(const QTreeWidgetItem* item);

}  // namespace zarel

#endif  // ZAREL_DESKTOP_TREE_WIDGET_H_
