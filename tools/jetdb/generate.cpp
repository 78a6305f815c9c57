// jetdb generate OUT --format jet3|jet4 --rows N --seed S: a deterministic
// synthetic database (tables Customers, Orders and Events of N rows each)
// for tests and benchmarks. OUT must not exist.
#include <iostream>

#include "command.h"
#include "format_option.h"
#include "jet/base/atomic_replace.h"
#include "jet/write/generate.h"

namespace {

jetdb::Runner setup_generate(CLI::App& app) {
  auto path = std::make_shared<std::string>();
  auto options = std::make_shared<jet::GenerateOptions>();
  app.add_option("out", *path, "The new database (must not exist)")->required();
  auto format = jetdb::add_format_option(app);
  app.add_option("--rows", options->rows, "Rows in each table")->required()->check(CLI::Range(0, 0x7FFFFFFF));
  app.add_option("--seed", options->seed, "Seed of the values")->required();
  return [path, options, format] {
    options->version = format();
    jet::create_atomically(*path, [&](jet::File& out) { jet::generate_database(out, *options); });
    std::cout << "generated " << *path << " (" << jet::to_string(options->version) << ", " << options->rows
              << " rows a table)\n";
    return jetdb::kExitOk;
  };
}

JETDB_COMMAND(generate, "Write a deterministic synthetic database", setup_generate);

}  // namespace
