// The web host's sessions (see serve_sessions.h).
#include "apps/serve/serve_sessions.h"

#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "apps/serve/serve_security.h"
#include "zarel/base/error.h"

namespace zarel::serve {

namespace {

std::string MakeWorkFolder(const std::string& root) {
  std::string base = root;
  if (base.empty()) {
    std::error_code ignored;
    base = std::filesystem::temp_directory_path(ignored).string();
    if (base.empty()) base = "/tmp";
  }
  std::string pattern = base + "/zarel-serve-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    Raise(errc::kPathFileAccessError,
          "cannot make a work folder in " + base + ": " + std::strerror(errno));
  }
  return pattern;
}

}  // namespace

SessionManager::SessionManager(ServeOptions options)
    : options_(std::move(options)),
      form_(options_.form ? std::optional<SavedForm>(ReadSavedForm(*options_.form))
                          : std::nullopt),
      work_folder_(MakeWorkFolder(options_.work_root)),
      rate_(options_.limits.new_sessions_per_minute) {
  std::error_code ignored;
  hidden_ = {{WorkFolder(), "the work folder"},
             {std::filesystem::canonical(WorkFolder(), ignored).string(), "the work folder"},
             {options_.site, "the site folder"},
             {std::filesystem::canonical(options_.site, ignored).string(), "the site folder"}};
}

SessionManager::~SessionManager() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stop_signal_.notify_all();
  if (expiry_.joinable()) expiry_.join();
  std::map<std::string, std::shared_ptr<Session>> ending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending.swap(sessions_);
  }
}

SessionManager::Created SessionManager::Create(const std::string& address) {
  Created created;
  std::uint64_t serial = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (static_cast<int>(sessions_.size()) + pending_ >= options_.max_sessions) {
      created.full = true;
      return created;
    }
    // Counted only for sessions that could start: a full server costs an
    // address none of its starts.
    created.retry_after = rate_.TryStart(address);
    if (created.retry_after > 0) return created;
    ++pending_;
    serial = next_serial_++;
  }
  std::shared_ptr<Session> session;
  std::string id;
  try {
    id = NewSessionId();
    session = std::make_shared<Session>(options_, form_ ? &*form_ : nullptr,
                                        WorkFolder() + "/s" + std::to_string(serial), hidden_);
  } catch (...) {
    created.error = HidePaths(CurrentError().Description(), hidden_);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  --pending_;
  if (session) {
    sessions_[id] = session;
    created.session = std::move(session);
    created.id = std::move(id);
  }
  return created;
}

std::shared_ptr<Session> SessionManager::Find(const std::string& id) {
  if (!LooksLikeSessionId(id)) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = sessions_.find(id);
  if (found == sessions_.end()) return nullptr;
  found->second->Touch();
  return found->second;
}

void SessionManager::End(const std::string& id) {
  std::shared_ptr<Session> ending;  // ended outside the lock
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = sessions_.find(id);
  if (found == sessions_.end()) return;
  ending = std::move(found->second);
  sessions_.erase(found);
}

int SessionManager::ExpireIdle() {
  const auto limit = std::chrono::steady_clock::now() - std::chrono::seconds(options_.session_timeout);
  std::vector<std::shared_ptr<Session>> ending;  // ended outside the lock
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = sessions_.begin(); it != sessions_.end();) {
      if (it->second->LastUsed() < limit) {
        ending.push_back(std::move(it->second));
        it = sessions_.erase(it);
      } else {
        ++it;
      }
    }
  }
  return static_cast<int>(ending.size());
}

void SessionManager::InterruptAll() {
  std::vector<std::shared_ptr<Session>> alive;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& entry : sessions_) alive.push_back(entry.second);
  }
  for (const std::shared_ptr<Session>& session : alive) session->InterruptStatements();
}

int SessionManager::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(sessions_.size());
}

void SessionManager::StartExpiry() {
  if (!expiry_.joinable()) expiry_ = std::thread([this] { ExpiryLoop(); });
}

void SessionManager::ExpiryLoop() {
  // Looks a few times per timeout, at least every 30 seconds.
  const auto interval = std::chrono::milliseconds(
      std::clamp(options_.session_timeout * 1000 / 4, 100, 30000));
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    stop_signal_.wait_for(lock, interval, [this] { return stopping_; });
    if (stopping_) break;
    lock.unlock();
    ExpireIdle();
    lock.lock();
  }
}

}  // namespace zarel::serve
