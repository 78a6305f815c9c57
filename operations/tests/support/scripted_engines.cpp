#include "scripted_engines.h"

#include "platform/connection_text.h"
#include "temporary_folder.h"

namespace dbrepair::testing {

void ScriptedDBEngine::RepairDatabase(const std::string& path) {
  repaired.push_back(path);
  if (outcomes.empty()) return;
  std::optional<RuntimeError> outcome = outcomes.front();
  outcomes.pop_front();
  if (outcome) throw *outcome;
}

void ScriptedJetEngine::CompactDatabase(const std::string& source, const std::string& destination) {
  script_.calls.emplace_back(source, destination);
  const std::string to = ParseConnectionText(destination).dataSource;
  if (script_.failure) {
    if (script_.partial_output) WriteFile(to, *script_.partial_output);
    throw *script_.failure;
  }
  if (PathExists(to)) throw RuntimeError(kErrUnspecifiedFailure, "Database already exists.");
  WriteFile(to, "compacted " + ReadFile(ParseConnectionText(source).dataSource));
}

JetEngineFactory ScriptedJetEngineFactory(CompactionScript& script) {
  return [&script]() -> std::unique_ptr<JetEngine> {
    if (script.creation_failure) throw *script.creation_failure;
    ++script.engines_made;
    return std::make_unique<ScriptedJetEngine>(script);
  };
}

}  // namespace dbrepair::testing
