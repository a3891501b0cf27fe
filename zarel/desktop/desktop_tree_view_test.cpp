// Tests of the desktop tree view: the same calls on it and on the headless
// tree view give the same nodes, keys, states and errors, and the widget
// shows exactly those; the same clicks through the report control give the
// same tree; the user's mouse and keys; images and colours; the widget and
// the tree view going in either order.
#include "zarel/desktop/desktop_tree_view.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <functional>
#include <map>
#include <sstream>

#include "zarel/base/clock.h"
#include "zarel/base/date_time.h"
#include "zarel/base/error.h"
#include "zarel/testing/control_rig.h"
#include "zarel/testing/desktop_rig.h"

namespace zarel {
namespace {

using testing::ErrorNumberOf;

// The relationships of TreeNodes::Add besides kTreeChild: first or last of
// the relative's level, right after or right before the relative.
constexpr int kFirst = 0;
constexpr int kLast = 1;
constexpr int kNext = 2;
constexpr int kPrevious = 3;

// Records the tree view's events with the selected node at that moment.
struct Recorder : TreeViewEvents {
  void TreeViewEvent(const std::string& name, std::vector<Variant>& parameters) override {
    const auto node = parameters.at(0).AsObjectOf<TreeNode>();
    seen += name + ":" + node->FullPath() + (node->Selected() ? ":selected " : ":not selected ");
  }
  std::string seen;
};

// What a user's click does, on either kind of tree view.
void Click(TreeView& view, const TreeNodeRef& node) {
  if (auto* desktop = dynamic_cast<DesktopTreeView*>(&view)) return desktop->Click(node);
  dynamic_cast<HeadlessTreeView&>(view).Click(node);
}

// Every node in display order through the contract's own members, with
// everything the contract says about it, then the view's own state.
std::string Describe(TreeView& view) {
  std::ostringstream out;
  const std::function<void(const TreeNodeRef&, int)> describe = [&](const TreeNodeRef& first,
                                                                    int depth) {
    for (TreeNodeRef node = first; node; node = node->Next()) {
      out << std::string(static_cast<std::size_t>(depth) * 2, ' ') << node->Text()
          << " [key=" << node->Key() << " tag=" << node->Tag()
          << " image=" << node->Image().TextOrEmpty() << " color=" << node->ForeColor()
          << " index=" << node->Index() << " children=" << node->Children()
          << " first=" << node->FirstSibling()->Text() << " last=" << node->LastSibling()->Text()
          << " path=" << node->FullPath() << (node->Expanded() ? " expanded" : "")
          << (node->Selected() ? " selected" : "") << "]\n";
      describe(node->Child(), depth + 1);
    }
  };
  const int count = view.Nodes().Count();
  if (count > 0) describe(view.Nodes().Item(1)->FirstSibling(), 0);
  const TreeNodeRef selected = view.SelectedItem();
  out << "count=" << count << " sorted=" << view.Sorted() << " labeledit=" << view.LabelEdit()
      << " selected=" << (selected ? selected->FullPath() : "(none)") << "\n";
  return out.str();
}

// What the widget shows: its items in order with their colours, the open
// branches and the selected item.
std::string Shown(QTreeWidget& widget) {
  std::ostringstream out;
  const std::function<void(QTreeWidgetItem*, int)> show = [&](QTreeWidgetItem* item, int depth) {
    const QColor colour = item->foreground(0).color();
    const int bgr = item->foreground(0).style() == Qt::NoBrush
                        ? 0
                        : colour.red() | colour.green() << 8 | colour.blue() << 16;
    out << std::string(static_cast<std::size_t>(depth) * 2, ' ') << item->text(0).toStdString()
        << " color=" << bgr << (item->childCount() > 0 && item->isExpanded() ? " expanded" : "")
        << (item == widget.currentItem() && item->isSelected() ? " selected" : "") << "\n";
    for (int i = 0; i < item->childCount(); ++i) show(item->child(i), depth + 1);
  };
  for (int i = 0; i < widget.topLevelItemCount(); ++i) show(widget.topLevelItem(i), 0);
  out << "selected items=" << widget.selectedItems().size() << "\n";
  return out.str();
}

// What the widget should show for a tree view's nodes.
std::string ShownFor(TreeView& view) {
  std::ostringstream out;
  const std::function<void(const TreeNodeRef&, int)> show = [&](const TreeNodeRef& first,
                                                                int depth) {
    for (TreeNodeRef node = first; node; node = node->Next()) {
      out << std::string(static_cast<std::size_t>(depth) * 2, ' ') << node->Text()
          << " color=" << node->ForeColor()
          << (node->Children() > 0 && node->Expanded() ? " expanded" : "")
          << (node->Selected() ? " selected" : "") << "\n";
      show(node->Child(), depth + 1);
    }
  };
  if (view.Nodes().Count() > 0) show(view.Nodes().Item(1)->FirstSibling(), 0);
  out << "selected items=" << (view.SelectedItem() ? 1 : 0) << "\n";
  return out.str();
}

// One tree view under test, with the nodes its steps named, a second tree
// view of the same kind and a recorder of its events.
struct Subject {
  TreeNodeRef Add(const std::string& parent, int relationship, const std::string& key,
                  const std::string& text, const Variant& image = Variant(1)) {
    return view->Nodes().Add(parent.empty() ? nullptr : named.at(parent), relationship, key,
                             text, image);
  }
  TreeNodeRef& operator[](const std::string& name) { return named[name]; }

