#include <cstdlib>
#include <ctime>

#include "time_zone.h"

namespace dbrepair::testing {

void SetLocalTimeZone(const char* zone) {
  if (zone != nullptr) {
    ::setenv("TZ", zone, 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

}  // namespace dbrepair::testing
