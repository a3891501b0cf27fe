// The base of every object that a value can refer to.
//
// The report engine reaches recordsets, tree nodes and other host objects the
// way a late-bound caller does: a Variant may hold a reference to any of
// them (a chapter field holds a recordset, a "NodeClick" event carries a
// node). Object is the common base that makes such a reference possible;
// holders cast it back to the class they expect with std::dynamic_pointer_cast.
//
// Threads: unless a class says otherwise, an Object is used by one thread at
// a time; handing it to another thread is safe once the first is done with
// it.
#ifndef ZAREL_BASE_OBJECT_H_
#define ZAREL_BASE_OBJECT_H_

#include <memory>

namespace zarel {

class Object {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;
};

using ObjectRef = std::shared_ptr<Object>;

}  // namespace zarel

#endif  // ZAREL_BASE_OBJECT_H_
