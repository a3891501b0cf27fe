// WorkerPool: a fixed number of threads running jobs from a bounded queue.
// A job that finds the queue full is refused at once, and one that has
// waited longer than the wait bound is given up unrun: when the workers are
// stuck (long queries), clients get a quick "busy" answer instead of the
// server piling up work for them that it would do minutes later.
//
// Threading: may be shared between threads; TryPost, DropWaiting,
// ExpireWaiting and Stop may be called from any thread (Stop not from a
// job).
#ifndef ZAREL_APPS_HTTP_WORKER_POOL_H_
#define ZAREL_APPS_HTTP_WORKER_POOL_H_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace zarel::http {

class WorkerPool {
 public:
  using Clock = std::chrono::steady_clock;
  // How a job is called, once: to run on a worker, or unrun (on the thread
  // that gives it up) because the pool stops or it waited too long.
  enum class Outcome { kRun, kDropped, kExpired };
  using Job = std::function<void(Outcome)>;

  WorkerPool(int threads, std::size_t max_waiting, std::chrono::milliseconds max_wait);
  ~WorkerPool();  // Stop
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Queues a job; false (and the job untouched) when max_waiting jobs are
  // waiting already or the pool has stopped.
  bool TryPost(Job& job);
  // Calls every waiting job with kDropped, in the order they came.
  void DropWaiting();
  // Calls every job that has waited longer than max_wait with kExpired (a
  // worker that frees up does the same before it runs one).
  void ExpireWaiting();
  // Refuses new jobs, drops the waiting ones and joins the workers (a job
  // that is running is waited for).
  void Stop();
  std::size_t Waiting() const;

 private:
  struct Waiter {
    Job job;
    Clock::time_point since;
  };
  void Work();
  // Takes the jobs that waited too long off the front (the queue is in
  // arrival order); the caller calls them outside the lock.
  std::vector<Job> TakeExpired(Clock::time_point now);

  const std::size_t max_waiting_;
  const std::chrono::milliseconds max_wait_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Waiter> waiting_;
  bool stopped_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace zarel::http

#endif  // ZAREL_APPS_HTTP_WORKER_POOL_H_
