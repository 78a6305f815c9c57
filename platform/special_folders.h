// The shell's special folders. The products run under Wine on Linux, so their
// folders are those of a Wine prefix; the handlers see them through this
// interface only, and tests lay out a prefix of their own.
#pragma once

#include <string>

namespace dbrepair {

// Shell folder numbers.
inline constexpr int kFolderPersonal = 5;            // the user's documents
inline constexpr int kFolderCommonAppData = 35;      // common application data
inline constexpr int kFolderProgramFiles = 38;       // program files
inline constexpr int kFolderProgramFilesX86 = 42;    // 32-bit program files

class SpecialFolders {
 public:
  virtual ~SpecialFolders() = default;
  // The folder's path without a trailing separator, or the empty text when
  // it cannot be resolved.
  virtual std::string FolderPath(int folder) = 0;
  // The folder that stands for the drive "c:", without a trailing separator,
  // or the empty text.
  virtual std::string DriveC() = 0;
};

// The special folders of the system the program runs on: Windows' own, or
// on Linux those of the Wine prefix the products run in. Lives as long as
// the program.
SpecialFolders& SystemSpecialFolders();

// Where a Wine prefix and the user's own folders are.
struct WineEnvironment {
  std::string prefix;         // $WINEPREFIX, else ~/.wine
  std::string user;           // the user's login name
  std::string xdgDocuments;   // the desktop's documents folder, may be empty

  // Read from the process environment, the password database and
  // ~/.config/user-dirs.dirs.
  static WineEnvironment FromProcess();
};

// The special folders of a Wine prefix: documents under drive_c/users/<user>
// (else the desktop's documents folder), "Program Files", "Program Files
// (x86)" and "ProgramData" under drive_c. Every folder is looked up without
// regard to case and must exist as a folder; else it is the empty text.
class WineSpecialFolders : public SpecialFolders {
 public:
  explicit WineSpecialFolders(WineEnvironment environment) : env_(std::move(environment)) {}

  std::string FolderPath(int folder) override;
  std::string DriveC() override;

 private:
  std::string ExistingFolder(const std::string& path) const;

  WineEnvironment env_;
};

}  // namespace dbrepair
