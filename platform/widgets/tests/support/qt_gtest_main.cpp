// GoogleTest main for tests of Qt widgets: one QApplication for the whole
// run, on the offscreen platform unless the environment names another.
// Listing the tests (as CTest's discovery does) needs no window system.
#include <QApplication>
#include <QByteArray>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
