// The window of zarel desktop: its parts, the control's host, and the
// toolbar's commands (see desktop_window.h).
#include "apps/desktop/desktop_window.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QToolBar>
#include <QTreeWidget>
#include <QWebEngineView>

#include "zarel/base/error.h"
#include "zarel/control/zarel.h"
#include "zarel/data/dal.h"
#include "zarel/desktop/desktop_browser.h"
#include "zarel/desktop/desktop_tree_view.h"
#include "zarel/desktop/property_page_dialog.h"
#include "zarel/hostkit/control_container.h"

namespace zarel {

namespace {

// The name of the control on the form the window makes itself.
constexpr const char* kControlName = "Zarel1";

}  // namespace

// The form with the control, the tree view and browser it is given, and
// the answers to its events.
class DesktopWindow::Host : public ZarelEvents {
 public:
  Host(DesktopWindow& window, QWidget* tree_parent, QWidget* page_parent)
      : window_(window),
        tree_(DesktopTreeView::Create(tree_parent)),
        browser_(DesktopBrowser::Create(page_parent)) {}

  ~Host() override {
    if (control_) control_->Advise(nullptr);
  }

  void ProvideRecordset(const std::string& sSQL, std::shared_ptr<Recordset>& sRS) override {
    window_.AddLine("provide: " + sSQL);
    // A query the database refuses leaves sRS empty, which the control
    // reports itself.
    dal_.ReadRecordset(sSQL, sRS);
  }
  void ZarelMessage(const std::string& sMessage) override {
    window_.AddLine("message: " + sMessage);
  }
  void LogIt(const std::string& AType, const std::string& ANarration) override {
    window_.AddLine("log: " + AType + ": " + ANarration);
  }

  DesktopWindow& window_;
  DAL dal_;
  std::shared_ptr<DesktopTreeView> tree_;
  std::shared_ptr<DesktopBrowser> browser_;
  // The form in run mode and its control, which goes first (and its engine
  // with it, letting go of the tree view).
  ControlContainer form_{ControlContainer::Mode::kRun};
  std::shared_ptr<Zarel> control_;
};

DesktopWindow::DesktopWindow(DesktopOptions options, DialogRunner run)
    : options_(std::move(options)), run_(std::move(run)) {
  setWindowTitle("Zarel");
  auto* sides = new QSplitter(Qt::Horizontal);
  auto* panes = new QSplitter(Qt::Vertical);
  host_ = std::make_unique<Host>(*this, sides, sides);
  host_->browser_->Dialogs(run_);
  host_->dal_.ConnectionString(options_.connection);
  sides->addWidget(host_->tree_->Widget());
  sides->addWidget(host_->browser_->Widget());
  sides->setStretchFactor(1, 3);
  sides->setSizes({260, 780});
  messages_ = new QPlainTextEdit;
  messages_->setReadOnly(true);
  messages_->setMaximumBlockCount(options_.message_lines);
  panes->addWidget(sides);
  panes->addWidget(messages_);
  panes->setStretchFactor(0, 5);
  panes->setSizes({600, 120});
  setCentralWidget(panes);
  resize(1100, 760);

  QToolBar* toolbar = addToolBar("Commands");
  toolbar->setMovable(false);
  refresh_ = toolbar->addAction("Refresh", this, [this] {
    host_->control_->RefreshBrowser();
    ShowTitle();
  });
  save_ = toolbar->addAction("Save", this, [this] { host_->control_->SavePage(); });
  print_ = toolbar->addAction("Print", this, [this] { host_->control_->PrintPage(); });
  preview_ = toolbar->addAction("Preview", this, [this] { host_->control_->PreviewPage(); });
  properties_ = toolbar->addAction("Properties", this, [this] { ShowProperties(); });
  refresh_->setShortcut(QKeySequence::Refresh);
  save_->setShortcut(QKeySequence::Save);
  print_->setShortcut(QKeySequence::Print);
  for (QAction* action : {refresh_, save_, print_, preview_}) action->setEnabled(false);
}

DesktopWindow::~DesktopWindow() = default;

void DesktopWindow::CreateControl() {
  if (options_.form) {
    host_->form_.LoadFrom(*options_.form, ZarelControlFactory);
    host_->control_ = FirstZarel(host_->form_);
    if (!host_->control_) {
      Raise(errc::kInvalidProcedureCall,
            "the form file " + *options_.form + " holds no Zarel control");
    }
  } else {
    host_->control_ = std::make_shared<Zarel>();
    host_->form_.Place(kControlName, host_->control_);
  }
  host_->control_->Advise(host_.get());
}

void DesktopWindow::Open() {
  Zarel& control = *host_->control_;
  control.ConnectionString(options_.connection);
  control.ApplicationFolder(Variant(options_.folder));
  ApplyDisplayOptions(control, options_.display);
  host_->tree_->ImageFolder(options_.folder);
  std::shared_ptr<TreeView> tree_view = host_->tree_;
  std::shared_ptr<WebBrowser> browser = host_->browser_;
  control.SetControls(tree_view, browser);
  for (QAction* action : {refresh_, save_, print_, preview_}) action->setEnabled(true);
  refresh_->trigger();
}

DesktopTreeView& DesktopWindow::Tree() const { return *host_->tree_; }
DesktopBrowser& DesktopWindow::Browser() const { return *host_->browser_; }

void DesktopWindow::AddLine(const std::string& line) {
  messages_->appendPlainText(QString::fromStdString(line));
}

void DesktopWindow::ShowTitle() {
  const TreeNodeRef root = host_->tree_->Nodes().Count() > 0 ? host_->tree_->Nodes().Item(1)
                                                              : nullptr;
  setWindowTitle(root ? QString::fromStdString(root->Text()) + " - Zarel" : "Zarel");
}

// The property page edits the saved form's control at design time, and
// saves the form file on every Apply; without a form file, it opens on the
// running control, which refuses (393 to be read, 382 to be written).
void DesktopWindow::ShowProperties() {
  PropertyPageDialog dialog(run_, this);
  if (!options_.form) {
    dialog.ShowFor({host_->control_});
    return;
  }
  const std::string& file = *options_.form;
  ControlContainer design(ControlContainer::Mode::kDesign);
  std::shared_ptr<Zarel> control;
  try {
    design.LoadFrom(file, ZarelControlFactory);
    control = FirstZarel(design);
    if (!control) Raise(errc::kInvalidProcedureCall, "the form holds no Zarel control");
  } catch (const RuntimeError& error) {
    AddLine("form: " + file + ": " + error.Description());
    return;
  }
  dialog.OnApplied([&] {
    design.SaveTo(file);
    AddLine("form: " + file + ": ActivePort " + std::to_string(control->ActivePort()) +
            " saved; it counts from the next start");
  });
  dialog.ShowFor({control});
}

}  // namespace zarel
