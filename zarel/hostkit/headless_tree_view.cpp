// The headless tree view: nodes linked to their parent and siblings, a key
// index, and the collection order kept in a Fenwick tree over the slots in
// which nodes were added, so that Index, Item and Remove cost O(log n) and
// a removal is linear only in the removed subtree.
#include "zarel/hostkit/headless_tree_view.h"

#include <set>
#include <unordered_map>
#include <utility>

#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"

namespace zarel {

namespace {

constexpr int kTreeFirst = 0;
constexpr int kTreeLast = 1;
constexpr int kTreeNext = 2;
constexpr int kTreePrevious = 3;

// Counts over slots 1..n of live (1) and removed (0) nodes: prefix sums give
// a node's position among the live ones, and the k-th live slot is found by
// descending the tree.
class SlotCounts {
 public:
  void Clear() { tree_.assign(1, 0); }
  std::size_t Size() const { return tree_.size() - 1; }

  // Appends slot n+1 holding value.
  void Append(int value) {
    const std::size_t index = tree_.size();
    const std::size_t low = index & (~index + 1);
    tree_.push_back(value + Prefix(index - 1) - Prefix(index - low));
  }
  void Add(std::size_t index, int delta) {
    for (; index < tree_.size(); index += index & (~index + 1)) tree_[index] += delta;
  }
  int Prefix(std::size_t index) const {
    int sum = 0;
    for (; index > 0; index -= index & (~index + 1)) sum += tree_[index];
    return sum;
  }
  // The slot (1-based) of the k-th live node, k from 1.
  std::size_t FindKth(int k) const {
    std::size_t position = 0;
    std::size_t step = 1;
    while (step * 2 <= Size()) step *= 2;
    for (; step > 0; step /= 2) {
      if (position + step <= Size() && tree_[position + step] < k) {
        position += step;
        k -= tree_[position];
      }
    }
    return position + 1;
  }
  // Rebuilds from n live slots in O(n).
  void BuildAllLive(std::size_t count) {
    tree_.assign(count + 1, 0);
    for (std::size_t index = 1; index <= count; ++index) {
      tree_[index] += 1;
      const std::size_t parent = index + (index & (~index + 1));
      if (parent <= count) tree_[parent] += tree_[index];
    }
  }

