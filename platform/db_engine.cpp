#include "platform/db_engine.h"

#include "jet/base/error.h"
#include "jet/maintenance.h"
#include "platform/case_insensitive_path.h"
#include "platform/file_guard.h"
#include "platform/runtime_error.h"

namespace dbrepair {

namespace {

RuntimeError DaoError(const jet::Error& error, const std::string& path) {
  switch (error.code()) {
    case jet::ErrorCode::UnrecognisedFormat:
      return RuntimeError(kErrUnrecognizedFormat, "Unrecognized database format '" + path + "'.");
    case jet::ErrorCode::FileInUse:
      return RuntimeError(kErrFileAlreadyInUse, "Could not use '" + path + "'; file already in use.");
    case jet::ErrorCode::NotFound:
      return RuntimeError(kErrCouldNotFindFile, "Could not find file '" + path + "'.");
    case jet::ErrorCode::Corrupt:
      return RuntimeError(kErrCannotOpenDatabase, error.what());
    case jet::ErrorCode::ReadOnly:
    case jet::ErrorCode::Io:
      return RuntimeError(kErrCannotOpenFile, error.what());
    case jet::ErrorCode::InvalidArgument:
      return RuntimeError(kErrInvalidArgument, error.what());
    default:
      return RuntimeError(kErrOperationNotSupported, error.what());
  }
}

}  // namespace

void JetStorageDBEngine::RepairDatabase(const std::string& given_path) {
  const std::string path = ResolveWithoutCase(given_path);
  try {
    // The DAO engine of the products knows Jet 3 alone; a Jet 4 file is
    // "unrecognised" to it and goes to the compaction repair.
    if (jet::read_version(path) != jet::Version::Jet3) {
      throw jet::Error(jet::ErrorCode::UnrecognisedFormat, "not a Jet 3 database");
    }
    RefuseUnreplaceable(path, kErrFileAlreadyInUse, kErrCannotOpenFile);
    jet::repair(path);
  } catch (const jet::Error& error) {
    throw DaoError(error, path);
  }
}

DBEngine& ProcessDBEngine() {
  static JetStorageDBEngine engine;
  return engine;
}

}  // namespace dbrepair
