// Writing a salvaged database as a new file through the database writer.
//
// Every table salvage kept is written with its surviving rows (in the order
// of its primary key where it has one whose keys can be encoded); its indexes
// are built afresh from those rows, so they agree with them whatever the old
// index pages held. Tables get new definition pages, and with them new ids:
// the catalog rows and the access-control entries that name a table by id
// are remapped. What salvage dropped or changed, and any row the writer
// refuses, is written as the rows of an MSysCompactError table.
#pragma once

#include <vector>

#include "jet/base/file.h"
#include "jet/format/compact_error_table.h"
#include "jet/salvage/salvage.h"

namespace jet {

// Writes salvage's database into out (an empty file) and syncs it. errors
// starts as salvage's losses and gains whatever writing adds.
void write_salvaged_database(const Salvage& salvage, std::vector<CompactErrorEntry>& errors, File& out);

}  // namespace jet