  std::shared_ptr<TreeView> view;
  std::shared_ptr<TreeView> other;
  std::map<std::string, TreeNodeRef> named;
  Recorder events;
};

struct Step {
  const char* what;
  std::function<void(Subject&)> act;
  int error;  // the error the step raises on both, 0 for none
};

// The same calls on the headless tree view and the desktop one, step by
// step: the same error, the same nodes and states through the contract,
// the same events, and the widget showing the nodes as they are.
TEST(DesktopTreeViewTest, TheSameCallsGiveTheSameNodesKeysAndStatesAsTheHeadlessTreeView) {
  const std::vector<Step> steps = {
      {"a top-level node without key or text",
       [](Subject& r) { r["root"] = r.view->Nodes().Add(); }, 0},
      {"the root's tag, text, colour, image, opened and selected",
       [](Subject& r) {
         r["root"]->Tag("1»fixed");
         r["root"]->Text("Site");
         r["root"]->ForeColor(255);
         r["root"]->Image(Variant("Net"));
         r["root"]->Expanded(true);
         r["root"]->Selected(true);
       },
       0},
      {"children added last, one of them blue",
       [](Subject& r) {
         r["orders"] = r.Add("root", kTreeChild, "2»fixed", "Orders");
         r["customers"] = r.Add("root", kTreeChild, "3»fixed", "Customers", Variant(2));
         r["products"] = r.Add("root", kTreeChild, "4»fixed", "products");
         r["customers"]->ForeColor(16711680);
       },
       0},
      {"a duplicate key is refused",
       [](Subject& r) { r.Add("root", kTreeChild, "2»fixed", "again"); }, errc::kKeyNotUnique},
      {"an unknown relationship is refused",
       [](Subject& r) { r.Add("root", 9, "k", "t"); }, errc::kInvalidProcedureCall},
      {"grandchildren in an opened branch",
       [](Subject& r) {
         r["o1"] = r.Add("orders", kTreeChild, "o1", "Order 1");
         r["o2"] = r.Add("orders", kTreeChild, "o2", "Order 2");
         r["line"] = r.Add("o1", kTreeChild, "", "Line");
         r["orders"]->Expanded(true);
         r["o1"]->Expanded(true);
       },
       0},
      {"first, last, next and previous",
       [](Subject& r) {
         r.Add("o2", kFirst, "of", "Order first");
         r.Add("o1", kLast, "ol", "Order last");
         r.Add("o1", kNext, "on", "Order after 1");
         r.Add("o2", kPrevious, "op", "Order before 2");
       },
       0},
      {"a branch opened before its first child",
       [](Subject& r) {
         r["products"]->Expanded(true);
         r["p1"] = r.Add("products", kTreeChild, "p1", "Pear");
       },
       0},
      {"selecting a node in a closed branch leaves it closed",
       [](Subject& r) {
         r["orders"]->Expanded(false);
         r["line"]->Selected(true);
       },
       0},
      {"EnsureVisible opens the branches above",
       [](Subject& r) { r["line"]->EnsureVisible(); }, 0},
      {"removing a node removes its subtree and the selection in it",
       [](Subject& r) { r.view->Nodes().Remove(r["orders"]->Index()); }, 0},
      {"a removed node refuses to be read", [](Subject& r) { (void)r["o1"]->Text(); },
       errc::kObjectNotSet},
      {"a removed node refuses to step", [](Subject& r) { (void)r["line"]->Next(); },
       errc::kObjectNotSet},
      {"a removed node refuses to change", [](Subject& r) { r["orders"]->Expanded(true); },
       errc::kObjectNotSet},
      {"a removed node refuses children", [](Subject& r) { r.Add("o2", kTreeChild, "x", "x"); },
       errc::kObjectNotSet},
      {"a removed node refuses a click", [](Subject& r) { Click(*r.view, r["o1"]); },
       errc::kObjectNotSet},
      {"an empty node refuses a click", [](Subject& r) { Click(*r.view, nullptr); },
       errc::kObjectNotSet},
      {"the removed keys are free again",
       [](Subject& r) { r["orders"] = r.Add("root", kTreeChild, "2»fixed", "Orders again"); }, 0},
      {"index 0 is outside the collection", [](Subject& r) { r.view->Nodes().Remove(0); },
       errc::kIndexOutOfBounds},
      {"so is one past the last", [](Subject& r) { (void)r.view->Nodes().Item(99); },
       errc::kIndexOutOfBounds},
      {"a node of another tree view as relative",
       [](Subject& r) {
         r["stranger"] = r.other->Nodes().Add();
         r.Add("stranger", kTreeChild, "s", "x");
       },
       errc::kInvalidProcedureCall},
      {"a node of another tree view is not clicked here",
       [](Subject& r) { Click(*r.view, r["stranger"]); }, errc::kInvalidProcedureCall},
      {"a sorted top level",
       [](Subject& r) {
         r.Add("", kTreeChild, "d", "delta");
         r.view->Sorted(true);
         r["alpha"] = r.Add("", kTreeChild, "a", "Alpha");
         r["charlie"] = r.Add("", kTreeChild, "c", "charlie");
         r["bravo"] = r.Add("", kTreeChild, "b", "bravo");
       },
       0},
      {"children of sorted nodes keep the order they were added",
       [](Subject& r) {
         r.Add("charlie", kTreeChild, "c2", "z child");
         r.Add("charlie", kTreeChild, "c1", "a child");
         r["charlie"]->Expanded(true);
       },
       0},
      {"a new text moves a top-level node to its place, opened as it was",
       [](Subject& r) {
         r["charlie"]->Selected(true);
         r["charlie"]->Text("echo");
       },
       0},
      {"unsorted again, new top-level nodes go last",
       [](Subject& r) {
         r.view->Sorted(false);
         r.Add("", kTreeChild, "0", "0 last");
       },
       0},
      {"manual label editing", [](Subject& r) { r.view->LabelEdit(1); }, 0},
      {"a click selects the node, then raises NodeClick",
       [](Subject& r) {
         r.view->Advise(&r.events);
         Click(*r.view, r["customers"]);
         Click(*r.view, r["customers"]);
         r["root"]->Selected(true);  // selecting from code raises nothing
       },
       0},
      {"deselecting another node changes nothing, the selected one clears",
       [](Subject& r) {
         r["customers"]->Selected(false);
         r["root"]->Selected(false);
       },
       0},
      {"clearing empties the tree view", [](Subject& r) { r.view->Nodes().Clear(); }, 0},
      {"a node of a cleared tree view refuses to be read", [](Subject& r) { (void)r["root"]->Key(); },
       errc::kObjectNotSet},
      {"keys are free again after clearing",
       [](Subject& r) {
         r["root"] = r.Add("", kTreeChild, "2»fixed", "Fresh");
         r.view->Advise(nullptr);
       },
       0},
  };

  Subject headless{HeadlessTreeView::Create(), HeadlessTreeView::Create(), {}, {}};
  auto desktop_view = DesktopTreeView::Create();
  Subject desktop{desktop_view, DesktopTreeView::Create(), {}, {}};
  QTreeWidget& widget = *desktop_view->Widget();
  widget.resize(300, 400);
  widget.show();
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    EXPECT_EQ(ErrorNumberOf([&] { step.act(headless); }), step.error);
    EXPECT_EQ(ErrorNumberOf([&] { step.act(desktop); }), step.error);
    EXPECT_EQ(Describe(*desktop.view), Describe(*headless.view));
    EXPECT_EQ(desktop.events.seen, headless.events.seen);
    EXPECT_EQ(Shown(widget), ShownFor(*headless.view));
  }
  EXPECT_EQ(headless.events.seen,
            "NodeClick:Site\\Customers:selected NodeClick:Site\\Customers:selected ");
}

// A report control over the same site on each tree view, clicked along the
// same paths (the desktop one by the mouse, on the widget): the same tree,
// events and pages after every click.
TEST(DesktopTreeViewTest, TheSameClicksThroughTheControlGiveTheSameTree) {
  struct Hosted {
    explicit Hosted(std::shared_ptr<TreeView> view, const std::string& connection)
        : tree(std::move(view)) {
      form.Place("Zarel1", control);
      control->Advise(&host);
      control->ConnectionString(connection);
      control->ApplicationFolder(Variant(folder.Path()));
      control->Talking(true);
      std::shared_ptr<WebBrowser> web_browser = browser;
      control->SetControls(tree, web_browser);
    }
    TreeNodeRef Node(const std::string& path) const {
      TreeNodeRef found;
      const std::function<void(const TreeNodeRef&)> look = [&](const TreeNodeRef& first) {
        for (TreeNodeRef node = first; node && !found; node = node->Next()) {
          if (node->FullPath() == path) found = node;
          look(node->Child());
        }
      };
      look(tree->Nodes().Item(1)->FirstSibling());
      return found;
    }
    testing::TempFolder folder;
    testing::RecordingZarelHost host;
    ControlContainer form{ControlContainer::Mode::kRun};
    std::shared_ptr<Zarel> control = std::make_shared<Zarel>();
    std::shared_ptr<TreeView> tree;
    std::shared_ptr<HeadlessBrowser> browser = HeadlessBrowser::Create();
  };

  testing::TempFolder site_folder;
  const auto site = testing::CreateSQLiteDatabase(site_folder.Path());
  site->Run(testing::SalesSite());
  const FixedClock clock(MakeDate({2026, 12, 5, 14, 5, 9}));
  const auto headless_view = HeadlessTreeView::Create();
  const auto desktop_view = DesktopTreeView::Create();
  Hosted headless(headless_view, site->ConnectionString());
  Hosted desktop(desktop_view, site->ConnectionString());
  QTreeWidget& widget = *desktop_view->Widget();
  widget.resize(400, 600);
  widget.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));

  headless.control->RefreshBrowser();
  desktop.control->RefreshBrowser();
  EXPECT_EQ(Describe(*desktop.tree), Describe(*headless.tree));

  const char* const paths[] = {
      "Sales Site\\Regions",           "Sales Site\\Regions\\North",
      "Sales Site\\Regions\\O'Brien Land", "Sales Site\\Staff",
      "Sales Site\\Staff\\Ada",        "Sales Site\\Staff\\Ada\\Cy",
      "Sales Site\\Secret",            "Sales Site\\About",
      "Sales Site\\Regions",           "Sales Site",
  };
  for (const char* path : paths) {
    SCOPED_TRACE(path);
    const TreeNodeRef node = desktop.Node(path);
    ASSERT_TRUE(node);
    QTreeWidgetItem* item = desktop_view->ItemOf(node);
    ASSERT_NE(item, nullptr);
    widget.scrollToItem(item);
    QTest::mouseClick(widget.viewport(), Qt::LeftButton, {}, widget.visualItemRect(item).center());
    headless_view->Click(headless.Node(path));
    EXPECT_EQ(Describe(*desktop.tree), Describe(*headless.tree));
    EXPECT_EQ(Shown(widget), ShownFor(*headless.tree));
    EXPECT_EQ(desktop.host.Take(), headless.host.Take());
    EXPECT_EQ(testing::ReadFile(desktop.folder.PathOf("oReport.htm")),
              testing::ReadFile(headless.folder.PathOf("oReport.htm")));
  }
  testing::SaveScreenshot(widget, "tree-after-clicks");
}

