#include "platform/widgets/file_filter.h"

#include <QString>
#include <gtest/gtest.h>

namespace dbrepair {
namespace {

struct ParseRow {
  const char* text;
  std::vector<FileFilter> expected;
};

class ParseFileFilterTest : public ::testing::TestWithParam<ParseRow> {};

TEST_P(ParseFileFilterTest, SplitsIntoDescriptionAndPatternPairs) {
  const auto filters = ParseFileFilter(GetParam().text);
  ASSERT_EQ(filters.size(), GetParam().expected.size());
  for (std::size_t i = 0; i < filters.size(); ++i) {
    EXPECT_EQ(filters[i].description, GetParam().expected[i].description) << "entry " << i;
    EXPECT_EQ(filters[i].patterns, GetParam().expected[i].patterns) << "entry " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseFileFilterTest,
    ::testing::Values(
        ParseRow{"All Files (*.*)|*.*|Microsoft Access Databases (*.mdb)|*.mdb",
                 {{"All Files (*.*)", "*.*"}, {"Microsoft Access Databases (*.mdb)", "*.mdb"}}},
        ParseRow{"", {}},
        ParseRow{"Databases|*.mdb;*.mde", {{"Databases", "*.mdb;*.mde"}}},
        ParseRow{"Databases|*.mdb|", {{"Databases", "*.mdb"}}},
        ParseRow{"Databases|*.mdb|Other", {{"Databases", "*.mdb"}, {"Other", "*.*"}}},
        ParseRow{"Text|*.txt||", {{"Text", "*.txt"}}},
        ParseRow{"Empty pattern||Text|*.txt", {{"Empty pattern", "*.*"}, {"Text", "*.txt"}}}));

struct NameFilterRow {
  FileFilter filter;
  const char* expected;
};

class QtNameFilterTest : public ::testing::TestWithParam<NameFilterRow> {};

TEST_P(QtNameFilterTest, KeepsTheDescriptionAndTranslatesThePatterns) {
  EXPECT_EQ(QtNameFilter(GetParam().filter).toStdString(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, QtNameFilterTest,
    ::testing::Values(
        NameFilterRow{{"All Files (*.*)", "*.*"}, "All Files (*.*) (*)"},
        NameFilterRow{{"Microsoft Access Databases (*.mdb)", "*.mdb"},
                      "Microsoft Access Databases (*.mdb) (*.mdb)"},
        NameFilterRow{{"Databases", "*.mdb; *.mde;"}, "Databases (*.mdb *.mde)"},
        NameFilterRow{{"Anything", ";"}, "Anything (*)"}));

}  // namespace
}  // namespace dbrepair
