// Renders the windows of the desktop program to PNG files for the
// documentation: pellora-screenshots OUTPUT_FOLDER PROJECT.htp. Meant for the
// offscreen platform (scripts/screenshots). Every picture shows the program
// at work on the given project: opened with "Open project", a user edited,
// the series dialog open, the files generated and uploaded with the
// project's own FTP settings. Any dialog the program raises on the way is a
// failure, reported on standard error, and so is an upload that fails.
#include <cstdio>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPainter>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include "ui/FormAbout.h"
#include "ui/FormAutoCreate.h"
#include "ui/FormLog.h"
#include "ui/FormMain.h"
#include "ui/FormUser.h"
#include "ui/Prompts.h"
#include "ui/UserTableModel.h"

namespace {

// Answers the Open dialog with the sample project. Nothing else should ask
// anything: a question means the run went wrong, and a real box would wait
// forever on a screen nobody sees.
class ScreenshotPrompts : public pellora::Prompts {
 public:
  explicit ScreenshotPrompts(QString project) : project_(std::move(project)) {}
  bool Failed() const { return failed_; }

  void Message(const QString& text, const QString& caption) override { Unexpected(caption + ": " + text); }
  Button Confirm(const QString& text) override {
    Unexpected("Confirm: " + text);
    return Button::Cancel;
  }
  void Error(const QString& text) override { Unexpected("Error: " + text); }
  bool AskReplace(const QString& text) override {
    Unexpected("Information: " + text);
    return false;
  }
  QString OpenFile(const FileDialog&) override { return project_; }
  QString SaveFile(const FileDialog&) override {
    Unexpected("a save dialog");
    return {};
  }
  QString ChooseFolder(const QString& title, const QString&) override {
    Unexpected(title);
    return {};
  }
  void ShowException(const QString& text) override { Unexpected("exception: " + text); }
  std::optional<QString> AskPassphrase(const QString& text) override {
    Unexpected("Passphrase: " + text);
    return std::nullopt;
  }
  bool OpenUrl(const QUrl& url) override {
    Unexpected("open " + url.toString());
    return true;
  }
  void ViewTextFile(const QString& path) override { Unexpected("view " + path); }
  void ShowHelp(const QString& path) override { Unexpected("help " + path); }

 private:
  void Unexpected(const QString& what) {
    std::fprintf(stderr, "pellora-screenshots: unexpected %s\n", qPrintable(what));
    failed_ = true;
  }
  QString project_;
  bool failed_ = false;
};

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

// Presses button, which opens dialog modally, takes the picture once the
// dialog runs, and cancels it.
bool PictureOfDialog(QAbstractButton& button, QDialog& dialog, const QString& path) {
  bool saved = false, shown = false;
  // Goes with this function, so it never fires later when no dialog ran.
  QTimer inDialog;
  inDialog.setSingleShot(true);
  QObject::connect(&inDialog, &QTimer::timeout, [&] {
    shown = dialog.isVisible();
    if (shown) saved = Save(Framed(dialog), path);
    dialog.reject();
  });
  inDialog.start(0);
  button.click();
  if (!shown) std::fprintf(stderr, "pellora-screenshots: no dialog for %s\n", qPrintable(path));
  return saved;
}

// The first row whose user has the most fields filled in: the fullest dialog.
int FullestRow(pellora::UserTableModel& model) {
  int best = 0, bestScore = -1;
  for (int row = 0; row < model.rowCount(); ++row) {
    const pellora::TUserList& user = *model.UserAt(row);
    const int score = !user.Email.empty() + !user.FullName.empty() + !user.Notes.empty();
    if (score > bestScore) best = row, bestScore = score;
  }
  return best;
}

bool LogHas(pellora::TFormLog& log, const QString& line, int times) {
  if (log.Lines().count(line) == times) return true;
  std::fprintf(stderr, "pellora-screenshots: the log lacks \"%s\":\n%s\n", qPrintable(line), qPrintable(log.Text()));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pellora-screenshots OUTPUT_FOLDER PROJECT.htp\n");
    return 2;
  }
  // A fresh data folder: no last-state project of the person running this
  // shows up, and the generated files go nowhere else.
  QTemporaryDir dataHome;
  qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
  QApplication app(argc, argv);
  QApplication::setApplicationName("Pellora");
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);

  ScreenshotPrompts prompts(QString::fromLocal8Bit(argv[2]));
  pellora::TFormMain formMain(prompts);
  pellora::TFormUser formUser(prompts, &formMain);
  pellora::TFormAutoCreate formAutoCreate(&formMain);
  pellora::TFormLog formLog(&formMain);
  pellora::TFormAboutBox formAbout(&formMain);
  formMain.FormUser = &formUser;
  formMain.FormAutoCreate = &formAutoCreate;
  formMain.FormLog = &formLog;
  formMain.FormAboutBox = &formAbout;
  formMain.show();
  QApplication::processEvents();

  formMain.TbnOpenProject->trigger();
  QApplication::processEvents();
  if (prompts.Failed() || formMain.Model().Untitled) return 1;

  bool ok = true;
  auto page = [&](int step, const char* name) {
    formMain.ShowStep(step);
    QApplication::processEvents();
    ok &= Save(Framed(formMain), out + "/" + name);
  };
  page(0, "main-step1-users.png");

  formMain.ListViewUser->selectRow(FullestRow(*formMain.UserModel()));
  ok &= PictureOfDialog(*formMain.TbnEditUser, formUser, out + "/user.png");
  ok &= PictureOfDialog(*formMain.TbnCreateUser, formAutoCreate, out + "/series.png");
  formMain.ListViewUser->clearSelection();

  page(1, "main-step2-options.png");

  formMain.ShowStep(2);
  formMain.BtnGenerate->click();
  ok &= LogHas(formLog, "* Generate .htpasswd file ... OK!", 1);
  page(2, "main-step3-generate.png");

  // Runs to its end before click() returns; the client keeps the window alive meanwhile.
  formMain.ShowStep(3);
  formMain.BtnFtpNow->click();
  ok &= LogHas(formLog, "  Uploading successfully", 2);
  page(3, "main-step4-upload.png");
  QApplication::processEvents();
  ok &= Save(Framed(formLog), out + "/log.png");

  QTimer::singleShot(0, &formAbout, [&] {
    ok &= Save(Framed(formAbout), out + "/about.png");
    formAbout.accept();
  });
  formMain.MIAbout->trigger();

  return ok && !prompts.Failed() ? 0 : 1;
}
