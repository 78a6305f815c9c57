// The catalog's own table definition (MSysObjects, TDEF page 2), rebuilt
// when the page is damaged.
//
// Every Jet 3 and every Jet 4 database carries the same catalog shape: the
// same 17 columns with the same numbers, variable-column indexes and fixed
// offsets, and the same two indexes (Id, and ParentId + Name). Catalog rows
// decode against this shape whatever happened to page 2, so a damaged
// catalog definition costs no objects.
#pragma once

#include <cstdint>

#include "jet/format/table_def.h"

namespace jet {

inline constexpr std::uint32_t kCatalogPage = 2;
inline constexpr char kCatalogName[] = "MSysObjects";

// The names of the catalog's columns that the engine reads or sets
// (catalog.h says what each holds).
namespace catalog_column {
inline constexpr char kId[] = "Id";
inline constexpr char kParentId[] = "ParentId";
inline constexpr char kName[] = "Name";
inline constexpr char kType[] = "Type";
inline constexpr char kDateCreate[] = "DateCreate";
inline constexpr char kDateUpdate[] = "DateUpdate";
inline constexpr char kFlags[] = "Flags";
inline constexpr char kDatabase[] = "Database";
inline constexpr char kConnect[] = "Connect";
inline constexpr char kForeignName[] = "ForeignName";
inline constexpr char kLv[] = "Lv";
inline constexpr char kLvProp[] = "LvProp";
inline constexpr char kLvModule[] = "LvModule";
inline constexpr char kLvExtra[] = "LvExtra";
}  // namespace catalog_column

// The catalog definition as Access writes it. code_page and sort_order are
// the database's (Jet 3 text columns store them); the usage maps and index
// root pages are left empty for the writer to place.
TableDef catalog_table_def(Version version, std::uint16_t code_page, std::uint16_t sort_order);

// True when a decoded catalog definition has the columns rows are read by:
// the same names, types, numbers and offsets as the fixed shape. A page 2
// that decodes but disagrees was overwritten with something else.
bool has_catalog_shape(const TableDef& def);

}  // namespace jet
