// Tests of the headless tree view: keys, removal of subtrees, indexes,
// sibling steps, sorting, selection, events, and trees of many nodes.
#include "zarel/hostkit/headless_tree_view.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "zarel/base/error.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

using testing::ErrorNumberOf;

class TreeViewTest : public ::testing::Test {
 protected:
  TreeNodeRef Add(const TreeNodeRef& parent, const std::string& key, const std::string& text) {
    return nodes().Add(parent, kTreeChild, key, text, Variant(1));
  }
  TreeNodes& nodes() { return tree_->Nodes(); }
  // The texts in display order, indented by depth with ">".
  std::string Display() const {
    std::string shown;
    tree_->Walk([&](const TreeNodeRef& node, int depth) {
      shown += std::string(static_cast<std::size_t>(depth), '>') + node->Text() + " ";
    });
    return shown;
  }
  // The texts in collection order.
  std::string Collection() {
    std::string listed;
    for (int i = 1; i <= nodes().Count(); ++i) {
      EXPECT_EQ(nodes().Item(i)->Index(), i);
      listed += nodes().Item(i)->Text() + " ";
    }
    return listed;
  }

  std::shared_ptr<HeadlessTreeView> tree_ = HeadlessTreeView::Create();
};

TEST_F(TreeViewTest, KeysAreUnique) {
  auto root = nodes().Add();
  EXPECT_EQ(root->Key(), "");
  EXPECT_EQ(root->Text(), "");
  Add(root, "2»fixed", "Orders");
  Add(root, "", "no key");
  Add(root, "", "no key either");  // empty keys never clash
  EXPECT_EQ(ErrorNumberOf([&] { Add(root, "2»fixed", "again"); }), errc::kKeyNotUnique);
  EXPECT_EQ(nodes().Count(), 4);
  EXPECT_EQ(root->Children(), 3);
  EXPECT_EQ(ErrorNumberOf([&] { nodes().Add(root, 9, "k", "t", Variant(1)); }),
            errc::kInvalidProcedureCall);
  EXPECT_EQ(nodes().Count(), 4);
}

TEST_F(TreeViewTest, RemovingANodeRemovesItsSubtreeAndIndexesShiftDown) {
  auto root = Add(nullptr, "r", "Root");
  auto a = Add(root, "a", "A");
  auto b = Add(root, "b", "B");
  auto a1 = Add(a, "a1", "A1");
  auto a2 = Add(a, "a2", "A2");
  auto b1 = Add(b, "b1", "B1");
  auto a11 = Add(a1, "a11", "A11");
  auto c = Add(nullptr, "c", "C");
  a->Selected(true);
  EXPECT_EQ(Collection(), "Root A B A1 A2 B1 A11 C ");

  nodes().Remove(a->Index());
  EXPECT_EQ(Collection(), "Root B B1 C ");
  EXPECT_EQ(b1->Index(), 3);
  EXPECT_EQ(root->Children(), 1);
  EXPECT_EQ(root->Child(), b);
  EXPECT_EQ(b->FirstSibling(), b);
  EXPECT_EQ(tree_->SelectedItem(), nullptr);  // the selected node went with it
  EXPECT_EQ(Display(), "Root >B >>B1 C ");

  // Every removed node refuses to be used; its key is free again.
  for (const TreeNodeRef& gone : {a, a1, a2, a11}) {
    EXPECT_EQ(ErrorNumberOf([&] { (void)gone->Text(); }), errc::kObjectNotSet);
    EXPECT_EQ(ErrorNumberOf([&] { (void)gone->Index(); }), errc::kObjectNotSet);
    EXPECT_EQ(ErrorNumberOf([&] { (void)gone->Next(); }), errc::kObjectNotSet);
    EXPECT_EQ(ErrorNumberOf([&] { gone->Tag("x"); }), errc::kObjectNotSet);
    EXPECT_EQ(ErrorNumberOf([&] { tree_->Click(gone); }), errc::kObjectNotSet);
    EXPECT_EQ(ErrorNumberOf([&] { Add(gone, "new", "child"); }), errc::kObjectNotSet);
  }
  Add(b, "a1", "reused key");

  EXPECT_EQ(ErrorNumberOf([&] { nodes().Remove(0); }), errc::kIndexOutOfBounds);
  EXPECT_EQ(ErrorNumberOf([&] { nodes().Remove(6); }), errc::kIndexOutOfBounds);
  EXPECT_EQ(ErrorNumberOf([&] { (void)nodes().Item(6); }), errc::kIndexOutOfBounds);

  nodes().Clear();
  EXPECT_EQ(nodes().Count(), 0);
  EXPECT_EQ(ErrorNumberOf([&] { (void)root->Text(); }), errc::kObjectNotSet);
  Add(nullptr, "r", "fresh root");  // keys were cleared too
}

