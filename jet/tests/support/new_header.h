// The header a test starts a new database with: the version the test writes,
// everything else as a new database has it (creation date 0 means now).
#pragma once

#include "jet/format/header.h"

namespace jet::testing {

inline Header new_header(Version version, double creation_date = 0) {
  Header header;
  header.version = version;
  header.creation_date = creation_date;
  return header;
}

}  // namespace jet::testing
