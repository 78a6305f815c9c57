// The Open dialog's filter as GetOpenFileNameW takes it.
#include "app/window_win32/win32_open_dialog.h"

#include <gtest/gtest.h>

namespace dbrepair {
namespace {

TEST(WindowsFilter, EndsEachPartAndTheListWithANul) {
  using namespace std::string_literals;
  const struct {
    const char* filter;
    std::wstring list;
  } rows[] = {
      {"All Files (*.*)|*.*|Microsoft Access Databases (*.mdb)|*.mdb",
       L"All Files (*.*)\0*.*\0Microsoft Access Databases (*.mdb)\0*.mdb\0\0"s},
      {"Databases|*.mdb;*.mde|", L"Databases\0*.mdb;*.mde\0\0"s},
      {"Only a description", L"Only a description\0*.*\0\0"s},
      {"", L"\0"s},
  };
  for (const auto& row : rows) EXPECT_EQ(WindowsFilter(row.filter), row.list) << row.filter;
}

}  // namespace
}  // namespace dbrepair