TEST_F(TreeViewTest, SiblingStepsPathsAndVisibility) {
  auto root = Add(nullptr, "r", "Site");
  auto first = Add(root, "1", "Orders");
  auto middle = Add(root, "2", "Customers");
  auto last = Add(root, "3", "Products");
  auto deep = Add(middle, "4", "Smith");
  struct Step {
    const char* what;
    TreeNodeRef got;
    TreeNodeRef expected;
  };
  const std::vector<Step> steps = {
      {"Child", root->Child(), first},
      {"Child of a leaf", last->Child(), nullptr},
      {"Next", first->Next(), middle},
      {"Next of the last", last->Next(), nullptr},
      {"FirstSibling", last->FirstSibling(), first},
      {"LastSibling", first->LastSibling(), last},
      {"Parent", deep->Parent(), middle},
      {"Parent of a top node", root->Parent(), nullptr},
      {"FirstSibling at the top", root->FirstSibling(), root},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    EXPECT_EQ(step.got, step.expected);
  }
  EXPECT_EQ(deep->FullPath(), "Site\\Customers\\Smith");
  EXPECT_EQ(root->FullPath(), "Site");
  EXPECT_EQ(tree_->PathSeparator(), "\\");

  deep->EnsureVisible();
  EXPECT_TRUE(root->Expanded());
  EXPECT_TRUE(middle->Expanded());
  EXPECT_FALSE(deep->Expanded());
  EXPECT_FALSE(first->Expanded());

  // The properties the engine sets keep what they were given.
  deep->Image(Variant("Net"));
  EXPECT_EQ(deep->Image().AsString(), "Net");
  deep->Image(Variant(5));
  EXPECT_EQ(deep->Image().ToLong(), 5);
  deep->ForeColor(16711680);
  EXPECT_EQ(deep->ForeColor(), 16711680);
  deep->Tag("12»variable");
  EXPECT_EQ(deep->Tag(), "12»variable");
  tree_->LabelEdit(1);
  EXPECT_EQ(tree_->LabelEdit(), 1);
}

TEST_F(TreeViewTest, SortedOrdersTheTopLevelForDisplayOnly) {
  Add(nullptr, "d", "delta");
  tree_->Sorted(true);
  EXPECT_TRUE(tree_->Sorted());
  auto alpha = Add(nullptr, "a", "Alpha");
  auto charlie = Add(nullptr, "c", "charlie");
  auto bravo = Add(nullptr, "b", "bravo");
  Add(charlie, "c2", "z child");
  Add(charlie, "c1", "a child");  // children keep the order they were added
  EXPECT_EQ(Display(), "Alpha bravo charlie >z child >a child delta ");
  EXPECT_EQ(Collection(), "delta Alpha charlie bravo z child a child ");
  EXPECT_EQ(alpha->Next(), bravo);
  EXPECT_EQ(charlie->FirstSibling(), alpha);
  EXPECT_EQ(alpha->LastSibling()->Text(), "delta");

  bravo->Text("echo");  // a new text moves the node to its place
  EXPECT_EQ(Display(), "Alpha charlie >z child >a child delta echo ");

  tree_->Sorted(false);
  Add(nullptr, "0", "0 last");
  EXPECT_EQ(Display(), "Alpha charlie >z child >a child delta echo 0 last ");
}

TEST_F(TreeViewTest, SelectionAndNodeClick) {
  struct Recorder : TreeViewEvents {
    void TreeViewEvent(const std::string& name, std::vector<Variant>& parameters) override {
      auto node = parameters.at(0).AsObjectOf<TreeNode>();
      seen += name + ":" + node->Text() + ":" +
              (view->SelectedItem() == node && node->Selected() ? "selected" : "not selected") +
              " ";
    }
    HeadlessTreeView* view = nullptr;
    std::string seen;
  } recorder;
  recorder.view = tree_.get();
  auto root = Add(nullptr, "r", "Root");
  auto a = Add(root, "a", "A");
  auto b = Add(root, "b", "B");

  a->Selected(true);
  EXPECT_TRUE(a->Selected());
  b->Selected(true);
  EXPECT_FALSE(a->Selected());
  EXPECT_EQ(tree_->SelectedItem(), b);
  a->Selected(false);  // deselecting another node changes nothing
  EXPECT_EQ(tree_->SelectedItem(), b);
  b->Selected(false);
  EXPECT_EQ(tree_->SelectedItem(), nullptr);

  tree_->Click(a);  // no receiver yet: nothing is raised, but the click selects
  EXPECT_EQ(tree_->SelectedItem(), a);
  tree_->Advise(&recorder);
  tree_->Click(b);
  tree_->Click(root);
  tree_->Advise(nullptr);
  tree_->Click(a);
  EXPECT_EQ(recorder.seen, "NodeClick:B:selected NodeClick:Root:selected ");
  EXPECT_EQ(ErrorNumberOf([&] { tree_->Click(nullptr); }), errc::kObjectNotSet);

  auto other = HeadlessTreeView::Create();
  auto stranger = other->Nodes().Add();
  EXPECT_EQ(ErrorNumberOf([&] { tree_->Click(stranger); }), errc::kInvalidProcedureCall);
  EXPECT_EQ(ErrorNumberOf([&] { Add(stranger, "s", "x"); }), errc::kInvalidProcedureCall);
  other.reset();  // the nodes of a tree view that is gone refuse to be used
  EXPECT_EQ(ErrorNumberOf([&] { (void)stranger->Text(); }), errc::kObjectNotSet);
}

