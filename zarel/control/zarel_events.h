// ZarelEvents: the three events through which the Zarel control tells its
// host everything.
//
// The host implements this interface and binds it with Zarel::Advise. The
// control re-raises its engine's events here unchanged, synchronously on the
// caller's thread; the engine goes on only when the handler returns.
//
// Threads: the handlers run on the thread that called the control.
#ifndef ZAREL_CONTROL_ZAREL_EVENTS_H_
#define ZAREL_CONTROL_ZAREL_EVENTS_H_

#include <memory>
#include <string>

#include "zarel/db/recordset.h"

namespace zarel {

class ZarelEvents {
 public:
  virtual ~ZarelEvents() = default;

  // In data access mode 2: answer the query sSQL by assigning an
  // open recordset to sRS. sRS is the engine's own recordset variable, passed
  // through the control by reference: what the handler assigns is what the
  // engine reads when the handler returns. A handler that assigns nothing
  // makes the query fail.
  virtual void ProvideRecordset(const std::string& sSQL, std::shared_ptr<Recordset>& sRS) = 0;

  // A message for the user (failures, refusals).
  virtual void ZarelMessage(const std::string& sMessage) = 0;

  // A log line, AType "View", "Save", "Print" or "Preview", with
  // the full path of the selected tree node as narration.
  virtual void LogIt(const std::string& AType, const std::string& ANarration) = 0;
};

}  // namespace zarel

#endif  // ZAREL_CONTROL_ZAREL_EVENTS_H_
