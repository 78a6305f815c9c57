// jetdb dump FILE [TABLE...] [--system]: every row of the named tables (all
// user tables when none is named; --system adds the system tables) as one
// JSON object a line, keys the column names in column order.
#include <iostream>

#include "command.h"
#include "jet/read/database.h"
#include "json_value.h"

namespace {

struct DumpOptions {
  std::string path;
  std::vector<std::string> tables;
  bool system = false;
};

void dump_table(const jet::Table& table, std::ostream& out) {
  std::vector<std::string> names = table.column_names();
  std::string line;
  table.scan([&](jet::RowPointer, std::vector<jet::Value>& values) {
    nlohmann::ordered_json row = nlohmann::ordered_json::object();
    for (std::size_t i = 0; i < values.size(); ++i) row[names[i]] = jetdb::to_json(values[i]);
    line = row.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    line += '\n';
    out << line;
  });
}

jetdb::Runner setup_dump(CLI::App& app) {
  auto options = std::make_shared<DumpOptions>();
  app.add_option("file", options->path, "The database")->required();
  app.add_option("tables", options->tables, "Tables to dump (all user tables when none is named)");
  app.add_flag("--system", options->system, "Add the system tables");
  return [options] {
    auto db = jet::Database::open(options->path);
    std::ios::sync_with_stdio(false);
    if (options->tables.empty()) {
      for (const auto& entry : db->tables(options->system)) dump_table(db->table(entry), std::cout);
    } else {
      // Resolve every name first: a misspelt name fails before any output.
      std::vector<jet::Table> tables;
      for (const auto& name : options->tables) tables.push_back(db->table(name));
      for (const auto& table : tables) dump_table(table, std::cout);
    }
    std::cout.flush();
    return jetdb::kExitOk;
  };
}

JETDB_COMMAND(dump, "Print rows as JSON lines", setup_dump);

}  // namespace
