// PropertyBag: the stored properties of one control on a saved form.
//
// A control writes its design-time properties into a bag when its form is
// saved and reads them back when the form is loaded. Every read and write
// names a default value: a read of a property that is not in the bag answers
// the default, and a write of a value equal to the default removes the entry,
// so a saved form holds only what differs from the defaults.
//
// Values are Variants; a saved form keeps whole numbers and text (see
// saved_form.h), so a control writes its properties as one of those.
//
// Threads: one thread at a time per bag.
#ifndef ZAREL_HOSTKIT_PROPERTY_BAG_H_
#define ZAREL_HOSTKIT_PROPERTY_BAG_H_

#include <string>
#include <utility>
#include <vector>

#include "zarel/base/variant.h"

namespace zarel {

class PropertyBag {
 public:
  using Entry = std::pair<std::string, Variant>;

  // The stored value of name (names compare case-insensitively, as property
  // names do), or default_value when the bag has no such entry.
  Variant ReadProperty(const std::string& name, const Variant& default_value) const;

  // Stores value under name, replacing an earlier value; a value equal to
  // default_value (same type and value) is not stored and removes an earlier
  // entry.
  void WriteProperty(const std::string& name, const Variant& value, const Variant& default_value);

  // Whether the bag holds an entry for name.
  bool Contains(const std::string& name) const;

  // The stored entries in the order they were first written.
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  std::vector<Entry>::iterator Find(const std::string& name);
  std::vector<Entry>::const_iterator Find(const std::string& name) const;

  std::vector<Entry> entries_;
};

}  // namespace zarel

#endif  // ZAREL_HOSTKIT_PROPERTY_BAG_H_
