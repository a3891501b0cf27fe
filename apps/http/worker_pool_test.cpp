// Tests of the worker pool: the bound on waiting jobs and on their wait,
// dropped and expired jobs told so, and Stop waiting for the job that runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

#include "apps/http/worker_pool.h"

namespace zarel::http {
namespace {

using namespace std::chrono_literals;
using Outcome = WorkerPool::Outcome;

// Counts how the jobs made by Job() were called.
struct Tally {
  std::atomic<int> ran{0}, dropped{0}, expired{0};
  WorkerPool::Job Job() {
    return [this](Outcome outcome) {
      ++(outcome == Outcome::kRun ? ran : outcome == Outcome::kDropped ? dropped : expired);
    };
  }
};

// Occupies one worker of the pool until released.
struct Blocker {
  explicit Blocker(WorkerPool& pool) {
    WorkerPool::Job job = [this](Outcome) {
      started.set_value();
      released.wait();
    };
    EXPECT_TRUE(pool.TryPost(job));
    started.get_future().wait();
  }
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::promise<void> started;
};

TEST(WorkerPoolTest, JobsBeyondTheWaitingBoundAreRefusedAndDroppedOnesToldSo) {
  WorkerPool pool(1, 2, 60s);
  Blocker blocker(pool);

  Tally tally;
  WorkerPool::Job first = tally.Job(), second = tally.Job(), third = tally.Job();
  EXPECT_TRUE(pool.TryPost(first));
  EXPECT_TRUE(pool.TryPost(second));
  EXPECT_FALSE(pool.TryPost(third));
  EXPECT_TRUE(third);  // a refused job is left to the caller
  EXPECT_EQ(pool.Waiting(), 2u);

  pool.DropWaiting();
  EXPECT_EQ(tally.dropped, 2);
  WorkerPool::Job fourth = tally.Job();
  EXPECT_TRUE(pool.TryPost(fourth));
  blocker.release.set_value();
  pool.Stop();  // fourth may have run or been dropped, but never both
  EXPECT_EQ(tally.ran + tally.dropped, 3);
  EXPECT_EQ(tally.expired, 0);
  WorkerPool::Job late = tally.Job();
  EXPECT_FALSE(pool.TryPost(late));
}

TEST(WorkerPoolTest, JobsThatWaitedTooLongAreGivenUpUnrun) {
  WorkerPool pool(1, 10, 100ms);
  Blocker blocker(pool);
  Tally tally;
  WorkerPool::Job old_one = tally.Job(), old_two = tally.Job();
  ASSERT_TRUE(pool.TryPost(old_one));
  ASSERT_TRUE(pool.TryPost(old_two));
  pool.ExpireWaiting();  // not yet
  EXPECT_EQ(tally.expired, 0);
  std::this_thread::sleep_for(150ms);
  WorkerPool::Job fresh = tally.Job();
  ASSERT_TRUE(pool.TryPost(fresh));
  pool.ExpireWaiting();
  EXPECT_EQ(tally.expired, 2);
  EXPECT_EQ(pool.Waiting(), 1u);
  blocker.release.set_value();
  pool.Stop();
  EXPECT_EQ(tally.ran + tally.dropped, 1);  // the fresh one
}

TEST(WorkerPoolTest, AFreedWorkerSkipsJobsThatWaitedTooLong) {
  WorkerPool pool(1, 10, 50ms);
  Blocker blocker(pool);
  Tally tally;
  WorkerPool::Job stale = tally.Job();
  ASSERT_TRUE(pool.TryPost(stale));
  std::this_thread::sleep_for(100ms);
  blocker.release.set_value();
  const auto until = std::chrono::steady_clock::now() + 3s;
  while (tally.expired == 0 && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(tally.expired, 1);
  EXPECT_EQ(tally.ran, 0);
}

TEST(WorkerPoolTest, StopWaitsForTheRunningJob) {
  WorkerPool pool(2, 10, 60s);
  std::atomic<bool> finished{false};
  std::promise<void> started;
  WorkerPool::Job slow = [&](Outcome) {
    started.set_value();
    std::this_thread::sleep_for(200ms);
    finished = true;
  };
  ASSERT_TRUE(pool.TryPost(slow));
  started.get_future().wait();
  pool.Stop();
  EXPECT_TRUE(finished);
}

}  // namespace
}  // namespace zarel::http
