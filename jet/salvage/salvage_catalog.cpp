#include "jet/salvage/salvage_catalog.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

#include "jet/base/ascii.h"
#include "jet/base/error.h"
#include "jet/format/catalog_definition.h"
#include "jet/format/catalog_index_keys.h"
#include "jet/read/catalog.h"
#include "jet/read/index_walk.h"
#include "jet/salvage/salvage_table.h"
#include "jet/write/new_database.h"

namespace jet {

namespace {

constexpr auto kEngineTableFlags = static_cast<std::int32_t>(object_flags::System);
// Access's own tables: system, some also hidden.
constexpr auto kAccessTableFlags = static_cast<std::int32_t>(object_flags::AltSystem);
constexpr auto kAccessHiddenTableFlags = static_cast<std::int32_t>(object_flags::AltSystem | object_flags::Hidden);

// A system table's columns, as Access 97 to 2003 create them; a table
// whose columns are exactly these (names in any order and case, and types)
// is that table. Where a column's type varies between versions, both are
// listed; where it is not known, it is left open.
struct ShapeColumn {
  const char* name;
  int type = 0;        // a ColumnType; 0: any
  int other_type = 0;  // another it may have
  bool optional = false;  // a column some versions add
};

struct SystemShape {
  const char* name;
  std::int32_t flags;
  std::initializer_list<ShapeColumn> columns;
};

constexpr int kLong = static_cast<int>(ColumnType::Long);
constexpr int kText = static_cast<int>(ColumnType::Text);
constexpr int kBinary = static_cast<int>(ColumnType::Binary);
constexpr int kOle = static_cast<int>(ColumnType::Ole);
constexpr int kMemo = static_cast<int>(ColumnType::Memo);
constexpr int kGuid = static_cast<int>(ColumnType::Guid);
constexpr int kDate = static_cast<int>(ColumnType::DateTime);
// The type Jet 4 gives MSysAccessObjects' Data column (a long binary kept
// in the row); this engine has no name for it.
constexpr int kLongBinary = 0x11;

const std::initializer_list<SystemShape> kSystemShapes = {
    {"MSysACEs",
     kEngineTableFlags,
     {{"ObjectId", kLong}, {"SID", kBinary}, {"ACM", kLong}, {"FInheritable", static_cast<int>(ColumnType::Boolean)}}},
    {"MSysQueries",
     kEngineTableFlags,
     {{"ObjectId", kLong},
      {"Attribute", static_cast<int>(ColumnType::Byte)},
      {"Order", kBinary},
      {"Name1", kText},
      {"Name2", kText},
      {"Expression", kMemo},
      {"Flag", static_cast<int>(ColumnType::Integer)},
      {"LvExtra", kLong, 0, true}}},  // Jet 4 only
    {"MSysRelationships",
     kEngineTableFlags,
     {{"szRelationship", kText},
      {"grbit", kLong},
      {"ccolumn", kLong},
      {"icolumn", kLong},
      {"szObject", kText},
      {"szColumn", kText},
      {"szReferencedObject", kText},
      {"szReferencedColumn", kText}}},
    {"MSysAccessObjects", kAccessTableFlags, {{"ID", kLong}, {"Data", kBinary, kLongBinary}}},
    {"MSysModules", kAccessTableFlags, {{"__A__", kText}}},
    {"MSysModules2",
     kAccessTableFlags,
     {{"Name", kText},
      {"Type", kLong},
      {"Version", kLong},
      {"ReplicationVersion", kLong},
      {"Flags", kLong},
      {"Module", kOle},
      {"Form", kOle},
      {"TypeInfo", kOle}}},
    {"MSysAccessXML",
     kAccessTableFlags,
     {{"Id", kLong}, {"LValue", kOle}, {"ObjectGuid", kGuid}, {"ObjectName", kText}, {"Property", kText}, {"Value", kText}}},
    {"MSysIMEXSpecs",
     kAccessTableFlags,
     {{"DateDelim"}, {"DateFourDigitYear"}, {"DateLeadingZeros"}, {"DateOrder"}, {"DecimalPoint"}, {"FieldSeparator"},
      {"FileType"}, {"SpecID"}, {"SpecName"}, {"SpecType"}, {"StartRow"}, {"TextDelim"}, {"TimeDelim"}}},
    {"MSysIMEXColumns",
     kAccessTableFlags,
     {{"Attributes"}, {"DataType"}, {"FieldName"}, {"IndexType"}, {"SkipColumn"}, {"SpecID"}, {"Start"}, {"Width"}}},
    {"MSysAccessStorage",
     kAccessHiddenTableFlags,
     {{"DateCreate", kDate}, {"DateUpdate", kDate}, {"Id", kLong}, {"Lv", kOle}, {"Name", kText}, {"ParentId", kLong},
      {"Type", kLong}}},
    {"MSysNameMap",
     kAccessHiddenTableFlags,
     {{"GUID", kGuid}, {"Id", kLong}, {"Name", kText}, {"NameMap", kOle}, {"Type", kLong}}},
    {"MSysNavPaneGroupCategories",
     kAccessHiddenTableFlags,
     {{"Filter", kText}, {"Flags", kLong}, {"Id", kLong}, {"Name", kText}, {"Position", kLong},
      {"SelectedObjectID", kLong}, {"Type", kLong}}},
    {"MSysNavPaneGroupToObjects",
     kAccessHiddenTableFlags,
     {{"Flags", kLong}, {"GroupID", kLong}, {"Icon", kLong}, {"Id", kLong}, {"Name", kText}, {"ObjectID", kLong},
      {"Position", kLong}}},
    {"MSysNavPaneGroups",
     kAccessHiddenTableFlags,
     {{"Flags", kLong}, {"GroupCategoryID", kLong}, {"Id", kLong}, {"Name", kText}, {"Object Type Group", kLong},
      {"ObjectID", kLong}, {"Position", kLong}}},
    {"MSysNavPaneObjectIDs", kAccessHiddenTableFlags, {{"Id", kLong}, {"Name", kText}, {"Type", kLong}}},
};

bool has_shape(const TableDef& def, const SystemShape& shape) {
  std::size_t found = 0;
  for (const ShapeColumn& wanted : shape.columns) {
    const ColumnDef* column = def.find_column(wanted.name);
    if (column == nullptr && wanted.optional) continue;
    const int type = column ? static_cast<int>(column->type) : -1;
    if (!column || (wanted.type != 0 && type != wanted.type && type != wanted.other_type)) return false;
    ++found;
  }
  return found == def.columns.size();
}

std::set<std::string> column_keys(const TableDef& def) {
  std::set<std::string> keys;
  for (const ColumnDef& column : def.columns) keys.insert(name_key(column.name));
  return keys;
}

const SystemShape* system_shape_named(std::string_view name) {
  for (const SystemShape& shape : kSystemShapes) {
    if (name_key(shape.name) == name_key(name)) return &shape;
  }
  return nullptr;
}

// The flags a table of this name gets when nothing kept its own: Access
// treats every MSys name as a system table's.
std::int32_t flags_for_name(std::string_view name) {
  if (const SystemShape* shape = system_shape_named(name)) return shape->flags;
  return name_key(name).rfind("msys", 0) == 0 ? kAccessTableFlags : 0;
}

// Keys fold case: a name read from one has its first letter of each word in
// capitals and the rest in small letters, the likeliest case of a name
// someone typed.
std::string as_words(std::string capitals) {
  bool start = true;
  for (char& c : capitals) {
    const bool letter = std::isalpha(static_cast<unsigned char>(c));
    if (letter && !start) c = ascii_lower(c);
    start = !letter && !std::isdigit(static_cast<unsigned char>(c));
  }
  return capitals;
}

template <typename T>
std::optional<T> value_at(const std::vector<Value>& row, const TableDef& def, std::string_view column) {
  const std::optional<std::size_t> at = def.column_position(column);
  if (!at) return std::nullopt;
  const Value& value = row.at(*at);
  if (const T* v = std::get_if<T>(&value.data)) return *v;
  return std::nullopt;
}

const RealIndexDef* index_on(const TableDef& def, std::initializer_list<const char*> columns) {
  std::vector<std::uint16_t> numbers;
  for (const char* name : columns) {
    const ColumnDef* column = def.find_column(name);
    if (column == nullptr) return nullptr;
    numbers.push_back(column->number);
  }
  for (const RealIndexDef& index : def.real_indexes) {
    if (index.columns.size() != numbers.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < numbers.size(); ++i) same = same && index.columns[i].column_number == numbers[i];
    if (same) return &index;
  }
  return nullptr;
}

}  // namespace

std::optional<TableNaming> recognise_system_table(const TableDef& def) {
  for (const SystemShape& shape : kSystemShapes) {
    if (!has_shape(def, shape)) continue;
    TableNaming naming;
    naming.name = shape.name;
    naming.code = SalvageCode::SystemTableRecognised;
    naming.how = "its columns, which are those of " + naming.name;
    naming.flags = shape.flags;
    return naming;
  }
  return std::nullopt;
}

CatalogEvidence::CatalogEvidence(const SalvagePages& pages, const TableDef& catalog, std::uint16_t code_page,
                                 const std::set<std::uint32_t>& live_pages) {
  read_indexes(pages, catalog);
  read_old_rows(pages, catalog, code_page, live_pages);
}

// The two indexes are walked as far as they read; an entry whose key does
// not decode says nothing, and an id the two disagree about (a stale or
// damaged entry) names nothing.
void CatalogEvidence::read_indexes(const SalvagePages& pages, const TableDef& catalog) {
  const RealIndexDef* by_name = index_on(catalog, {catalog_column::kParentId, catalog_column::kName});
  const RealIndexDef* by_id = index_on(catalog, {catalog_column::kId});
  const ColumnDef* name_column = catalog.find_column(catalog_column::kName);
  if (by_name == nullptr || by_id == nullptr || name_column == nullptr) return;
  const Version version = pages.pager().version();
  const TextSortOrder order = text_sort_order(version, name_column->sort_order, name_column->sort_order_version);
  const IndexWalkOptions options{pages.page_count()};
  const auto walk = [&](const RealIndexDef& index, const IndexEntrySink& take) {
    if (index.first_page == 0 || index.first_page >= pages.page_count()) return;
    try {
      check_index_streaming(version, catalog.page, index.first_page, options, pages.page_source(), take);
    } catch (const Error& e) {
      if (e.code() == ErrorCode::Io) throw;
    }
  };
  std::map<RowPointer, std::int32_t> ids;
  walk(*by_id, [&](IndexEntry& entry) {
    std::size_t at = 0;
    if (const auto id = decode_long_key(entry.key, at); id && at == entry.key.size()) ids[entry.row] = *id;
  });
  std::set<std::int32_t> contradicted;
  std::map<std::int32_t, Row> named;
  walk(*by_name, [&](IndexEntry& entry) {
    const auto id = ids.find(entry.row);
    if (id == ids.end()) return;
    std::size_t at = 0;
    const auto parent = decode_long_key(entry.key, at);
    const auto name = decode_last_text_key(entry.key, at, order);
    if (!parent || !name) return;
    const auto [it, added] = named.emplace(id->second, Row{*name, parent, std::nullopt});
    if (!added && it->second.name != *name) contradicted.insert(id->second);
  });
  for (auto& [id, row] : named) {
    if (contradicted.count(id)) continue;
    if ((static_cast<std::uint32_t>(id) & ~kObjectIdPageMask) == 0) {
      index_rows_.emplace(static_cast<std::uint32_t>(id), std::move(row));
    } else {
      index_objects_.emplace(id, std::move(row));
    }
  }
}

// Rows Access no longer reads but has not overwritten: deleted rows on the
// catalog's own pages, every row of a data page that names the catalog as
// its owner but is not one of its pages now.
void CatalogEvidence::read_old_rows(const SalvagePages& pages, const TableDef& catalog, std::uint16_t code_page,
                                    const std::set<std::uint32_t>& live_pages) {
  const TableContext context{pages, catalog, kCatalogName, code_page};
  for (std::uint32_t n = 3; n < pages.page_count(); ++n) {
    if (pages.kind(n) != static_cast<std::uint8_t>(PageType::Data) || pages.owner(n) != catalog.page) continue;
    Page holder = pages.try_page(n);
    const auto page = pages.data_page(holder);
    if (!page || page->owner != catalog.page) continue;
    const bool live = live_pages.count(n) != 0;
    for (const RecoveredRow& slot : page->rows) {
      if ((live && !slot.deleted) || slot.overflow) continue;
      const auto row = read_salvaged_row(context, RowPointer{n, slot.number});
      if (!row) continue;
      const auto type = value_at<std::int16_t>(row->values, catalog, catalog_column::kType);
      const auto id = value_at<std::int32_t>(row->values, catalog, catalog_column::kId);
      const auto name = value_at<std::string>(row->values, catalog, catalog_column::kName);
      if (type != type_code(ObjectType::Table) || !id || !name || name->empty() ||
          (static_cast<std::uint32_t>(*id) & ~kObjectIdPageMask) != 0) {
        continue;
      }
      old_rows_[static_cast<std::uint32_t>(*id)].push_back(
          Row{*name, value_at<std::int32_t>(row->values, catalog, catalog_column::kParentId),
              value_at<std::int32_t>(row->values, catalog, catalog_column::kFlags)});
    }
  }
}

void CatalogEvidence::add_relationship_end(const std::string& table, const std::string& column) {
  if (table.empty()) return;
  related_names_.emplace(name_key(table), table);
  auto& columns = related_[name_key(table)];
  if (!column.empty()) columns.insert(name_key(column));
}

void CatalogEvidence::add_query_input(const std::string& table) {
  if (!table.empty()) query_inputs_.emplace(name_key(table), table);
}

void CatalogEvidence::add_navigation_entry(std::int32_t id, const std::string& name, std::int32_t type) {
  if (type == type_code(ObjectType::Table) && !name.empty() && (static_cast<std::uint32_t>(id) & ~kObjectIdPageMask) == 0) {
    navigation_names_.emplace(static_cast<std::uint32_t>(id), name);
  }
}

bool CatalogEvidence::named_otherwise(std::uint32_t page, std::string_view name) const {
  if (const auto it = index_rows_.find(page); it != index_rows_.end()) return name_key(it->second.name) != name_key(name);
  const auto copies = old_rows_.find(page);
  return copies != old_rows_.end() && std::none_of(copies->second.begin(), copies->second.end(), [&](const Row& row) {
           return name_key(row.name) == name_key(name);
         });
}

// The name as another source writes it, where one writes it in full.
std::optional<std::string> CatalogEvidence::with_case(const std::string& capitals) const {
  const std::string key = name_key(capitals);
  if (const SystemShape* shape = system_shape_named(capitals)) return std::string(shape->name);
  for (const auto& [page, rows] : old_rows_) {
    for (const Row& row : rows) {
      if (name_key(row.name) == key) return row.name;
    }
  }
  for (const auto& [page, name] : navigation_names_) {
    if (name_key(name) == key) return name;
  }
  if (const auto it = related_names_.find(key); it != related_names_.end()) return it->second;
  if (const auto it = query_inputs_.find(key); it != query_inputs_.end()) return it->second;
  return std::nullopt;
}

std::optional<TableNaming> CatalogEvidence::from_index_or_copies(std::uint32_t page) const {
  const auto copies = old_rows_.find(page);
  TableNaming naming;
  if (const auto indexed = index_rows_.find(page); indexed != index_rows_.end()) {
    const Row& row = indexed->second;
    naming.code = SalvageCode::TableNameFromCatalogIndexes;
    naming.parent = row.parent;
    if (const auto cased = with_case(row.name)) {
      naming.name = *cased;
      naming.how = "the catalog's indexes, its case from a copy that keeps it";
    } else {
      naming.name = as_words(row.name);
      naming.how = "the catalog's indexes, which do not keep its case";
    }
    naming.flags = flags_for_name(naming.name);
    // An older copy of the same name keeps the flags the table had.
    if (copies != old_rows_.end()) {
      for (const Row& old : copies->second) {
        if (name_key(old.name) == name_key(naming.name) && old.flags) naming.flags = *old.flags;
      }
    }
    return naming;
  }
  if (copies == old_rows_.end()) {
    const auto listed = navigation_names_.find(page);
    if (listed == navigation_names_.end()) return std::nullopt;
    naming.code = SalvageCode::TableNameFromNavigationPane;
    naming.name = listed->second;
    naming.how = "MSysNavPaneObjectIDs, which lists it";
    naming.flags = flags_for_name(naming.name);
    return naming;
  }
  const Row& row = copies->second.front();
  naming.code = SalvageCode::TableNameFromOldCatalogRow;
  naming.name = row.name;
  naming.how = "an older copy of its catalog row";
  naming.parent = row.parent;
  naming.flags = row.flags.value_or(flags_for_name(row.name));
  return naming;
}

std::map<std::uint32_t, TableNaming> CatalogEvidence::name_tables(std::span<const Orphan> orphans,
                                                                  std::set<std::string> taken) const {
  std::map<std::uint32_t, TableNaming> named;
  const auto give = [&](std::uint32_t page, TableNaming naming) {
    if (naming.name.empty() || !taken.insert(name_key(naming.name)).second) return;
    named.emplace(page, std::move(naming));
  };
  // A name two tables claim goes to neither.
  std::map<std::string, std::size_t> claims;
  std::map<std::uint32_t, TableNaming> found;
  for (const Orphan& orphan : orphans) {
    if (auto naming = from_index_or_copies(orphan.page)) {
      ++claims[name_key(naming->name)];
      found.emplace(orphan.page, std::move(*naming));
    }
  }
  for (auto& [page, naming] : found) {
    if (claims[name_key(naming.name)] == 1) give(page, std::move(naming));
  }

  // Relationships: the one table whose columns hold every column named for
  // a table, and the one such name for that table.
  std::map<std::string, std::vector<std::uint32_t>> tables_for_name;
  std::map<std::uint32_t, std::vector<std::string>> names_for_table;
  for (const Orphan& orphan : orphans) {
    if (named.count(orphan.page)) continue;
    const std::set<std::string> columns = column_keys(*orphan.def);
    for (const auto& [key, wanted] : related_) {
      if (taken.count(key) || wanted.empty()) continue;
      if (std::includes(columns.begin(), columns.end(), wanted.begin(), wanted.end())) {
        tables_for_name[key].push_back(orphan.page);
        names_for_table[orphan.page].push_back(key);
      }
    }
  }
  for (const auto& [key, pages] : tables_for_name) {
    if (pages.size() != 1 || names_for_table[pages.front()].size() != 1) continue;
    TableNaming naming;
    naming.name = related_names_.at(key);
    naming.code = SalvageCode::TableNameFromRelationships;
    naming.how = "MSysRelationships, whose columns for it the table holds";
    naming.flags = flags_for_name(naming.name);
    give(pages.front(), std::move(naming));
  }
  return named;
}

namespace {


CatalogObject object(std::int32_t id, std::int32_t parent, const char* name, std::int16_t type, std::uint32_t flags) {
  CatalogObject made;
  made.id = id;
  made.parent_id = parent;
  made.name = name;
  made.type = type;
  made.flags = flags;
  return made;
}

// The rows the engine gives every database, with their fixed ids.
const CatalogObject kFixedObjects[] = {
    object(kTablesContainerId, kTopLevelParentId, "Tables", type_code(ObjectType::Container), object_flags::System),
    object(kDatabasesContainerId, kTopLevelParentId, "Databases", type_code(ObjectType::Container), object_flags::System),
    object(kRelationshipsContainerId, kTopLevelParentId, "Relationships", type_code(ObjectType::Container), object_flags::System),
    object(kDatabaseObjectId, kDatabasesContainerId, "MSysDb", type_code(ObjectType::DatabaseInfo), object_flags::System),
    object(static_cast<std::int32_t>(kCatalogPage), kTablesContainerId, kCatalogName, type_code(ObjectType::Table), object_flags::System),
};

bool is_fixed(std::int32_t id) {
  return std::any_of(std::begin(kFixedObjects), std::end(kFixedObjects),
                     [&](const CatalogObject& fixed) { return fixed.id == id; });
}

// Access's containers, as Access writes their names.
constexpr const char* kAccessContainers[] = {"Forms", "Reports", "Scripts", "Modules", "SysRel", "DataAccessPages"};

}  // namespace

bool misses_fixed_rows(const std::set<std::int32_t>& present) {
  return std::any_of(std::begin(kFixedObjects), std::end(kFixedObjects),
                     [&](const CatalogObject& fixed) { return !present.count(fixed.id); });
}

std::vector<RebuiltObject> CatalogEvidence::lost_containers(const std::set<std::int32_t>& present) const {
  std::vector<RebuiltObject> lost;
  for (const CatalogObject& fixed : kFixedObjects) {
    if (!present.count(fixed.id)) lost.push_back({fixed, "the rows every database has"});
  }
  for (const auto& [id, row] : index_objects_) {
    if (row.parent != kTopLevelParentId || present.count(id) || is_fixed(id)) continue;
    RebuiltObject container{object(id, kTopLevelParentId, "", type_code(ObjectType::Container), 0), "the catalog's indexes"};
    container.object.name = as_words(row.name);
    for (const char* known : kAccessContainers) {
      if (name_key(known) == name_key(row.name)) container.object.name = known;
    }
    lost.push_back(std::move(container));
  }
  return lost;
}

std::size_t CatalogEvidence::lost_other_objects(const std::set<std::int32_t>& present) const {
  return static_cast<std::size_t>(std::count_if(index_objects_.begin(), index_objects_.end(), [&](const auto& object) {
    return !present.count(object.first) && !is_fixed(object.first) && object.second.parent != kTopLevelParentId;
  }));
}

}  // namespace jet
