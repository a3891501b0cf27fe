// zarel browse: the command-line host (see browse_command.h).
//
// BrowseHost plays the part of a desktop host: its form (a run-mode control
// container) holds the Zarel control, beside a headless tree view and a
// headless browser; it answers the control's events by printing them, and in
// data access mode 2 answers ProvideRecordset from a data access object of
// its own.
#include "apps/browse/browse_command.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "zarel/base/clock.h"
#include "zarel/base/date_time.h"
#include "zarel/base/error.h"
#include "apps/options/connection_check.h"
#include "apps/options/connection_option.h"
#include "apps/options/now_option.h"
#include "zarel/control/control_inside.h"
#include "zarel/control/zarel.h"
#include "zarel/data/dal.h"
#include "zarel/data/dal_inside.h"
#include "zarel/engine/engine_diagnostics.h"
#include "zarel/hostkit/control_container.h"
#include "zarel/hostkit/headless_browser.h"
#include "zarel/hostkit/headless_tree_view.h"
#include "zarel/hostkit/saved_form.h"

namespace zarel {

namespace {

constexpr int kCompleted = 0;
constexpr int kRunFailure = 1;
constexpr int kUsageError = 2;

constexpr const char* kBrowseFooter = R"(Output, one line per event, in the order they happen:
  message: TEXT            a message of the report engine
  log: TYPE: NARRATION     a page shown (View), saved, printed or previewed
  navigate: PATH           the browser told to show a file
  provide: SQL             a query the program answers itself (--damode 2)
  reason: TEXT             why the database read before it failed (--diagnose)
  print: PATH              the page handed to the printer (--print)
  preview: PATH            the page handed to the print preview (--preview)
With --tree, then "tree:" and one line per node in display order, indented
two spaces per level:
  TEXT [key=KEY tag=TAG image=IMAGE color=COLOR expanded selected]
("expanded" and "selected" only when they hold).

The program has no printer of its own: --print and --preview hand the page
shown to a printer that only prints the lines above.

Exit status: 0 when the run completed (messages do not change it); 1 when
the folder does not exist, the report database cannot be opened (the
reason is printed), or a --click PATH matches no node; 2 for a usage error.

Example:
  zarel browse sqlite:site.db --folder site --talking --now "2026-12-05 14:05:09" \
      --click 'Sales Site\Regions' --tree)";

// The name of the control on the form the program makes itself.
constexpr const char* kControlName = "Zarel1";

class BrowseHost : public ZarelEvents, public EngineDiagnostics {
 public:
  ~BrowseHost() override {
    if (control_) EngineInside::SetDiagnostics(ControlInside::Engine(*control_), nullptr);
  }
  BrowseHost(const BrowseHost&) = delete;
  BrowseHost& operator=(const BrowseHost&) = delete;

  BrowseHost(const BrowseOptions& options, std::ostream& out) : options_(options), out_(out) {
    host_dal_.ConnectionString(options.connection);
    browser_->OnNavigate([this](const std::string& path) { out_ << "navigate: " << path << "\n"; });
    browser_->SetPrinter([this](std::int16_t command, const std::string& page) {
      out_ << (command == kCommandPrint ? "print: " : "preview: ") << page << "\n";
    });
  }

  // Puts the control on the form: loaded from the form file, loaded as
  // saved with the given ActivePort, or freshly placed. A form file that
  // cannot be loaded, or holds no Zarel control, raises.
  void CreateControl() {
    if (options_.form) {
      form_.LoadFrom(*options_.form, ZarelControlFactory);
      control_ = FirstZarel(form_);
      if (!control_) {
        Raise(errc::kInvalidProcedureCall,
              "the form file " + *options_.form + " holds no Zarel control");
      }
    } else if (options_.active_port) {
      SavedForm saved;
      saved.controls.push_back({Zarel::kClassName, kControlName, PropertyBag()});
      saved.controls.back().properties.WriteProperty("ActivePort", Variant(*options_.active_port),
                                                      Variant());
      form_.Load(saved, ZarelControlFactory);
      control_ = FirstZarel(form_);
    } else {
      control_ = std::make_shared<Zarel>();
      form_.Place(kControlName, control_);
    }
    control_->Advise(this);
    if (options_.diagnose) EngineInside::SetDiagnostics(ControlInside::Engine(*control_), this);
  }

  // Sets the control's properties from the options; a value the control
  // refuses raises.
  void PlaceControl() {
    control_->ConnectionString(options_.connection);
    control_->ApplicationFolder(Variant(options_.folder));
    ApplyDisplayOptions(*control_, options_.display);
    std::shared_ptr<TreeView> tree_view = tree_;
    std::shared_ptr<WebBrowser> browser = browser_;
    control_->SetControls(tree_view, browser);
  }

  void RefreshBrowser() { control_->RefreshBrowser(); }

  // Clicks the first node in display order whose full path is path; false
  // when there is none.
  bool Click(const std::string& path) {
    TreeNodeRef found;
    tree_->Walk([&](const TreeNodeRef& node, int) {
      if (!found && node->FullPath() == path) found = node;
    });
    if (!found) return false;
    tree_->Click(found);
    return true;
  }

  void Save(const std::string& destination) {
    browser_->SaveDestination(destination);
    control_->SavePage();
  }
  void Print() { control_->PrintPage(); }
  void Preview() { control_->PreviewPage(); }

