// The container that holds controls: the host's form as its controls see it.
//
// A host puts its controls into a ControlContainer. The container gives each
// control the services it asks of its host:
//   - the ambient user-mode flag: true while the form runs (run mode), false
//     while a developer edits it (design mode);
//   - the property bag: a freshly placed control gets InitProperties, a
//     control loaded from a saved form gets ReadProperties with its stored
//     bag, and saving the form asks every control to WriteProperties;
//   - the property-changed notification: a control that changed one of its
//     stored properties says so, and the container marks the form modified;
//   - numbered run-time errors: a control raises RuntimeError (error.h) and
//     the caller of the member receives it.
// It also reaches every control's properties by name (late binding), which
// is how a property page reads and writes them.
//
// Typical use by a run-time host:
//   ControlContainer form(ControlContainer::Mode::kRun);
//   auto control = std::make_shared<Zarel>();
//   form.Place("Zarel1", control);          // freshly placed
// or, from a saved form file:
//   form.Load(ReadSavedForm(path), factory);
//
// The container keeps its controls alive; a host may keep its own references
// too. A control that outlives its container is detached: it then answers
// run mode and its property-changed notifications go nowhere.
//
// Threads: one thread at a time per container and the controls on it.
#ifndef ZAREL_HOSTKIT_CONTROL_CONTAINER_H_
#define ZAREL_HOSTKIT_CONTROL_CONTAINER_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zarel/base/object.h"
#include "zarel/base/variant.h"
#include "zarel/hostkit/property_bag.h"

namespace zarel {

class ControlContainer;
struct SavedForm;

// The base of every control that a ControlContainer holds.
class UserControl : public Object {
 public:
  UserControl() = default;
  ~UserControl() override;

  // The class name stored with the control in a saved form ("Zarel").
  virtual std::string ClassName() const = 0;

  // Called once when the control is first placed on a form (it has no saved
  // properties): set the design-time properties to their initial values.
  virtual void InitProperties() = 0;
  // Called once when the control is loaded from a saved form, with the
  // properties stored for it.
  virtual void ReadProperties(const PropertyBag& bag) = 0;
  // Called when the form is saved: store the design-time properties.
  virtual void WriteProperties(PropertyBag& bag) = 0;

  // Late-bound access to a property by name, as a property page or a script
  // reaches it. A name the control does not have raises 438; the property's
  // own read or write may raise its errors.
  virtual Variant GetProperty(const std::string& name) = 0;
  virtual void LetProperty(const std::string& name, const Variant& value) = 0;

  // The control's name on its form ("Zarel1"); empty while detached.
  const std::string& Name() const { return name_; }

 protected:
  // The ambient user mode of the container: true in run mode, and for a
  // control that sits in no container.
  bool AmbientUserMode() const;
  // Tells the container that a stored property changed, so that it marks
  // the form modified.
  void PropertyChanged(const std::string& property);

 private:
  friend class ControlContainer;
  ControlContainer* container_ = nullptr;  // not owned; cleared on detach
  std::string name_;
};

// Creates an empty control for a class name read from a saved form; answers
// an empty pointer for a class it does not know.
using ControlFactory = std::function<std::shared_ptr<UserControl>(const std::string& class_name)>;

class ControlContainer {
 public:
  enum class Mode { kDesign, kRun };

  explicit ControlContainer(Mode mode);
  // Detaches every control.
  ~ControlContainer();
  ControlContainer(const ControlContainer&) = delete;
  ControlContainer& operator=(const ControlContainer&) = delete;

  Mode GetMode() const { return mode_; }
  bool UserMode() const { return mode_ == Mode::kRun; }

  // Places a new control under name and calls its InitProperties; the form
  // becomes modified. The name must be a word of letters, digits and "_"
  // starting with a letter, not yet used on the form (compared without
  // regard to case); otherwise, or when the control already sits in a
  // container, raises 5 and nothing changes.
  void Place(const std::string& name, std::shared_ptr<UserControl> control);

  // Adds every control of a saved form: creates it through factory, then
  // calls its ReadProperties with its stored bag. A class that factory does
  // not know, a bad or repeated name, or a failing ReadProperties raises
  // (the error names the control) and leaves the container as it was. The
  // form is not modified afterwards.
  void Load(const SavedForm& form, const ControlFactory& factory);

  // Reads the form file at path (see saved_form.h) and loads it as above.
  void LoadFrom(const std::string& path, const ControlFactory& factory);

  // Asks every control, in form order, to write its properties, and answers
  // the saved form.
  SavedForm Save();
  // Saves the form into the file at path (replacing it only once the new
  // file is complete); the form is then no longer modified. When writing
  // fails the error is raised and the form stays modified.
  void SaveTo(const std::string& path);

  // Whether a stored property changed (or a control was placed) since the
  // form was loaded, saved, or created.
  bool Modified() const { return modified_; }

  // The controls in the order they were placed or loaded.
  const std::vector<std::shared_ptr<UserControl>>& Controls() const { return controls_; }
  // The control of that name (without regard to case), or an empty pointer.
  std::shared_ptr<UserControl> Control(const std::string& name) const;

 private:
  friend class UserControl;
  void Attach(const std::string& name, UserControl& control);
  void OnPropertyChanged(UserControl& control, const std::string& property);

  Mode mode_;
  bool modified_ = false;
  std::vector<std::shared_ptr<UserControl>> controls_;
};

}  // namespace zarel

#endif  // ZAREL_HOSTKIT_CONTROL_CONTAINER_H_
