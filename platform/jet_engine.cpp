#include "platform/jet_engine.h"

#include <filesystem>

#include "jet/base/error.h"
#include "jet/maintenance.h"
#include "platform/case_insensitive_path.h"
#include "platform/connection_text.h"
#include "platform/file_guard.h"
#include "platform/runtime_error.h"

namespace dbrepair {

namespace {

std::string DataSourceOf(const std::string& text) {
  ConnectionText connection = ParseConnectionText(text);
  if (connection.provider != kJet4Provider) {
    throw RuntimeError(kErrUnspecifiedFailure,
                       "Provider '" + connection.provider + "' is not available; only " +
                           kJet4Provider + " is.");
  }
  if (connection.dataSource.empty()) {
    throw RuntimeError(kErrUnspecifiedFailure, "The connection text '" + text + "' names no file.");
  }
  return ResolveWithoutCase(connection.dataSource);
}

}  // namespace

void JetStorageJetEngine::CompactDatabase(const std::string& source,
                                          const std::string& destination) {
  const std::string from = DataSourceOf(source);
  const std::string to = DataSourceOf(destination);
  // The compacted copy is made to replace the source: refused, as by Windows,
  // when the source could not be replaced or the copy not be created.
  RefuseUnreplaceable(from, kErrUnspecifiedFailure, kErrUnspecifiedFailure);
  RefuseUnreplaceable(to, kErrUnspecifiedFailure, kErrUnspecifiedFailure);
  // Anything at the destination counts, a link that leads nowhere too.
  std::error_code unknown;
  if (std::filesystem::exists(std::filesystem::symlink_status(std::u8string(to.begin(), to.end()), unknown))) {
    throw RuntimeError(kErrUnspecifiedFailure, "Database '" + to + "' already exists.");
  }
  try {
    jet::compact(from, to);
  } catch (const jet::Error& error) {
    throw RuntimeError(kErrUnspecifiedFailure, error.what());
  }
}

std::unique_ptr<JetEngine> NewJetEngine() { return std::make_unique<JetStorageJetEngine>(); }

}  // namespace dbrepair
