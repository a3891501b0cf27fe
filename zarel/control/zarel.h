// Zarel: the report control that a host places on its form.
//
// The control owns exactly one report engine (clsDB) for its whole life,
// forwards every property and method below to it unchanged, re-raises the
// engine's three events to the host (ZarelEvents), and keeps one design-time
// property, ActivePort, with the host's saved form. It shows nothing itself:
// the host hands its own tree view and web browser over with SetControls.
//
// Creating it. The control sits in a ControlContainer (the host's form),
// which says whether the form runs or is being designed:
//
//   ControlContainer form(ControlContainer::Mode::kRun);
//   auto zarel = std::make_shared<Zarel>();
//   form.Place("Zarel1", zarel);   // freshly placed: ActivePort 80
//   zarel->Advise(&my_events);     // the host's ZarelEvents
//
// or loads it from a saved form, where ActivePort has the stored value (0
// when the form stored none):
//
//   form.Load(ReadSavedForm("main.form"), ZarelControlFactory);
//   std::shared_ptr<Zarel> zarel = FirstZarel(form);
//
// Then the host writes ConnectionString, ApplicationFolder, DAMode and the
// display properties, calls SetControls with its tree view and browser and
// RefreshBrowser; every click on a tree node shows that node's page.
//
// ActivePort exists only at design time: in run mode writing it raises 382
// and reading it raises 393, and the engine keeps the value the form was
// placed or loaded with. The engine's data gate refuses every query unless
// that value is 80 ("Please set ActivePort to 80" while Talking is true).
//
// Failures of the forwarded members reach the caller exactly as the
// engine's members raise them; the control catches nothing itself.
//
// Threads: one thread at a time per control, together with its engine, its
// form (ControlContainer) and the host controls it was given; the events
// arrive on that thread. Separate controls on separate forms run in
// parallel, as the web host's sessions do.
#ifndef ZAREL_CONTROL_ZAREL_H_
#define ZAREL_CONTROL_ZAREL_H_

#include <cstdint>
#include <memory>
#include <string>

#include "zarel/base/variant.h"
#include "zarel/control/zarel_events.h"
#include "zarel/engine/clsdb.h"
#include "zarel/hostkit/control_container.h"
#include "zarel/hostkit/host_controls.h"
#include "zarel/hostkit/property_bag.h"

namespace zarel {

class ControlInside;

class Zarel : public UserControl {
 public:
  // The class name under which saved forms store the control.
  static constexpr const char* kClassName = "Zarel";

  // A new control with its new engine, whose events now reach the control.
  // Until it is placed or loaded the control sits in no container (run
  // mode) and its engine's ActivePort is 0.
  Zarel();
  // Releases the engine.
  ~Zarel() override;
  Zarel(const Zarel&) = delete;
  Zarel& operator=(const Zarel&) = delete;

  // Binds the receiver of the control's events; nullptr unbinds. The
  // control does not own it. Events raised while nothing is bound are
  // dropped (a ProvideRecordset then leaves the engine without a recordset).
  void Advise(ZarelEvents* events);

  // A design-time property. The write stores the value, passes it to the
  // engine and marks the form modified; in run mode it raises 382 and
  // changes nothing. The read answers the engine's value; in run mode it
  // raises 393.
  void ActivePort(std::int16_t New_ActivePort);
  std::int16_t ActivePort();
  // The folder of the pages and pictures (see clsDB), passed unchanged.
  void ApplicationFolder(const Variant& New_ApplicationFolder);
  // The report database's connection string.
  void ConnectionString(const std::string& sCS);
  // The data access mode: 1, the data access layer answers queries; 2,
  // the host's ProvideRecordset. The read answers the engine's value.
  void DAMode(std::int16_t vNewValue);
  std::int16_t DAMode();
  // The date pattern of values shown as dates.
  void DateFormat(const std::string& vNewValue);
  // Adds the "Path: " line at the foot of every page.
  void DisplayPath(bool vNewValue);
  // The top-left cell of every report page (Null raises 94).
  void Heading(const Variant& vNewValue);
  // Reports failures and refusals as ZarelMessage events.
  void Talking(bool vNewValue);
  // The role tested against node role lists (13, 6 or 94 when it does
  // not convert to a 16-bit integer).
  void UserRole(const Variant& vNewValue);
  // Hands over the host's tree view and web browser (an empty tree view
  // raises 91).
  void SetControls(std::shared_ptr<TreeView>& mTV, std::shared_ptr<WebBrowser>& mBM);
  // Reloads the site, rebuilds the tree and shows the front page.
  void RefreshBrowser();
  // The browser's save, print and preview commands on the page shown.
  void SavePage();
  void PrintPage();
  void PreviewPage();

  // UserControl: "Zarel"; a freshly placed control gets ActivePort 80, a
  // loaded one the stored "ActivePort" (default 0; a value that is no 16-bit
  // integer raises 13 or 6); saving stores the engine's value, leaving it out
  // when it is 0.
  std::string ClassName() const override;
  void InitProperties() override;
  void ReadProperties(const PropertyBag& bag) override;
  void WriteProperties(PropertyBag& bag) override;
  // "ActivePort" and "DAMode" can be read, those and every other property
  // above written, by name (without regard to case); a value is converted as
  // the member's parameter type requires (a text "80" for ActivePort).
  Variant GetProperty(const std::string& name) override;
  void LetProperty(const std::string& name, const Variant& value) override;

 private:
  class EngineEvents;
  friend class ControlInside;  // the engine's internal hooks (control_inside.h)

  std::int16_t active_port_ = 0;  // design-time copy of the engine's value, for saving
  std::unique_ptr<EngineEvents> sink_;
  std::unique_ptr<clsDB> oDB_;
};

// The ControlFactory of saved forms that hold Zarel controls: a new Zarel
// for the class name "Zarel" (any letter case), nothing for other names.
std::shared_ptr<UserControl> ZarelControlFactory(const std::string& class_name);

// The first Zarel control of a container, or an empty pointer.
std::shared_ptr<Zarel> FirstZarel(const ControlContainer& container);

}  // namespace zarel

#endif  // ZAREL_CONTROL_ZAREL_H_
