// The way from a Zarel control to its engine, for the tools that watch the
// engine work (site crawls, --diagnose): they set the engine's internal
// diagnostics (zarel/engine/engine_diagnostics.h) on the engine that a
// control owns. Not installed; hosts see only zarel.h.
#ifndef ZAREL_CONTROL_CONTROL_INSIDE_H_
#define ZAREL_CONTROL_CONTROL_INSIDE_H_

#include "zarel/control/zarel.h"
#include "zarel/engine/clsdb.h"

namespace zarel {

class ControlInside {
 public:
  // The engine the control owns, for as long as the control lives.
  static clsDB& Engine(Zarel& control);
};

}  // namespace zarel

#endif  // ZAREL_CONTROL_CONTROL_INSIDE_H_
