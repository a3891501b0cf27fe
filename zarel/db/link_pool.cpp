// The pool of database links (see link_pool.h).
#include "zarel/db/link_pool.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "zarel/base/error.h"
#include "zarel/db/connection_string.h"
#include "zarel/db/link_limits.h"
#include "zarel/db/postgres_driver.h"
#include "zarel/db/sqlite_driver.h"

namespace zarel {

namespace {

using SteadyClock = std::chrono::steady_clock;
using Links = std::vector<std::unique_ptr<DatabaseDriver>>;

}  // namespace

// ---- Lease ----

Lease::~Lease() { Release(); }

Lease::Lease(Lease&& other) noexcept { *this = std::move(other); }

Lease& Lease::operator=(Lease&& other) noexcept {
  if (this != &other) {
    Release();
    pool_ = std::move(other.pool_);
    key_ = std::move(other.key_);
    driver_ = std::move(other.driver_);
    generation_ = other.generation_;
    reused_ = other.reused_;
  }
  return *this;
}

void Lease::Release() {
  if (pool_ == nullptr) return;
  std::shared_ptr<LinkPool> pool = std::move(pool_);
  pool->Give(*this);
}

void Lease::Replace() {
  pool_->Forget(key_, driver_.get());
  driver_.reset();
  DatabaseSettings settings;
  {
    std::lock_guard<std::mutex> lock(pool_->mutex_);
    ++pool_->counts_.discarded;
    settings = pool_->settings_;
    generation_ = pool_->generation_;
  }
  reused_ = false;
  try {
    driver_ = pool_->Open(key_, settings);
  } catch (...) {
    // The place this lease held is free again.
    Release();
    throw;
  }
  std::lock_guard<std::mutex> lock(pool_->in_use_mutex_);
  pool_->in_use_.insert(driver_.get());
}

// ---- LinkPool ----

std::shared_ptr<LinkPool> LinkPool::Instance() {
  static const std::shared_ptr<LinkPool> pool = std::make_shared<LinkPool>();
  return pool;
}

LinkPool::LinkPool() = default;

LinkPool::~LinkPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  expiry_signal_.notify_all();
  if (expiry_.joinable()) expiry_.join();
}

std::unique_ptr<DatabaseDriver> LinkPool::Open(const std::string& connection_string,
                                               const DatabaseSettings& settings) {
  const LinkLimits limits{settings.statement_time_limit, settings.lock_wait, settings.statements_kept};
  if (BackendOfConnectionString(connection_string) == Backend::kSQLite) {
    return OpenSQLiteDatabase(connection_string.substr(7), limits);
  }
  return OpenPostgresDatabase(connection_string, limits);
}

Lease LinkPool::Acquire(const std::string& connection_string) {
  Lease lease;
  lease.key_ = connection_string;
  std::unique_lock<std::mutex> lock(mutex_);
  const SteadyClock::time_point deadline = SteadyClock::now() + settings_.pool_wait;
  bool waited = false;
  for (;;) {
    Entry& entry = entries_[connection_string];
    if (!entry.idle.empty()) {
      Idle idle = std::move(entry.idle.back());
      entry.idle.pop_back();
      --idle_count_;
      ++entry.in_use;
      const bool current = idle.generation == generation_;
      lock.unlock();
      // Checking may talk to the server: outside the lock.
      if (current && idle.driver->StillValid()) {
        lease.driver_ = std::move(idle.driver);
        lease.generation_ = idle.generation;
        lease.reused_ = true;
        lock.lock();
        ++counts_.reused;
        break;
      }
      idle.driver.reset();
      lock.lock();
      --entries_[connection_string].in_use;
      ++counts_.discarded;
      continue;
    }
    const int open = entry.in_use + static_cast<int>(entry.idle.size());
    if (settings_.pool_size == 0 || open < settings_.pool_size) {
      ++entry.in_use;
      const DatabaseSettings settings = settings_;
      lease.generation_ = generation_;
      lock.unlock();
      try {
        lease.driver_ = Open(connection_string, settings);
      } catch (...) {
        lock.lock();
        --entries_[connection_string].in_use;
        lock.unlock();
        returned_.notify_all();
        throw;
      }
      lock.lock();
      ++counts_.opened;
      break;
    }
    if (!waited) {
      waited = true;
      ++counts_.waited;
    }
    if (returned_.wait_until(lock, deadline) == std::cv_status::timeout) {
      Entry& now = entries_[connection_string];
      if (!now.idle.empty() || now.in_use < settings_.pool_size) continue;
      ++counts_.refused;
      const int size = settings_.pool_size;
      const std::chrono::milliseconds wait = settings_.pool_wait;
      lock.unlock();
      Raise(errc::kDatabaseError, "All " + std::to_string(size) +
                                      " database links for this connection are in use; none came free within " +
                                      SecondsText(wait) + ".");
    }
  }
  lock.unlock();
  lease.pool_ = shared_from_this();
  std::lock_guard<std::mutex> in_use(in_use_mutex_);
  in_use_.insert(lease.driver_.get());
  return lease;
}

