// Tests of the connection counts: both bounds, places freed when a ticket
// goes (moved or not), and nothing kept for addresses that left.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "apps/http/connection_limits.h"

namespace zarel::http {
namespace {

TEST(ConnectionLimitsTest, BothBoundsHoldAndPlacesComeBack) {
  ConnectionLimits limits(5, 2);
  std::vector<ConnectionLimits::Ticket> tickets;
  for (const char* address : {"10.0.0.1", "10.0.0.1"}) tickets.push_back(*limits.TryAcquire(address));
  EXPECT_FALSE(limits.TryAcquire("10.0.0.1"));  // per address
  for (const char* address : {"10.0.0.2", "10.0.0.3", "10.0.0.4"}) tickets.push_back(*limits.TryAcquire(address));
  EXPECT_FALSE(limits.TryAcquire("10.0.0.5"));  // in all
  EXPECT_EQ(limits.Open(), 5u);
  EXPECT_EQ(limits.OpenFrom("10.0.0.1"), 2u);

  tickets.erase(tickets.begin());
  EXPECT_EQ(limits.OpenFrom("10.0.0.1"), 1u);
  EXPECT_TRUE(limits.TryAcquire("10.0.0.5"));  // and gone again at once
  ConnectionLimits::Ticket moved = std::move(tickets.front());
  tickets.clear();
  EXPECT_EQ(limits.Open(), 1u);
  moved = ConnectionLimits::Ticket();
  EXPECT_EQ(limits.Open(), 0u);
  EXPECT_EQ(limits.OpenFrom("10.0.0.1"), 0u);
}

TEST(ConnectionLimitsTest, RefusedAddressesLeaveNothingBehind) {
  ConnectionLimits limits(1, 1);
  std::optional<ConnectionLimits::Ticket> held = limits.TryAcquire("a");
  for (int i = 0; i < 1000; ++i) EXPECT_FALSE(limits.TryAcquire("scan-" + std::to_string(i)));
  EXPECT_EQ(limits.OpenFrom("scan-1"), 0u);
  held.reset();
  EXPECT_TRUE(limits.TryAcquire("scan-1"));
}

TEST(ConnectionLimitsTest, CountsStayRightUnderManyThreads) {
  ConnectionLimits limits(1000, 1000);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&limits, t] {
      for (int i = 0; i < 5000; ++i) {
        std::optional<ConnectionLimits::Ticket> ticket = limits.TryAcquire(std::to_string((t + i) % 7));
        ASSERT_TRUE(ticket);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(limits.Open(), 0u);
}

}  // namespace
}  // namespace zarel::http
