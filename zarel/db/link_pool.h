// LinkPool: the process's one pool of physical database links, kept per
// connection string, under every Connection (see database_settings.h for
// what a host sees of it and its settings).
//
// Connection::Open takes a Lease from the pool; the lease holds the link
// (a DatabaseDriver) until Connection::Close gives it back. Taking a link:
//   1. the most recently returned idle link of that connection string that
//      is still valid (a broken one, one whose SQLite file was replaced, or
//      one opened under other settings is closed and the next tried);
//   2. otherwise a new link, while fewer than pool_size are open for that
//      connection string;
//   3. otherwise the caller waits for a link to come back, at most
//      pool_wait, then fails with kDatabaseError.
// Giving a link back resets it (rollback, clean session) and keeps it
// idle; a link that cannot be reset, that broke, or that comes back while
// pooling is off is closed. A thread of the pool closes links idle for
// longer than pool_idle; idle links beyond pool_size in all are closed, the
// least recently used first.
//
// Threads: every member may be called from any thread; the pool's lock is
// never held while a link is opened, checked, reset or closed, so a slow
// server holds up only the caller that talks to it. A Lease belongs to one
// Connection and follows its rule (one thread at a time).
#ifndef ZAREL_DB_LINK_POOL_H_
#define ZAREL_DB_LINK_POOL_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "zarel/db/database_driver.h"
#include "zarel/db/database_settings.h"

namespace zarel {

class LinkPool;

// One link taken from the pool, given back when the lease goes.
class Lease {
 public:
  Lease() = default;
  ~Lease();
  Lease(Lease&& other) noexcept;
  Lease& operator=(Lease&& other) noexcept;
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;

  explicit operator bool() const { return driver_ != nullptr; }
  DatabaseDriver& Driver() const { return *driver_; }
  // Whether the link served an earlier connection (it came from the idle
  // links) rather than being opened for this one.
  bool Reused() const { return reused_; }
  // Gives the link back now.
  void Release();
  // Closes the link, which broke, and opens a fresh one for the same
  // connection string in its place (raising as opening does).
  void Replace();

 private:
  friend class LinkPool;
  std::shared_ptr<LinkPool> pool_;
  std::string key_;
  std::unique_ptr<DatabaseDriver> driver_;
  std::uint64_t generation_ = 0;
  bool reused_ = false;
};

class LinkPool : public std::enable_shared_from_this<LinkPool> {
 public:
  // The process's pool.
  static std::shared_ptr<LinkPool> Instance();

  LinkPool();
  ~LinkPool();
  LinkPool(const LinkPool&) = delete;
  LinkPool& operator=(const LinkPool&) = delete;

  // A link for the connection string, as described above. Raises
  // kDatabaseError when the string is unknown, the database refuses the
  // link, or no link came free within pool_wait.
  Lease Acquire(const std::string& connection_string);

  DatabaseSettings Settings() const;
  void Apply(const DatabaseSettings& settings);
  int InterruptAll();
  // Interrupts the statement on driver when it is a link in use.
  bool Interrupt(DatabaseDriver* driver);
  void CloseIdle();
  DatabaseLinkCounts Counts() const;

 private:
  friend class Lease;
  struct Idle {
    std::unique_ptr<DatabaseDriver> driver;
    std::uint64_t generation;
    std::chrono::steady_clock::time_point since;
  };
  struct Entry {
    std::deque<Idle> idle;  // the most recently returned at the back
    int in_use = 0;
  };

  std::unique_ptr<DatabaseDriver> Open(const std::string& connection_string, const DatabaseSettings& settings);
  void Give(Lease& lease);
  void Forget(const std::string& key, DatabaseDriver* driver);
  // Under the lock: moves idle links past their time, or beyond the bound
  // on idle links, into closing.
  void TakeExpired(std::chrono::steady_clock::time_point now, std::vector<std::unique_ptr<DatabaseDriver>>& closing);
  void ExpiryLoop();

  mutable std::mutex mutex_;
  std::condition_variable returned_;  // a link came back or a place came free
  std::condition_variable expiry_signal_;
  DatabaseSettings settings_;
  std::uint64_t generation_ = 1;  // counts the settings applied
  std::map<std::string, Entry> entries_;
  int idle_count_ = 0;
  DatabaseLinkCounts counts_;
  bool stopping_ = false;
  std::thread expiry_;

  // The links in use, for InterruptAll; its own lock, held while a link is
  // interrupted so that it cannot be closed meanwhile.
  std::mutex in_use_mutex_;
  std::set<DatabaseDriver*> in_use_;
};

}  // namespace zarel

#endif  // ZAREL_DB_LINK_POOL_H_
