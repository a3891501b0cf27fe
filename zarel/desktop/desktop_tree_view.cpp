// The desktop tree view: a headless tree view keeps the nodes and answers
// for them (order, indexes, keys, errors), and every change is shown on the
// tree widget; what the user does on the widget goes back into the nodes.
#include "zarel/desktop/desktop_tree_view.h"

#include <QFileInfo>
#include <QHash>
#include <QIcon>
#include <QPointer>
#include <unordered_map>
#include <vector>

#include "zarel/base/error.h"
#include "zarel/desktop/tree_widget.h"
#include "zarel/hostkit/headless_tree_view.h"
#include "zarel/hostkit/tree_images.h"

namespace zarel {

namespace {

// LabelEdit 0: the user edits a node's text by clicking the selected node
// or pressing the edit key; 1: only the program changes texts.
constexpr int kLabelEditAutomatic = 0;

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

QColor ColourOf(std::int32_t bgr) {
  const auto value = static_cast<std::uint32_t>(bgr);
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

}  // namespace

class DesktopTree;

// A node of the desktop tree view: its model node (in the headless tree
// view) and the item that shows it. The model answers first, so a node that
// has left the tree raises 91 before anything touches the widget.
class DesktopNode : public TreeNode, public std::enable_shared_from_this<DesktopNode> {
 public:
  DesktopNode(DesktopTree* tree, TreeNodeRef model) : tree_(tree), model_(std::move(model)) {}

  std::string Key() const override { return model_->Key(); }
  std::string Text() const override { return model_->Text(); }
  void Text(const std::string& text) override;
  std::string Tag() const override { return model_->Tag(); }
  void Tag(const std::string& tag) override { model_->Tag(tag); }
  Variant Image() const override { return model_->Image(); }
  void Image(const Variant& image) override;
  std::int32_t ForeColor() const override { return model_->ForeColor(); }
  void ForeColor(std::int32_t colour) override;
  bool Expanded() const override { return model_->Expanded(); }
  void Expanded(bool expanded) override;
  bool Selected() const override { return model_->Selected(); }
  void Selected(bool selected) override;
  int Children() const override { return model_->Children(); }
  TreeNodeRef Child() const override { return Wrapped(model_->Child()); }
  TreeNodeRef Next() const override { return Wrapped(model_->Next()); }
  TreeNodeRef Parent() const override { return Wrapped(model_->Parent()); }
  TreeNodeRef FirstSibling() const override { return Wrapped(model_->FirstSibling()); }
  TreeNodeRef LastSibling() const override { return Wrapped(model_->LastSibling()); }
  int Index() const override { return model_->Index(); }
  std::string FullPath() const override { return model_->FullPath(); }
  void EnsureVisible() override;

  // Raises 91 when the node has left its tree view.
  void Live() const { (void)model_->Children(); }
  // The desktop node of a model node the model has just answered (so the
  // node is still in its tree view).
  TreeNodeRef Wrapped(const TreeNodeRef& model) const;
  // The node leaves its tree view for good.
  void Leave() {
    tree_ = nullptr;
    item_ = nullptr;
  }

  DesktopTree* tree_;            // nullptr once the node has left
  TreeNodeRef model_;            // the headless node
  QTreeWidgetItem* item_ = nullptr;  // nullptr without a widget
};

class DesktopTree : public TreeNodes {
 public:
  explicit DesktopTree(QWidget* parent) : widget_(new NodeTreeWidget(parent)) {
    NodeTreeWidget* widget = widget_;
    QObject* context = &context_;
    widget->OnGone([this] { WidgetGone(); });
    widget->OnKeyPick([this](QTreeWidgetItem* item) { PickItem(item); });
    QObject::connect(widget, &QTreeWidget::itemClicked, context,
                     [this](QTreeWidgetItem* item, int) { PickItem(item); });
    QObject::connect(widget, &QTreeWidget::itemExpanded, context,
                     [this](QTreeWidgetItem* item) { UserExpanded(item, true); });
    QObject::connect(widget, &QTreeWidget::itemCollapsed, context,
                     [this](QTreeWidgetItem* item) { UserExpanded(item, false); });
    QObject::connect(widget, &QTreeWidget::currentItemChanged, context,
                     [this](QTreeWidgetItem* current, QTreeWidgetItem*) { UserMoved(current); });
    QObject::connect(widget, &QTreeWidget::itemChanged, context,
                     [this](QTreeWidgetItem* item, int) { UserEdited(item); });
  }

  ~DesktopTree() override {
    for (auto& entry : nodes_) entry.second->Leave();
    nodes_.clear();
    if (!widget_) return;
    NodeTreeWidget* widget = widget_;
    widget->OnGone(nullptr);
    widget->OnKeyPick(nullptr);
    QObject::disconnect(widget, nullptr, &context_, nullptr);
    widget->clear();
    if (widget->parent() == nullptr) delete widget;
  }

