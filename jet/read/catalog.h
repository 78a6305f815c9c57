// The meaning of the catalog's rows (MSysObjects, the table whose definition
// is on page 2): one row per object of the database.
//
// The columns this engine interprets:
//   Id        object id. For a local table the low 24 bits are the page of
//             its table definition; the high 8 bits carry flags (containers
//             have 0x0F, the MSysDb object 0x10, Access's own documents 0x80)
//   ParentId  the id of the container the object lives in; containers hang
//             from 0x0F000000
//   Name      the object's name
//   Type      the kind of object (ObjectType below; Access's own documents
//             use negative values)
//   Flags     0x80000000 and 0x00000002 mark system objects, 0x00000008
//             hidden ones
//   Database, Connect, ForeignName  where a linked table lives
//   LvProp    the object's properties (jet/format/properties.h)
// The other columns (DateCreate, DateUpdate, Owner, Lv, LvModule, LvExtra,
// RmtInfoShort, RmtInfoLong) are carried as they are.
//
// Access's own tables (MSysAccessObjects, MSysModules and the like) have the
// user table type byte in their definitions; only their catalog flags and
// their "MSys" names say they are system tables.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "jet/format/table_def.h"
#include "jet/format/value.h"

namespace jet {

enum class ObjectType : std::int16_t {
  Table = 1,
  DatabaseInfo = 2,  // the MSysDb object
  Container = 3,
  LinkedOdbcTable = 4,
  Query = 5,
  LinkedTable = 6,
  Relationship = 8,
  // Access's own documents.
  Form = -32768,
  Macro = -32766,
  Report = -32764,
  Module = -32761,
  DatabaseDocument = -32757,  // SummaryInfo, UserDefined
  DataAccessPage = -32756,
};

namespace object_flags {
constexpr std::uint32_t System = 0x80000000;
constexpr std::uint32_t AltSystem = 0x00000002;
constexpr std::uint32_t Hidden = 0x00000008;
}  // namespace object_flags

// The Type column's value for a kind of object.
constexpr std::int16_t type_code(ObjectType type) { return static_cast<std::int16_t>(type); }

// The parent of every container, and the mask of an Id's page bits.
constexpr std::int32_t kTopLevelParentId = 0x0F000000;
constexpr std::uint32_t kObjectIdPageMask = 0x00FFFFFF;

struct CatalogObject {
  std::int32_t id = 0;
  std::int32_t parent_id = 0;
  std::string name;
  std::int16_t type = 0;
  std::uint32_t flags = 0;
  std::string foreign_name;  // linked tables: the name in the other database
  std::string database;      // linked tables: the other database's path
  std::string connect;       // linked tables: the connect string

  ObjectType object_type() const { return static_cast<ObjectType>(type); }
  bool is_local_table() const { return object_type() == ObjectType::Table; }
  bool is_linked_table() const {
    return object_type() == ObjectType::LinkedTable || object_type() == ObjectType::LinkedOdbcTable;
  }
  bool is_container() const { return object_type() == ObjectType::Container; }
  // A local table's definition page: the Id's low 24 bits.
  std::uint32_t table_page() const { return static_cast<std::uint32_t>(id) & kObjectIdPageMask; }
  // Marked by the catalog's flags, or a table named MSys... .
  bool is_system() const;
  bool is_hidden() const { return flags & object_flags::Hidden; }
};

// The object a catalog row describes. `row` holds one value per column of
// `catalog`, in the order of catalog.columns. Raises Corrupt (naming the
// catalog's page and the column) when Id, ParentId, Name or Type is missing
// from the definition or of the wrong type.
CatalogObject catalog_object_from_row(const TableDef& catalog, std::span<const Value> row);

// The catalog's objects, with the lookups a database needs.
class Catalog {
 public:
  Catalog() = default;
  explicit Catalog(std::vector<CatalogObject> objects);

  const std::vector<CatalogObject>& objects() const { return objects_; }

  // The container named name ("Tables", "Relationships", ...).
  const CatalogObject* container(std::string_view name) const;
  // Local and linked tables, in catalog order; system tables only when asked.
  std::vector<const CatalogObject*> tables(bool include_system) const;
  // A table by name, ASCII case-insensitive as Jet compares names.
  const CatalogObject* find_table(std::string_view name) const;
  // The object whose definition starts on the page, if a local table's does.
  const CatalogObject* table_at_page(std::uint32_t page) const;

 private:
  std::vector<CatalogObject> objects_;
};

// The column of a system table, other than the catalog itself, whose rows
// name a catalog object by its id: the access entries of MSysACEs and the
// navigation pane's entries (MSysNavPaneObjectIDs,
// MSysNavPaneGroupToObjects). A local table's id is its definition page, so
// a rewrite that moves tables rewrites these with the catalog's own Id.
std::optional<std::string_view> object_id_column(std::string_view table);

// Gives the new id of an object whose id changes (compaction moves table
// definitions, so a local table's Id follows its definition page), or
// nullopt when it keeps its id.
using ObjectIdMap = std::function<std::optional<std::int32_t>(std::int32_t id)>;

// Rewrites a catalog row's Id through the map (ParentId names containers,
// whose ids never change).
void remap_catalog_row(const TableDef& catalog, std::vector<Value>& row, const ObjectIdMap& map);

}  // namespace jet
