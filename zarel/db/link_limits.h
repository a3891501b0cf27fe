// The limits a database link runs its statements under, and the one place
// that words the failures they cause.
//
// Threads: values and pure functions.
#ifndef ZAREL_DB_LINK_LIMITS_H_
#define ZAREL_DB_LINK_LIMITS_H_

#include <chrono>
#include <string>

#include "zarel/db/database_settings.h"

namespace zarel {

struct LinkLimits {
  // How long one statement may run; zero: no limit.
  std::chrono::milliseconds statement_time_limit{0};
  // How long a statement waits for a lock another connection holds; zero:
  // no bound of its own.
  std::chrono::milliseconds lock_wait{0};
  // How many prepared statements the link keeps for texts it runs again
  // (SQLite); 0: none.
  int statements_kept = kDefaultStatementsKept;
};

// "30 seconds", "1 second", "0.25 seconds".
std::string SecondsText(std::chrono::milliseconds duration);

// "The statement ran out of time: it was stopped after 30 seconds."
std::string RanOutOfTimeMessage(std::chrono::milliseconds limit);
// "The database is locked by another connection; gave up waiting after 5
// seconds."
std::string LockedMessage(std::chrono::milliseconds waited);
// "The statement was interrupted."
std::string InterruptedMessage();

}  // namespace zarel

#endif  // ZAREL_DB_LINK_LIMITS_H_
