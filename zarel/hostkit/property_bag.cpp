// PropertyBag: stored properties with default values (see property_bag.h).
#include "zarel/hostkit/property_bag.h"

#include <algorithm>

#include "zarel/base/ascii_text.h"

namespace zarel {

namespace {

// A stored value equals the default only when both have the same type and
// value: 0 stored as text "0" is not the whole number 0.
bool SameValue(const Variant& value, const Variant& default_value) {
  if (value.Type() != default_value.Type()) return false;
  if (value.IsEmpty() || value.IsNull()) return true;
  if (value.IsObject()) return value.AsObject() == default_value.AsObject();
  if (value.Type() == VarType::kString) return value.AsString() == default_value.AsString();
  if (value.Type() == VarType::kBytes) return value.AsBytes() == default_value.AsBytes();
  return ValuesEqual(value, default_value);
}

}  // namespace

std::vector<PropertyBag::Entry>::iterator PropertyBag::Find(const std::string& name) {
  return std::find_if(entries_.begin(), entries_.end(),
                      [&](const Entry& entry) { return EqualIgnoringAsciiCase(entry.first, name); });
}

std::vector<PropertyBag::Entry>::const_iterator PropertyBag::Find(const std::string& name) const {
  return std::find_if(entries_.begin(), entries_.end(),
                      [&](const Entry& entry) { return EqualIgnoringAsciiCase(entry.first, name); });
}

Variant PropertyBag::ReadProperty(const std::string& name, const Variant& default_value) const {
  const auto found = Find(name);
  return found == entries_.end() ? default_value : found->second;
}

void PropertyBag::WriteProperty(const std::string& name, const Variant& value,
                                const Variant& default_value) {
  auto found = Find(name);
  if (SameValue(value, default_value)) {
    if (found != entries_.end()) entries_.erase(found);
    return;
  }
  if (found != entries_.end()) {
    found->second = value;
  } else {
    entries_.emplace_back(name, value);
  }
}

bool PropertyBag::Contains(const std::string& name) const { return Find(name) != entries_.end(); }

}  // namespace zarel
