// clsDB: the report engine behind the Zarel control.
//
// One engine per control. It holds every setting of the system, owns the
// data access object, keeps the host's tree view and web browser (from
// SetControls on), loads the site tables XNav, XWeb and XScr, grows the
// navigation tree as nodes are clicked and composes the report page of each
// clicked node into oReport.htm in the application folder.
//
// Everything it has to tell its owner leaves through clsDBEvents. Apart from
// property writes that cannot convert their argument and a SetControls
// without a tree view, no member raises to the caller: failures are
// reported as ZarelMessage events ("Error: 13, Type mismatch", "Error
// Reading Data From Database", ...), most of them only while Talking is
// true.
//
// Typical use: write ConnectionString, ApplicationFolder and the display
// properties, ActivePort 80, SetControls, then RefreshBrowser; every click
// on a tree node then opens the node and shows its page.
//
// Threads: one thread at a time per engine, together with its DAL, its
// working recordset, and the tree view and browser it was given; its events
// are raised on that thread. Engines share nothing with each other except
// the read-only locale, Format's per-thread caches and the clock, so
// separate engines run in parallel (the web host runs one per session, each
// session's calls one at a time).
#ifndef ZAREL_ENGINE_CLSDB_H_
#define ZAREL_ENGINE_CLSDB_H_

#include <cstdint>
#include <memory>
#include <string>

#include "zarel/base/variant.h"
#include "zarel/engine/clsdb_events.h"
#include "zarel/hostkit/host_controls.h"

namespace zarel {

class EngineInside;

class clsDB {
 public:
  // A new engine: ActivePort 0, DAMode 1, ApplicationFolder " ", Heading the
  // credit link, every other setting empty, zero or false. events receives
  // the engine's events (it may be bound later with Advise).
  explicit clsDB(clsDBEvents* events = nullptr);
  // Unbinds the tree view's events; the data access object goes with the
  // engine.
  ~clsDB();
  clsDB(const clsDB&) = delete;
  clsDB& operator=(const clsDB&) = delete;

  // Binds the receiver of the engine's events; nullptr unbinds. The engine
  // does not own it.
  void Advise(clsDBEvents* events);

  // The data gate refuses every query unless ActivePort is 80.
  std::int16_t ActivePort() const;
  void ActivePort(std::int16_t New_ActivePort);
  // Passed on to the data access object; the engine keeps no copy.
  void ConnectionString(const std::string& sCS);
  // Stored unchanged. Its text followed by "/oReport.htm" and "/fp.htm"
  // names the report page and the front page (from the next RefreshBrowser
  // on); picture files go there at once.
  void ApplicationFolder(const Variant& New_ApplicationFolder);
  // 1: queries go to the data access object; 2: to the owner's
  // ProvideRecordset; anything else refuses every query. No range check.
  void DAMode(std::int16_t vNewValue);
  std::int16_t DAMode() const;
  // The date pattern of values shown with the type code "Dte".
  void DateFormat(const std::string& vNewValue);
  // Adds the "Path: " line at the foot of every page.
  void DisplayPath(bool vNewValue);
  // The text of the top-left cell of every report page. Stored as text;
  // Null raises 94 "Invalid use of Null" and the old heading stays.
  void Heading(const Variant& vNewValue);
  // Reports failures as "Error: " messages and the data gate's refusals.
  void Talking(bool vNewValue);
  // The role that node role lists are tested against. Converted to a 16-bit
  // integer (13 for a text that is no number, 6 outside -32768..32767, 94
  // for Null); the old role stays when that fails.
  void UserRole(const Variant& vNewValue);

  // Binds the host's tree view (its events reach the engine through
  // TreeView::Advise) and browser, and switches the tree view's label
  // editing to manual. A tree view bound before is unbound. An empty tree
  // view raises 91 before anything is stored.
  void SetControls(std::shared_ptr<TreeView>& mTV, std::shared_ptr<WebBrowser>& mBM);
  // Reloads the site tables, writes the front page, rebuilds the tree from
  // its root, opens the root and shows the front page. A failing step is
  // skipped; the step itself reports nothing.
  void RefreshBrowser();
  // The browser's save, print and preview commands on the page shown; LogIt
  // "Save" / "Print" / "Preview" on success, "Save Command Error: " (and its
  // siblings) with the error's description on failure, whatever Talking
  // says.
  void SavePage();
  void PrintPage();
  void PreviewPage();

  // The engine's inside, shared by its source files (clsdb_impl.h).
  class Impl;

 private:
  friend class EngineInside;  // the internal hooks (engine_diagnostics.h)
  std::unique_ptr<Impl> impl_;
};

}  // namespace zarel

#endif  // ZAREL_ENGINE_CLSDB_H_
