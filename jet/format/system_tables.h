// The definitions of the system tables the database engine creates with
// every database besides the catalog (jet/format/catalog_definition.h):
// MSysACEs (access control entries), MSysQueries and MSysRelationships, in
// the shapes Access 97 (Jet 3) and Access 2000 (Jet 4) give them.
#pragma once

#include <cstdint>

#include "jet/format/table_def.h"

namespace jet {

// A column of a fixed system-table shape, as Access declares it: number,
// variable index, fixed offset (fixed columns only) and flags.
struct SystemColumn {
  const char* name;
  ColumnType type;
  std::uint16_t number;
  std::uint16_t variable_index;
  std::uint16_t fixed_offset;
  std::uint8_t flags;
};

// The column with the length its type takes in this format (Text and Binary
// 255 bytes, twice that in Jet 4; Memo and OLE 0) and the sort order. Code
// page and display index are the caller's: the catalog sets them otherwise
// than the other system tables.
ColumnDef system_column(Version version, const SystemColumn& declared, std::uint16_t sort_order);

TableDef access_entries_table_def(Version version, std::uint16_t code_page, std::uint16_t sort_order);
TableDef queries_table_def(Version version, std::uint16_t code_page, std::uint16_t sort_order);
TableDef relationships_table_def(Version version, std::uint16_t code_page, std::uint16_t sort_order);

// Jet 4 keeps a table's columns in the order of their names (ignoring case),
// Jet 3 in number order.
void order_columns_for_storage(TableDef& def);

}  // namespace jet
