#include "jet/read/catalog.h"

#include <gtest/gtest.h>

#include <set>

#include "jet/format/catalog_definition.h"
#include "support/raw_pages.h"

namespace jet {
namespace {

// A catalog row holding the given values, in the column order of the
// catalog's definition; the other columns are null.
std::vector<Value> catalog_row(const TableDef& catalog, std::int32_t id, std::int32_t parent, std::string name,
                               std::int16_t type, std::uint32_t flags) {
  std::vector<Value> row;
  for (const ColumnDef& column : catalog.columns) {
    Value value = Value::null(column.type);
    if (column.name == "Id") value.data = id;
    if (column.name == "ParentId") value.data = parent;
    if (column.name == "Name") value.data = name;
    if (column.name == "Type") value.data = type;
    if (column.name == "Flags") value.data = static_cast<std::int32_t>(flags);
    row.push_back(value);
  }
  return row;
}

constexpr std::int32_t kTables = 0x0F000001;
constexpr std::int32_t kDatabases = 0x0F000002;

struct ObjectCase {
  const char* name;
  std::int32_t id;
  std::int32_t parent;
  std::int16_t type;
  std::uint32_t flags;
  bool system;
  bool listed_as_table;
  std::uint32_t table_page;
};

class CatalogObjects : public ::testing::TestWithParam<ObjectCase> {};

TEST_P(CatalogObjects, AreClassifiedByTypeFlagsAndName) {
  const ObjectCase& c = GetParam();
  const TableDef def = catalog_table_def(Version::Jet4, 1252, 0x0409);
  const CatalogObject container = catalog_object_from_row(def, catalog_row(def, kTables, kTopLevelParentId, "Tables", 3, 0x80000000));
  const CatalogObject object = catalog_object_from_row(def, catalog_row(def, c.id, c.parent, c.name, c.type, c.flags));
  EXPECT_EQ(object.name, c.name);
  EXPECT_EQ(object.is_system(), c.system) << c.name;
  const Catalog catalog({container, object});
  const auto all = catalog.tables(true);
  EXPECT_EQ(all.size() == 1, c.listed_as_table) << c.name;
  EXPECT_EQ(catalog.tables(false).size() == 1, c.listed_as_table && !c.system) << c.name;
  if (c.listed_as_table && object.is_local_table()) {
    EXPECT_EQ(object.table_page(), c.table_page);
    EXPECT_EQ(catalog.table_at_page(c.table_page), &catalog.objects()[1]);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CatalogObjects,
    ::testing::Values(ObjectCase{"Customers", 24, kTables, 1, 0, false, true, 24},
                      ObjectCase{"MSysObjects", 2, kTables, 1, 0x80000000, true, true, 2},
                      ObjectCase{"MSysAccessObjects", 16, kTables, 1, 0x00000002, true, true, 16},
                      ObjectCase{"msysmodules2", 40, kTables, 1, 0, true, true, 40},
                      ObjectCase{"Hidden but a user table", 41, kTables, 1, 0x00000008, false, true, 41},
                      ObjectCase{"Flagged id", 0x01000123, kTables, 1, 0, false, true, 0x123},
                      ObjectCase{"Linked", 77, kTables, 6, 0, false, true, 77},
                      ObjectCase{"Linked ODBC", 78, kTables, 4, 0, false, true, 78},
                      ObjectCase{"A query", 79, kTables, 5, 0, false, false, 0},
                      ObjectCase{"Table outside the Tables container", 80, kDatabases, 1, 0, false, false, 0},
                      ObjectCase{"SummaryInfo", static_cast<std::int32_t>(0x80000000), kDatabases, -32757, 0,
                                 false, false, 0}));

TEST(Catalog, FindsTablesAndContainersIgnoringCase) {
  const TableDef def = catalog_table_def(Version::Jet3, 1252, 0x0409);
  std::vector<CatalogObject> objects;
  for (const auto& [id, parent, name, type] :
       std::vector<std::tuple<std::int32_t, std::int32_t, std::string, std::int16_t>>{
           {kTables, kTopLevelParentId, "Tables", 3},
           {kDatabases, kTopLevelParentId, "Databases", 3},
           {2, kTables, "MSysObjects", 1},
           {30, kTables, "Orders", 1},
           {31, kDatabases, "orders", 1}}) {
    objects.push_back(catalog_object_from_row(def, catalog_row(def, id, parent, name, type, 0)));
  }
  const Catalog catalog(objects);
  ASSERT_NE(catalog.container("TABLES"), nullptr);
  EXPECT_EQ(catalog.container("TABLES")->id, kTables);
  EXPECT_EQ(catalog.container("Orders"), nullptr);
  ASSERT_NE(catalog.find_table("ORDERS"), nullptr);
  EXPECT_EQ(catalog.find_table("ORDERS")->id, 30);
  EXPECT_EQ(catalog.find_table("Nope"), nullptr);
  EXPECT_EQ(catalog.table_at_page(31), nullptr);
}

TEST(Catalog, RowsLackingAColumnOrOfTheWrongTypeAreNamed) {
  TableDef def = catalog_table_def(Version::Jet4, 1252, 0x0409);
  auto row = catalog_row(def, 5, kTables, "T", 1, 0);
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    if (def.columns[i].name == "Type") row[i].data = std::string("one");
  }
  try {
    catalog_object_from_row(def, row);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.where().field, "Type");
  }
  def.columns.erase(std::find_if(def.columns.begin(), def.columns.end(),
                                 [](const ColumnDef& c) { return c.name == "Name"; }));
  try {
    catalog_object_from_row(def, catalog_row(def, 5, kTables, "T", 1, 0));
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.where().field, "Name");
  }
}

