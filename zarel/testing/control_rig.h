// What the control's tests share: a host that records the control's events,
// and a rig that puts a Zarel control on a form beside a headless tree view
// and browser over a SQLite report site.
#ifndef ZAREL_TESTING_CONTROL_RIG_H_
#define ZAREL_TESTING_CONTROL_RIG_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zarel/control/zarel.h"
#include "zarel/hostkit/control_container.h"
#include "zarel/hostkit/headless_browser.h"
#include "zarel/hostkit/headless_tree_view.h"
#include "zarel/testing/engine_rig.h"

namespace zarel::testing {

// Records the control's events as "message: TEXT", "log: TYPE: NARRATION"
// and "provide: SQL"; provide, when set, answers ProvideRecordset.
using RecordingZarelHost = EventRecorder<ZarelEvents>;

// A form in the given mode over the sales site in a SQLite file. Place or
// Load puts its Zarel control on the form, bound to the site, the host, the
// tree view and the browser.
class ControlRig {
 public:
  explicit ControlRig(ControlContainer::Mode mode);

  // A freshly placed control "Zarel1".
  void Place();
  // The first Zarel control of a form with the given text.
  void Load(const std::string& form_text);

  // The texts of the tree's nodes in display order, indented two spaces per
  // level, one per line.
  std::string Tree() const;
  // Clicks the first node whose full path is path; false when there is none.
  bool Click(const std::string& path);

  TempFolder folder;
  std::unique_ptr<SiteDatabase> site;
  ControlContainer form;
  RecordingZarelHost host;
  std::shared_ptr<HeadlessTreeView> tree = HeadlessTreeView::Create();
  std::shared_ptr<HeadlessBrowser> browser = HeadlessBrowser::Create();
  std::shared_ptr<Zarel> control;

 private:
  void Bind();
};

}  // namespace zarel::testing

#endif  // ZAREL_TESTING_CONTROL_RIG_H_
