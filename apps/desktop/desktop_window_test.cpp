// Tests of the desktop host's window over the demo site: a node of every
// kind clicked through the real tree widget and its page read back, a shape
// report level opened by the page's own script, Save, Print to a PDF and
// Preview from the toolbar, the property page applied to a form file and
// refused, the message pane and its bound, data access mode 2; with
// screenshots in the build folder.
#include "apps/desktop/desktop_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QWebEngineView>
#include <algorithm>
#include <functional>

#include "zarel/desktop/desktop_browser.h"
#include "zarel/desktop/desktop_tree_view.h"
#include "zarel/desktop/property_page_dialog.h"
#include "zarel/hostkit/control_container.h"
#include "zarel/control/zarel.h"
#include "zarel/testing/desktop_rig.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

constexpr const char* kRoot = "Brightwater Supplies";

std::string Path(const std::string& below) { return std::string(kRoot) + "\\" + below; }

// The demo site, made once for all the tests by the zarel program.
class DemoSite {
 public:
  static const DemoSite& Get() {
    static const DemoSite site;
    return site;
  }
  std::string Connection() const { return "sqlite:" + folder_.PathOf("demo/demo.db"); }
  std::string Site() const { return folder_.PathOf("demo/site"); }

 private:
  DemoSite() {
    const std::string made = testing::RunTool(
        ZAREL_PROGRAM, {"demo", QString::fromStdString(folder_.PathOf("demo"))});
    EXPECT_NE(made.find("Created the demo site"), std::string::npos) << made;
  }
  testing::TempFolder folder_;
};

class DesktopWindowTest : public ::testing::Test {
 protected:
  DesktopOptions Options() const {
    DesktopOptions options;
    options.connection = DemoSite::Get().Connection();
    options.folder = DemoSite::Get().Site();
    options.display.talking = true;
    options.display.role = "1";
    options.display.heading = kRoot;
    options.display.date_format = "dd Mmm yyyy";
    return options;
  }

  // The scripted dialogs, with every message box answered and its text
  // kept in refusals.
  DialogRunner Runner() {
    return [this, scripted = dialogs.Runner()](QDialog& dialog) {
      if (auto* box = dynamic_cast<QMessageBox*>(&dialog)) {
        refusals.push_back(box->text().toStdString());
        return static_cast<int>(QDialog::Accepted);
      }
      return scripted(dialog);
    };
  }

  // Opens the window; answers whether the front page was shown.
  bool OpenWindow(const DesktopOptions& options) {
    window = std::make_unique<DesktopWindow>(options, Runner());
    window->CreateControl();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) return false;
    window->Open();
    return window->Browser().WaitForLoad();
  }

  TreeNodeRef Node(const std::string& path) const {
    TreeNodes& nodes = window->Tree().Nodes();
    TreeNodeRef found;
    const std::function<void(const TreeNodeRef&)> look = [&](const TreeNodeRef& first) {
      for (TreeNodeRef node = first; node && !found; node = node->Next()) {
        if (node->FullPath() == path) found = node;
        look(node->Child());
      }
    };
    if (nodes.Count() > 0) look(nodes.Item(1)->FirstSibling());
    return found;
  }

  // Clicks the node's item with the mouse, as a user does, and waits for
  // its page; answers the page's text.
  std::string Click(const std::string& path) {
    const TreeNodeRef node = Node(path);
    if (!node) {
      ADD_FAILURE() << "no node " << path;
      return "";
    }
    QTreeWidget& tree = *window->Tree().Widget();
    QTreeWidgetItem* item = window->Tree().ItemOf(node);
    tree.scrollToItem(item);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(item).center());
    EXPECT_TRUE(window->Browser().WaitForLoad());
    return Text();
  }

  std::string Text() const { return testing::PageText(*window->Browser().Widget()); }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const QString& line : window->Messages()->toPlainText().split('\n', Qt::SkipEmptyParts)) {
      lines.push_back(line.toStdString());
    }
    return lines;
  }
  bool HasLine(const std::string& line) const {
    const std::vector<std::string> lines = Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  std::string Screenshot(const std::string& name) {
    testing::WaitForFrame(*window->Browser().Widget());
    return testing::SaveScreenshot(*window, name);
  }

  testing::ScriptedDialogs dialogs;
  std::vector<std::string> refusals;
  testing::TempFolder out;
  std::unique_ptr<DesktopWindow> window;
};

