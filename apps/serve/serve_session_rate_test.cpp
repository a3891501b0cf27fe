// Tests of the bound on new sessions per client address.
#include <gtest/gtest.h>

#include "apps/serve/serve_session_rate.h"

namespace zarel::serve {
namespace {

using namespace std::chrono_literals;

TEST(NewSessionRateTest, ABurstThenOneStartEverySoOften) {
  NewSessionRate rate(6);  // a burst of 6, then one every 10 s
  const auto t0 = NewSessionRate::Clock::time_point() + 1h;
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(rate.TryStart("10.0.0.1", t0), 0) << i;
  }
  EXPECT_EQ(rate.TryStart("10.0.0.1", t0), 10);
  EXPECT_EQ(rate.TryStart("10.0.0.1", t0 + 4s), 6);  // refused starts cost nothing
  EXPECT_EQ(rate.TryStart("10.0.0.1", t0 + 10s), 0);
  EXPECT_EQ(rate.TryStart("10.0.0.1", t0 + 10s), 10);
  EXPECT_EQ(rate.TryStart("10.0.0.1", t0 + 19500ms), 1);  // rounded up
  // Other addresses have buckets of their own.
  EXPECT_EQ(rate.TryStart("10.0.0.2", t0 + 10s), 0);
  // A minute later the whole burst is back, never more.
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(rate.TryStart("10.0.0.1", t0 + 10min), 0) << i;
  }
  EXPECT_GT(rate.TryStart("10.0.0.1", t0 + 10min), 0);
}

TEST(NewSessionRateTest, ManyAddressesDoNotGrowItForever) {
  NewSessionRate rate(1);
  const auto t0 = NewSessionRate::Clock::time_point() + 1h;
  for (int i = 0; i < 5000; ++i) {
    EXPECT_EQ(rate.TryStart("a" + std::to_string(i), t0 + std::chrono::seconds(i)), 0);
  }
  // Each address started one a second apart; those of more than a minute
  // ago are full again, forgotten, and start afresh.
  EXPECT_EQ(rate.TryStart("a0", t0 + 5000s), 0);
  EXPECT_EQ(rate.TryStart("a4999", t0 + 5000s), 59);
}

}  // namespace
}  // namespace zarel::serve