  void PrintTree() {
    out_ << "tree:\n";
    tree_->Walk([this](const TreeNodeRef& node, int depth) {
      out_ << std::string(static_cast<std::size_t>(depth) * 2, ' ') << node->Text()
           << " [key=" << node->Key() << " tag=" << node->Tag()
           << " image=" << node->Image().TextOrEmpty() << " color=" << node->ForeColor()
           << (node->Expanded() ? " expanded" : "") << (node->Selected() ? " selected" : "")
           << "]\n";
    });
  }

  // --- The control's events ---
  void ProvideRecordset(const std::string& sSQL, std::shared_ptr<Recordset>& sRS) override {
    out_ << "provide: " << sSQL << "\n";
    // A query the database refuses leaves sRS empty, which the engine
    // reports itself.
    if (!host_dal_.ReadRecordset(sSQL, sRS) && options_.diagnose) {
      out_ << "reason: " << DALInside::LastFailure(host_dal_) << "\n";
    }
  }

  // --- The engine's diagnostics (--diagnose) ---
  void QueryFinished(const std::string&, bool succeeded, const std::string& reason) override {
    if (!succeeded) out_ << "reason: " << reason << "\n";
  }
  void ZarelMessage(const std::string& sMessage) override {
    out_ << "message: " << sMessage << "\n";
  }
  void LogIt(const std::string& AType, const std::string& ANarration) override {
    out_ << "log: " << AType << ": " << ANarration << "\n";
  }

 private:
  const BrowseOptions& options_;
  std::ostream& out_;
  DAL host_dal_;
  std::shared_ptr<HeadlessTreeView> tree_ = HeadlessTreeView::Create();
  std::shared_ptr<HeadlessBrowser> browser_ = HeadlessBrowser::Create();
  // The form in run mode and its control. Declared last, so the control
  // goes (and its engine unbinds the tree view) first.
  ControlContainer form_{ControlContainer::Mode::kRun};
  std::shared_ptr<Zarel> control_;
};

}  // namespace

CLI::App* AddBrowseCommand(CLI::App& app, BrowseOptions& options) {
  CLI::App* browse = app.add_subcommand(
      "browse",
      "Open a report site from the shell: refresh it, click nodes, save or print the page, "
      "and print every event of the report engine.");
  browse->footer(kBrowseFooter);
  AddConnectionArgument(*browse, options.connection);
  browse->add_option("--folder", options.folder,
                     "Application folder: fp.htm and oReport.htm are written there "
                     "(default: the current folder)");
  AddDisplayOptions(*browse, options.display);
  AddStatementOptions(*browse, options.database);
  CLI::Option* active_port =
      browse->add_option("--active-port", options.active_port,
                         "ActivePort the control was saved with (default: a freshly placed "
                         "control, 80); any other value refuses every query");
  browse
      ->add_option("--form", options.form,
                   "Load the control from this saved form file (see zarel form) instead of "
                   "placing a fresh one")
      ->type_name("FILE")
      ->excludes(active_port);
  AddNowOption(*browse, options.now);
  browse->add_option("--click", options.clicks,
                     "After the refresh, click the first node whose full path (texts joined by "
                     "\\) is PATH; repeatable, in order")
      ->type_name("PATH")
      ->allow_extra_args(false);
  browse->add_option("--save", options.save, "After the clicks, save the page shown to FILE")
      ->type_name("FILE");
  browse->add_flag("--print", options.print, "Then print the page shown");
  browse->add_flag("--preview", options.preview, "Then preview the page shown");
  browse->add_flag("--tree", options.tree, "At the end, print the tree");
  browse->add_flag("--diagnose", options.diagnose,
                   "After each database read that failed, print \"reason: \" and the database "
                   "layer's own reason");
  return browse;
}

int RunBrowse(const BrowseOptions& options, std::ostream& out, std::ostream& err) {
  std::error_code ignored;
  if (!std::filesystem::is_directory(options.folder, ignored)) {
    err << "zarel: folder '" << options.folder << "' does not exist\n";
    return kRunFailure;
  }
  if (!CheckConnectionBeforeStart(options.connection, err)) return kRunFailure;
  std::optional<FixedClock> fixed_clock;
  if (options.now) fixed_clock.emplace(*options.now);
  ApplyDatabaseSettings(DatabaseSettingsFrom(options.database, CurrentDatabaseSettings().pool_size));

  BrowseHost host(options, out);
  try {
    host.CreateControl();
  } catch (const RuntimeError& error) {
    err << "zarel: " << error.Description() << "\n";
    return kRunFailure;
  }
  try {
    host.PlaceControl();
  } catch (const RuntimeError& error) {
    err << "zarel: " << ErrorText("the control refused a setting: ", error) << "\n";
    return kUsageError;
  }
  host.RefreshBrowser();
  for (const std::string& path : options.clicks) {
    if (!host.Click(path)) {
      out.flush();
      err << "zarel: no node '" << path << "'\n";
      return kRunFailure;
    }
  }
  if (options.save) host.Save(*options.save);
  if (options.print) host.Print();
  if (options.preview) host.Preview();
  if (options.tree) host.PrintTree();
  out.flush();
  return kCompleted;
}

}  // namespace zarel
