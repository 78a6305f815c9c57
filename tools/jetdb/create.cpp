// jetdb create OUT --format jet3|jet4: a new empty database holding only the
// system catalog the database engine creates. OUT must not exist.
#include <iostream>

#include "command.h"
#include "format_option.h"
#include "jet/base/atomic_replace.h"
#include "jet/write/new_database.h"

namespace {

jetdb::Runner setup_create(CLI::App& app) {
  auto path = std::make_shared<std::string>();
  app.add_option("out", *path, "The new database (must not exist)")->required();
  auto format = jetdb::add_format_option(app);
  return [path, format] {
    jet::Header header;
    header.version = format();
    jet::create_atomically(*path, [&](jet::File& out) { jet::create_database(out, header); });
    std::cout << "created " << *path << " (" << jet::to_string(header.version) << ")\n";
    return jetdb::kExitOk;
  };
}

JETDB_COMMAND(create, "Create a new empty database", setup_create);

}  // namespace
