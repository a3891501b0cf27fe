// The engine's internal hooks for the tools that watch it work: the reason
// the database layer gives for each failed read (zarel browse and zarel
// serve with --diagnose), and each component of a page with its time (the
// site crawl of zarel check). Not installed and no member of clsDB's
// interface: the engine runs exactly as without them, and while no sink is
// set each hook costs one test of a null pointer.
#ifndef ZAREL_ENGINE_ENGINE_DIAGNOSTICS_H_
#define ZAREL_ENGINE_ENGINE_DIAGNOSTICS_H_

#include <chrono>
#include <cstdint>
#include <string>

#include "zarel/data/dal.h"
#include "zarel/engine/clsdb.h"

namespace zarel {

// One component row of a page, as page composition runs it.
struct ComponentRun {
  std::int32_t node_id = 0;
  std::int32_t number = 0;   // XWeb column 0
  std::string caption;       // column 3
  std::string type;          // column 6, trimmed, in lower case
  std::string query;         // "EXEC " with the procedure and its argument text
};

// Receives the hooks; every member does nothing unless overridden. Called
// synchronously on the engine's thread, in the middle of its work: a sink
// must not call back into the engine.
class EngineDiagnostics {
 public:
  virtual ~EngineDiagnostics() = default;
  // Around every read of the data access object (DAMode 1): before it, and
  // after it together with the database layer's reason when it failed
  // (after the data gate's own message, before its caller's).
  virtual void QueryStarting(const std::string& query);
  virtual void QueryFinished(const std::string& query, bool succeeded, const std::string& reason);
  // Around each component of a page whose query runs: before the query and
  // after its renderer returned.
  virtual void ComponentStarting(const ComponentRun& component);
  virtual void ComponentFinished(const ComponentRun& component,
                                 std::chrono::steady_clock::duration elapsed);
};

// The way in, for the control layer and the tools.
class EngineInside {
 public:
  // Sets the sink (nullptr: none). The engine does not own it.
  static void SetDiagnostics(clsDB& engine, EngineDiagnostics* sink);
  // The engine's data access object (a crawl holds its reads inside one
  // transaction that it rolls back).
  static DAL& Dal(clsDB& engine);
};

}  // namespace zarel

#endif  // ZAREL_ENGINE_ENGINE_DIAGNOSTICS_H_
