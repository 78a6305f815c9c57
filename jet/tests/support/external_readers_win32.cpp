#include "support/external_readers.h"

// mdbtools and mdb-reader are Linux programs the engine's Linux tests run;
// the Windows tests cannot start them, so they check without them, as on a
// Linux machine that lacks them.
namespace jet::testing {

bool have_mdbtools() { return false; }
bool have_mdb_reader() { return false; }

std::set<std::string> mdbtools_failures(const std::string&) { return {"mdbtools cannot run here"}; }
std::set<std::string> mdb_reader_failures(const std::string&) { return {"mdb-reader cannot run here"}; }

}  // namespace jet::testing
