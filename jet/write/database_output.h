// The file a writer builds, and how its tables and the file itself are
// finished: the one place where a new database (jet/write/database_writer.h) and a
// compacted copy (jet/write/compactor.h) write usage maps, table definitions, the
// free-page map and the header, so that the two differ only by content.
//
// Layout of every written file:
//   page 0   header (jet/format/header.h)
//   page 1   global free-page map, row 0 (jet/format/usage_map.h)
//   page 2   the catalog's table definition (MSysObjects)
//   then     pages in the order the writer asks for them: definitions, data,
//            long values, indexes and usage-map rows; last, the bitmap pages
//            of the free-page map when the file outgrows an inline map
//
// Usage maps of all tables share data pages that no table owns, filled in
// the order the tables finish and written when the file is: Access keeps
// them so (the samples' maps share pages of owner 0), and a page then holds
// the maps of several tables rather than of one.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/base/file.h"
#include "jet/format/catalog_definition.h"
#include "jet/format/format.h"
#include "jet/format/table_def.h"
#include "jet/write/data_page_packer.h"
#include "jet/write/index_builder.h"
#include "jet/write/long_value_writer.h"
#include "jet/write/page_store.h"
#include "jet/write/usage_map_writer.h"

namespace jet {

// What a table's content was written to, as its usage maps list it.
struct TableContent {
  const DataPageStream& rows;  // finished
  // One per real index of the definition, in its order.
  std::vector<IndexBuildResult> indexes;
  // The writer of a Memo or OLE column by its number (finished), or null
  // for a column with nothing outside its rows.
  std::function<const LongValueWriter*(std::uint16_t column_number)> long_values;
};

class DatabaseOutput {
 public:
  // Writes to file, which should be empty. Pages after 0 are encrypted under
  // a database key other than 0.
  DatabaseOutput(File& file, Version version, std::uint32_t database_key,
                 PageFile::Writes writes = PageFile::Writes::InCaller);

  PageFile& pages() { return pages_; }
  std::uint32_t page_count() const { return pages_.page_count(); }

  // Sets aside the pages a table's definition needs as it stands: the
  // catalog's start at page 2 (InvalidArgument the second time), any
  // other's where the next free page is. The first is the table's id.
  std::vector<std::uint32_t> reserve_definition(const TableDef& def, bool catalog);

  // Writes the table's usage maps (owned pages, free space, one per real
  // index, owned and free-space pages per long-value column) and fills their
  // pointers, the index roots and key counts into def; then writes def on
  // def_pages, which grow or shrink to what it needs (pages given back are
  // free in the file), and sets def.pages.
  void finish_table(TableDef& def, std::vector<std::uint32_t>& def_pages, const TableContent& content);

  // Writes the last usage-map page, the free-page map and page0 (the header
  // page, kept plain), waits for every write and cuts the file to its pages.
  // Raises InvalidArgument when no catalog was reserved. Syncing is the
  // caller's.
  void finish(Bytes page0);

 private:
  File& file_;
  Version version_;
  PageFile pages_;
  UsageMapWriter maps_;
  std::vector<std::uint32_t> free_pages_;
  bool catalog_reserved_ = false;
};

}  // namespace jet
