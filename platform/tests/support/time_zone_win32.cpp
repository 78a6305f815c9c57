#include <cstdlib>
#include <ctime>

#include "time_zone.h"

namespace dbrepair::testing {

void SetLocalTimeZone(const char* zone) {
  // An empty value removes the variable.
  ::_putenv_s("TZ", zone != nullptr ? zone : "");
  ::_tzset();
}

}  // namespace dbrepair::testing