class DesktopTreeViewWidgetTest : public ::testing::Test {
 protected:
  DesktopTreeViewWidgetTest() {
    widget().resize(300, 300);
    widget().show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&widget()));
    view->Advise(&events);
    root = view->Nodes().Add(nullptr, kTreeChild, "r", "Root", Variant("Net"));
    for (const char* text : {"Alpha", "Bravo", "Charlie"}) {
      nodes.push_back(view->Nodes().Add(root, kTreeChild, text, text, Variant(1)));
    }
    nodes.push_back(view->Nodes().Add(nodes[1], kTreeChild, "b1", "Bravo one", Variant(2)));
    root->Expanded(true);
    root->Selected(true);
  }
  ~DesktopTreeViewWidgetTest() override { view->Advise(nullptr); }

  QTreeWidget& widget() const { return *view->Widget(); }
  QTreeWidgetItem* Item(const TreeNodeRef& node) const { return view->ItemOf(node); }
  std::string Selected() const {
    return view->SelectedItem() ? view->SelectedItem()->Text() : "(none)";
  }

  std::shared_ptr<DesktopTreeView> view = DesktopTreeView::Create();
  Recorder events;
  TreeNodeRef root;
  std::vector<TreeNodeRef> nodes;  // Alpha, Bravo, Charlie, Bravo one
};