  // --- TreeNodes ---
  void Clear() override {
    for (auto& entry : nodes_) entry.second->Leave();
    nodes_.clear();
    model_->Nodes().Clear();
    icons_.clear();
    if (widget_) {
      Quiet quiet(*this);
      widget_->clear();
    }
  }

  TreeNodeRef Add() override { return Show(model_->Nodes().Add()); }

  TreeNodeRef Add(const TreeNodeRef& relative, int relationship, const std::string& key,
                  const std::string& text, const Variant& image) override {
    // The model checks the relative node: removed (91), of another tree
    // view (5).
    TreeNodeRef model_relative = relative;
    if (const auto* own = dynamic_cast<const DesktopNode*>(relative.get())) {
      model_relative = own->model_;
    }
    return Show(model_->Nodes().Add(model_relative, relationship, key, text, image));
  }

  void Remove(int index) override {
    const TreeNodeRef model = model_->Nodes().Item(index);
    std::vector<std::shared_ptr<DesktopNode>> leaving;
    std::vector<TreeNodeRef> pending{model};
    while (!pending.empty()) {
      TreeNodeRef next = std::move(pending.back());
      pending.pop_back();
      for (TreeNodeRef child = next->Child(); child; child = child->Next()) {
        pending.push_back(child);
      }
      leaving.push_back(nodes_.at(next.get()));
    }
    QTreeWidgetItem* item = leaving.front()->item_;
    model_->Nodes().Remove(index);
    for (const auto& node : leaving) {
      nodes_.erase(node->model_.get());
      node->Leave();
    }
    if (widget_ && item != nullptr) {
      Quiet quiet(*this);
      delete item;
    }
    ShowSelection();
  }

  int Count() const override { return model_->Nodes().Count(); }

  TreeNodeRef Item(int index) const override { return Wrap(model_->Nodes().Item(index)); }

  // --- For the tree view and its nodes ---
  TreeNodeRef Wrap(const TreeNodeRef& model) const {
    if (!model) return nullptr;
    const auto found = nodes_.find(model.get());
    return found == nodes_.end() ? nullptr : found->second;
  }

  // The node of this tree view behind a reference: 91 for an empty or
  // removed one, 5 for a node of another tree view.
  DesktopNode& Own(const TreeNodeRef& node) const {
    if (!node) Raise(errc::kObjectNotSet);
    auto* own = dynamic_cast<DesktopNode*>(node.get());
    if (own != nullptr) own->Live();
    if (own == nullptr || own->tree_ != this) {
      Raise(errc::kInvalidProcedureCall, "The node belongs to another tree view");
    }
    return *own;
  }

  // What a user's pick of a node does: it becomes the selected node, then
  // "NodeClick" is raised with it.
  void Pick(DesktopNode& node) {
    node.model_->Selected(true);
    ShowSelection();
    if (sink_ == nullptr) return;
    std::vector<Variant> parameters{Variant(TreeNodeRef(node.shared_from_this()))};
    sink_->TreeViewEvent("NodeClick", parameters);
  }

  void ShowText(DesktopNode& node) {
    if (!widget_ || node.item_ == nullptr) return;
    Quiet quiet(*this);
    node.item_->setText(0, ToQt(node.model_->Text()));
    // A sorted top level: the model has moved the node; the item follows.
    if (model_->Sorted() && !node.model_->Parent()) Reinsert(node);
  }

  void ShowImage(DesktopNode& node) {
    if (!widget_ || node.item_ == nullptr) return;
    Quiet quiet(*this);
    node.item_->setIcon(0, IconFor(node.model_->Image().TextOrEmpty()));
  }

  void ShowColour(DesktopNode& node) {
    if (!widget_ || node.item_ == nullptr) return;
    Quiet quiet(*this);
    node.item_->setForeground(0, ColourOf(node.model_->ForeColor()));
  }

  void ShowExpanded(const DesktopNode& node) {
    if (!widget_ || node.item_ == nullptr) return;
    Quiet quiet(*this);
    node.item_->setExpanded(node.model_->Expanded());
  }

  // Makes the widget's current item the model's selected node. Selecting
  // does not open the branches above the node (the widget would, to show
  // it): the tree view's states are the nodes' own.
  void ShowSelection() {
    if (!widget_) return;
    Quiet quiet(*this);
    const TreeNodeRef selected = model_->SelectedItem();
    QTreeWidgetItem* item = selected ? nodes_.at(selected.get())->item_ : nullptr;
    const bool scroll = widget_->hasAutoScroll();
    widget_->setAutoScroll(false);
    widget_->setCurrentItem(item);
    if (item == nullptr) widget_->clearSelection();
    widget_->setAutoScroll(scroll);
  }

