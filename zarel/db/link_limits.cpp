// Wording of the failures that statement limits cause (see link_limits.h).
#include "zarel/db/link_limits.h"

namespace zarel {

std::string SecondsText(std::chrono::milliseconds duration) {
  const long long ms = duration.count();
  std::string text = std::to_string(ms / 1000);
  if (ms % 1000 != 0) {
    std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
    while (fraction.back() == '0') fraction.pop_back();
    text += "." + fraction;
  }
  return text + (ms == 1000 ? " second" : " seconds");
}

std::string RanOutOfTimeMessage(std::chrono::milliseconds limit) {
  return "The statement ran out of time: it was stopped after " + SecondsText(limit) + ".";
}

std::string LockedMessage(std::chrono::milliseconds waited) {
  return "The database is locked by another connection; gave up waiting after " + SecondsText(waited) + ".";
}

std::string InterruptedMessage() { return "The statement was interrupted."; }

}  // namespace zarel
