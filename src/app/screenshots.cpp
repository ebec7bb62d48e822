// Renders the windows of the desktop program to PNG files for the
// documentation: pellora-screenshots OUTPUT_FOLDER. Meant for the offscreen
// platform; the project shown is a fresh untitled one with a few sample users.
#include <cstdio>
#include <cstdlib>
#include <tuple>

#include <QApplication>
#include <QDir>
#include <QMenuBar>
#include <QPainter>
#include <QTemporaryDir>

#include "ui/FormAbout.h"
#include "ui/FormLog.h"
#include "ui/FormMain.h"
#include "ui/Icons.h"
#include "ui/Prompts.h"

namespace {

bool Save(const QPixmap& picture, const QString& path) {
  if (!picture.save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

// Draws a plain title bar above a grabbed window, so the pictures show the caption.
QPixmap Framed(QWidget& window) {
  const QPixmap client = window.grab();
  const int bar = 26;
  QPixmap framed(client.width() + 2, client.height() + bar + 1);
  framed.fill(QColor("#3c5a78"));
  QPainter painter(&framed);
  painter.drawPixmap(1, bar, client);
  painter.setPen(Qt::white);
  QFont font = window.font();
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(QRect(10, 0, framed.width() - 20, bar), Qt::AlignVCenter | Qt::AlignLeft, window.windowTitle());
  return framed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pellora-screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  // A fresh data folder, so no last-state project of the person running this shows up.
  QTemporaryDir dataHome;
  qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
  QApplication app(argc, argv);
  QApplication::setApplicationName("Pellora");
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);

  pellora::QtPrompts prompts;
  pellora::TFormMain formMain(prompts);
  pellora::TFormLog formLog(&formMain);
  pellora::TFormAboutBox formAbout(&formMain);
  formMain.FormLog = &formLog;
  formMain.FormAboutBox = &formAbout;
  for (const auto& [name, password, disabled] :
       {std::tuple{"alice", "x7Kp2q", false}, std::tuple{"bob", "Tr4vel", false}, std::tuple{"carol", "m00nLit", true},
        std::tuple{"dave", "9fGh2k", false}}) {
    pellora::TUserList user;
    user.UserName = name;
    user.Password = password;
    user.Disabled = disabled;
    formMain.Users().InsertSorted(std::move(user));
  }
  formMain.RefreshUserView();
  pellora::ProjectSettings sample = formMain.Settings();
  sample.FtpHost = "ftp.example.net";
  sample.FtpUser = "webmaster";
  sample.FtpPassword = "secret";
  formMain.ApplySettings(sample);
  formMain.show();
  QApplication::processEvents();

  bool ok = true;
  const char* pages[] = {"main-step1-users.png", "main-step2-options.png", "main-step3-generate.png",
                         "main-step4-upload.png"};
  for (int step = 0; step < 4; ++step) {
    formMain.ShowStep(step);
    QApplication::processEvents();
    ok &= Save(Framed(formMain), out + "/" + pages[step]);
  }

  formAbout.show();
  QApplication::processEvents();
  ok &= Save(Framed(formAbout), out + "/about.png");
  formAbout.hide();

  formLog.Clear();
  formLog.AddLine("* Generate .htaccess file ... OK!\r\n");
  formLog.AddLine("* Generate .htpasswd file ... OK!\r\n");
  formLog.AddLine("* Connecting to ftp.example.net:21 ...");
  formLog.AddLine("220 Service ready");
  formLog.AddLine("* Log in as webmaster ... OK!");
  formLog.AddLine("\r\n* Disconnected");
  formLog.SetStopEnabled(false);
  formLog.SetCloseEnabled(true);
  formLog.ShowLog();
  QApplication::processEvents();
  ok &= Save(Framed(formLog), out + "/log.png");
  return ok ? 0 : 1;
}
