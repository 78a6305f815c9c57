// What a command works with: the window, the file system and the two
// database engines.
#pragma once

#include <functional>
#include <memory>

#include "platform/file_system.h"
#include "platform/db_engine.h"
#include "platform/jet_engine.h"
#include "platform/user_interface.h"

namespace dbrepair {

// The process's one DAO engine object, created at its first call.
using DBEngineAccess = std::function<DBEngine&()>;
// A new compaction engine object for one compaction repair.
using JetEngineFactory = std::function<std::unique_ptr<JetEngine>()>;

struct CommandContext {
  UserInterface& ui;
  FileSystem& files;
  DBEngineAccess dbEngine;
  JetEngineFactory newJetEngine;
};

}  // namespace dbrepair
