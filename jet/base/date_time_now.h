// The time stamp a writer puts into what it makes now: new catalog rows
// (DateCreate, DateUpdate) and a new database's header.
//
// A Date/Time is a double of days since 1899-12-30. Access takes the system
// time to the millisecond and stores days + milliseconds / 86,400,000: the
// samples' catalog rows hold exactly those doubles (2004-05-28 17:46:29.851
// is 38135 + 63,989,851 / 86,400,000). So this clock keeps whole
// milliseconds, no finer, and counts in UTC (the file says nothing of its
// time zone).
#pragma once

#include <chrono>

namespace jet {

// The Date/Time of a moment, to the millisecond (earlier ones truncated).
double date_time_of(std::chrono::system_clock::time_point moment);

// Now as a Date/Time.
double current_date_time();

}  // namespace jet
