#include <QTimer>
#include <cstdio>
#include <exception>

#include "ui/Application.h"
#include "ui/FormAbout.h"
#include "ui/FormAutoCreate.h"
#include "ui/FormLog.h"
#include "ui/FormMain.h"
#include "ui/FormUser.h"
#include "ui/Icons.h"
#include "ui/Prompts.h"

int main(int argc, char** argv) {
  // Qt takes its own options (platform, style) from argv; the program itself reads none.
  pellora::TApplication app(argc, argv);
  // The application's title is the bare name. No display name is set: the
  // desktop would append it to every window title ("Pellora - Untitled").
  QApplication::setApplicationName("Pellora");
  QApplication::setOrganizationName("Quarnet Software");
  // Lets a Wayland desktop match the windows to the installed desktop entry and its icon.
  QApplication::setDesktopFileName(PELLORA_APP_ID);
  pellora::QtPrompts prompts;
  app.SetPrompts(&prompts);
  try {
    QApplication::setWindowIcon(pellora::SvgIcon("app"));
    pellora::TFormMain formMain(prompts);
    prompts.SetOwner(&formMain);
    pellora::TFormUser formUser(prompts, &formMain);
    pellora::TFormAutoCreate formAutoCreate(&formMain);
    pellora::TFormLog formLog(&formMain);
    pellora::TFormAboutBox formAbout(&formMain);
    formMain.FormUser = &formUser;
    formMain.FormAutoCreate = &formAutoCreate;
    formMain.FormLog = &formLog;
    formMain.FormAboutBox = &formAbout;
    formMain.show();
    // For the start-up benchmark: say so once the window is up, then leave.
    if (qEnvironmentVariableIsSet("PELLORA_EXIT_WHEN_SHOWN"))
      QTimer::singleShot(0, &app, [] { std::fputs("shown\n", stdout), std::fflush(stdout), QApplication::quit(); });
    return app.exec();
  } catch (const std::exception& e) {
    prompts.SetOwner(nullptr);  // the main window is gone by now
    app.ShowException(QString::fromUtf8(e.what()));
  } catch (...) {
    prompts.SetOwner(nullptr);
    app.ShowException(QString());
  }
  return 1;
}
