// The threads and queue of WorkerPool (see worker_pool.h).
#include "apps/http/worker_pool.h"

#include <pthread.h>

#include <utility>

namespace zarel::http {

WorkerPool::WorkerPool(int threads, std::size_t max_waiting, std::chrono::milliseconds max_wait)
    : max_waiting_(max_waiting), max_wait_(max_wait) {
  for (int i = 0; i < threads; ++i) {
    threads_.emplace_back([this] {
      ::pthread_setname_np(::pthread_self(), "http-worker");  // as top -H and perf show it
      Work();
    });
  }
}

WorkerPool::~WorkerPool() { Stop(); }

bool WorkerPool::TryPost(Job& job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_ || waiting_.size() >= max_waiting_) return false;
    waiting_.push_back({std::move(job), Clock::now()});
  }
  wake_.notify_one();
  return true;
}

void WorkerPool::DropWaiting() {
  std::deque<Waiter> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(waiting_);
  }
  // Outside the lock: a dropped job may post again or take other locks.
  for (Waiter& waiter : dropped) waiter.job(Outcome::kDropped);
}

std::vector<WorkerPool::Job> WorkerPool::TakeExpired(Clock::time_point now) {
  std::vector<Job> expired;
  while (!waiting_.empty() && now - waiting_.front().since > max_wait_) {
    expired.push_back(std::move(waiting_.front().job));
    waiting_.pop_front();
  }
  return expired;
}

void WorkerPool::ExpireWaiting() {
  std::vector<Job> expired;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    expired = TakeExpired(Clock::now());
  }
  for (Job& job : expired) job(Outcome::kExpired);
}

void WorkerPool::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  wake_.notify_all();
  DropWaiting();
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
  threads_.clear();
}

std::size_t WorkerPool::Waiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiting_.size();
}

void WorkerPool::Work() {
  for (;;) {
    Job job;
    std::vector<Job> expired;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopped_ || !waiting_.empty(); });
      if (stopped_) return;  // Stop drops what is still waiting
      expired = TakeExpired(Clock::now());
      if (!waiting_.empty()) {
        job = std::move(waiting_.front().job);
        waiting_.pop_front();
      }
    }
    for (Job& late : expired) late(Outcome::kExpired);
    if (job) job(Outcome::kRun);
  }
}

}  // namespace zarel::http
