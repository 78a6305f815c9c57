// Making a damaged table definition one that can be written soundly.
//
// Salvage reads a table's rows by the definition it found, and the database
// writer lays them out again by the definition salvage gives it. A damaged
// definition can contradict itself in ways that break either:
//   - columns whose places in the row overlap (fixed columns sharing bytes,
//     variable-length ones sharing a slot of the offset table) read each
//     other's bytes: whichever of them the damage moved, nothing decoded
//     from those bytes can be told right from wrong. Every column of such an
//     overlap is kept (number, name, type and flags as they are) but its
//     values are not read: rows give it null. It moves to a free place after
//     the other columns, so that the written definition has no overlap;
//   - an index keyed on a column the table lacks has no keys to build from,
//     and one keyed on a column without values cannot keep a promise of a
//     unique or present key: both are dropped. Dropping an index loses no
//     row; refusing the definition for it would lose them all.
// Every change is recorded in the log.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/format/table_def.h"
#include "jet/salvage/salvage_log.h"

namespace jet {

// Finds the columns whose stored values cannot be told apart from another
// column's, moves them to free places and returns their numbers
// (ascending): the columns whose stored values are not to be read. These
// are fixed columns whose bytes overlap another's, and variable-length
// columns that share a slot of the row's offset table or have one no row
// can hold. A fixed column for which no place is left within half of what
// one row can hold, and a column numbered past what a row can hold, are
// removed from the definition.
std::vector<std::uint16_t> repair_column_layout(TableDef& def, const std::string& table, SalvageLog& log);

// A Jet 3 text column names the code page of its text; one that no
// converter knows is taken for damage: the column's code page is cleared, so
// that its text is read (and written again) in the database's, and the log
// says so. repair_column_layout does this first.
void reset_unknown_code_pages(TableDef& def, const std::string& table, SalvageLog& log);

// Every row the writer stores counts the table's highest column number ever
// used (deleted columns included). Damage to that count would make each row
// carry a null bitmap for thousands of columns, or more than a Jet 3 row can
// count: past the 255 columns Access allows, the definition to be written
// counts what its columns need. (Rows are proved against the count as
// stored, which they may reach.)
void fit_column_count(TableDef& def);

// Drops the real indexes keyed on a column the table lacks, and those keyed
// on an untrusted column (ascending numbers) that require a unique, present
// or primary key; then the logical indexes over a real index the table
// lacks or that went. The real indexes that stay are renumbered by position.
void drop_broken_indexes(TableDef& def, const std::string& table, SalvageLog& log,
                         const std::vector<std::uint16_t>& untrusted_columns = {});

}  // namespace jet
