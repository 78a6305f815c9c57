#include "operations/restore.h"

#include "fileutil/parse_path.h"
#include "operations/error_trap.h"
#include "operations/repair.h"
#include "operations/safety_backup.h"

namespace dbrepair {

ProductBackup ChooseBackup(RestoreChoice choice, const Date& bak_date, const Date& bak2_date) {
  bool take_bak = choice == RestoreChoice::Newest ? bak_date > bak2_date : bak_date < bak2_date;
  return take_bak ? ProductBackup::Bak : ProductBackup::Bak2;
}

std::string ProductBackupPath(const std::string& data_file, const std::string& extension) {
  return ParsePath(data_file, "dir") + ParsePath(data_file, "nameonly") + extension;
}

void RestoreFromBackup(CommandContext& context, RestoreChoice choice) {
  UserInterface& ui = context.ui;
  FileSystem& files = context.files;
  // The path box's text, read afresh at each use, as spelt on disk.
  auto data_file = [&] { return CurrentPathOnDisk(ui, files); };
  // 3343 anywhere: the compaction repair, then on as after Yes, unless the
  // user left inside it; then the window is gone and nothing more is touched.
  ErrorTrap trap(ui, " Location: cmdRestore_Click", QuitAction::EndProgram,
                 kErrUnrecognizedFormat, [&] {
                   return RepairJet4(context, data_file()) == RepairJet4Outcome::Finished;
                 });
  try {
    trap.Run([&] { ui.SetBusyPointer(); });  // 1
    bool backed_up = false;
    bool completed = trap.Run([&] { backed_up = MakeNumberedBackup(data_file(), ui, files); });  // 2
    if (completed && backed_up) {
      std::string bak;   // 3
      std::string bak2;
      trap.Run([&] { bak = ProductBackupPath(data_file(), ".bak"); });
      trap.Run([&] { bak2 = ProductBackupPath(data_file(), ".bak2"); });

      bool have_choice = true;
      std::string chosen;
      Date chosen_date;
      if (trap.Condition([&] { return files.FileExists(bak); })) {  // 4
        Date bak_date;
        trap.Run([&] { bak_date = files.GetFileDate(bak); });
        if (trap.Condition([&] { return files.FileExists(bak2); })) {
          Date bak2_date;
          trap.Run([&] { bak2_date = files.GetFileDate(bak2); });
          bool take_bak = ChooseBackup(choice, bak_date, bak2_date) == ProductBackup::Bak;
          chosen = take_bak ? bak : bak2;
          chosen_date = take_bak ? bak_date : bak2_date;
        } else {
          chosen = bak;
          chosen_date = bak_date;
        }
      } else if (trap.Condition([&] { return files.FileExists(bak2); })) {  // 5
        trap.Run([&] { chosen_date = files.GetFileDate(bak2); });
        chosen = bak2;
      } else {  // 6
        have_choice = false;
        trap.Run([&] {
          ui.MsgBox("No backup files were found in " + ParsePath(data_file(), "dir"),
                        kButtonsOk, "Restore Cancelled");
        });
      }

      if (have_choice) {
        int answer = kAnswerNo;  // 7: an error here counts as No
        trap.Run([&] {
          answer = ui.MsgBox("Are you sure you want to restore the backup created on " +
                                     DateToText(chosen_date) + "?",
                                 kButtonsYesNo, "Restore Confirmation");
        });
        if (answer == kAnswerYes) {
          trap.Run([&] { ui.DoEvents(); });                                           // 8
          trap.Run([&] { files.CopyFile(chosen, data_file()); });                // 9
          trap.Run([&] { context.dbEngine().RepairDatabase(data_file()); });     // 10
          trap.Run([&] {                                                              // 11
            ui.MsgBox("Restore Completed Successfully", kButtonsOk, "Restore Complete");
          });
        }
      }
    }
    trap.Run([&] { ui.SetNormalPointer(); });  // 12
  } catch (const LeaveHandler&) {
  }
}

}  // namespace dbrepair
