// Where a writer's parts get page numbers and put finished pages.
//
// The database writer implements it: numbers come in increasing order, and
// each page is written once, complete (encrypted on the way out when the
// database has a key).
#pragma once

#include <cstdint>

#include "jet/bytes.h"

namespace jet {

class PageStore {
 public:
  virtual ~PageStore() = default;
  virtual std::uint32_t allocate_page() = 0;
  virtual void write_page(std::uint32_t number, Bytes page) = 0;
};

}  // namespace jet