// Random adds and removals checked against a plain list of the collection.
TEST_F(TreeViewTest, IndexesFollowTheCollectionThroughManyRemovals) {
  std::mt19937 random(7);
  std::vector<TreeNodeRef> model;
  for (int round = 0; round < 40; ++round) {
    for (int i = 0; i < 100; ++i) {
      TreeNodeRef parent;
      if (!model.empty() && random() % 4 != 0) parent = model[random() % model.size()];
      model.push_back(Add(parent, "", std::to_string(round) + "." + std::to_string(i)));
    }
    for (int i = 0; i < 3 && !model.empty(); ++i) {
      const int index = static_cast<int>(random() % model.size()) + 1;
      nodes().Remove(index);
      std::erase_if(model, [](const TreeNodeRef& node) {
        return ErrorNumberOf([&] { (void)node->Index(); }) != 0;
      });
    }
    ASSERT_EQ(nodes().Count(), static_cast<int>(model.size()));
    for (std::size_t i = 0; i < model.size(); ++i) {
      ASSERT_EQ(model[i]->Index(), static_cast<int>(i) + 1);
      ASSERT_EQ(nodes().Item(static_cast<int>(i) + 1), model[i]);
    }
  }
  // Remove most of the tree, so that the removed far outnumber the rest.
  while (model.size() > 20) {
    nodes().Remove(static_cast<int>(random() % model.size()) + 1);
    std::erase_if(model, [](const TreeNodeRef& node) {
      return ErrorNumberOf([&] { (void)node->Index(); }) != 0;
    });
    ASSERT_EQ(nodes().Count(), static_cast<int>(model.size()));
    for (std::size_t i = 0; i < model.size(); i += 1 + model.size() / 50) {
      ASSERT_EQ(model[i]->Index(), static_cast<int>(i) + 1);
      ASSERT_EQ(nodes().Item(static_cast<int>(i) + 1), model[i]);
    }
  }
}

// Twenty thousand siblings walked, indexed and pruned the way the engine
// prunes branches: the work is bounded by the node count times a small
// factor, so an implementation quadratic in the node count does not finish
// in reasonable time.
TEST_F(TreeViewTest, TwentyThousandSiblings) {
  constexpr int kSiblings = 20000;
  auto root = Add(nullptr, "root", "Root");
  auto parent = Add(root, "p", "Parent");
  auto other = Add(root, "o", "Other");
  for (int i = 0; i < kSiblings; ++i) {
    auto node = Add(parent, std::to_string(i) + "»variable»" + std::to_string(i + 3),
                    "Record " + std::to_string(i));
    if (i % 2 == 0) Add(node, "", "grandchild");
  }
  const int total = 3 + kSiblings + kSiblings / 2;
  EXPECT_EQ(nodes().Count(), total);

  // Walk the level forwards, reading each node's index and siblings.
  int walked = 0;
  long long index_sum = 0;
  for (TreeNodeRef node = parent->Child(); node; node = node->Next()) {
    ++walked;
    index_sum += node->Index();
    EXPECT_EQ(node->LastSibling()->Text(), "Record 19999");
    EXPECT_EQ(node->FirstSibling()->Text(), "Record 0");
  }
  EXPECT_EQ(walked, kSiblings);
  EXPECT_GT(index_sum, 0);
  EXPECT_EQ(other->Index(), 3);

  // Remove every other sibling by index, then strip the rest one first
  // child at a time, as pruning a branch does.
  std::vector<TreeNodeRef> odd;
  for (TreeNodeRef node = parent->Child(); node; node = node->Next()) {
    if (node->Children() > 0) odd.push_back(node);
  }
  for (const TreeNodeRef& node : odd) nodes().Remove(node->Index());
  EXPECT_EQ(parent->Children(), kSiblings / 2);
  EXPECT_EQ(nodes().Count(), 3 + kSiblings / 2);
  while (parent->Children() > 0) nodes().Remove(parent->Child()->Index());
  EXPECT_EQ(nodes().Count(), 3);
  EXPECT_EQ(Collection(), "Root Parent Other ");

  // A sorted top level of the same size.
  tree_->Sorted(true);
  for (int i = kSiblings; i > 0; --i) Add(nullptr, "", "top " + std::to_string(100000 + i));
  EXPECT_EQ(root->LastSibling()->Text(), "top 120000");
  EXPECT_EQ(root->FirstSibling()->Text(), "Root");
}

}  // namespace
}  // namespace zarel
