#include "platform/date.h"

#include <chrono>
#include <ctime>
#include <iomanip>
#include <sstream>

namespace dbrepair {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// Days from the zero date (1899-12-30) to the Unix epoch (1970-01-01).
constexpr std::int64_t kUnixEpochDay = 25569;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

Date Date::FromParts(int year, int month, int day, int hour, int minute, int second) {
  using namespace std::chrono;
  // Normalise the month into the year first, so that month 13 is January.
  std::int64_t months = static_cast<std::int64_t>(year) * 12 + (month - 1);
  auto ymd = std::chrono::year{static_cast<int>(FloorDiv(months, 12))} /
             std::chrono::month{static_cast<unsigned>(months - FloorDiv(months, 12) * 12 + 1)} /
             std::chrono::day{1};
  std::int64_t days = sys_days{ymd}.time_since_epoch().count() + kUnixEpochDay + (day - 1);
  std::int64_t total = days * kSecondsPerDay + static_cast<std::int64_t>(hour) * 3600 +
                       static_cast<std::int64_t>(minute) * 60 + second;
  std::int64_t whole_days = FloorDiv(total, kSecondsPerDay);
  return Date(whole_days, static_cast<std::int32_t>(total - whole_days * kSecondsPerDay));
}

Date Date::FromUnixSeconds(std::int64_t seconds) {
  std::int64_t days = FloorDiv(seconds, kSecondsPerDay);
  return Date(days + kUnixEpochDay, static_cast<std::int32_t>(seconds - days * kSecondsPerDay));
}

Date::Parts Date::ToParts() const {
  using namespace std::chrono;
  year_month_day ymd{sys_days{std::chrono::days{days_ - kUnixEpochDay}}};
  return Parts{static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
               static_cast<int>(static_cast<unsigned>(ymd.day())), seconds_ / 3600,
               seconds_ / 60 % 60, seconds_ % 60};
}

std::string DateToText(const Date& date, const std::locale& locale) {
  Date::Parts p = date.ToParts();
  std::tm fields{};
  fields.tm_year = p.year - 1900;
  fields.tm_mon = p.month - 1;
  fields.tm_mday = p.day;
  fields.tm_hour = p.hour;
  fields.tm_min = p.minute;
  fields.tm_sec = p.second;
  fields.tm_wday = static_cast<int>(((date.DayCount() % 7) + 7 + 6) % 7);  // 1899-12-30 was a Saturday

  std::ostringstream text;
  text.imbue(locale);
  bool show_date = date.DayCount() != 0;
  bool show_time = date.SecondOfDay() != 0 || !show_date;
  if (show_date) text << std::put_time(&fields, "%x");
  if (show_date && show_time) text << ' ';
  if (show_time) text << std::put_time(&fields, "%X");
  return text.str();
}

std::string DateToText(const Date& date) {
  static const std::locale user_locale = [] {
    try {
      return std::locale("");
    } catch (const std::runtime_error&) {
      return std::locale::classic();  // a misspelt LANG must not stop the program
    }
  }();
  return DateToText(date, user_locale);
}

}  // namespace dbrepair
