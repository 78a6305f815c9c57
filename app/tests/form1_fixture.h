// Form1 over a scripted window, a scripted Open dialog, scripted engines and
// the real file system in a temporary folder (with faults on cue).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/form1.h"
#include "faulty_file_system.h"
#include "operations/error_trap.h"
#include "scripted_engines.h"
#include "scripted_open_dialog.h"
#include "scripted_user_interface.h"
#include "temporary_folder.h"

namespace dbrepair::testing {

class NoSpecialFolders : public SpecialFolders {
 public:
  std::string FolderPath(int) override { return ""; }
  std::string DriveC() override { return ""; }
};

class Form1Test : public ::testing::Test {
 protected:
  Form1Test()
      : form(ui, dialog,
             Form1Seams{files, folders,
                        [this]() -> DBEngine& {
                          ++dao_lookups;
                          return dao;
                        },
                        ScriptedJetEngineFactory(compaction)}) {}

  // A data file "shop.mdb" in the temporary folder, current in the path box.
  std::string MakeDataFile(const std::string& name = "shop.mdb", const std::string& content = "data") {
    std::string path = dir.file(name);
    WriteFile(path, content);
    ui.path = path;
    return path;
  }

  static ShownBox Report(const std::string& location, int number, const std::string& description) {
    return ShownBox{ErrorReportText(location, number, description), kButtonsYesNo, "Error Handler"};
  }
  static ShownBox Completed() {
    return ShownBox{"Database Repair Completed", kButtonsOk, "Operation Completed"};
  }

  TempFolder dir;
  ScriptedUserInterface ui;
  ScriptedOpenDialog dialog;
  FaultyFileSystem files;
  NoSpecialFolders folders;
  ScriptedDBEngine dao;
  int dao_lookups = 0;
  CompactionScript compaction;
  Form1 form;
};

}  // namespace dbrepair::testing
