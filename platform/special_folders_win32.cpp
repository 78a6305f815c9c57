// The shell's own special folders, asked of Windows.
#include <windows.h>
#include <shlobj.h>

#include "jet/base/wide_text.h"
#include "platform/special_folders.h"

namespace dbrepair {

namespace {

class WindowsSpecialFolders : public SpecialFolders {
 public:
  std::string FolderPath(int folder) override {
    wchar_t path[MAX_PATH] = {};
    if (::SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return "";
    std::wstring text(path);
    // A drive root comes with its separator; every other folder without.
    if (text.size() > 3 && text.back() == L'\\') text.pop_back();
    return jet::narrow(text);
  }

  // The fixed path the products' oldest release used names drive C itself,
  // whichever drive Windows is on.
  std::string DriveC() override { return "c:"; }
};

}  // namespace

SpecialFolders& SystemSpecialFolders() {
  static WindowsSpecialFolders folders;
  return folders;
}

}  // namespace dbrepair
