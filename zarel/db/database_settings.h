// The process's database links: how many are kept open and for how long,
// how long a statement may run, and stopping statements from another
// thread. These are settings of the whole process, for the hosts that embed
// the control (zarel serve and zarel browse set them from their options);
// the control, its engine and its DAL work as before on top of them.
//
// Connection pool. Opening a connection takes a physical link to the
// database from a pool kept per connection string; closing it gives the
// link back. A link comes back clean: a pending transaction is rolled back
// and the session's state is reset (PostgreSQL: DISCARD ALL, which also
// drops temporary tables; SQLite: a link that attached another database or
// made temporary tables is closed instead of kept). A link that is found
// broken when it is taken (the server restarted or ended the session) is
// closed and a fresh one opened; one that breaks before its first command
// is replaced once, and the command run on the new link. A SQLite link is
// reused only while its path still names the file it opened: a database
// renamed over the old one, or the old one removed, is opened afresh.
//
//   pool_size    the most links open at once for one connection string
//                (in use and idle), and the most idle links kept for all
//                connection strings together. A caller that finds all of
//                them in use waits up to pool_wait for one to come free,
//                then fails with kDatabaseError ("All 16 database links
//                ..."). 0 turns pooling off: every connection opens its
//                own link and closing it closes the link.
//   pool_idle    an idle link closes after this long unused.
//
// Time limits. Every statement runs under statement_time_limit (0: none).
// One that runs out is stopped (SQLite: its progress handler; PostgreSQL:
// the server's statement_timeout) and fails with kDatabaseError "The
// statement ran out of time: it was stopped after 30 seconds."; the link
// stays usable. A statement waiting for a lock that another connection holds
// (a SQLite database being written, a PostgreSQL row or table lock) gives up
// after lock_wait (0: no bound of its own) with "The database is locked by
// another connection; gave up waiting after 5 seconds.".
//
// Prepared statements. A SQLite link keeps up to statements_kept prepared
// statements (the texts it ran last, each a script of one statement), so
// that a text it runs again is not parsed again; 0 keeps none. A kept
// statement reads the database as it is when it runs again: it keeps no
// rows and no lock, and a schema changed since makes SQLite prepare it
// afresh.
//
// Threads: every function here may be called from any thread at any time.
// New settings apply to links opened from then on; idle links opened with
// other settings are closed rather than reused, and links in use keep theirs
// until they come back.
#ifndef ZAREL_DB_DATABASE_SETTINGS_H_
#define ZAREL_DB_DATABASE_SETTINGS_H_

#include <chrono>
#include <cstdint>

namespace zarel {

// The prepared statements a link keeps unless told otherwise (enough for
// the procedure lookups and bodies of a site's pages), and the most it may
// be told to keep.
inline constexpr int kDefaultStatementsKept = 32;
inline constexpr int kMostStatementsKept = 10000;

struct DatabaseSettings {
  int pool_size = 16;
  std::chrono::milliseconds pool_idle{std::chrono::seconds(60)};
  std::chrono::milliseconds pool_wait{std::chrono::seconds(15)};
  std::chrono::milliseconds statement_time_limit{std::chrono::seconds(30)};
  std::chrono::milliseconds lock_wait{std::chrono::seconds(5)};
  int statements_kept = kDefaultStatementsKept;

  bool operator==(const DatabaseSettings&) const = default;
};

// The settings in force (the defaults above until ApplyDatabaseSettings).
DatabaseSettings CurrentDatabaseSettings();

// Makes settings the process's settings (settings equal to those in force
// change nothing). Raises RuntimeError 5 (invalid procedure call) for a
// negative size or duration, a pool_idle of 0, or a pool_size above 10,000;
// nothing changes then.
void ApplyDatabaseSettings(const DatabaseSettings& settings);

// Stops every statement running in the process at this moment, from any
// thread: each fails with kDatabaseError "The statement was interrupted."
// and its link stays usable. Statements that start after the call are not
// affected. For a host shutting down: stop taking new work, then call this
// so that no thread stays in a long query. Answers how many were stopped.
int InterruptRunningStatements();

// Closes every idle link now (links in use are not touched).
void CloseIdleDatabaseLinks();

// What the pool did since the process started, and holds now.
struct DatabaseLinkCounts {
  std::int64_t opened = 0;    // physical links opened
  std::int64_t reused = 0;    // connections served by an idle link
  std::int64_t discarded = 0; // links found broken or changed and closed
  std::int64_t waited = 0;    // connections that had to wait for a link
  std::int64_t refused = 0;   // connections that waited past pool_wait
  int idle = 0;               // idle links now
  int in_use = 0;             // links in use now
};
DatabaseLinkCounts CountDatabaseLinks();

}  // namespace zarel

#endif  // ZAREL_DB_DATABASE_SETTINGS_H_
