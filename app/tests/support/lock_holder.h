// Another process that has a database open, as a product has: it holds a
// byte-range lock on the database's lock file (the name with ".ldb") until
// it is released. Two kinds: a native process, and a Windows program under
// Wine, which is how the products themselves run on Linux.
#pragma once

#include <memory>
#include <string>

namespace dbrepair::testing {

class LockHolder {
 public:
  virtual ~LockHolder() = default;  // releases the lock and ends the process
};

// A child process that holds a write lock on the database's lock file,
// creating it. Returns once the lock is held.
std::unique_ptr<LockHolder> HoldNatively(const std::string& database);

// Why HoldUnderWine cannot run here (wine64 or the cross-built program is
// missing), or the empty text.
std::string WhyWineCannotHold();

// The Windows program hold_database.exe under wine64, opening the database
// and locking its lock file. Returns once it reports that it holds them;
// nullptr with the reason in why_not when it cannot run here or did not get
// that far.
std::unique_ptr<LockHolder> HoldUnderWine(const std::string& database, std::string& why_not);

}  // namespace dbrepair::testing