TEST(Catalog, RemapChangesOnlyTheIdsTheMapKnows) {
  const TableDef def = catalog_table_def(Version::Jet4, 1252, 0x0409);
  auto table = catalog_row(def, 0x01000024, kTables, "T", 1, 0);
  auto container = catalog_row(def, kTables, kTopLevelParentId, "Tables", 3, 0);
  const ObjectIdMap map = [](std::int32_t id) -> std::optional<std::int32_t> {
    if ((id & 0xFFFFFF) == 0x24) return (id & ~0xFFFFFF) | 0x11;
    return std::nullopt;
  };
  remap_catalog_row(def, table, map);
  remap_catalog_row(def, container, map);
  EXPECT_EQ(catalog_object_from_row(def, table).id, 0x01000011);
  EXPECT_EQ(catalog_object_from_row(def, table).parent_id, kTables);
  EXPECT_EQ(catalog_object_from_row(def, container).id, kTables);
}

// ---------------------------------------------------------------------------
// The sample databases: the catalog's tables are the ones an independent
// reader lists, and each Id leads to that table's definition.

Catalog read_catalog(const testing::RawDatabase& db) {
  const TableDef def = read_table_def(db.version, 2, db.page_count(), db.source());
  std::vector<CatalogObject> objects;
  for (const auto& row : db.catalog_rows()) objects.push_back(catalog_object_from_row(def, row));
  return Catalog(std::move(objects));
}

TEST(CatalogCorpus, UserTablesAreTheListedOnesAndTheirIdsLeadToTheirDefinitions) {
  const auto databases = testing::corpus_databases();
  if (databases.empty()) GTEST_SKIP() << "sample databases not found at " << JET_CORPUS_DIR;
  // The user tables of each file, as the corpus README lists them.
  const std::map<std::string, std::set<std::string>> listed = {
      {"jet3/v1997-indexTest.mdb", {"Table1", "Table2", "Table3"}},
      {"jet3/v1997-test.mdb", {"Table1", "Table2", "Table3", "Table4"}},
      {"jet3/v1997-test2.mdb", {"MSP_PROJECTS"}},
      {"jet4/v2000-empty.mdb", {}},
      {"jet4/v2000-indexTest.mdb", {"Table1", "Table2", "Table3"}},
      {"jet4/v2000-numeric.mdb", {"test"}},
  };
  std::size_t checked = 0;
  for (const auto& db : databases) {
    SCOPED_TRACE(db.name);
    const Catalog catalog = read_catalog(db);
    EXPECT_NE(catalog.container("Tables"), nullptr);
    ASSERT_NE(catalog.find_table("MSysObjects"), nullptr);
    EXPECT_TRUE(catalog.find_table("MSysObjects")->is_system());
    EXPECT_EQ(catalog.find_table("MSysObjects")->table_page(), 2u);
    std::set<std::string> user;
    for (const CatalogObject* table : catalog.tables(false)) {
      user.insert(table->name);
      const TableDef def = read_table_def(db.version, table->table_page(), db.page_count(), db.source());
      EXPECT_EQ(def.type, TableType::User) << table->name;
    }
    for (const CatalogObject* table : catalog.tables(true)) {
      if (table->name == "MSysAccessObjects") {
        EXPECT_TRUE(table->is_system());
        const TableDef def = read_table_def(db.version, table->table_page(), db.page_count(), db.source());
        EXPECT_EQ(def.type, TableType::User) << "Access's own tables carry the user type byte";
      }
    }
    if (const auto it = listed.find(db.name); it != listed.end()) {
      EXPECT_EQ(user, it->second);
      ++checked;
    }
  }
  EXPECT_EQ(checked, listed.size());
}

}  // namespace
}  // namespace jet
