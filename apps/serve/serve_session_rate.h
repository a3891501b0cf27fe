// NewSessionRate: how many sessions one client address may start.
//
// Each address has a bucket of per_minute starts that refills evenly over a
// minute: a burst of per_minute, then one every 60/per_minute seconds. A
// script that starts session after session from one address is slowed to
// that rate instead of filling the server's session bound at once (the
// bound on sessions alive still holds for all addresses together). Behind a
// proxy every client has the proxy's address: raise the rate there.
//
// Once more than 1,024 addresses are kept, full buckets (no start within
// the last minute) are dropped before another is added, so the memory is
// bounded by the addresses that started sessions within a minute.
//
// Threading: may be shared between threads (one mutex).
#ifndef ZAREL_APPS_SERVE_SERVE_SESSION_RATE_H_
#define ZAREL_APPS_SERVE_SERVE_SESSION_RATE_H_

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace zarel::serve {

class NewSessionRate {
 public:
  using Clock = std::chrono::steady_clock;

  // per_minute: at least 1.
  explicit NewSessionRate(int per_minute);

  // 0 when the address may start a session now (the start is counted);
  // otherwise the whole seconds until it may (at least 1).
  int TryStart(const std::string& address, Clock::time_point now = Clock::now());

 private:
  struct Bucket {
    double starts = 0;  // starts left
    Clock::time_point updated;
  };
  // Refills a bucket up to now; answers whether it is full again.
  bool Refill(Bucket& bucket, Clock::time_point now) const;

  const double per_minute_;
  std::mutex mutex_;
  std::unordered_map<std::string, Bucket> buckets_;
};

}  // namespace zarel::serve

#endif  // ZAREL_APPS_SERVE_SERVE_SESSION_RATE_H_
