// A database's whole content in a form two copies of it can be compared in:
// every table's rows (system tables included) as canonical text, with the
// ids a rewrite may change (catalog Id, MSysACEs ObjectId) replaced by the
// name of the object they name.
#pragma once

#include <map>
#include <set>
#include <string>

namespace jet::testing {

using DatabaseContent = std::map<std::string, std::multiset<std::string>>;

DatabaseContent database_content(const std::string& path);

}  // namespace jet::testing
