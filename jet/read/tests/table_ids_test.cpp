#include "jet/read/table_ids.h"

#include <gtest/gtest.h>

namespace jet {
namespace {

// Only the whole id of a moved table is remapped: containers and other
// objects whose low 24 bits equal a moved table's page keep their ids.
TEST(TableIdMap, RemapsOnlyTheWholeIdOfAMovedTable) {
  TableIdMap map;
  map.add(0x00000005, 0x10);
  map.add(static_cast<std::int32_t>(0x80000007u), 0x11);  // a table id under a flag bit
  struct Case {
    std::uint32_t old_id;
    std::optional<std::uint32_t> new_id;
  } cases[] = {
      {0x00000005, 0x00000010},  {0x0F000005, std::nullopt}, {0x80000005, std::nullopt},
      {0x80000007, 0x80000011u}, {0x00000007, std::nullopt}, {0x00000006, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.old_id);
    const std::optional<std::int32_t> got = map.id(static_cast<std::int32_t>(c.old_id));
    ASSERT_EQ(got.has_value(), c.new_id.has_value());
    if (got) {
      EXPECT_EQ(static_cast<std::uint32_t>(*got), *c.new_id);
    }
  }
  EXPECT_EQ(map.page(5), 0x10u);
  EXPECT_EQ(map.page(7), 0x11u);
  EXPECT_EQ(map.page(6), std::nullopt);
}

}  // namespace
}  // namespace jet
