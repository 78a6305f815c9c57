// Create Blank: after a safety backup and the user's confirmation, delete
// the data file so that the product starts over with an empty one.
#pragma once

#include "platform/file_system.h"
#include "platform/user_interface.h"

namespace dbrepair {

// The whole command (cmdDelete_Click). It has no error trap: a failed copy
// or delete raises the RuntimeError to the caller, with the data file left
// in place.
void CreateBlank(UserInterface& ui, FileSystem& files);

}  // namespace dbrepair
