// How the decoders of structures that span pages (table definitions, long
// values, index trees) reach the pages: by number, through whatever holds
// them (the pager of an open database, salvage's page list, a test's bytes).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace jet {

// Supplies the bytes of one page (already decrypted). Raises on a page that
// does not exist.
using PageSource = std::function<std::vector<std::uint8_t>(std::uint32_t page)>;

}  // namespace jet
