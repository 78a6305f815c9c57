// The C library's local time zone, which a test sets to show that a result
// does not depend on it.
#pragma once

namespace dbrepair::testing {

// Sets the local time zone to zone, a POSIX TZ text such as "NZST-12NZDT"
// (which Windows' C library reads too); nullptr restores the system's.
void SetLocalTimeZone(const char* zone);

}  // namespace dbrepair::testing
