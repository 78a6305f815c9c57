#include "operations/repair.h"

#include <algorithm>
#include <cctype>

#include "fileutil/parse_path.h"
#include "operations/error_trap.h"
#include "operations/safety_backup.h"
#include "platform/connection_text.h"
#include "platform/runtime_error.h"

namespace dbrepair {

namespace {

constexpr const char* kCompletedText = "Database Repair Completed";
constexpr const char* kCompletedTitle = "Operation Completed";

bool EqualWithoutCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::tolower(x) == std::tolower(y);
  });
}

}  // namespace

std::string TemporaryCompactionPath(const std::string& data_file) {
  const std::string folder = ParsePath(data_file, "dir");
  // Deleting "temp.mdb" there would delete the data file itself.
  if (EqualWithoutCase(ParsePath(data_file, "name"), "temp.mdb")) {
    return folder + "temp.compacting.mdb";
  }
  return folder + "temp.mdb";
}

RepairJet4Outcome RepairJet4(CommandContext& context, const std::string& DBFile) {
  UserInterface& ui = context.ui;
  FileSystem& files = context.files;
  const std::string data_file = files.PathOnDisk(DBFile);
  ErrorTrap trap(ui, " Location: RepairJet4", QuitAction::UnloadWindow);
  try {
    std::string temp;
    std::string source;
    std::string destination;
    std::unique_ptr<JetEngine> engine;  // released on every way out
    bool compacted = false;

    trap.Run([&] { temp = TemporaryCompactionPath(data_file); });   // 1
    ErrorTrap::IgnoreErrors([&] { files.DeleteFile(temp); });       // 2
    trap.Run([&] { source = MakeConnectionText(data_file); });      // 3
    trap.Run([&] { destination = MakeConnectionText(temp); });      // 4
    trap.Run([&] { engine = context.newJetEngine(); });             // 5
    trap.Run([&] {                                                  // 6
      if (!engine) throw RuntimeError(91, "Object variable or With block variable not set");
      engine->CompactDatabase(source, destination);
      compacted = true;
    });
    // 7: a file at the temporary path that this run's compaction did not
    // complete (a partial output, an older temp.mdb) never replaces the data.
    if (compacted) trap.Run([&] { files.CopyFile(temp, data_file); });
    trap.Run([&] { files.DeleteFile(temp); });                      // 8
    trap.Run([&] { ui.MsgBox(kCompletedText, kButtonsOk, kCompletedTitle); });  // 9
    trap.Run([&] { ui.SetNormalPointer(); });                       // 10
    return RepairJet4Outcome::Finished;
  } catch (const LeaveHandler&) {
    return RepairJet4Outcome::Quit;
  }
}

void RepairCommand(CommandContext& context) {
  UserInterface& ui = context.ui;
  FileSystem& files = context.files;
  // The path box's text, read afresh at each use, as spelt on disk.
  auto data_file = [&] { return CurrentPathOnDisk(ui, files); };
  // 3343: the compaction repair, then this command ends at once.
  ErrorTrap trap(ui, " Location: Command1_Click", QuitAction::UnloadWindow,
                 kErrUnrecognizedFormat, [&] {
                   RepairJet4(context, data_file());
                   return false;
                 });
  try {
    trap.Run([&] { ui.SetBusyPointer(); });                                    // 1
    if (!trap.Condition([&] { return files.FileExists(data_file()); })) {  // 2
      trap.Run([&] {
        ui.MsgBox("File " + data_file() + " does not exist.", kButtonsOk, "Error");
      });
    } else {
      bool backed_up = false;
      bool completed = trap.Run([&] { backed_up = MakeNumberedBackup(data_file(), ui, files); });  // 3
      if (completed && backed_up) {
        trap.Run([&] { context.dbEngine().RepairDatabase(data_file()); });  // 4
        trap.Run([&] { ui.MsgBox(kCompletedText, kButtonsOk, kCompletedTitle); });  // 5
      }
    }
    trap.Run([&] { ui.SetNormalPointer(); });  // 6
  } catch (const LeaveHandler&) {
  }
}

}  // namespace dbrepair
