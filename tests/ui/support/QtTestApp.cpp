#include "QtTestApp.h"

#include <cstdlib>
#include <string>

#include <QTemporaryDir>

QApplication& TestApp() {
  static QTemporaryDir dataHome;
  static bool prepared = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    return true;
  }();
  static int argc = 1;
  static char name[] = "pellora-test";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  (void)prepared;
  return app;
}
