// Compaction: a database copied object by object into a new file, with no
// free pages, every table's rows packed in primary-key order, long values
// rewritten by size and every index rebuilt.
//
// The copy is laid out and finished as every written file is
// (jet/write/database_output.h): its header page is the source's, database key and
// password included, so an encrypted source gives an encrypted copy; the
// table definitions come first (the catalog's at page 2, then every other
// table's in the order of its old definition page, so that ids keep their
// order), then per table its data pages, its long-value pages and its index
// pages.
//
// Table definitions move, so each local table's catalog Id (its definition
// page, under any high flag bits) is rewritten, together with the stored
// copies of it: the object ids of MSysACEs and of the navigation pane's
// tables (object_id_column in jet/read/catalog.h) and the related-table page of
// foreign keys. Index entries are taken from the source's indexes as encoded
// there, with their row pointers remapped; entries whose key holds a
// rewritten id are encoded afresh. Each table's AutoNumber continues after
// the highest value that remains.
//
// Compaction carries a sound file over whole or not at all: the first
// structure that does not decode, or an index entry or primary key that
// leads to no row, stops it with Corrupt, naming the table. Recovering what
// a damaged file still holds is salvage's (jet/salvage/salvage.h).
#pragma once

#include "jet/base/file.h"
#include "jet/format/format.h"

namespace jet {

// Reads the database in source and writes its compacted copy into
// destination (an empty file), without syncing it, and returns the format
// of both. Damage raises Corrupt, and destination holds nothing of use then.
Version compact_database(const File& source, File& destination);

}  // namespace jet
