#include <exception>

#include <QApplication>

#include "ui/FormAbout.h"
#include "ui/FormLog.h"
#include "ui/FormMain.h"
#include "ui/Icons.h"
#include "ui/Prompts.h"

namespace {

// An exception that escapes an event handler is shown, and the program goes
// on with the next event.
class PelloraApplication : public QApplication {
 public:
  PelloraApplication(int& argc, char** argv) : QApplication(argc, argv) {}
  void SetPrompts(pellora::Prompts* prompts) { prompts_ = prompts; }

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      Show(QString::fromUtf8(e.what()));
    } catch (...) {
      Show(QString());
    }
    return false;
  }

  void Show(const QString& text) {
    if (prompts_) prompts_->ShowException(text);
  }

 private:
  pellora::Prompts* prompts_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  // Qt takes its own options (platform, style) from argv; the program itself reads none.
  PelloraApplication app(argc, argv);
  QApplication::setApplicationName("Pellora");
  QApplication::setApplicationDisplayName("Pellora");
  QApplication::setOrganizationName("Quarnet Software");
  pellora::QtPrompts prompts;
  app.SetPrompts(&prompts);
  try {
    QApplication::setWindowIcon(pellora::SvgIcon("app"));
    pellora::TFormMain formMain(prompts);
    prompts.SetOwner(&formMain);
    // TFormUser and TFormAutoCreate are created here, in this order.
    pellora::TFormLog formLog(&formMain);
    pellora::TFormAboutBox formAbout(&formMain);
    formMain.FormLog = &formLog;
    formMain.FormAboutBox = &formAbout;
    formMain.show();
    return app.exec();
  } catch (const std::exception& e) {
    prompts.SetOwner(nullptr);  // the main window is gone by now
    app.Show(QString::fromUtf8(e.what()));
  } catch (...) {
    prompts.SetOwner(nullptr);
    app.Show(QString());
  }
  return 1;
}
