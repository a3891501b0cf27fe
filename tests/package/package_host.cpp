// A host of the Zarel control built against the installed package: it
// places a fresh control on a running form beside headless controls, opens
// the report site given on the command line, clicks the first child of the
// root and checks that a page was shown without any message, with the
// process's database settings of its own and its link to the database
// reused.
//
//   package_host CONNECTION FOLDER     exit 0 when all went well
#include <iostream>
#include <memory>
#include <string>

#include "zarel/control/zarel.h"
#include "zarel/db/database_settings.h"
#include "zarel/hostkit/headless_browser.h"
#include "zarel/hostkit/headless_tree_view.h"

namespace {

class Host : public zarel::ZarelEvents {
 public:
  void ProvideRecordset(const std::string&, std::shared_ptr<zarel::Recordset>&) override {}
  void ZarelMessage(const std::string& sMessage) override {
    std::cerr << "message: " << sMessage << "\n";
    ++messages;
  }
  void LogIt(const std::string& AType, const std::string& ANarration) override {
    std::cout << "log: " << AType << ": " << ANarration << "\n";
    ++logs;
  }
  int messages = 0;
  int logs = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: package_host CONNECTION FOLDER\n";
    return 2;
  }
  zarel::DatabaseSettings settings = zarel::CurrentDatabaseSettings();
  settings.pool_size = 2;
  settings.statement_time_limit = std::chrono::seconds(10);
  zarel::ApplyDatabaseSettings(settings);
  Host host;
  zarel::ControlContainer form(zarel::ControlContainer::Mode::kRun);
  auto control = std::make_shared<zarel::Zarel>();
  form.Place("Zarel1", control);
  control->Advise(&host);
  control->ConnectionString(argv[1]);
  control->ApplicationFolder(zarel::Variant(std::string(argv[2])));
  control->Talking(true);
  auto headless_tree = zarel::HeadlessTreeView::Create();
  std::shared_ptr<zarel::TreeView> tree = headless_tree;
  std::shared_ptr<zarel::WebBrowser> browser = zarel::HeadlessBrowser::Create();
  control->SetControls(tree, browser);
  control->RefreshBrowser();

  zarel::TreeNodes& nodes = headless_tree->Nodes();
  zarel::TreeNodeRef root = nodes.Count() > 0 ? nodes.Item(1) : nullptr;
  zarel::TreeNodeRef first = root ? root->Child() : nullptr;
  if (!first) {
    std::cerr << "package_host: the site's tree has no node below its root\n";
    return 1;
  }
  headless_tree->Click(first);
  control->Advise(nullptr);
  if (host.messages != 0 || host.logs != 1) {
    std::cerr << "package_host: expected one page and no message\n";
    return 1;
  }
  const zarel::DatabaseLinkCounts links = zarel::CountDatabaseLinks();
  if (links.opened != 1 || links.reused == 0 || links.in_use != 0) {
    std::cerr << "package_host: expected one database link, reused\n";
    return 1;
  }
  std::cout << "package_host: ok\n";
  return 0;
}
