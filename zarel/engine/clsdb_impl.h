// The inside of the report engine: its fields and the routines that the
// engine's source files share. Private to engine/; hosts include clsdb.h.
//
// The routines live in one file each by subject:
//   clsdb.cpp            creation, settings, host controls, RefreshBrowser,
//                        save / print / preview, the tree event sink, events
//   data_gate.cpp        FetchRecordset
//   site_tables.cpp      LoadSiteTables and its three loaders
//   navigation_tree.cpp  OpenNode, PruneSiblings
//   page_composition.cpp ComposePage
//   query_parameters.cpp ApplyQueryParameters, FormatValue and friends
//
// The engine is the renderers' RenderContext and the tree view's event
// receiver; neither is part of clsDB's public interface.
#ifndef ZAREL_ENGINE_CLSDB_IMPL_H_
#define ZAREL_ENGINE_CLSDB_IMPL_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "zarel/base/error.h"
#include "zarel/base/variant.h"
#include "zarel/components/render_context.h"
#include "zarel/data/dal.h"
#include "zarel/db/recordset.h"
#include "zarel/engine/clsdb.h"
#include "zarel/engine/clsdb_events.h"
#include "zarel/engine/engine_diagnostics.h"
#include "zarel/hostkit/host_controls.h"

namespace zarel {

// The object behind a reference, or error 91 when there is none.
template <class T>
T& Require(const std::shared_ptr<T>& object) {
  if (!object) Raise(errc::kObjectNotSet);
  return *object;
}

class clsDB::Impl : public RenderContext, public TreeViewEvents {
 public:
  explicit Impl(clsDBEvents* events);

  // --- Events ---
  void RaiseProvideRecordset(const std::string& sql, std::shared_ptr<Recordset>& recordset);
  void ZarelMessage(const std::string& message) override;
  void RaiseLogIt(const std::string& type, const std::string& narration);

  // --- RenderContext ---
  bool Talking() const override { return talking_; }
  std::string SelectedNodeText() const override;
  std::string FormatValue(const Variant& value, std::string_view type_code) const override;
  void AppendFormattedValue(std::string& text, const Variant& value,
                            std::string_view type_code) const override;
  Variant NullToZero(const Variant& value) const override;
  bool FetchRecordset(const std::string& query, std::shared_ptr<Recordset>& recordset) override;
  Variant ApplicationFolder() const override { return application_folder_; }

  // --- The tree event sink ---
  void TreeViewEvent(const std::string& name, std::vector<Variant>& parameters) override;

  // --- Site tables (site_tables.cpp) ---
  void LoadSiteTables();
  void LoadNavTable();
  void LoadWebTable();
  void LoadScreenTable();

  // --- Navigation tree (navigation_tree.cpp) ---
  void OpenNode(TreeNodeRef& node);
  void PruneSiblings();

  // --- Page composition (page_composition.cpp) ---
  void ComposePage(std::int32_t node_id);

  // --- Query parameters (query_parameters.cpp) ---
  std::string ApplyQueryParameters(const std::string& keyword) const;

  // --- Host controls and the browser commands (clsdb.cpp) ---
  void SetControls(std::shared_ptr<TreeView>& tree_view, std::shared_ptr<WebBrowser>& browser);
  void UnbindTreeView();
  void RefreshBrowser();
  void RunBrowserCommand(std::int16_t command, const std::string& log_type,
                         const std::string& error_prefix);

  // The text of ApplicationFolder followed by a file name: "/oReport.htm",
  // "/fp.htm" (Null reads as empty).
  std::string FolderPath(std::string_view file) const;

  // --- Fields, in their declaration order ---
  clsDBEvents* events_ = nullptr;
  DAL dal_;
  std::shared_ptr<WebBrowser> browser_;
  TreeNodeRef last_added_node_;
  std::shared_ptr<Recordset> working_recordset_;
  std::int16_t active_port_ = 0;
  std::int16_t da_mode_ = 1;
  Variant application_folder_{" "};
  std::string heading_;
  std::string date_format_;
  bool display_path_ = false;
  bool talking_ = false;
  std::int16_t user_role_ = 0;
  std::string report_file_path_;
  std::string page_prefix_;
  bool no_children_ = false;
  // The loaded site tables, (column, row). A loop over them holds its own
  // reference, so a reload in the middle of it (from a host's event
  // handler) cannot pull the rows from under it.
  std::shared_ptr<const Array2D> nav_rows_ = std::make_shared<Array2D>();
  std::shared_ptr<const Array2D> web_rows_ = std::make_shared<Array2D>();
  std::string site_title_;
  std::shared_ptr<TreeView> tree_view_;
  // The internal hooks' receiver, when a tool set one (engine_diagnostics.h).
  EngineDiagnostics* diagnostics_ = nullptr;
};

}  // namespace zarel

#endif  // ZAREL_ENGINE_CLSDB_IMPL_H_
