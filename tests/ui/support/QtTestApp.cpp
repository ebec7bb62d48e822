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
  // Never destroyed: at exit Qt's own globals (the registered input devices
  // that key and mouse simulation create) may already be gone, and tearing
  // the application down after them crashes the test program.
  static QApplication* app = new QApplication(argc, argv);
  (void)prepared;
  return *app;
}
