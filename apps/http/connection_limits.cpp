// The connection counts of ConnectionLimits (see connection_limits.h).
#include "apps/http/connection_limits.h"

#include <utility>

namespace zarel::http {

ConnectionLimits::Ticket::~Ticket() { Release(); }

ConnectionLimits::Ticket::Ticket(Ticket&& other) noexcept
    : limits_(std::exchange(other.limits_, nullptr)), address_(std::move(other.address_)) {}

ConnectionLimits::Ticket& ConnectionLimits::Ticket::operator=(Ticket&& other) noexcept {
  if (this != &other) {
    Release();
    limits_ = std::exchange(other.limits_, nullptr);
    address_ = std::move(other.address_);
  }
  return *this;
}

void ConnectionLimits::Ticket::Release() {
  if (limits_ != nullptr) std::exchange(limits_, nullptr)->Release(address_);
}

std::optional<ConnectionLimits::Ticket> ConnectionLimits::TryAcquire(const std::string& address) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (open_ >= max_total_) return std::nullopt;
  std::size_t& from = per_address_[address];
  if (from >= max_per_address_) {
    if (from == 0) per_address_.erase(address);
    return std::nullopt;
  }
  ++from;
  ++open_;
  return Ticket(this, address);
}

void ConnectionLimits::Release(const std::string& address) {
  std::lock_guard<std::mutex> lock(mutex_);
  --open_;
  const auto found = per_address_.find(address);
  if (found != per_address_.end() && --found->second == 0) per_address_.erase(found);
}

std::size_t ConnectionLimits::Open() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

std::size_t ConnectionLimits::OpenFrom(const std::string& address) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = per_address_.find(address);
  return found == per_address_.end() ? 0 : found->second;
}

}  // namespace zarel::http
