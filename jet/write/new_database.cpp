#include "jet/write/new_database.h"

#include <algorithm>
#include <set>

#include "jet/base/ascii.h"
#include "jet/base/error.h"
#include "jet/format/catalog_definition.h"
#include "jet/format/system_tables.h"
#include "jet/read/catalog.h"

namespace jet {

namespace {

constexpr std::int32_t kSystemObjectFlags = static_cast<std::int32_t>(0x80000000u);
constexpr std::int16_t kTableType = 1;
constexpr std::int16_t kDatabaseType = 2;
constexpr std::int16_t kContainerType = 3;

// Jet 3's built-in security ids, as Access 97 stores them.
const std::vector<std::uint8_t> kEngineSid = {0x02, 0x03};
const std::vector<std::uint8_t> kAdminSid = {0x03, 0x01};
const std::vector<std::uint8_t> kUsersSid = {0x02, 0x01};
const std::vector<std::uint8_t> kGuestsSid = {0x02, 0x04};

struct AccessEntry {
  const std::vector<std::uint8_t>* sid;
  std::int32_t rights;
  bool inheritable;
};

// A row of a table by column name, starting with every column null.
class RowValues {
 public:
  explicit RowValues(const TableWriter& table) : columns_(table.columns()) {
    for (const ColumnDef& column : columns_) values_.push_back(Value::null(column.type));
  }
  RowValues& set(std::string_view name, Value::Data data) {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      if (columns_[i].name == name) {
        values_[i] = Value{columns_[i].type, std::move(data)};
        return *this;
      }
    }
    throw Error(ErrorCode::InvalidArgument, "no column " + std::string(name));
  }
  const std::vector<Value>& values() const { return values_; }

 private:
  const std::vector<ColumnDef>& columns_;
  std::vector<Value> values_;
};

}  // namespace

struct NewDatabase::State {
  State(File& file, Header h, WriterOptions options) : header(std::move(h)), writer(file, header, options) {}

  Header header;
  DatabaseWriter writer;
  TableWriter* catalog = nullptr;
  TableWriter* access_entries = nullptr;
  std::set<std::string> names;
  double now = 0;

  void add_object(std::int32_t id, std::int32_t parent, const std::string& name, std::int16_t type,
                  std::int32_t flags, const std::vector<std::uint8_t>& owner) {
    RowValues row(*catalog);
    row.set("Id", id).set("ParentId", parent).set("Name", name).set("Type", type);
    row.set("DateCreate", DateTime{now}).set("DateUpdate", DateTime{now}).set("Flags", flags);
    if (!is_jet4(header.version)) row.set("Owner", owner);
    catalog->add_row(row.values());
    names.insert(name_key(name));
  }

  void add_access_entries(std::int32_t object, std::initializer_list<AccessEntry> entries) {
    if (is_jet4(header.version)) return;  // see new_database.h
    for (const AccessEntry& entry : entries) {
      RowValues row(*access_entries);
      row.set("ObjectId", object).set("SID", *entry.sid).set("ACM", entry.rights);
      row.set("FInheritable", entry.inheritable);
      access_entries->add_row(row.values());
    }
  }
};

NewDatabase::NewDatabase(File& file, Header header, WriterOptions options) {
  if (header.creation_date == 0) header.creation_date = current_date_time();
  state_ = std::make_unique<State>(file, header, options);
  State& s = *state_;
  s.now = header.creation_date;
  const Version v = header.version;
  DatabaseWriter& w = s.writer;

  TableDef catalog_def = catalog_table_def(v, header.code_page, header.sort_order);
  s.catalog = &w.begin_table(catalog_def, kCatalogPage);
  s.access_entries = &w.begin_table(access_entries_table_def(v, header.code_page, header.sort_order));
  TableWriter& queries = w.begin_table(queries_table_def(v, header.code_page, header.sort_order));
  TableWriter& relationships = w.begin_table(relationships_table_def(v, header.code_page, header.sort_order));
  const auto id_of = [](const TableWriter& t) { return static_cast<std::int32_t>(t.page()); };

  s.add_object(kTablesContainerId, kTopLevelParentId, "Tables", kContainerType, kSystemObjectFlags, kEngineSid);
  s.add_object(kDatabasesContainerId, kTopLevelParentId, "Databases", kContainerType, kSystemObjectFlags, kEngineSid);
  s.add_object(kRelationshipsContainerId, kTopLevelParentId, "Relationships", kContainerType, kSystemObjectFlags,
               kEngineSid);
  s.add_object(kDatabaseObjectId, kDatabasesContainerId, "MSysDb", kDatabaseType, kSystemObjectFlags, kAdminSid);
  for (const TableWriter* table : {s.catalog, s.access_entries, &queries, &relationships}) {
    const char* name = table == s.catalog          ? "MSysObjects"
                       : table == s.access_entries ? "MSysACEs"
                       : table == &queries         ? "MSysQueries"
                                                   : "MSysRelationships";
    s.add_object(id_of(*table), kTablesContainerId, name, kTableType, kSystemObjectFlags, kEngineSid);
  }

  // The entries Access 97 gives the engine's objects.
  s.add_access_entries(id_of(*s.catalog), {{&kAdminSid, 393216, false}, {&kUsersSid, 20, false}});
  s.add_access_entries(id_of(*s.access_entries), {{&kAdminSid, 393216, false}});
  s.add_access_entries(id_of(queries), {{&kAdminSid, 393216, false}, {&kUsersSid, 20, false}});
  s.add_access_entries(id_of(relationships), {{&kAdminSid, 917504, false}, {&kUsersSid, 20, false}});
  s.add_access_entries(kTablesContainerId,
                       {{&kGuestsSid, 983294, true}, {&kAdminSid, 1048319, true}, {&kUsersSid, 1048319, true}});
  s.add_access_entries(kRelationshipsContainerId,
                       {{&kGuestsSid, 983294, true}, {&kAdminSid, 393217, false}, {&kUsersSid, 1048575, true}});
  s.add_access_entries(kDatabasesContainerId, {{&kAdminSid, 393216, false}});
  s.add_access_entries(kDatabaseObjectId, {{&kAdminSid, 393230, false}, {&kUsersSid, 14, false}});

  w.finish_table(queries);
  w.finish_table(relationships);
}

NewDatabase::~NewDatabase() = default;

DatabaseWriter& NewDatabase::writer() { return state_->writer; }

TableWriter& NewDatabase::begin_table(const std::string& name, TableDef def) {
  State& s = *state_;
  if (name.empty()) throw Error(ErrorCode::InvalidArgument, "a table needs a name");
  if (s.names.count(name_key(name)) != 0) {
    throw Error(ErrorCode::AlreadyExists, "the database already has an object named " + name);
  }
  TableWriter& table = s.writer.begin_table(std::move(def), 0, name);
  const auto id = static_cast<std::int32_t>(table.page());
  s.add_object(id, kTablesContainerId, name, kTableType, 0, kAdminSid);
  s.add_access_entries(id, {{&kAdminSid, 1048319, false}, {&kUsersSid, 1048319, false}});
  return table;
}

TableDef NewDatabase::finish_table(TableWriter& table) { return state_->writer.finish_table(table); }

void NewDatabase::finish() {
  State& s = *state_;
  s.writer.finish_table(*s.access_entries);
  s.writer.finish_table(*s.catalog);
  s.writer.finish();
}

void create_database(File& file, Header header) {
  NewDatabase db(file, std::move(header));
  db.finish();
}

}  // namespace jet