// Keys move the selection and raise NodeClick as a click would; Enter
// raises it on the selected node; the expander keys open and close branches
// and say so to the nodes.
TEST_F(DesktopTreeViewWidgetTest, KeysWorkAsInAnyTreeView) {
  widget().setFocus();
  const struct {
    Qt::Key key;
    const char* selected;
    const char* raised;
  } presses[] = {
      {Qt::Key_Down, "Alpha", "NodeClick:Root\\Alpha:selected "},
      {Qt::Key_End, "Charlie", "NodeClick:Root\\Charlie:selected "},
      {Qt::Key_Up, "Bravo", "NodeClick:Root\\Bravo:selected "},
      {Qt::Key_Return, "Bravo", "NodeClick:Root\\Bravo:selected "},
      {Qt::Key_Right, "Bravo", ""},  // opens Bravo
      {Qt::Key_Down, "Bravo one", "NodeClick:Root\\Bravo\\Bravo one:selected "},
      {Qt::Key_Home, "Root", "NodeClick:Root:selected "},
      {Qt::Key_Left, "Root", ""},  // closes Root
      {Qt::Key_Down, "Root", ""},  // nothing below a closed root
  };
  for (const auto& press : presses) {
    SCOPED_TRACE(press.selected);
    events.seen.clear();
    QTest::keyClick(&widget(), press.key);
    EXPECT_EQ(Selected(), press.selected);
    EXPECT_EQ(events.seen, press.raised);
  }
  EXPECT_TRUE(nodes[1]->Expanded());
  EXPECT_FALSE(root->Expanded());
  // Typing a letter moves to the next node starting with it.
  QTest::keyClick(&widget(), Qt::Key_Right);
  events.seen.clear();
  QTest::keyClicks(&widget(), "c");
  EXPECT_EQ(events.seen, "NodeClick:Root\\Charlie:selected ");
}

