// Compaction: a database copied object by object into a new file, with no
// free pages, every table's rows packed in primary-key order, long values
// rewritten by size and every index rebuilt.
//
// Layout of the result: page 0 the header (the source's, database key and
// password included, so an encrypted source gives an encrypted copy), page 1
// the free-page map, then the table definitions (the catalog's first, at
// page 2; then every other table in the order of its old definition page, so
// that ids keep their order), then per table its data pages, its long-value
// pages and its index pages, with the pages holding the usage maps (shared
// by all tables) among them. Pages are written through the same PageFile as
// a new database's (jet/page_store.h), which encrypts them under the key.
//
// Table definitions move, so each local table's catalog Id (its definition
// page, under any high flag bits) is rewritten, together with the stored
// copies of it: the object ids of MSysACEs and of the navigation pane's
// tables (object_id_column in jet/catalog.h) and the related-table page of
// foreign keys. Index entries are taken from the source's indexes as encoded there,
// with their row pointers remapped; entries whose key holds a rewritten id are
// encoded afresh. An index whose pages cannot be read is built again from
// the values of the rows it indexed (jet/stored_row_key.h), or, where a key
// cannot be encoded in its text sort order, written empty; the report says
// which. Each table's AutoNumber continues after the highest value that
// remains.
#pragma once

#include "jet/file.h"
#include "jet/maintenance.h"

namespace jet {

// Reads the database in source and writes its compacted copy into
// destination (an empty file), without syncing it. Objects that cannot be read are left out and
// listed in the report's errors.
MaintenanceReport compact_database(const File& source, File& destination);

}  // namespace jet
