#include "support/database_content.h"

#include "jet/read/database.h"

namespace jet::testing {

DatabaseContent database_content(const std::string& path) {
  const auto db = Database::open(path);
  std::map<std::int32_t, std::string> names;
  for (const CatalogObject& object : db->catalog().objects()) names[object.id] = object.name;
  DatabaseContent out;
  for (const CatalogObject& object : db->tables(true)) {
    const Table table = db->table(object);
    const auto& columns = table.columns();
    auto& rows = out[object.name];
    table.scan([&](RowPointer, std::vector<Value>& values) {
      std::string line;
      for (std::size_t i = 0; i < values.size(); ++i) {
        const bool id = (object.name == "MSysObjects" && columns[i].name == "Id") ||
                        (object.name == "MSysACEs" && columns[i].name == "ObjectId") ||
                        (object.name == "MSysNavPaneGroupToObjects" && columns[i].name == "ObjectID") ||
                        (object.name == "MSysNavPaneObjectIDs" && columns[i].name == "Id");
        const auto* value = std::get_if<std::int32_t>(&values[i].data);
        line += id && value && names.count(*value) ? "=" + names[*value] : canonical_text(values[i]);
        line += "\x1f";
      }
      rows.insert(line);
    });
  }
  return out;
}

}  // namespace jet::testing
