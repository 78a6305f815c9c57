// Database engines for the handlers' tests. The DAO engine answers each
// RepairDatabase from a script; the compaction engine "compacts" by writing
// "compacted " + the source's content to the destination, or fails.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "operations/command_context.h"
#include "platform/runtime_error.h"

namespace dbrepair::testing {

class ScriptedDBEngine : public DBEngine {
 public:
  // One outcome per call: nullopt returns normally; an empty script too.
  std::deque<std::optional<RuntimeError>> outcomes;
  std::vector<std::string> repaired;

  void RepairDatabase(const std::string& path) override;
};

struct CompactionScript {
  // Raised by CompactDatabase, after writing partial_output when that is set.
  std::optional<RuntimeError> failure;
  std::optional<std::string> partial_output;
  // Raised by the factory instead of making an engine.
  std::optional<RuntimeError> creation_failure;

  int engines_made = 0;
  int engines_alive = 0;
  std::vector<std::pair<std::string, std::string>> calls;  // connection texts
};

class ScriptedJetEngine : public JetEngine {
 public:
  explicit ScriptedJetEngine(CompactionScript& script) : script_(script) { ++script_.engines_alive; }
  ~ScriptedJetEngine() override { --script_.engines_alive; }
  void CompactDatabase(const std::string& source, const std::string& destination) override;

 private:
  CompactionScript& script_;
};

JetEngineFactory ScriptedJetEngineFactory(CompactionScript& script);

}  // namespace dbrepair::testing
