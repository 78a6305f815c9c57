// ParsePath in both path styles.
#include "fileutil/parse_path.h"

#include <gtest/gtest.h>

namespace dbrepair {
namespace {

struct PathRow {
  std::string path;
  std::string dir;
  std::string nameonly;
  std::string name;
};

void ExpectParts(const PathRow& row, PathStyle style) {
  SCOPED_TRACE("path '" + row.path + "'");
  EXPECT_EQ(ParsePath(row.path, "dir", style), row.dir);
  EXPECT_EQ(ParsePath(row.path, "nameonly", style), row.nameonly);
  EXPECT_EQ(ParsePath(row.path, "name", style), row.name);
}

TEST(ParsePathTest, WindowsStyle) {
  const PathRow rows[] = {
      {"C:\\Data\\shop.mdb", "C:\\Data\\", "shop", "shop.mdb"},
      {"C:\\Data\\shop.2009.mdb", "C:\\Data\\", "shop", "shop.2009.mdb"},
      {"C:\\My.Files\\shop", "C:\\My.Files\\", "shop", "shop"},
      {"C:shop.mdb", "C:", "shop", "shop.mdb"},
      {"shop.mdb", "", "shop", "shop.mdb"},
      {"C:\\Data\\", "C:\\Data\\", "", ""},
      {"C:\\Data\\.mdb", "C:\\Data\\", "", ".mdb"},
      {"", "", "", ""},
      {"C:/Data/shop.mdb", "C:/Data/", "shop", "shop.mdb"},
  };
  for (const auto& row : rows) ExpectParts(row, PathStyle::Windows);
}

TEST(ParsePathTest, PosixStyle) {
  const PathRow rows[] = {
      {"/home/u/my.files/shop.mdb", "/home/u/my.files/", "shop", "shop.mdb"},
      {"/home/u/my.files/shop", "/home/u/my.files/", "shop", "shop"},
      {"/data/c:shop.mdb", "/data/", "c:shop", "c:shop.mdb"},
      {"/data/a\\b.mdb", "/data/", "a\\b", "a\\b.mdb"},
      {"/shop.mdb", "/", "shop", "shop.mdb"},
      {"/data/", "/data/", "", ""},
      {"shop.old.mdb", "", "shop", "shop.old.mdb"},
      {"/data/.mdb", "/data/", "", ".mdb"},
  };
  for (const auto& row : rows) ExpectParts(row, PathStyle::Posix);
}

TEST(ParsePathTest, SelectorIgnoresCaseAndUnknownSelectorsAreEmpty) {
  EXPECT_EQ(ParsePath("/d/shop.mdb", "DIR"), "/d/");
  EXPECT_EQ(ParsePath("/d/shop.mdb", "NameOnly"), "shop");
  EXPECT_EQ(ParsePath("/d/shop.mdb", "Name"), "shop.mdb");
  EXPECT_EQ(ParsePath("/d/shop.mdb", "ext"), "");
  EXPECT_EQ(ParsePath("/d/shop.mdb", ""), "");
}

}  // namespace
}  // namespace dbrepair
