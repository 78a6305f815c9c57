#include "jet/base/date_time_now.h"

#include <cstdint>

namespace jet {

namespace {
constexpr double kUnixEpochDays = 25569;  // 1970-01-01 as a Date/Time
constexpr double kMillisecondsPerDay = 86400000;
}  // namespace

double date_time_of(std::chrono::system_clock::time_point moment) {
  using namespace std::chrono;
  const std::int64_t milliseconds = floor<std::chrono::milliseconds>(moment.time_since_epoch()).count();
  return kUnixEpochDays + static_cast<double>(milliseconds) / kMillisecondsPerDay;
}

double current_date_time() { return date_time_of(std::chrono::system_clock::now()); }

}  // namespace jet
