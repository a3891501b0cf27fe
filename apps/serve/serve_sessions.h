// SessionManager: the web host's sessions, by their secret ids.
//
// It creates sessions up to a bound (and at most so many a minute from one
// client address, see serve_session_rate.h), finds them by id, and expires
// those that were not used for the session timeout (a background thread
// looks every few seconds; ExpireIdle does it at once). Session folders live in a
// work folder of their own ("zarel-serve-XXXXXX" under the system's
// temporary folder, readable by the server's user only), named by a serial
// number, never by the secret id; the work folder goes with the manager.
//
// A session that expires while one of its calls still runs stays alive
// until that call ends; its folder is removed with it.
#ifndef ZAREL_APPS_SERVE_SERVE_SESSIONS_H_
#define ZAREL_APPS_SERVE_SERVE_SESSIONS_H_

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "apps/serve/serve_options.h"
#include "apps/serve/serve_session.h"
#include "apps/serve/serve_session_rate.h"
#include "zarel/hostkit/saved_form.h"

namespace zarel::serve {

class SessionManager {
 public:
  // Makes the work folder and reads the saved form, if any. Raises
  // RuntimeError when either fails (53 for a missing form, 321 for a
  // damaged one, 75 for a work folder that cannot be made).
  explicit SessionManager(ServeOptions options);
  // Stops the expiry thread, ends every session and removes the work folder.
  ~SessionManager();
  SessionManager(const SessionManager&) = delete;
  SessionManager& operator=(const SessionManager&) = delete;

  struct Created {
    std::shared_ptr<Session> session;  // empty when none was made
    std::string id;
    bool full = false;      // the bound was reached
    int retry_after = 0;    // the address started too many: seconds to wait
    std::string error;      // why the session could not be made (no paths)
  };
  // A new session for a client at address, unless max_sessions are alive
  // (full), the address has started its sessions of the minute
  // (retry_after), or the session cannot be set up (error).
  Created Create(const std::string& address = "");
  // The session with this id, marked used now; empty for an unknown or
  // expired id.
  std::shared_ptr<Session> Find(const std::string& id);
  // Ends the session with this id at once (its folder goes when its last
  // call ends).
  void End(const std::string& id);
  // Ends every session idle for longer than the timeout; answers how many.
  int ExpireIdle();
  int Count() const;
  // Asks every session's running statement to stop (the server stops).
  void InterruptAll();
  const ServeOptions& Options() const { return options_; }
  const std::string& WorkFolder() const { return work_folder_.Path(); }

  // Starts the thread that expires idle sessions.
  void StartExpiry();

 private:
  void ExpiryLoop();

  ServeOptions options_;
  std::optional<SavedForm> form_;
  FolderRemover work_folder_;
  std::vector<HiddenPath> hidden_;  // the work folder and the site folder
  NewSessionRate rate_;
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<Session>> sessions_;
  int pending_ = 0;  // sessions being set up, counted against the bound
  std::uint64_t next_serial_ = 1;
  std::condition_variable stop_signal_;
  bool stopping_ = false;
  std::thread expiry_;
};

}  // namespace zarel::serve

#endif  // ZAREL_APPS_SERVE_SERVE_SESSIONS_H_
