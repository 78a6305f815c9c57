#include "jet/verify/verify.h"

#include <algorithm>
#include <vector>

#include "jet/format/catalog_definition.h"
#include "jet/format/header.h"
#include "jet/read/catalog.h"
#include "jet/verify/verify_context.h"

namespace jet {

namespace {

// Page 0 as far as the file holds it (at most one page of the version the
// first bytes claim).
std::vector<std::uint8_t> read_page0(const File& file) {
  std::vector<std::uint8_t> start(std::min<std::uint64_t>(file.size(), kHeaderBytes));
  file.read_at(0, start);
  Version version = detect_version(start);  // UnrecognisedFormat for anything else
  std::uint64_t size = page_size(version);
  if (file.size() < 3 * size) {
    throw Error(ErrorCode::UnrecognisedFormat,
                "the file is too short to be a Jet database (" + std::to_string(file.size()) +
                    " bytes, less than three pages)");
  }
  std::vector<std::uint8_t> page0(size);
  file.read_at(0, page0);
  return page0;
}

// The header, or (with a finding) the defaults of the file's version when a
// field does not decode: the rest of the file may still be readable.
Header header_of(Bytes page0, FindingList& findings) {
  try {
    return decode_header(page0);
  } catch (const Error& error) {
    if (error.code() != ErrorCode::Corrupt) throw;
    findings.add_error(error);
    Header fallback;
    fallback.version = detect_version(page0);
    return fallback;
  }
}

// Collects the catalog's objects from its rows. A row that does not say
// what it is is noted once: the catalog's definition lacks a column every
// row needs, so each row would say the same.
RowVisitor catalog_collector(std::vector<CatalogObject>& out, FindingList& findings) {
  return [&out, &findings, noted = false](const TableDef& def, const std::vector<Value>& values) mutable {
    try {
      out.push_back(catalog_object_from_row(def, values));
    } catch (const Error& error) {
      if (!is_damage(error)) throw;
      if (!noted) findings.add_error(error);
      noted = true;
    }
  };
}

// Runs one check family; a decode error that escapes it becomes a finding,
// and the walk goes on with the next family.
template <typename Check>
void guarded(FindingList& findings, Check&& check) {
  try {
    check();
  } catch (const Error& error) {
    if (!is_damage(error)) throw;
    findings.add_error(error);
  }
}

// While it lives, findings concern the table defined on `page`.
class CurrentTable {
 public:
  CurrentTable(FindingList& findings, std::uint32_t page) : findings_(findings) {
    findings_.set_current_table(page);
  }
  ~CurrentTable() { findings_.set_current_table(std::nullopt); }
  CurrentTable(const CurrentTable&) = delete;
  CurrentTable& operator=(const CurrentTable&) = delete;

 private:
  FindingList& findings_;
};

// The check families of one table: its definition, rows and indexes.
void check_table(VerifyContext& context, VerifiedTable& table, const RowVisitor& visitor = nullptr) {
  FindingList& findings = context.findings();
  CurrentTable current(findings, table.definition_page);
  guarded(findings, [&] { check_table_definition(context, table); });
  guarded(findings, [&] { check_table_rows(context, table, visitor); });
  guarded(findings, [&] { check_table_indexes(context, table); });
}

}  // namespace

FindingList verify(const File& file, const VerifyOptions& options) {
  FindingList findings(options.max_findings);
  std::vector<std::uint8_t> page0 = read_page0(file);
  VerifyContext context(file, header_of(page0, findings), findings);

  guarded(findings, [&] { check_header(context, page0); });

  // The catalog first: its rows name the other tables.
  std::vector<CatalogObject> listed;
  VerifiedTable& catalog = *context.add_table("MSysObjects", kCatalogPage);
  catalog.system = true;
  check_table(context, catalog, catalog_collector(listed, findings));

  for (const CatalogObject& entry : listed) {
    if (!entry.is_local_table() || entry.table_page() == kCatalogPage) continue;
    VerifiedTable* table = context.add_table(entry.name, entry.table_page());
    if (!table) {
      context.add(Severity::Error, kCatalogPage, "catalog", "table " + entry.name,
                  "shares its definition page " + std::to_string(entry.table_page()) +
                      " with another table");
      continue;
    }
    table->system = entry.is_system();
    check_table(context, *table);
  }
  guarded(findings, [&] { check_page_usage(context); });
  return findings;
}

FindingList verify(const std::string& path, const VerifyOptions& options) {
  auto file = PosixFile::open(path, PosixFile::Mode::ReadOnly);
  return verify(*file, options);
}

}  // namespace jet