  // The top level in the model's order again (after Sorted changed).
  void ShowTopLevelOrder() {
    if (!widget_ || Count() == 0) return;
    Quiet quiet(*this);
    for (int at = widget_->topLevelItemCount() - 1; at >= 0; --at) widget_->takeTopLevelItem(at);
    const TreeNodeRef first = model_->Nodes().Item(1)->FirstSibling();
    for (TreeNodeRef top = first; top; top = top->Next()) {
      DesktopNode& node = *nodes_.at(top.get());
      widget_->addTopLevelItem(node.item_);
      ShowSubtreeExpanded(node);
    }
    ShowSelection();
  }

  void ImageFolder(const std::string& folder) {
    image_folder_ = folder;
    icons_.clear();
    for (auto& entry : nodes_) ShowImage(*entry.second);
  }

  void LabelEdit(int mode) {
    model_->LabelEdit(mode);
    if (!widget_) return;
    widget_->setEditTriggers(mode == kLabelEditAutomatic
                                 ? QAbstractItemView::SelectedClicked |
                                       QAbstractItemView::EditKeyPressed
                                 : QAbstractItemView::NoEditTriggers);
  }

  std::shared_ptr<HeadlessTreeView> model_ = HeadlessTreeView::Create();
  QPointer<NodeTreeWidget> widget_;
  TreeViewEvents* sink_ = nullptr;

 private:
  // While one lives, the widget's signals come from this code, not from
  // the user, and are not taken back into the nodes.
  class Quiet {
   public:
    explicit Quiet(DesktopTree& tree) : tree_(tree) { ++tree_.quiet_; }
    ~Quiet() { --tree_.quiet_; }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

   private:
    DesktopTree& tree_;
  };

  // Wraps a node the model has just added and shows it in its place.
  TreeNodeRef Show(const TreeNodeRef& model) {
    auto node = std::make_shared<DesktopNode>(this, model);
    nodes_.emplace(model.get(), node);
    if (widget_) {
      Quiet quiet(*this);
      auto* item = new NodeItem(node.get());
      item->setFlags(item->flags() | Qt::ItemIsEditable);
      item->setText(0, ToQt(model->Text()));
      item->setIcon(0, IconFor(model->Image().TextOrEmpty()));
      node->item_ = item;
      Insert(*node);
      // A branch opened before it had children opens again now that it
      // shows one.
      if (const TreeNodeRef parent = model->Parent()) ShowExpanded(*nodes_.at(parent.get()));
    }
    return node;
  }

  // Puts the node's item where the model has the node: before the item of
  // its next sibling, or last among its siblings.
  void Insert(DesktopNode& node) {
    const TreeNodeRef next = node.model_->Next();
    QTreeWidgetItem* next_item = next ? nodes_.at(next.get())->item_ : nullptr;
    if (const TreeNodeRef parent = node.model_->Parent()) {
      QTreeWidgetItem* parent_item = nodes_.at(parent.get())->item_;
      const int at =
          next_item != nullptr ? parent_item->indexOfChild(next_item) : parent_item->childCount();
      parent_item->insertChild(at, node.item_);
    } else {
      const int at = next_item != nullptr ? widget_->indexOfTopLevelItem(next_item)
                                          : widget_->topLevelItemCount();
      widget_->insertTopLevelItem(at, node.item_);
    }
  }

  // Moves a top-level node's item to the model's place for it.
  void Reinsert(DesktopNode& node) {
    widget_->takeTopLevelItem(widget_->indexOfTopLevelItem(node.item_));
    Insert(node);
    ShowSubtreeExpanded(node);
    ShowSelection();
  }

  // An item taken out of the widget and put back has lost the expanded
  // states of its branch: shows them again.
  void ShowSubtreeExpanded(const DesktopNode& top) {
    std::vector<const DesktopNode*> pending{&top};
    while (!pending.empty()) {
      const DesktopNode* node = pending.back();
      pending.pop_back();
      ShowExpanded(*node);
      for (TreeNodeRef child = node->model_->Child(); child; child = child->Next()) {
        pending.push_back(nodes_.at(child.get()).get());
      }
    }
  }

  QIcon IconFor(const std::string& image) {
    const QString key = ToQt(image);
    const auto known = icons_.constFind(key);
    if (known != icons_.constEnd()) return *known;
    QIcon icon;
    if (!image_folder_.empty()) {
      for (const std::string& name : TreeImageFileNames(image)) {
        const QString path = ToQt(image_folder_ + "/" + name);
        if (QFileInfo(path).isFile()) {
          icon = QIcon(path);
          break;
        }
      }
    }
    icons_.insert(key, icon);
    return icon;
  }

