#include "jet/verify.h"

#include <algorithm>
#include <vector>

#include "jet/header.h"
#include "jet/verify_context.h"

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

// The catalog, MSysObjects, is the table defined on page 2; each of its rows
// of type 1 is a local table whose Id (the low 24 bits) is its definition
// page.
constexpr std::uint32_t kCatalogPage = 2;
constexpr std::int16_t kLocalTableObject = 1;
constexpr std::uint32_t kObjectIdPageMask = 0x00FFFFFF;

struct CatalogTable {
  std::string name;
  std::uint32_t definition_page;
};

// Collects the local tables from the catalog's rows.
RowVisitor catalog_collector(std::vector<CatalogTable>& out) {
  return [&out](const TableDef& def, const std::vector<Value>& values) {
    const Value* id = nullptr;
    const Value* name = nullptr;
    const Value* type = nullptr;
    for (std::size_t i = 0; i < def.columns.size() && i < values.size(); ++i) {
      const std::string& column = def.columns[i].name;
      if (column == "Id") id = &values[i];
      if (column == "Name") name = &values[i];
      if (column == "Type") type = &values[i];
    }
    if (!id || !name || !type) return;
    auto* type_value = std::get_if<std::int16_t>(&type->data);
    auto* id_value = std::get_if<std::int32_t>(&id->data);
    auto* name_value = std::get_if<std::string>(&name->data);
    if (!type_value || !id_value || !name_value || *type_value != kLocalTableObject) return;
    out.push_back({*name_value, static_cast<std::uint32_t>(*id_value) & kObjectIdPageMask});
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

}  // namespace

FindingList verify(const File& file, const VerifyOptions& options) {
  FindingList findings(options.max_findings);
  std::vector<std::uint8_t> page0 = read_page0(file);
  VerifyContext context(file, header_of(page0, findings), findings);

  guarded(findings, [&] { check_header(context, page0); });

  // The catalog first: its rows name the other tables.
  std::vector<CatalogTable> listed;
  VerifiedTable& catalog = context.tables().emplace_back();
  catalog.name = "MSysObjects";
  catalog.definition_page = kCatalogPage;
  guarded(findings, [&] { check_table_definition(context, catalog); });
  guarded(findings, [&] { check_table_rows(context, catalog, catalog_collector(listed)); });
  guarded(findings, [&] { check_table_indexes(context, catalog); });

  for (const CatalogTable& entry : listed) {
    if (entry.definition_page == kCatalogPage) continue;  // the catalog lists itself
    if (context.table_at(entry.definition_page)) {
      context.add(Severity::Error, kCatalogPage, "catalog", "table " + entry.name,
                  "shares its definition page " + std::to_string(entry.definition_page) +
                      " with another table");
      continue;
    }
    VerifiedTable& table = context.tables().emplace_back();
    table.name = entry.name;
    table.definition_page = entry.definition_page;
    guarded(findings, [&] { check_table_definition(context, table); });
    guarded(findings, [&] { check_table_rows(context, table); });
    guarded(findings, [&] { check_table_indexes(context, table); });
  }
  guarded(findings, [&] { check_page_usage(context); });
  return findings;
}

FindingList verify(const std::string& path, const VerifyOptions& options) {
  auto file = PosixFile::open(path, PosixFile::Mode::ReadOnly);
  return verify(*file, options);
}

}  // namespace jet
