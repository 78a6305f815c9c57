// A database's content read through the engine in a form that does not
// depend on where things are stored, so that a database and its compacted
// copy can be compared object by object, row by row and index by index.
//
// Object ids that name tables are their definition pages, which compaction
// moves; every stored id (the catalog's Id and ParentId, MSysACEs' and
// MSysQueries' ObjectId, a foreign key's related table) is therefore shown
// as the path of the object it names ("Tables/Customers") with the id's flag
// bits, and row pointers as the row they lead to.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jet/format/header.h"
#include "jet/format/properties.h"
#include "jet/format/table_def.h"

namespace jet::testing {

struct ObjectSnapshot {
  std::int16_t type = 0;
  std::uint32_t flags = 0;
  std::string id;      // the id, or for a table "table" and its flag bits
  std::string parent;  // the parent's path
  // Every other catalog column, by name, as canonical text.
  std::map<std::string, std::string> columns;
  // LvProp decoded; the decoder's message when it does not decode.
  PropertyBlob properties;
  std::string properties_error;

  friend bool operator==(const ObjectSnapshot&, const ObjectSnapshot&) = default;
};

struct TableSnapshot {
  // The definition less what a writer places: pages, usage maps, index
  // roots, related tables (shown in `related`), the next AutoNumber.
  TableDef shape;
  std::vector<std::string> related;  // per logical index: the related table's path
  std::uint32_t last_autonumber = 0;
  // The highest value of the table's AutoNumber column (0 without rows);
  // unset for a table without one.
  std::optional<std::int32_t> highest_autonumber;
  // Whether the primary key's entries, in key order, lead to the rows in
  // the order they lie in the file (true for a table without one).
  bool rows_in_primary_key_order = true;
  // Every row, columns joined, sorted.
  std::vector<std::string> rows;
  // Per real index: each entry as its key in hex and the row it leads to,
  // sorted. Where the key holds a stored id, only the row.
  std::map<std::uint32_t, std::vector<std::string>> indexes;
  std::string error;  // what could not be read
};

struct DatabaseSnapshot {
  Header header;
  std::map<std::string, ObjectSnapshot> objects;  // by path
  std::map<std::string, TableSnapshot> tables;    // local tables, system ones included, by name
  std::uint32_t free_pages = 0;                   // pages the free-page map names inside the file
};

DatabaseSnapshot take_snapshot(const std::string& path);

}  // namespace jet::testing
