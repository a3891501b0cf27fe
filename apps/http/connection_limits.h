// ConnectionLimits: counts the open connections, in all and per client
// address, and refuses one more beyond either bound.
//
// Threading: may be shared between threads (one mutex; a ticket may be
// released on any thread).
#ifndef ZAREL_APPS_HTTP_CONNECTION_LIMITS_H_
#define ZAREL_APPS_HTTP_CONNECTION_LIMITS_H_

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace zarel::http {

class ConnectionLimits {
 public:
  // One counted connection; giving it up (destroying it) frees its place.
  class Ticket {
   public:
    Ticket() = default;
    ~Ticket();
    Ticket(Ticket&& other) noexcept;
    Ticket& operator=(Ticket&& other) noexcept;
    Ticket(const Ticket&) = delete;
    Ticket& operator=(const Ticket&) = delete;

   private:
    friend class ConnectionLimits;
    Ticket(ConnectionLimits* limits, std::string address) : limits_(limits), address_(std::move(address)) {}
    void Release();
    ConnectionLimits* limits_ = nullptr;
    std::string address_;
  };

  ConnectionLimits(std::size_t max_total, std::size_t max_per_address)
      : max_total_(max_total), max_per_address_(max_per_address) {}
  // Every ticket must be gone before the limits are.
  ~ConnectionLimits() = default;
  ConnectionLimits(const ConnectionLimits&) = delete;
  ConnectionLimits& operator=(const ConnectionLimits&) = delete;

  // A place for one more connection from that address, or nothing when
  // either bound is reached.
  std::optional<Ticket> TryAcquire(const std::string& address);
  std::size_t Open() const;
  std::size_t OpenFrom(const std::string& address) const;

 private:
  void Release(const std::string& address);

  const std::size_t max_total_;
  const std::size_t max_per_address_;
  mutable std::mutex mutex_;
  std::size_t open_ = 0;
  // Only addresses with an open connection are kept, so a scan from many
  // addresses leaves nothing behind.
  std::unordered_map<std::string, std::size_t> per_address_;
};

}  // namespace zarel::http

#endif  // ZAREL_APPS_HTTP_CONNECTION_LIMITS_H_