// A mouse click raises NodeClick, also on the node already selected; the
// expander opens a branch without a click; selecting from code raises
// nothing; with manual label editing neither F2 nor a click on the
// selected node opens an editor, with automatic editing the typed text
// becomes the node's.
TEST_F(DesktopTreeViewWidgetTest, MouseClicksAndLabelEditing) {
  const auto click = [&](const TreeNodeRef& node) {
    QTest::mouseClick(widget().viewport(), Qt::LeftButton, {},
                      widget().visualItemRect(Item(node)).center());
  };
  click(nodes[0]);
  click(nodes[0]);
  EXPECT_EQ(events.seen, "NodeClick:Root\\Alpha:selected NodeClick:Root\\Alpha:selected ");
  nodes[2]->Selected(true);
  EXPECT_EQ(Selected(), "Charlie");
  EXPECT_EQ(widget().currentItem(), Item(nodes[2]));
  EXPECT_EQ(events.seen, "NodeClick:Root\\Alpha:selected NodeClick:Root\\Alpha:selected ");

  // The expander sits left of the item's text.
  const QRect bravo = widget().visualItemRect(Item(nodes[1]));
  QTest::mouseClick(widget().viewport(), Qt::LeftButton, {},
                    QPoint(bravo.left() - widget().indentation() / 2, bravo.center().y()));
  EXPECT_TRUE(nodes[1]->Expanded());
  EXPECT_EQ(Selected(), "Charlie");

  view->LabelEdit(1);
  widget().setFocus();
  QTest::keyClick(&widget(), Qt::Key_F2);
  click(nodes[2]);
  EXPECT_EQ(widget().findChild<QLineEdit*>(), nullptr);

  view->LabelEdit(0);
  widget().editItem(Item(nodes[2]));
  auto* editor = widget().findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, "Delta");
  QTest::keyClick(editor, Qt::Key_Return);  // the editor commits from the event loop
  EXPECT_TRUE(QTest::qWaitFor([&] { return nodes[2]->Text() == "Delta"; }, 5000));
  EXPECT_EQ(nodes[2]->FullPath(), "Root\\Delta");
}

