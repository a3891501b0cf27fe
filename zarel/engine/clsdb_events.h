// clsDBEvents: the three events through which the report engine tells its
// owner everything.
//
// The owner (the Zarel control, or a host that uses the engine directly)
// implements this interface and hands it to clsDB. Events are raised
// synchronously on the caller's thread; the engine goes on only when the
// handler returns.
//
// Threads: the handlers run on the thread that called the engine.
#ifndef ZAREL_ENGINE_CLSDB_EVENTS_H_
#define ZAREL_ENGINE_CLSDB_EVENTS_H_

#include <memory>
#include <string>

#include "zarel/db/recordset.h"

namespace zarel {

class clsDBEvents {
 public:
  virtual ~clsDBEvents() = default;

  // Raised by the data gate in data access mode 2: answer the query
  // sSQL by assigning an open recordset to sRS. sRS is the engine's own
  // recordset variable (cleared before the event), so the assignment is what
  // the engine reads when the handler returns; a handler that assigns
  // nothing makes the query fail.
  virtual void ProvideRecordset(const std::string& sSQL, std::shared_ptr<Recordset>& sRS) = 0;

  // A message for the user (failures, refusals).
  virtual void ZarelMessage(const std::string& sMessage) = 0;

  // A log line, AType "View", "Save", "Print" or "Preview", with
  // the full path of the selected tree node as narration.
  virtual void LogIt(const std::string& AType, const std::string& ANarration) = 0;
};

}  // namespace zarel

#endif  // ZAREL_ENGINE_CLSDB_EVENTS_H_
