// The desktop program's tests run with one QApplication, on the offscreen
// platform unless another one is asked for.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests needs no application.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The desktop program's language menu remembers its choice in the user's
  // configuration folder: never the real one in a test.
  qputenv("XDG_CONFIG_HOME", QDir::tempPath().toUtf8() + "/skyrelay-app-tests-config");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