// The demo opens on its front page; a node of every kind, clicked with the
// mouse, shows its page and logs it; a key moves on and shows the next.
TEST_F(DesktopWindowTest, EveryKindOfNodeShowsItsPage) {
  ASSERT_TRUE(OpenWindow(Options()));
  EXPECT_NE(Text().find(kRoot), std::string::npos);
  EXPECT_EQ(window->windowTitle().toStdString(), std::string(kRoot) + " - Zarel");
  EXPECT_TRUE(Node(kRoot)->Expanded());
  Screenshot("desktop-front-page");

  const struct {
    const char* path;  // below the root
    const char* kind;
    const char* shown;  // a text of its page
  } clicks[] = {
      {"Dashboard", "leaf", "Welcome to the Brightwater Supplies report site"},
      {"Regions", "variable", "North"},
      {"Regions\\North", "record of a variable node", "North"},
      {"Staff", "tree", "Managing Director"},
      {"Staff\\Margaret Ellison", "record of a tree node", "Finance Director"},
      {"Sales", "fixed", "Sales"},
      {"Sales\\Order book", "leaf with a shape report", "Order book"},
  };
  for (const auto& click : clicks) {
    SCOPED_TRACE(click.kind);
    const std::string path = Path(click.path);
    EXPECT_NE(Click(path).find(click.shown), std::string::npos) << Text();
    EXPECT_EQ(window->Tree().SelectedItem()->FullPath(), path);
    EXPECT_EQ(Lines().back(), "log: View: " + path);
    if (std::string(click.path) == "Regions\\North") Screenshot("desktop-region-north");
  }
  EXPECT_FALSE(Node(Path("Regions\\North"))) << "opening Staff pruned the regions";

  window->Tree().Widget()->setFocus();
  QTest::keyClick(window->Tree().Widget(), Qt::Key_Down);
  ASSERT_TRUE(window->Browser().WaitForLoad());
  EXPECT_EQ(Lines().back(), "log: View: " + Path("Sales\\Best sellers"));
  EXPECT_NE(Text().find("Best sellers"), std::string::npos);
}

// The shape report's expander opens a level through the page's own script.
TEST_F(DesktopWindowTest, AShapeReportLevelOpensByThePagesScript) {
  ASSERT_TRUE(OpenWindow(Options()));
  Click(Path("Sales"));
  const std::string closed = Click(Path("Sales\\Order book"));
  QWebEngineView& view = *window->Browser().Widget();
  const QString expander =
      testing::RunScript(view, "document.querySelector(\"img[id^='DTL']\").id").toString();
  ASSERT_FALSE(expander.isEmpty());
  const auto source = [&] {
    return testing::RunScript(view, "document.getElementById('" + expander + "').src")
        .toString()
        .toStdString();
  };
  EXPECT_NE(source().find("plus.gif"), std::string::npos);
  testing::RunScript(view, "document.getElementById('" + expander + "').click()");
  EXPECT_NE(source().find("minus.gif"), std::string::npos);
  EXPECT_GT(Text().size(), closed.size()) << "the level's rows are shown";
  Screenshot("desktop-shape-opened");
}

// Save, Print and Preview from the toolbar go through the browser's dialogs;
// the control logs each, and a cancelled dialog is its message.
TEST_F(DesktopWindowTest, SavePrintAndPreviewFromTheToolbar) {
  ASSERT_TRUE(OpenWindow(Options()));
  Click(Path("Regions"));
  const std::string page = testing::ReadFile(DemoSite::Get().Site() + "/oReport.htm");
  const std::string saved = out.PathOf("regions.htm");
  const std::string pdf = out.PathOf("regions.pdf");
  dialogs.Then([&](QDialog& dialog) {
    dialog.findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(saved));
    dialog.accept();
    return static_cast<int>(QDialog::Accepted);
  });
  dialogs.Then([&](QDialog& dialog) {
    QPrinter* printer = dynamic_cast<QPrintDialog&>(dialog).printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(pdf));
    return static_cast<int>(QDialog::Accepted);
  });
  dialogs.Then([](QDialog&) { return static_cast<int>(QDialog::Rejected); });
  dialogs.Then([&](QDialog& preview) {
    preview.resize(700, 800);
    preview.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&preview));
    testing::SaveScreenshot(preview, "desktop-preview");
    return static_cast<int>(QDialog::Rejected);
  });
  for (QAction* action : {window->SaveAction(), window->PrintAction(), window->PrintAction(),
                          window->PreviewAction()}) {
    action->trigger();
  }
  EXPECT_EQ(dialogs.Titles(), QStringList({"Save Page", "Print", "Print", "Print Preview"}));
  EXPECT_EQ(testing::ReadFile(saved), page);
  const std::string printed = testing::PdfText(pdf);
  EXPECT_NE(printed.find("Regions"), std::string::npos) << printed;
  EXPECT_NE(printed.find("North"), std::string::npos) << printed;
  testing::SavePdfPicture(pdf, "desktop-printed");
  const std::string regions = Path("Regions");
  const std::vector<std::string> lines = Lines();
  EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()),
            std::vector<std::string>({"log: Save: " + regions, "log: Print: " + regions,
                                      "message: Print Command Error: Print was cancelled",
                                      "log: Preview: " + regions}));
}