// Image list entries by number or key are picture files of the
// application folder; a missing file or a name that is no plain word shows
// none. Colours are blue-green-red.
TEST_F(DesktopTreeViewWidgetTest, ImagesFromTheApplicationFolderAndColours) {
  testing::TempFolder folder;
  QImage picture(16, 16, QImage::Format_RGB32);
  picture.fill(Qt::darkCyan);
  ASSERT_TRUE(picture.save(QString::fromStdString(folder.PathOf("tree1.png"))));
  ASSERT_TRUE(picture.save(QString::fromStdString(folder.PathOf("treeNet.gif")), "PNG"));
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder.PathOf("tree.."))));
  ASSERT_TRUE(picture.save(QString::fromStdString(folder.PathOf("tree../x.png"))));
  EXPECT_TRUE(Item(root)->icon(0).isNull()) << "no folder yet";
  view->ImageFolder(folder.Path());

  const struct {
    Variant image;
    bool shown;
  } cases[] = {{Variant(1), true},          {Variant("1"), true},   {Variant("Net"), true},
               {Variant(2), false},         {Variant("../x"), false}, {Variant("/x"), false},
               {Variant(""), false},        {Variant(), false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.image.TextOrEmpty());
    nodes[0]->Image(c.image);
    EXPECT_EQ(!Item(nodes[0])->icon(0).isNull(), c.shown);
  }
  EXPECT_FALSE(Item(root)->icon(0).isNull());

  nodes[0]->ForeColor(255);
  EXPECT_EQ(Item(nodes[0])->foreground(0).color(), QColor(255, 0, 0));
  nodes[0]->ForeColor(0x336699);  // blue 0x33, green 0x66, red 0x99
  EXPECT_EQ(Item(nodes[0])->foreground(0).color(), QColor(0x99, 0x66, 0x33));
  testing::SaveScreenshot(widget(), "tree-images");
}

// The window may go before the tree view: the tree view goes on without
// showing anything. The tree view may go before the window: the widget is
// emptied, and the nodes refuse to be used.
TEST(DesktopTreeViewLifetimeTest, TheWidgetAndTheTreeViewMayGoInEitherOrder) {
  Recorder events;
  {
    auto view = DesktopTreeView::Create();
    view->Advise(&events);
    TreeNodeRef root = view->Nodes().Add(nullptr, kTreeChild, "r", "Root", Variant(1));
    TreeNodeRef child = view->Nodes().Add(root, kTreeChild, "c", "Child", Variant(1));
    delete view->Widget();
    EXPECT_EQ(view->Widget(), nullptr);
    TreeNodeRef late = view->Nodes().Add(root, kTreeChild, "l", "Late", Variant(2));
    late->ForeColor(255);
    late->Expanded(true);
    view->Click(late);
    view->Nodes().Remove(child->Index());
    EXPECT_EQ(view->Nodes().Count(), 2);
    EXPECT_EQ(view->ItemOf(root), nullptr);
    EXPECT_EQ(events.seen, "NodeClick:Root\\Late:selected ");
    view->Advise(nullptr);
  }
  QWidget window;
  TreeNodeRef kept;
  {
    auto view = DesktopTreeView::Create(&window);
    kept = view->Nodes().Add(nullptr, kTreeChild, "r", "Root", Variant(1));
    ASSERT_EQ(view->Widget()->topLevelItemCount(), 1);
  }
  auto* widget = window.findChild<QTreeWidget*>();
  ASSERT_NE(widget, nullptr);
  EXPECT_EQ(widget->topLevelItemCount(), 0);
  EXPECT_EQ(ErrorNumberOf([&] { (void)kept->Text(); }), errc::kObjectNotSet);
  EXPECT_EQ(ErrorNumberOf([&] { kept->Selected(true); }), errc::kObjectNotSet);
}

}  // namespace
}  // namespace zarel
