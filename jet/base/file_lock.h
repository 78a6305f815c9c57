// Telling whether another program holds a database open.
//
// A program that has a Jet database open keeps byte-range locks: on the lock
// file beside it (the database's name with the extension ".ldb") and, while
// it commits, on the database itself. A lock file whose locks nobody holds is
// what a crashed program leaves behind and does not count. Repair and
// compaction refuse a database in use before they touch anything, because
// replacing a file under a program that writes to it loses that program's
// work or corrupts the new file.
#pragma once

#include <string>

namespace jet {

// The lock file that belongs to the database at path: its name with the
// extension replaced by ".ldb" ("data.mdb" -> "data.ldb"; a name without an
// extension gets ".ldb" appended).
std::string lock_file_path(const std::string& database_path);

// True when a process other than this open file description holds a
// byte-range lock anywhere in the file at path. A missing file is not locked.
bool has_foreign_locks(const std::string& path);

// Raises FileInUse ("Could not use '<path>'; file already in use.") when the
// database at path or its lock file carries locks held by another program.
void ensure_not_in_use(const std::string& database_path);

// Removes the database's lock file when no other program holds a lock on it:
// what a crashed program left behind, which describes the sessions of a file
// that is gone once a repair replaced it. The lock file is locked whole while
// it is removed, so no program can take a lock on it in between. Returns
// whether it was removed; a lock file that is absent, in use, or that cannot
// be opened, locked or removed is left as it is.
bool remove_stale_lock_file(const std::string& database_path);

}  // namespace jet
