// Clock: the local date and time, or the moment it has been fixed to.
#include "zarel/base/clock.h"

#include <chrono>
#include <ctime>
#include <mutex>

#include "zarel/base/date_time.h"

namespace zarel {

namespace {

std::mutex clock_mutex;
std::optional<Date> fixed_moment;  // guarded by clock_mutex

Date LocalNow() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t seconds = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  DateParts parts;
  parts.year = local.tm_year + 1900;
  parts.month = local.tm_mon + 1;
  parts.day = local.tm_mday;
  parts.hour = local.tm_hour;
  parts.minute = local.tm_min;
  // A leap second reads as the last ordinary second of the minute.
  parts.second = local.tm_sec > 59 ? 59 : local.tm_sec;
  return MakeDate(parts);
}

}  // namespace

Date Clock::Now() {
  {
    std::lock_guard lock(clock_mutex);
    if (fixed_moment) return *fixed_moment;
  }
  return LocalNow();
}

void Clock::Fix(Date moment) {
  std::lock_guard lock(clock_mutex);
  fixed_moment = moment;
}

void Clock::Release() {
  std::lock_guard lock(clock_mutex);
  fixed_moment.reset();
}

}  // namespace zarel
