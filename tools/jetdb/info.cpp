// jetdb info FILE: the header's facts and each table with its row count.
#include <iostream>

#include "command.h"
#include "jet/read/database.h"

namespace {

jetdb::Runner setup_info(CLI::App& app) {
  auto path = std::make_shared<std::string>();
  app.add_option("file", *path, "The database")->required();
  return [path] {
    auto db = jet::Database::open(*path);
    const jet::Header& h = db->header();
    std::cout << "format: " << (h.version == jet::Version::Jet3 ? "Jet 3 (Access 97)" : "Jet 4 (Access 2000-2003)")
              << "\n"
              << "page size: " << db->pager().page_size() << "\n"
              << "page count: " << db->page_count() << "\n";
    if (db->pager().trailing_bytes() != 0) {
      std::cout << "partial last page: " << db->pager().trailing_bytes() << " bytes\n";
    }
    std::cout << "code page: " << h.code_page << "\n"
              << "sort order: " << h.sort_order << "\n"
              << "encryption: " << (h.encrypted() ? "RC4" : "none") << "\n"
              << "password: " << (h.password.empty() ? "not set" : "set") << "\n"
              << "tables:\n";
    for (const auto& entry : db->tables(true)) {
      jet::TableDef def = db->read_table_def(entry.table_page());
      std::cout << "  " << entry.name << (entry.is_system() ? " (system)" : "") << ": "
                << def.row_count << " rows\n";
    }
    return jetdb::kExitOk;
  };
}

JETDB_COMMAND(info, "Show the format, header facts and tables of a database", setup_info);

}  // namespace
