// Form1, the main window's logic: one handler per user action, reaching the
// window only through UserInterface and OpenDialog, so that it runs without
// a window system. The Qt window (app/window) owns a Form1 and calls its
// handlers from its events.
//
// Dispatching: every handler may throw EndProgram (the program ends at once).
// Form_Load and cmdDelete_Click have no error trap; an error escaping them
// goes to ReportEscapedError, after which the program goes on:
//
//   try { form.cmdDelete_Click(); }
//   catch (const EndProgram&) { /* quit the event loop */ }
//   catch (...) { form.ReportEscapedError("cmdDelete_Click", std::current_exception()); }
#pragma once

#include <exception>
#include <memory>
#include <string>

#include "operations/command_context.h"
#include "platform/open_dialog.h"
#include "platform/special_folders.h"
#include "platform/user_interface.h"

namespace dbrepair {

// The seams below the handlers. Production() gives the real ones: the local
// file system, the Wine prefix's special folders, our Jet engine behind the
// DAO facade (one per process) and the compaction facade.
struct Form1Seams {
  FileSystem& files;
  SpecialFolders& folders;
  DBEngineAccess dbEngine;
  JetEngineFactory newJetEngine;

  static Form1Seams Production();
};

class Form1 {
 public:
  Form1(UserInterface& ui, OpenDialog& dialog, Form1Seams seams);
  // The production seams.
  Form1(UserInterface& ui, OpenDialog& dialog);

  // Load, before the window is first shown: product database discovery.
  void Form_Load();
  // Repair.
  void Command1_Click();
  // Restore New and Restore Old.
  void cmdRestore_Click();
  void cmdRestoreOld_Click();
  // Create Blank.
  void cmdDelete_Click();
  // Browse...
  void CommandBrowse_Click();
  // Cancel: unloads the window.
  void Command2_Click();

  // Compaction repair of a Jet 4 database.
  void RepairJet4(const std::string& DBFile);
  // Unloads the window.
  void ShutDown();

  // Shows an error that escaped a handler without a trap in an OK box with
  // the report's details, and restores the normal pointer. handler names the
  // handler ("Form_Load", "cmdDelete_Click").
  void ReportEscapedError(const std::string& handler, std::exception_ptr error);

 private:
  UserInterface& ui_;
  OpenDialog& dialog_;
  SpecialFolders& folders_;
  CommandContext context_;
};

}  // namespace dbrepair
