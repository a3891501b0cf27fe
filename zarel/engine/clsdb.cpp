// The report engine object: creation, settings, the host's controls,
// RefreshBrowser, the browser commands, the tree view's event sink and the
// engine's events. The data gate, site tables, navigation tree, page
// composition and query parameters have files of their own.
#include "zarel/engine/clsdb.h"

#include <functional>

#include "zarel/engine/clsdb_impl.h"
#include "zarel/engine/engine_text.h"

namespace zarel {

using namespace engine_text;

namespace {

// The heading of every report page until the host sets its own: a link to
// the maker's site, opening in a new window.
constexpr const char* kCreditHeading = "<a href=\"https://zarel.dev\" target=\"_blank\">Zarel</a>";

constexpr std::int32_t kRootColour = 255;  // red

// Runs one step of a routine whose failing steps are skipped.
void SkipOnFailure(const std::function<void()>& step) {
  try {
    step();
  } catch (...) {
    // The step is skipped; the routine goes on with the next one.
  }
}

}  // namespace

// --- The inside ---

clsDB::Impl::Impl(clsDBEvents* events) : events_(events), heading_(kCreditHeading) {}

void clsDB::Impl::RaiseProvideRecordset(const std::string& sql,
                                        std::shared_ptr<Recordset>& recordset) {
  if (events_ != nullptr) events_->ProvideRecordset(sql, recordset);
}

void clsDB::Impl::ZarelMessage(const std::string& message) {
  if (events_ != nullptr) events_->ZarelMessage(message);
}

void clsDB::Impl::RaiseLogIt(const std::string& type, const std::string& narration) {
  if (events_ != nullptr) events_->LogIt(type, narration);
}

std::string clsDB::Impl::SelectedNodeText() const {
  return Require(Require(tree_view_).SelectedItem()).Text();
}

// Every event of the bound tree view arrives here; only "NodeClick" (in
// exactly that letter case) opens its node, parameter 0.
void clsDB::Impl::TreeViewEvent(const std::string& name, std::vector<Variant>& parameters) {
  if (name != "NodeClick") return;
  TreeNodeRef node;
  if (!parameters.empty() && parameters[0].IsObject()) {
    node = parameters[0].AsObjectOf<TreeNode>();
  }
  OpenNode(node);
}

void clsDB::Impl::SetControls(std::shared_ptr<TreeView>& tree_view,
                              std::shared_ptr<WebBrowser>& browser) {
  if (!tree_view) Raise(errc::kObjectNotSet);
  if (tree_view_ != tree_view) UnbindTreeView();
  tree_view->Advise(this);
  tree_view_ = tree_view;
  browser_ = browser;
  tree_view_->LabelEdit(1);  // manual: node texts cannot be edited in place
}

void clsDB::Impl::UnbindTreeView() {
  if (tree_view_) tree_view_->Advise(nullptr);
  tree_view_.reset();
}

void clsDB::Impl::RefreshBrowser() {
  LoadSiteTables();
  SkipOnFailure([&] { Require(tree_view_).Nodes().Clear(); });
  SkipOnFailure([&] { Require(tree_view_).Sorted(true); });
  SkipOnFailure([&] {
    last_added_node_.reset();
    last_added_node_ = Require(tree_view_).Nodes().Add();
  });
  SkipOnFailure(
      [&] { Require(last_added_node_).Tag("1" + std::string(kTagSeparator) + "fixed"); });
  SkipOnFailure([&] {
    Require(last_added_node_).Text(site_title_.empty() ? "Data Browser" : site_title_);
  });
  SkipOnFailure([&] { Require(last_added_node_).ForeColor(kRootColour); });
  SkipOnFailure([&] { Require(last_added_node_).Image(Variant("Net")); });
  SkipOnFailure([&] { Require(last_added_node_).Expanded(true); });
  SkipOnFailure([&] { Require(last_added_node_).Selected(true); });
  SkipOnFailure([&] {
    TreeNodeRef root = Require(tree_view_).SelectedItem();
    OpenNode(root);
  });
  SkipOnFailure([&] { Require(browser_).Navigate(FolderPath("/fp.htm")); });
}

void clsDB::Impl::RunBrowserCommand(std::int16_t command, const std::string& log_type,
                                    const std::string& error_prefix) {
  try {
    Require(browser_).ExecWB(command, kPromptUser);
    RaiseLogIt(log_type, Require(Require(tree_view_).SelectedItem()).FullPath());
  } catch (...) {
    ZarelMessage(error_prefix + CurrentError().Description());
  }
}

// --- The internal hooks ---

void EngineDiagnostics::QueryStarting(const std::string&) {}
void EngineDiagnostics::QueryFinished(const std::string&, bool, const std::string&) {}
void EngineDiagnostics::ComponentStarting(const ComponentRun&) {}
void EngineDiagnostics::ComponentFinished(const ComponentRun&, std::chrono::steady_clock::duration) {}

void EngineInside::SetDiagnostics(clsDB& engine, EngineDiagnostics* sink) {
  engine.impl_->diagnostics_ = sink;
}

DAL& EngineInside::Dal(clsDB& engine) { return engine.impl_->dal_; }

// --- The public surface ---

clsDB::clsDB(clsDBEvents* events) : impl_(std::make_unique<Impl>(events)) {}

clsDB::~clsDB() { impl_->UnbindTreeView(); }

void clsDB::Advise(clsDBEvents* events) { impl_->events_ = events; }

std::int16_t clsDB::ActivePort() const { return impl_->active_port_; }

void clsDB::ActivePort(std::int16_t New_ActivePort) { impl_->active_port_ = New_ActivePort; }

void clsDB::ConnectionString(const std::string& sCS) { impl_->dal_.ConnectionString(sCS); }

void clsDB::ApplicationFolder(const Variant& New_ApplicationFolder) {
  impl_->application_folder_ = New_ApplicationFolder;
}

void clsDB::DAMode(std::int16_t vNewValue) { impl_->da_mode_ = vNewValue; }

std::int16_t clsDB::DAMode() const { return impl_->da_mode_; }

void clsDB::DateFormat(const std::string& vNewValue) { impl_->date_format_ = vNewValue; }

void clsDB::DisplayPath(bool vNewValue) { impl_->display_path_ = vNewValue; }

void clsDB::Heading(const Variant& vNewValue) { impl_->heading_ = vNewValue.ToText(); }

void clsDB::Talking(bool vNewValue) { impl_->talking_ = vNewValue; }

void clsDB::UserRole(const Variant& vNewValue) { impl_->user_role_ = vNewValue.ToInteger(); }

void clsDB::SetControls(std::shared_ptr<TreeView>& mTV, std::shared_ptr<WebBrowser>& mBM) {
  impl_->SetControls(mTV, mBM);
}

void clsDB::RefreshBrowser() { impl_->RefreshBrowser(); }

void clsDB::SavePage() {
  impl_->RunBrowserCommand(kCommandSaveAs, "Save", "Save Command Error: ");
}

void clsDB::PrintPage() {
  impl_->RunBrowserCommand(kCommandPrint, "Print", "Print Command Error: ");
}

void clsDB::PreviewPage() {
  impl_->RunBrowserCommand(kCommandPrintPreview, "Preview", "Preview Command Error: ");
}

}  // namespace zarel
