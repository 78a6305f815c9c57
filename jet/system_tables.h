// The definitions of the system tables the database engine creates with
// every database besides the catalog (jet/catalog_definition.h):
// MSysACEs (access control entries), MSysQueries and MSysRelationships, in
// the shapes Access 97 (Jet 3) and Access 2000 (Jet 4) give them.
#pragma once

#include <cstdint>

#include "jet/table_def.h"

namespace jet {

TableDef access_entries_table_def(Version version, std::uint16_t code_page, std::uint16_t sort_order);
TableDef queries_table_def(Version version, std::uint16_t code_page, std::uint16_t sort_order);
TableDef relationships_table_def(Version version, std::uint16_t code_page, std::uint16_t sort_order);

// Jet 4 keeps a table's columns in the order of their names (ignoring case),
// Jet 3 in number order.
void order_columns_for_storage(TableDef& def);

}  // namespace jet
