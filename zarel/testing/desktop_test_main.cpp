// The desktop test programs' main: one QApplication, and so one start of the
// web engine, for the whole program, in the web engine's environment, with
// private runtime and cache folders so the tests write nothing into the
// home folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include "zarel/desktop/web_engine_environment.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests needs no toolkit.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  // The engine prints its whole configuration at every start.
  QLoggingCategory::setFilterRules("qt.webenginecontext.info=false");
  QTemporaryDir runtime;
  qputenv("XDG_CACHE_HOME", (runtime.path() + "/cache").toUtf8());
  zarel::PrepareWebEngineEnvironment(runtime.path().toStdString());
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
