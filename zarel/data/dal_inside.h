// What the engine's diagnostics may read of a DAL beyond its public
// members: the database layer's own reason for the last read that failed.
// Not installed; hosts see only dal.h, whose members answer true or false.
#ifndef ZAREL_DATA_DAL_INSIDE_H_
#define ZAREL_DATA_DAL_INSIDE_H_

#include <string>

#include "zarel/data/dal.h"

namespace zarel {

class DALInside {
 public:
  // Why the last ReadRecordset that answered false failed ("Could not find
  // stored procedure 'X'.", "no such table: XWeb", the connection's own
  // refusal); empty after a read that succeeded. Same thread rule as the
  // DAL.
  static const std::string& LastFailure(const DAL& dal);
};

}  // namespace zarel

#endif  // ZAREL_DATA_DAL_INSIDE_H_
