// Browse...: the Open dialog, started in a folder derived from the current
// path with the database filter selected; the chosen file becomes the
// current path. Cancel raises the dialog's error into the trap
// (" Location: CommandBrowse_Click").
#pragma once

#include "platform/file_system.h"
#include "platform/open_dialog.h"
#include "platform/user_interface.h"

namespace dbrepair {

inline constexpr const char* kBrowseFilter =
    "All Files (*.*)|*.*|Microsoft Access Databases (*.mdb)|*.mdb";

void BrowseForDatabase(UserInterface& ui, OpenDialog& dialog, FileSystem& files);

}  // namespace dbrepair
