// The date value the handlers compare and show: a day count plus a fraction
// of a day, counted from 30 December 1899 (the zero date). Built from whole
// fields (year, month, day, hour, minute, second); sub-second parts do not
// exist here, so two dates written in the same second are equal.
#pragma once

#include <compare>
#include <cstdint>
#include <locale>
#include <string>

namespace dbrepair {

class Date {
 public:
  // The zero date: 30 December 1899, midnight. It stands for "no date" and is
  // older than every date a file system can report.
  constexpr Date() = default;

  // Fields out of range (month 13, second 61, ...) are carried over into the
  // next larger field, as a calendar date serial does.
  static Date FromParts(int year, int month, int day, int hour, int minute, int second);
  // Seconds since 1970-01-01 00:00:00 UTC, taken as they are (no time zone).
  static Date FromUnixSeconds(std::int64_t seconds);

  struct Parts {
    int year, month, day, hour, minute, second;
  };
  Parts ToParts() const;

  bool IsZero() const { return days_ == 0 && seconds_ == 0; }
  std::int64_t DayCount() const { return days_; }
  std::int32_t SecondOfDay() const { return seconds_; }
  // The day count plus the fraction of the day, as one number.
  double Serial() const { return static_cast<double>(days_) + seconds_ / 86400.0; }

  friend auto operator<=>(const Date&, const Date&) = default;

 private:
  Date(std::int64_t days, std::int32_t seconds) : days_(days), seconds_(seconds) {}

  std::int64_t days_ = 0;     // whole days since the zero date
  std::int32_t seconds_ = 0;  // 0 .. 86399
};

// The platform's date-to-text conversion: the locale's short date and long
// time separated by a blank; the time is left out at midnight and the date is
// left out on the zero date's own day (so the zero date reads as a time).
std::string DateToText(const Date& date, const std::locale& locale);
// The same in the user's locale (LC_ALL, LC_TIME or LANG).
std::string DateToText(const Date& date);

}  // namespace dbrepair