 private:
  std::vector<int> tree_{0};
};

// Display order of sorted nodes: by text ignoring case, then by exact text.
int CompareTexts(const std::string& a, const std::string& b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto left = static_cast<unsigned char>(LowerAsciiChar(a[i]));
    const auto right = static_cast<unsigned char>(LowerAsciiChar(b[i]));
    if (left != right) return left < right ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

class TreeState;
class HeadlessNode;

struct SiblingList {
  HeadlessNode* first = nullptr;
  HeadlessNode* last = nullptr;
  int count = 0;
};

class HeadlessNode : public TreeNode, public std::enable_shared_from_this<HeadlessNode> {
 public:
  HeadlessNode(TreeState* tree, std::string key, std::string text, Variant image,
               std::uint64_t sequence)
      : tree_(tree),
        key_(std::move(key)),
        text_(std::move(text)),
        image_(std::move(image)),
        sequence_(sequence) {}

  std::string Key() const override {
    Live();
    return key_;
  }
  std::string Text() const override {
    Live();
    return text_;
  }
  void Text(const std::string& text) override;
  std::string Tag() const override {
    Live();
    return tag_;
  }
  void Tag(const std::string& tag) override {
    Live();
    tag_ = tag;
  }
  Variant Image() const override {
    Live();
    return image_;
  }
  void Image(const Variant& image) override {
    Live();
    image_ = image;
  }
  std::int32_t ForeColor() const override {
    Live();
    return fore_color_;
  }
  void ForeColor(std::int32_t colour) override {
    Live();
    fore_color_ = colour;
  }
  bool Expanded() const override {
    Live();
    return expanded_;
  }
  void Expanded(bool expanded) override {
    Live();
    expanded_ = expanded;
  }
  bool Selected() const override;
  void Selected(bool selected) override;

  int Children() const override {
    Live();
    return children_.count;
  }
  TreeNodeRef Child() const override {
    Live();
    return Ref(children_.first);
  }
  TreeNodeRef Next() const override {
    Live();
    return Ref(next_);
  }
  TreeNodeRef Parent() const override {
    Live();
    return Ref(parent_);
  }
  TreeNodeRef FirstSibling() const override;
  TreeNodeRef LastSibling() const override;
  int Index() const override;
  std::string FullPath() const override;
  void EnsureVisible() override {
    Live();
    for (HeadlessNode* above = parent_; above != nullptr; above = above->parent_) {
      above->expanded_ = true;
    }
  }

  static TreeNodeRef Ref(HeadlessNode* node) {
    return node == nullptr ? TreeNodeRef() : node->shared_from_this();
  }

  // Raises 91 for a node that is no longer in a tree view.
  TreeState& Live() const {
    if (tree_ == nullptr) {
      Raise(errc::kObjectNotSet, "The node has been removed from the tree view");
    }
    return *tree_;
  }
  // Takes the node out of its tree view for good.
  void Detach() {
    tree_ = nullptr;
    parent_ = previous_ = next_ = nullptr;
    children_ = SiblingList{};
  }

  TreeState* tree_;
  std::string key_;
  std::string text_;
  std::string tag_;
  Variant image_;
  std::int32_t fore_color_ = 0;
  bool expanded_ = false;
  std::uint64_t sequence_;
  std::size_t slot_ = 0;  // 1-based slot in the collection order
  HeadlessNode* parent_ = nullptr;
  HeadlessNode* previous_ = nullptr;
  HeadlessNode* next_ = nullptr;
  SiblingList children_;
};

struct DisplayOrder {
  bool operator()(const HeadlessNode* a, const HeadlessNode* b) const {
    const int compared = CompareTexts(a->text_, b->text_);
    if (compared != 0) return compared < 0;
    return a->sequence_ < b->sequence_;
  }
};

class TreeState : public TreeNodes {
 public:
  TreeState() = default;
  TreeState(const TreeState&) = delete;
  TreeState& operator=(const TreeState&) = delete;
  ~TreeState() override { DetachAll(); }

  // --- TreeNodes ---
  void Clear() override {
    DetachAll();
    slots_.clear();
    counts_.Clear();
    keys_.clear();
    top_ = SiblingList{};
    sorted_top_.clear();
    selected_ = nullptr;
    live_count_ = 0;
  }

  TreeNodeRef Add() override { return AddNode(nullptr, kTreeChild, "", "", Variant()); }

  TreeNodeRef Add(const TreeNodeRef& relative, int relationship, const std::string& key,
                  const std::string& text, const Variant& image) override {
    HeadlessNode* relative_node = nullptr;
    if (relative) {
      relative_node = dynamic_cast<HeadlessNode*>(relative.get());
      if (relative_node != nullptr) relative_node->Live();
      if (relative_node == nullptr || relative_node->tree_ != this) {
        Raise(errc::kInvalidProcedureCall, "The relative node belongs to another tree view");
      }
    }
    return AddNode(relative_node, relationship, key, text, image);
  }

  void Remove(int index) override { RemoveSubtree(NodeAt(index)); }

  int Count() const override { return static_cast<int>(live_count_); }

  TreeNodeRef Item(int index) const override { return NodeAt(index)->shared_from_this(); }

  // --- For the nodes and the tree view ---
  HeadlessNode* NodeAt(int index) const {
    if (index < 1 || static_cast<std::size_t>(index) > live_count_) {
      Raise(errc::kIndexOutOfBounds);
    }
    return slots_[counts_.FindKth(index) - 1].get();
  }

  int IndexOf(const HeadlessNode& node) const { return counts_.Prefix(node.slot_); }

  SiblingList& ListOf(HeadlessNode& node) {
    return node.parent_ != nullptr ? node.parent_->children_ : top_;
  }

  void Select(HeadlessNode* node) { selected_ = node; }
  HeadlessNode* Selected() const { return selected_; }

  bool IsSorted() const { return sorted_; }
  void Sorted(bool sorted) {
    if (sorted == sorted_) return;
    sorted_ = sorted;
    sorted_top_.clear();
    if (!sorted) return;
    for (HeadlessNode* node = top_.first; node != nullptr; node = node->next_) {
      sorted_top_.insert(node);
    }
    // Relink the top level in display order.
    HeadlessNode* previous = nullptr;
    for (HeadlessNode* node : sorted_top_) {
      node->previous_ = previous;
      node->next_ = nullptr;
      if (previous != nullptr) previous->next_ = node;
      previous = node;
    }
    top_.first = sorted_top_.empty() ? nullptr : *sorted_top_.begin();
    top_.last = previous;
  }

  // Changes a node's text, moving a top-level node to its place when the
  // top level is sorted.
  void ChangeText(HeadlessNode& node, const std::string& text) {
    const bool reposition = sorted_ && node.parent_ == nullptr;
    if (!reposition) {
      node.text_ = text;
      return;
    }
    sorted_top_.erase(&node);
    Unlink(node);
    node.text_ = text;
    LinkSortedTop(node);
  }

  int label_edit_ = 0;
  TreeViewEvents* sink_ = nullptr;
  SiblingList top_;

 private:
  TreeNodeRef AddNode(HeadlessNode* relative, int relationship, const std::string& key,
                      const std::string& text, const Variant& image) {
    if (relationship < kTreeFirst || relationship > kTreeChild) {
      Raise(errc::kInvalidProcedureCall,
            "Unknown node relationship " + std::to_string(relationship));
    }
    if (!key.empty() && keys_.count(key) != 0) Raise(errc::kKeyNotUnique);

    auto node = std::make_shared<HeadlessNode>(this, key, text, image, next_sequence_++);
    slots_.push_back(node);
    node->slot_ = slots_.size();
    counts_.Append(1);
    ++live_count_;
    if (!key.empty()) keys_.emplace(key, node.get());

    // Where the node goes: under which parent, before which sibling.
    HeadlessNode* parent = nullptr;
    HeadlessNode* before = nullptr;
    if (relative != nullptr) {
      if (relationship == kTreeChild) {
        parent = relative;
      } else {
        parent = relative->parent_;
        const SiblingList& siblings = ListOf(*relative);
        if (relationship == kTreeFirst) before = siblings.first;
        if (relationship == kTreeNext) before = relative->next_;
        if (relationship == kTreePrevious) before = relative;
      }
    }
    node->parent_ = parent;
    if (parent == nullptr && sorted_) {
      LinkSortedTop(*node);
    } else {
      Link(*node, before);
    }
    return node;
  }

  // Links node into its parent's list before the given sibling (at the end
  // when there is none).
  void Link(HeadlessNode& node, HeadlessNode* before) {
    SiblingList& list = ListOf(node);
    node.next_ = before;
    node.previous_ = before != nullptr ? before->previous_ : list.last;
    if (node.previous_ != nullptr) {
      node.previous_->next_ = &node;
    } else {
      list.first = &node;
    }
    if (before != nullptr) {
      before->previous_ = &node;
    } else {
      list.last = &node;
    }
    ++list.count;
  }

  void LinkSortedTop(HeadlessNode& node) {
    const auto placed = sorted_top_.insert(&node).first;
    const auto after = std::next(placed);
    Link(node, after == sorted_top_.end() ? nullptr : *after);
  }

  void Unlink(HeadlessNode& node) {
    SiblingList& list = ListOf(node);
    if (node.previous_ != nullptr) {
      node.previous_->next_ = node.next_;
    } else {
      list.first = node.next_;
    }
    if (node.next_ != nullptr) {
      node.next_->previous_ = node.previous_;
    } else {
      list.last = node.previous_;
    }
    node.previous_ = node.next_ = nullptr;
    --list.count;
  }

  void RemoveSubtree(HeadlessNode* root) {
    if (root->parent_ == nullptr && sorted_) sorted_top_.erase(root);
    Unlink(*root);

    // Take every node of the subtree out of the collection, keeping them
    // alive until all links are cleared.
    std::vector<std::shared_ptr<HeadlessNode>> removed;
    std::vector<HeadlessNode*> pending{root};
    while (!pending.empty()) {
      HeadlessNode* node = pending.back();
      pending.pop_back();
      for (HeadlessNode* child = node->children_.first; child != nullptr; child = child->next_) {
        pending.push_back(child);
      }
      counts_.Add(node->slot_, -1);
      removed.push_back(std::move(slots_[node->slot_ - 1]));
      if (!node->key_.empty()) keys_.erase(node->key_);
      if (selected_ == node) selected_ = nullptr;
    }
    for (const auto& node : removed) node->Detach();
    live_count_ -= removed.size();
    CompactWhenSparse();
  }

  // Once most slots are empty, packs the live nodes into fresh slots in
  // collection order; the cost is repaid by the removals that emptied them.
  void CompactWhenSparse() {
    const std::size_t dead = slots_.size() - live_count_;
    if (dead < 64 || dead <= live_count_) return;
    std::vector<std::shared_ptr<HeadlessNode>> packed;
    packed.reserve(live_count_);
    for (auto& node : slots_) {
      if (node) {
        packed.push_back(std::move(node));
        packed.back()->slot_ = packed.size();
      }
    }
    slots_ = std::move(packed);
    counts_.BuildAllLive(slots_.size());
  }

  void DetachAll() {
    for (const auto& node : slots_) {
      if (node) node->Detach();
    }
  }

  std::vector<std::shared_ptr<HeadlessNode>> slots_;  // empty where removed
  SlotCounts counts_;
  std::size_t live_count_ = 0;
  std::unordered_map<std::string, HeadlessNode*> keys_;
  std::set<HeadlessNode*, DisplayOrder> sorted_top_;  // only while sorted_
  bool sorted_ = false;
  HeadlessNode* selected_ = nullptr;
  std::uint64_t next_sequence_ = 0;
};

void HeadlessNode::Text(const std::string& text) { Live().ChangeText(*this, text); }

bool HeadlessNode::Selected() const { return Live().Selected() == this; }

void HeadlessNode::Selected(bool selected) {
  TreeState& tree = Live();
  if (selected) {
    tree.Select(this);
  } else if (tree.Selected() == this) {
    tree.Select(nullptr);
  }
}

TreeNodeRef HeadlessNode::FirstSibling() const {
  TreeState& tree = Live();
  return Ref(parent_ != nullptr ? parent_->children_.first : tree.top_.first);
}

TreeNodeRef HeadlessNode::LastSibling() const {
  TreeState& tree = Live();
  return Ref(parent_ != nullptr ? parent_->children_.last : tree.top_.last);
}

int HeadlessNode::Index() const { return Live().IndexOf(*this); }

std::string HeadlessNode::FullPath() const {
  Live();
  std::vector<const HeadlessNode*> chain;
  for (const HeadlessNode* node = this; node != nullptr; node = node->parent_) {
    chain.push_back(node);
  }
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (it != chain.rbegin()) path += '\\';
    path += (*it)->text_;
  }
  return path;
}

// The node of this tree view behind a reference: 91 for an empty or removed
// one, 5 for a node of another tree view.
HeadlessNode& OwnNode(const TreeNodeRef& node, const TreeState& tree) {
  if (!node) Raise(errc::kObjectNotSet);
  auto* own = dynamic_cast<HeadlessNode*>(node.get());
  if (own != nullptr) own->Live();
  if (own == nullptr || own->tree_ != &tree) {
    Raise(errc::kInvalidProcedureCall, "The node belongs to another tree view");
  }
  return *own;
}

}  // namespace

class HeadlessTreeView::Impl : public TreeState {};

HeadlessTreeView::HeadlessTreeView() : impl_(std::make_unique<Impl>()) {}
HeadlessTreeView::~HeadlessTreeView() = default;

std::shared_ptr<HeadlessTreeView> HeadlessTreeView::Create() {
  return std::shared_ptr<HeadlessTreeView>(new HeadlessTreeView());
}

TreeNodes& HeadlessTreeView::Nodes() { return *impl_; }
void HeadlessTreeView::LabelEdit(int mode) { impl_->label_edit_ = mode; }
int HeadlessTreeView::LabelEdit() const { return impl_->label_edit_; }
void HeadlessTreeView::Sorted(bool sorted) { impl_->Sorted(sorted); }
bool HeadlessTreeView::Sorted() const { return impl_->IsSorted(); }

TreeNodeRef HeadlessTreeView::SelectedItem() const {
  return HeadlessNode::Ref(impl_->Selected());
}

void HeadlessTreeView::Advise(TreeViewEvents* sink) { impl_->sink_ = sink; }

void HeadlessTreeView::Click(const TreeNodeRef& node) {
  HeadlessNode& clicked = OwnNode(node, *impl_);
  impl_->Select(&clicked);
  std::vector<Variant> parameters{Variant(node)};
  RaiseEvent("NodeClick", parameters);
}

void HeadlessTreeView::RaiseEvent(const std::string& name, std::vector<Variant>& parameters) {
  if (impl_->sink_ != nullptr) impl_->sink_->TreeViewEvent(name, parameters);
}

void HeadlessTreeView::Walk(
    const std::function<void(const TreeNodeRef&, int depth)>& visit) const {
  int depth = 0;
  HeadlessNode* node = impl_->top_.first;
  while (node != nullptr) {
    visit(node->shared_from_this(), depth);
    if (node->children_.first != nullptr) {
      node = node->children_.first;
      ++depth;
      continue;
    }
    while (node != nullptr && node->next_ == nullptr) {
      node = node->parent_;
      --depth;
    }
    if (node != nullptr) node = node->next_;
  }
}

}  // namespace zarel
