#include "app/form1.h"

#include "app/browse.h"
#include "discovery/product_databases.h"
#include "operations/blank.h"
#include "operations/error_trap.h"
#include "operations/local_file_system.h"
#include "operations/repair.h"
#include "operations/restore.h"
#include "platform/runtime_error.h"

namespace dbrepair {

Form1Seams Form1Seams::Production() {
  static LocalFileSystem files;
  return Form1Seams{files, SystemSpecialFolders(), [] () -> DBEngine& { return ProcessDBEngine(); }, NewJetEngine};
}

Form1::Form1(UserInterface& ui, OpenDialog& dialog, Form1Seams seams)
    : ui_(ui),
      dialog_(dialog),
      folders_(seams.folders),
      context_{ui, seams.files, std::move(seams.dbEngine), std::move(seams.newJetEngine)} {}

Form1::Form1(UserInterface& ui, OpenDialog& dialog) : Form1(ui, dialog, Form1Seams::Production()) {}

void Form1::Form_Load() { DiscoverProductDatabases(ui_, folders_, context_.files); }

void Form1::Command1_Click() { RepairCommand(context_); }

void Form1::cmdRestore_Click() { RestoreFromBackup(context_, RestoreChoice::Newest); }

void Form1::cmdRestoreOld_Click() { RestoreFromBackup(context_, RestoreChoice::Oldest); }

void Form1::cmdDelete_Click() { CreateBlank(ui_, context_.files); }

void Form1::CommandBrowse_Click() { BrowseForDatabase(ui_, dialog_, context_.files); }

void Form1::Command2_Click() { ui_.UnloadWindow(); }

void Form1::RepairJet4(const std::string& DBFile) { dbrepair::RepairJet4(context_, DBFile); }

void Form1::ShutDown() { ui_.UnloadWindow(); }

void Form1::ReportEscapedError(const std::string& handler, std::exception_ptr error) {
  std::int32_t number = kErrInternal;
  std::string description = "Unknown error";
  try {
    if (error) std::rethrow_exception(error);
  } catch (const RuntimeError& raised) {
    number = raised.Number();
    description = raised.Description();
  } catch (const std::exception& raised) {
    description = raised.what();
  } catch (...) {
  }
  std::string text = ErrorReportText(" Location: " + handler, number, description);
  // The report without its question: the program goes on.
  text = text.substr(0, text.rfind("\r\n\r\n"));
  ui_.MsgBox(text, kButtonsOk, "Error Handler");
  ui_.SetNormalPointer();
}

}  // namespace dbrepair
