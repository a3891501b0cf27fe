// Waiting in tests for something another thread or process does: a
// condition polled until it holds, within a bound that only matters when it
// never comes (a busy machine may take long; a test never needs it short).
#ifndef ZAREL_TESTING_EVENTUALLY_H_
#define ZAREL_TESTING_EVENTUALLY_H_

#include <chrono>
#include <thread>

namespace zarel::testing {

// Polls until the condition holds or the time is up; answers whether it held.
template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds within = std::chrono::seconds(10)) {
  const auto until = std::chrono::steady_clock::now() + within;
  while (std::chrono::steady_clock::now() < until) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

}  // namespace zarel::testing

#endif  // ZAREL_TESTING_EVENTUALLY_H_
