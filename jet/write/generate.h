// A deterministic synthetic database for tests and benchmarks on a machine
// without sample databases: several tables covering every column type, long
// values of every size class (inline, one row, chains over many pages), and
// unique, multi-column, descending and text indexes.
//
// The same format, row count and seed always give the same bytes: values
// come from a 64-bit Mersenne Twister used through its raw output only (the
// standard fixes its sequence, unlike its distributions), and the creation
// date is fixed. Memory stays flat however many rows are asked for.
#pragma once

#include <cstdint>

#include "jet/base/file.h"
#include "jet/format/format.h"
#include "jet/write/database_writer.h"

namespace jet {

struct GenerateOptions {
  Version version = Version::Jet4;
  std::uint64_t rows = 1000;  // rows of each table
  std::uint64_t seed = 1;
  WriterOptions writer;
  std::uint32_t database_key = 0;  // not zero: pages after the header are encrypted
};


// Writes the database to file (which it empties first).
void generate_database(File& file, const GenerateOptions& options);

}  // namespace jet
