// The DAO database engine as the handlers use it: one operation, repairing a
// Jet 3 database in place. Our Jet engine stands behind it.
#pragma once

#include <string>

namespace dbrepair {

// The number by which the engine reports a database format it does not
// recognise; the handlers answer it with a compaction repair.
inline constexpr int kErrUnrecognizedFormat = 3343;
inline constexpr int kErrFileAlreadyInUse = 3045;
inline constexpr int kErrCouldNotFindFile = 3024;
inline constexpr int kErrCannotOpenDatabase = 3049;
inline constexpr int kErrCannotOpenFile = 3051;
inline constexpr int kErrInvalidArgument = 3001;
inline constexpr int kErrOperationNotSupported = 3251;

class DBEngine {
 public:
  virtual ~DBEngine() = default;
  // Repairs the database at path in place, or raises a RuntimeError:
  // 3343 for anything that is not a Jet 3 database.
  virtual void RepairDatabase(const std::string& path) = 0;
};

// DBEngine over our Jet engine: Jet 3 files are salvaged and replaced
// atomically; Jet 4 and foreign files raise 3343, a file held by another
// program 3045, a missing one 3024.
class JetStorageDBEngine : public DBEngine {
 public:
  void RepairDatabase(const std::string& path) override;
};

// The process's one DAO engine object, created at the first call and kept
// until the process ends.
DBEngine& ProcessDBEngine();

}  // namespace dbrepair
