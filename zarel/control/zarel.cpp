// Zarel: the report control (see zarel.h). Every member fetches the one
// engine and calls its member of the same name; the engine's events come
// back through EngineEvents and leave through the host's ZarelEvents.
#include "zarel/control/zarel.h"

#include <algorithm>

#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"
#include "zarel/control/control_inside.h"

namespace zarel {

namespace {

constexpr const char* kActivePortKey = "ActivePort";
constexpr std::int16_t kActivePortDefault = 0;
// The value a freshly placed control starts with: the one the data gate
// lets through.
constexpr std::int16_t kFreshActivePort = 80;

}  // namespace

// The engine's event sink: private copies of the strings, then the
// control's event of the same name.
class Zarel::EngineEvents : public clsDBEvents {
 public:
  void ProvideRecordset(const std::string& sSQL, std::shared_ptr<Recordset>& sRS) override {
    const std::string sql = sSQL;
    // sRS is the engine's own variable: the host's assignment lands there.
    if (host_ != nullptr) host_->ProvideRecordset(sql, sRS);
  }
  void ZarelMessage(const std::string& sMessage) override {
    const std::string message = sMessage;
    if (host_ != nullptr) host_->ZarelMessage(message);
  }
  void LogIt(const std::string& AType, const std::string& ANarration) override {
    const std::string type = AType;
    const std::string narration = ANarration;
    if (host_ != nullptr) host_->LogIt(type, narration);
  }

  ZarelEvents* host_ = nullptr;
};

Zarel::Zarel()
    : sink_(std::make_unique<EngineEvents>()), oDB_(std::make_unique<clsDB>(sink_.get())) {}

Zarel::~Zarel() {
  // The engine goes first: it must not raise into a sink that is gone.
  oDB_.reset();
}

void Zarel::Advise(ZarelEvents* events) { sink_->host_ = events; }

clsDB& ControlInside::Engine(Zarel& control) { return *control.oDB_; }

void Zarel::ActivePort(std::int16_t New_ActivePort) {
  if (AmbientUserMode()) Raise(errc::kSetNotSupportedAtRuntime);
  active_port_ = New_ActivePort;
  oDB_->ActivePort(New_ActivePort);
  PropertyChanged(kActivePortKey);
}

std::int16_t Zarel::ActivePort() {
  if (AmbientUserMode()) Raise(errc::kGetNotSupportedAtRuntime);
  active_port_ = oDB_->ActivePort();
  return active_port_;
}

void Zarel::ApplicationFolder(const Variant& New_ApplicationFolder) {
  oDB_->ApplicationFolder(New_ApplicationFolder);
}

void Zarel::ConnectionString(const std::string& sCS) { oDB_->ConnectionString(sCS); }

void Zarel::DAMode(std::int16_t vNewValue) { oDB_->DAMode(vNewValue); }

std::int16_t Zarel::DAMode() { return oDB_->DAMode(); }

void Zarel::DateFormat(const std::string& vNewValue) { oDB_->DateFormat(vNewValue); }

void Zarel::DisplayPath(bool vNewValue) { oDB_->DisplayPath(vNewValue); }

void Zarel::Heading(const Variant& vNewValue) { oDB_->Heading(vNewValue); }

void Zarel::Talking(bool vNewValue) { oDB_->Talking(vNewValue); }

void Zarel::UserRole(const Variant& vNewValue) { oDB_->UserRole(vNewValue); }

void Zarel::SetControls(std::shared_ptr<TreeView>& mTV, std::shared_ptr<WebBrowser>& mBM) {
  oDB_->SetControls(mTV, mBM);
}

void Zarel::RefreshBrowser() { oDB_->RefreshBrowser(); }

void Zarel::SavePage() { oDB_->SavePage(); }

void Zarel::PrintPage() { oDB_->PrintPage(); }

void Zarel::PreviewPage() { oDB_->PreviewPage(); }

std::string Zarel::ClassName() const { return kClassName; }

void Zarel::InitProperties() {
  active_port_ = kFreshActivePort;
  oDB_->ActivePort(active_port_);
}

void Zarel::ReadProperties(const PropertyBag& bag) {
  const std::int16_t port =
      bag.ReadProperty(kActivePortKey, Variant(kActivePortDefault)).ToInteger();
  active_port_ = port;
  oDB_->ActivePort(port);
}

void Zarel::WriteProperties(PropertyBag& bag) {
  active_port_ = oDB_->ActivePort();
  bag.WriteProperty(kActivePortKey, Variant(active_port_), Variant(kActivePortDefault));
}

Variant Zarel::GetProperty(const std::string& name) {
  const std::string member = LowerAscii(name);
  if (member == "activeport") return Variant(ActivePort());
  if (member == "damode") return Variant(DAMode());
  Raise(errc::kMemberNotSupported);
}

void Zarel::LetProperty(const std::string& name, const Variant& value) {
  const std::string member = LowerAscii(name);
  if (member == "activeport") return ActivePort(value.ToInteger());
  if (member == "applicationfolder") return ApplicationFolder(value);
  if (member == "connectionstring") return ConnectionString(value.ToText());
  if (member == "damode") return DAMode(value.ToInteger());
  if (member == "dateformat") return DateFormat(value.ToText());
  if (member == "displaypath") return DisplayPath(value.ToBoolean());
  if (member == "heading") return Heading(value);
  if (member == "talking") return Talking(value.ToBoolean());
  if (member == "userrole") return UserRole(value);
  Raise(errc::kMemberNotSupported);
}

std::shared_ptr<UserControl> ZarelControlFactory(const std::string& class_name) {
  if (LowerAscii(class_name) == LowerAscii(Zarel::kClassName)) return std::make_shared<Zarel>();
  return nullptr;
}

std::shared_ptr<Zarel> FirstZarel(const ControlContainer& container) {
  for (const auto& control : container.Controls()) {
    if (auto zarel = std::dynamic_pointer_cast<Zarel>(control)) return zarel;
  }
  return nullptr;
}

}  // namespace zarel