void LinkPool::Forget(const std::string&, DatabaseDriver* driver) {
  if (driver == nullptr) return;
  std::lock_guard<std::mutex> lock(in_use_mutex_);
  in_use_.erase(driver);
}

void LinkPool::Give(Lease& lease) {
  Forget(lease.key_, lease.driver_.get());
  std::unique_ptr<DatabaseDriver> driver = std::move(lease.driver_);
  bool keep = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    keep = driver != nullptr && settings_.pool_size > 0 && lease.generation_ == generation_ && !stopping_;
  }
  bool broke = false;
  if (keep) {
    // The next user gets a clean session, or none from this link.
    try {
      broke = driver->LinkLost();
      if (!broke) driver->Reset();
    } catch (...) {
      broke = true;
    }
    keep = !broke;
  }
  Links closing;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    --entries_[lease.key_].in_use;
    if (broke) ++counts_.discarded;
    if (keep) {
      const SteadyClock::time_point now = SteadyClock::now();
      entries_[lease.key_].idle.push_back({std::move(driver), lease.generation_, now});
      ++idle_count_;
      TakeExpired(now, closing);
      if (!expiry_.joinable() && !stopping_) expiry_ = std::thread([this] { ExpiryLoop(); });
    }
  }
  returned_.notify_all();
  if (keep) expiry_signal_.notify_all();
  driver.reset();
  closing.clear();
}

void LinkPool::TakeExpired(SteadyClock::time_point now, Links& closing) {
  for (auto& [key, entry] : entries_) {
    while (!entry.idle.empty() && now - entry.idle.front().since >= settings_.pool_idle) {
      closing.push_back(std::move(entry.idle.front().driver));
      entry.idle.pop_front();
      --idle_count_;
    }
  }
  // Beyond the bound on idle links in all: the least recently used go.
  while (idle_count_ > settings_.pool_size) {
    Entry* oldest = nullptr;
    for (auto& [key, entry] : entries_) {
      if (!entry.idle.empty() && (oldest == nullptr || entry.idle.front().since < oldest->idle.front().since)) {
        oldest = &entry;
      }
    }
    closing.push_back(std::move(oldest->idle.front().driver));
    oldest->idle.pop_front();
    --idle_count_;
  }
  std::erase_if(entries_, [](const auto& item) { return item.second.idle.empty() && item.second.in_use == 0; });
}

void LinkPool::ExpiryLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    Links closing;
    TakeExpired(SteadyClock::now(), closing);
    std::optional<SteadyClock::time_point> next;
    for (const auto& [key, entry] : entries_) {
      if (entry.idle.empty()) continue;
      const SteadyClock::time_point due = entry.idle.front().since + settings_.pool_idle;
      if (!next || due < *next) next = due;
    }
    lock.unlock();
    closing.clear();
    lock.lock();
    if (stopping_) break;
    if (next) {
      expiry_signal_.wait_until(lock, *next);
    } else {
      expiry_signal_.wait(lock);
    }
  }
}

DatabaseSettings LinkPool::Settings() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return settings_;
}

void LinkPool::Apply(const DatabaseSettings& settings) {
  Links closing;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_ = settings;
    ++generation_;
    // Idle links run under the old settings: none is reused.
    for (auto& [key, entry] : entries_) {
      for (Idle& idle : entry.idle) closing.push_back(std::move(idle.driver));
      entry.idle.clear();
    }
    idle_count_ = 0;
  }
  expiry_signal_.notify_all();
  returned_.notify_all();
  closing.clear();
}

int LinkPool::InterruptAll() {
  std::lock_guard<std::mutex> lock(in_use_mutex_);
  int stopped = 0;
  for (DatabaseDriver* driver : in_use_) {
    if (driver->Interrupt()) ++stopped;
  }
  return stopped;
}

bool LinkPool::Interrupt(DatabaseDriver* driver) {
  std::lock_guard<std::mutex> lock(in_use_mutex_);
  return in_use_.contains(driver) && driver->Interrupt();
}

void LinkPool::CloseIdle() {
  Links closing;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [key, entry] : entries_) {
      for (Idle& idle : entry.idle) closing.push_back(std::move(idle.driver));
      entry.idle.clear();
    }
    idle_count_ = 0;
  }
  closing.clear();
}

DatabaseLinkCounts LinkPool::Counts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  DatabaseLinkCounts counts = counts_;
  counts.idle = idle_count_;
  counts.in_use = 0;
  for (const auto& [key, entry] : entries_) counts.in_use += entry.in_use;
  return counts;
}

}  // namespace zarel