// With a form file, Properties edits the form's control at design time:
// Apply saves the file, a value the control cannot take is refused and the
// file stays as it was; the running control keeps the value it started
// with. Without one, the running control refuses (393 to be read, 382 to
// be written).
TEST_F(DesktopWindowTest, ThePropertyPageAppliedToTheFormFileAndRefused) {
  const std::string form_file = out.PathOf("main.form");
  {
    ControlContainer form(ControlContainer::Mode::kDesign);
    form.Place("Zarel1", std::make_shared<Zarel>());
    form.SaveTo(form_file);
  }
  const std::string placed = testing::ReadFile(form_file);
  DesktopOptions options = Options();
  options.form = form_file;
  ASSERT_TRUE(OpenWindow(options));

  const auto visit = [&](const char* typed) {
    dialogs.Then([&, typed](QDialog& dialog) {
      auto& page = dynamic_cast<PropertyPageDialog&>(dialog);
      EXPECT_EQ(page.windowTitle(), "Zarel Properties");
      page.TextBox()->selectAll();
      QTest::keyClicks(page.TextBox(), typed);
      page.ApplyButton()->click();
      if (std::string(typed) == "8080") testing::SaveScreenshot(page, "desktop-properties");
      return static_cast<int>(QDialog::Rejected);
    });
  };

  visit("8080");
  window->PropertiesAction()->trigger();
  const std::string applied = testing::ReadFile(form_file);
  EXPECT_NE(applied.find("ActivePort = 8080"), std::string::npos) << applied;
  EXPECT_TRUE(
      HasLine("form: " + form_file + ": ActivePort 8080 saved; it counts from the next start"));

  visit("abc");
  window->PropertiesAction()->trigger();
  EXPECT_EQ(refusals, std::vector<std::string>({"ActivePort: 13, Type mismatch"}));
  EXPECT_EQ(testing::ReadFile(form_file), applied);

  // The running control started with 80 and still answers.
  EXPECT_NE(Click(Path("Dashboard")).find("Welcome"), std::string::npos);
  window->close();
  EXPECT_EQ(testing::ReadFile(form_file), applied) << "closing saves nothing";
  EXPECT_NE(placed, applied);

  // The next start uses the value saved: every query is refused.
  refusals.clear();
  window = nullptr;
  OpenWindow(options);
  EXPECT_TRUE(HasLine("message: Please set ActivePort to 80"));

  // No form file: the running control refuses the page both ways.
  window = nullptr;
  ASSERT_TRUE(OpenWindow(Options()));
  visit("80");
  window->PropertiesAction()->trigger();
  EXPECT_EQ(refusals, std::vector<std::string>({"ActivePort: 393, Get not supported at runtime",
                                                "ActivePort: 382, Set not supported at runtime"}));
}

// The pane keeps its last lines only; in data access mode 2 the window
// answers the queries and lists them.
TEST_F(DesktopWindowTest, TheMessagePaneAndDataAccessModeTwo) {
  DesktopOptions options = Options();
  options.message_lines = 3;
  options.display.damode = 2;
  ASSERT_TRUE(OpenWindow(options));
  EXPECT_NE(Click(Path("Regions")).find("North"), std::string::npos);
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines.back(), "log: View: " + Path("Regions"));
  EXPECT_EQ(lines[0].rfind("provide: ", 0), 0u) << lines[0];
}

}  // namespace
}  // namespace zarel
