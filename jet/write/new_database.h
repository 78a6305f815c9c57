// A new database: the system catalog the database engine itself creates,
// and user tables added to it.
//
// The catalog (MSysObjects) gets the engine's eight rows: the containers
// Tables, Databases and Relationships, the MSysDb object, and the system
// tables MSysObjects, MSysACEs, MSysQueries and MSysRelationships (the last
// three as empty tables of their real shapes, jet/format/system_tables.h). Each
// user table adds its catalog row (Id = its definition page, ParentId = the
// Tables container, Type 1) and its access control entries.
//
// Jet 3 stores the built-in security ids (SIDs) of the owner and of the
// access entries plainly and they are written as Access 97 writes them. Jet 4
// stores them masked with a per-file value no public source explains, so a
// new Jet 4 database leaves Owner empty and has no access entries, which the
// engine reads as "no explicit permissions" rather than as wrong ones.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "jet/base/date_time_now.h"
#include "jet/write/database_writer.h"

namespace jet {

// Object ids of the engine's containers and of the MSysDb object.
constexpr std::int32_t kTablesContainerId = 0x0F000001;
constexpr std::int32_t kDatabasesContainerId = 0x0F000002;
constexpr std::int32_t kRelationshipsContainerId = 0x0F000003;
constexpr std::int32_t kDatabaseObjectId = 0x10000000;

class NewDatabase {
 public:
  // Starts writing a new database to file; header.creation_date 0 means now.
  NewDatabase(File& file, Header header, WriterOptions options = {});
  ~NewDatabase();
  NewDatabase(const NewDatabase&) = delete;
  NewDatabase& operator=(const NewDatabase&) = delete;

  DatabaseWriter& writer();

  // Starts a user table named `name` with the given columns and indexes
  // (see DatabaseWriter::begin_table); its catalog row and access entries
  // are added at once. Raises AlreadyExists for a name already used (ASCII
  // case-insensitive, as Jet compares) and InvalidArgument for an empty one.
  TableWriter& begin_table(const std::string& name, TableDef def);
  TableDef finish_table(TableWriter& table);

  // Finishes the system tables and the database.
  void finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Writes a new empty database with only the engine's system catalog.
void create_database(File& file, Header header);

}  // namespace jet
