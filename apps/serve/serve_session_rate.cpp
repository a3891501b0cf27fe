// The per-address bound on new sessions (see serve_session_rate.h).
#include "apps/serve/serve_session_rate.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace zarel::serve {

namespace {

// Beyond this many addresses kept, full buckets are dropped before a new
// address is added.
constexpr std::size_t kPruneAbove = 1024;

}  // namespace

NewSessionRate::NewSessionRate(int per_minute) : per_minute_(std::max(1, per_minute)) {}

bool NewSessionRate::Refill(Bucket& bucket, Clock::time_point now) const {
  const double minutes = std::chrono::duration<double>(now - bucket.updated).count() / 60.0;
  bucket.starts = std::min(per_minute_, bucket.starts + minutes * per_minute_);
  bucket.updated = now;
  return bucket.starts >= per_minute_;
}

int NewSessionRate::TryStart(const std::string& address, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = buckets_.find(address);
  if (found == buckets_.end()) {
    if (buckets_.size() >= kPruneAbove) {
      for (auto it = buckets_.begin(); it != buckets_.end();) {
        it = Refill(it->second, now) ? buckets_.erase(it) : std::next(it);
      }
    }
    found = buckets_.emplace(address, Bucket{per_minute_, now}).first;
  } else {
    Refill(found->second, now);
  }
  Bucket& bucket = found->second;
  if (bucket.starts >= 1) {
    bucket.starts -= 1;
    return 0;
  }
  const double seconds = (1 - bucket.starts) * 60.0 / per_minute_;
  return std::max(1, static_cast<int>(std::ceil(seconds)));
}

}  // namespace zarel::serve