  // --- What the user does on the widget ---
  void PickItem(QTreeWidgetItem* item) {
    if (quiet_ > 0) return;
    if (DesktopNode* node = NodeOfItem(item)) Pick(*node);
  }

  void UserExpanded(QTreeWidgetItem* item, bool expanded) {
    if (quiet_ > 0) return;
    if (DesktopNode* node = NodeOfItem(item)) node->model_->Expanded(expanded);
  }

  void UserMoved(QTreeWidgetItem* current) {
    if (quiet_ > 0) return;
    if (DesktopNode* node = NodeOfItem(current)) {
      node->model_->Selected(true);
    } else if (const TreeNodeRef selected = model_->SelectedItem()) {
      selected->Selected(false);
    }
  }

  // A text the user typed (LabelEdit 0) becomes the node's text.
  void UserEdited(QTreeWidgetItem* item) {
    if (quiet_ > 0) return;
    DesktopNode* node = NodeOfItem(item);
    if (node == nullptr) return;
    const std::string text = item->text(0).toStdString();
    if (text != node->model_->Text()) node->Text(text);
  }

  void WidgetGone() {
    for (auto& entry : nodes_) entry.second->item_ = nullptr;
    widget_.clear();
  }

  QObject context_;  // the widget's connections end with the tree view
  std::unordered_map<const TreeNode*, std::shared_ptr<DesktopNode>> nodes_;  // by model node
  std::string image_folder_;
  QHash<QString, QIcon> icons_;  // by image text
  int quiet_ = 0;
};

// --- The nodes: the model first, then the widget ---

void DesktopNode::Text(const std::string& text) {
  model_->Text(text);
  tree_->ShowText(*this);
}

void DesktopNode::Image(const Variant& image) {
  model_->Image(image);
  tree_->ShowImage(*this);
}

void DesktopNode::ForeColor(std::int32_t colour) {
  model_->ForeColor(colour);
  tree_->ShowColour(*this);
}

void DesktopNode::Expanded(bool expanded) {
  model_->Expanded(expanded);
  tree_->ShowExpanded(*this);
}

void DesktopNode::Selected(bool selected) {
  model_->Selected(selected);
  tree_->ShowSelection();
}

TreeNodeRef DesktopNode::Wrapped(const TreeNodeRef& model) const { return tree_->Wrap(model); }

void DesktopNode::EnsureVisible() {
  model_->EnsureVisible();
  for (TreeNodeRef above = model_->Parent(); above; above = above->Parent()) {
    tree_->ShowExpanded(tree_->Own(tree_->Wrap(above)));
  }
  if (tree_->widget_ && item_ != nullptr) tree_->widget_->scrollToItem(item_);
}

// --- The tree view ---

class DesktopTreeView::Impl : public DesktopTree {
 public:
  using DesktopTree::DesktopTree;
};

DesktopTreeView::DesktopTreeView(QWidget* parent) : impl_(std::make_unique<Impl>(parent)) {}
DesktopTreeView::~DesktopTreeView() = default;

std::shared_ptr<DesktopTreeView> DesktopTreeView::Create(QWidget* parent) {
  return std::shared_ptr<DesktopTreeView>(new DesktopTreeView(parent));
}

QTreeWidget* DesktopTreeView::Widget() const { return impl_->widget_; }
void DesktopTreeView::ImageFolder(const std::string& folder) { impl_->ImageFolder(folder); }
TreeNodes& DesktopTreeView::Nodes() { return *impl_; }
void DesktopTreeView::LabelEdit(int mode) { impl_->LabelEdit(mode); }
int DesktopTreeView::LabelEdit() const { return impl_->model_->LabelEdit(); }

void DesktopTreeView::Sorted(bool sorted) {
  if (sorted == impl_->model_->Sorted()) return;
  impl_->model_->Sorted(sorted);
  impl_->ShowTopLevelOrder();
}

bool DesktopTreeView::Sorted() const { return impl_->model_->Sorted(); }

TreeNodeRef DesktopTreeView::SelectedItem() const {
  return impl_->Wrap(impl_->model_->SelectedItem());
}

void DesktopTreeView::Advise(TreeViewEvents* sink) { impl_->sink_ = sink; }

void DesktopTreeView::Click(const TreeNodeRef& node) { impl_->Pick(impl_->Own(node)); }

QTreeWidgetItem* DesktopTreeView::ItemOf(const TreeNodeRef& node) const {
  const auto* own = dynamic_cast<const DesktopNode*>(node.get());
  return own != nullptr && own->tree_ == impl_.get() ? own->item_ : nullptr;
}

TreeNodeRef DesktopTreeView::NodeOf(const QTreeWidgetItem* item) const {
  DesktopNode* node = NodeOfItem(item);
  if (node == nullptr || node->tree_ != impl_.get()) return nullptr;
  return node->shared_from_this();
}

}  // namespace zarel
