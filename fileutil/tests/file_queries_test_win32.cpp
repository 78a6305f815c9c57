// The file-system questions asked of Windows: names beyond the ANSI code
// page, and a file another program holds open without sharing.
#include <windows.h>

#include <gtest/gtest.h>

#include "fileutil/file_queries.h"
#include "jet/base/wide_text.h"
#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

TEST(FileQueriesWin32Test, AnswerForAnyNameAndNoDateWhileAnotherProgramHoldsTheFile) {
  TempFolder dir;
  // "Δεδομένα".
  const std::string file = dir.file("\xCE\x94\xCE\xB5\xCE\xB4\xCE\xBF\xCE\xBC\xCE\xAD\xCE\xBD\xCE\xB1.mdb");
  WriteFile(file, "x");
  SetModificationTime(file, 1237017909);
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FolderExists(file));
  EXPECT_EQ(GetFileDate(file), Date::FromParts(2009, 3, 14, 8, 5, 9));

  HANDLE held = ::CreateFileW(jet::widen(file).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(GetFileDate(file).IsZero());
  ::CloseHandle(held);
}

}  // namespace
}  // namespace dbrepair::testing
