// The record of what a salvage dropped or changed.
//
// Every loss is written to the MSysCompactError table of the output and
// returned to the caller, so a user can tell exactly which rows and objects
// did not survive. A badly damaged file can lose millions of rows; the log
// keeps the first entries of each kind per table and then one summary entry
// with the count of the rest, so that neither memory nor the error table
// grows without bound.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "jet/format/compact_error_table.h"

namespace jet {

// The kinds of loss, as stored in ErrorCode. The numbers are part of the
// output format: never renumber them.
enum class SalvageCode : std::int32_t {
  HeaderRebuilt = 1001,          // header unreadable; format recovered from the pages
  CatalogDefinitionRebuilt = 1002,
  CatalogRowDropped = 1003,      // an MSysObjects row that does not decode
  TableNameRecovered = 1004,     // a table found by its definition, not its catalog row
  TableDefinitionLost = 1005,    // a catalogued table whose definition does not decode
  RowDropped = 1006,             // a row that does not decode against its definition
  RowOffsetsRebuilt = 1007,      // a data page whose row-offset table was rebuilt
  PageDropped = 1008,            // a page that could not be read at all
  LongValueCut = 1009,           // a Memo or OLE value kept only as far as its chain is sound
  UsageMapRebuilt = 1010,        // a table's page ownership taken from its pages
  IndexRebuilt = 1011,           // an index whose entries disagreed with the rows
  TruncatedFile = 1012,          // a partial last page, or references past the end
  InterruptedWriteCleared = 1013,
  IndexLeftEmpty = 1014,         // no longer written: such an index is now dropped (IndexDropped)
  PropertiesDropped = 1015,      // an object's property blob that no longer decodes
  ColumnValuesDropped = 1016,    // a column whose stored bytes overlap another's: its values are not read
  TextCharactersReplaced = 1017, // a row kept with '?' for characters its text cannot hold
  ColumnCodePageReset = 1018,    // a Jet 3 column's code page no converter knows: the database's is used
  IndexDropped = 1019,           // an index whose keys cannot be encoded, dropped with its definition
  // A table whose catalog row is lost, named by (one code per source):
  TableNameFromCatalogIndexes = 1020,  // the catalog's (ParentId, Name) and Id indexes
  TableNameFromOldCatalogRow = 1021,   // an older copy of its catalog row
  TableNameFromRelationships = 1022,   // MSysRelationships' columns for it
  SystemTableRecognised = 1023,        // its columns, those of a system table
  TableNameFromNavigationPane = 1025,  // MSysNavPaneObjectIDs' entry for it
  CatalogRowRebuilt = 1024,      // a container's, MSysDb's or the catalog's own row, lost and rebuilt
  SummaryOfMore = 1099,          // "... and N more" after the per-kind limit
};

class SalvageLog {
 public:
  // Entries kept per kind and table before they are summarised.
  static constexpr std::size_t kDefaultLimit = 1000;

  explicit SalvageLog(std::size_t limit_per_kind = kDefaultLimit) : limit_(limit_per_kind) {}

  // record_id is the record's address in the damaged file (page * 256 + row)
  // where a row is concerned, 0 otherwise.
  void record(SalvageCode code, const std::string& table, const std::string& description,
              std::int32_t record_id = 0);

  // Every loss recorded, with the summaries appended.
  std::vector<CompactErrorEntry> entries() const;
  // How many losses of a kind were recorded, summarised ones included.
  std::size_t count(SalvageCode code) const;
  bool empty() const { return kept_.empty(); }

 private:
  std::size_t limit_;
  std::vector<CompactErrorEntry> kept_;
  std::map<std::pair<std::int32_t, std::string>, std::size_t> per_kind_;
};

// Packs a row address as the ErrorRecid column holds it.
constexpr std::int32_t record_id(std::uint32_t page, std::uint8_t row) {
  return static_cast<std::int32_t>((page & 0x7FFFFF) * 256 + row);
}

}  // namespace jet
