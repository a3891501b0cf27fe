// The tree widget: its look, keys and end (see tree_widget.h).
#include "zarel/desktop/tree_widget.h"

#include <QKeyEvent>
#include <utility>

namespace zarel {

namespace {

constexpr int kIconSide = 16;

}  // namespace

NodeTreeWidget::NodeTreeWidget(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(1);
  setHeaderHidden(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSortingEnabled(false);
  setUniformRowHeights(true);
  setIconSize(QSize(kIconSide, kIconSide));
  setEditTriggers(QAbstractItemView::NoEditTriggers);
}

NodeTreeWidget::~NodeTreeWidget() {
  // The items go with the widget's base class, after this: nothing may hear
  // of them any more.
  blockSignals(true);
  on_key_pick_ = nullptr;
  if (on_gone_) std::exchange(on_gone_, nullptr)();
}

// Typing letters reaches keyboardSearch from here too, so comparing the
// current item before and after covers every key that moves it.
void NodeTreeWidget::keyPressEvent(QKeyEvent* event) {
  QTreeWidgetItem* before = currentItem();
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  QTreeWidget::keyPressEvent(event);
  QTreeWidgetItem* after = currentItem();
  if (after == nullptr || !on_key_pick_) return;
  if (after != before || (enter && state() != QAbstractItemView::EditingState)) {
    on_key_pick_(after);
  }
}

DesktopNode* NodeOfItem(const QTreeWidgetItem* item) {
  if (item == nullptr || item->type() != NodeItem::kType) return nullptr;
  return static_cast<const NodeItem*>(item)->Node();
}

}  // namespace zarel
