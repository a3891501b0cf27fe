// A host application that places the Zarel control in its own window,
// beside a tree view and a web browser of its own: desktop_host CONNECTION FOLDER
#include <QApplication>
#include <QMainWindow>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>

#include "zarel/control/zarel.h"
#include "zarel/desktop/desktop_browser.h"
#include "zarel/desktop/desktop_tree_view.h"
#include "zarel/desktop/web_engine_environment.h"

// Shows the control's messages and log lines in the window's status bar.
class StatusBarHost : public zarel::ZarelEvents {
 public:
  explicit StatusBarHost(QStatusBar* bar) : bar_(bar) {}
  void ProvideRecordset(const std::string&, std::shared_ptr<zarel::Recordset>&) override {}
  void ZarelMessage(const std::string& sMessage) override { Show(sMessage); }
  void LogIt(const std::string& AType, const std::string& ANarration) override {
    Show(AType + ": " + ANarration);
  }

 private:
  void Show(const std::string& text) { bar_->showMessage(QString::fromStdString(text)); }
  QStatusBar* bar_;
};

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  QTemporaryDir runtime;
  zarel::PrepareWebEngineEnvironment(runtime.path().toStdString());
  QApplication app(argc, argv);
  QMainWindow window;
  auto* sides = new QSplitter;
  auto tree = zarel::DesktopTreeView::Create(sides);
  auto browser = zarel::DesktopBrowser::Create(sides);
  tree->ImageFolder(argv[2]);
  window.setCentralWidget(sides);
  StatusBarHost host(window.statusBar());

  zarel::ControlContainer form(zarel::ControlContainer::Mode::kRun);
  auto control = std::make_shared<zarel::Zarel>();
  form.Place("Zarel1", control);
  control->Advise(&host);
  control->ConnectionString(argv[1]);
  control->ApplicationFolder(zarel::Variant(std::string(argv[2])));
  control->Talking(true);
  std::shared_ptr<zarel::TreeView> tree_view = tree;
  std::shared_ptr<zarel::WebBrowser> web_browser = browser;
  control->SetControls(tree_view, web_browser);
  control->RefreshBrowser();  // front page shown, tree filled

  QToolBar* commands = window.addToolBar("Commands");
  commands->addAction("Save", [&] { control->SavePage(); });
  commands->addAction("Print", [&] { control->PrintPage(); });
  commands->addAction("Preview", [&] { control->PreviewPage(); });
  window.resize(1000, 700);
  window.show();
  const int status = app.exec();
  control->Advise(nullptr);
  return status;
}
