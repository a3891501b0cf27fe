// ControlContainer and UserControl: the host form's services to its controls
// (see control_container.h).
#include "zarel/hostkit/control_container.h"

#include <utility>

#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"
#include "zarel/hostkit/saved_form.h"

namespace zarel {

UserControl::~UserControl() = default;

bool UserControl::AmbientUserMode() const {
  return container_ == nullptr || container_->UserMode();
}

void UserControl::PropertyChanged(const std::string& property) {
  if (container_ != nullptr) container_->OnPropertyChanged(*this, property);
}

ControlContainer::ControlContainer(Mode mode) : mode_(mode) {}

ControlContainer::~ControlContainer() {
  for (const auto& control : controls_) {
    control->container_ = nullptr;
    control->name_.clear();
  }
}

void ControlContainer::Attach(const std::string& name, UserControl& control) {
  if (!IsFormName(name)) {
    Raise(errc::kInvalidProcedureCall, "Invalid control name \"" + name + "\"");
  }
  if (Control(name)) {
    Raise(errc::kInvalidProcedureCall, "A control named \"" + name + "\" is already on the form");
  }
  if (control.container_ != nullptr) {
    Raise(errc::kInvalidProcedureCall, "The control already sits on a form");
  }
  control.container_ = this;
  control.name_ = name;
}

void ControlContainer::Place(const std::string& name, std::shared_ptr<UserControl> control) {
  if (!control) Raise(errc::kObjectNotSet);
  Attach(name, *control);
  controls_.push_back(control);
  try {
    control->InitProperties();
  } catch (...) {
    controls_.pop_back();
    control->container_ = nullptr;
    control->name_.clear();
    throw;
  }
  modified_ = true;
}

void ControlContainer::Load(const SavedForm& form, const ControlFactory& factory) {
  const std::size_t kept = controls_.size();
  const auto roll_back = [&] {
    for (std::size_t i = kept; i < controls_.size(); ++i) {
      controls_[i]->container_ = nullptr;
      controls_[i]->name_.clear();
    }
    controls_.resize(kept);
  };
  for (const SavedControl& saved : form.controls) {
    try {
      std::shared_ptr<UserControl> control = factory ? factory(saved.class_name) : nullptr;
      if (!control) {
        Raise(errc::kInvalidProcedureCall, "Unknown control class \"" + saved.class_name + "\"");
      }
      Attach(saved.name, *control);
      controls_.push_back(control);
      control->ReadProperties(saved.properties);
    } catch (...) {
      const RuntimeError error = CurrentError();
      roll_back();
      throw RuntimeError(error.Number(), "Control " + saved.name + ": " + error.Description());
    }
  }
}

SavedForm ControlContainer::Save() {
  SavedForm form;
  for (const auto& control : controls_) {
    SavedControl saved{control->ClassName(), control->Name(), PropertyBag()};
    control->WriteProperties(saved.properties);
    form.controls.push_back(std::move(saved));
  }
  return form;
}

void ControlContainer::LoadFrom(const std::string& path, const ControlFactory& factory) {
  Load(ReadSavedForm(path), factory);
}

void ControlContainer::SaveTo(const std::string& path) {
  WriteSavedForm(path, Save());
  modified_ = false;
}

std::shared_ptr<UserControl> ControlContainer::Control(const std::string& name) const {
  for (const auto& control : controls_) {
    if (EqualIgnoringAsciiCase(control->Name(), name)) return control;
  }
  return nullptr;
}

void ControlContainer::OnPropertyChanged(UserControl& /*control*/, const std::string& /*property*/) {
  modified_ = true;
}

}  // namespace zarel
