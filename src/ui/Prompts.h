#pragma once
#include <QString>
#include <QUrl>

class QWidget;

namespace pellora {

// Every question, message and shell opening of the desktop program goes
// through this one interface, so the widget tests can answer dialogs from a
// script instead of blocking on a real modal box.
class Prompts {
 public:
  enum class Kind { Message, Confirm, Error, AskReplace, OpenFile, SaveFile, ChooseFolder, ShowException };
  enum class Button { Ok, Yes, No, Cancel };

  // A file dialog's filter in Qt's form, e.g. "Project File (*.htp)".
  struct FileDialog {
    QString filter;
    QString defaultSuffix;         // added when the typed name has none ("htp")
    bool confirmOverwrite = true;  // save dialogs ask before replacing a file
  };

  virtual ~Prompts() = default;

  // Plain message box: one OK button, no icon.
  virtual void Message(const QString& text, const QString& caption) = 0;
  // Question icon, caption "Confirm", Yes, No and Cancel; closing the box answers Cancel.
  virtual Button Confirm(const QString& text) = 0;
  // Error icon, caption "Error", OK.
  virtual void Error(const QString& text) = 0;
  // Information icon, caption "Information", Yes (the default) and No; Escape answers No.
  // True unless the answer was No.
  virtual bool AskReplace(const QString& text) = 0;
  // The chosen path, or an empty string when the operator cancelled.
  virtual QString OpenFile(const FileDialog& dialog) = 0;
  virtual QString SaveFile(const FileDialog& dialog) = 0;
  virtual QString ChooseFolder(const QString& title) = 0;
  // An exception that escaped an event handler: error icon, the application's title as caption.
  virtual void ShowException(const QString& text) = 0;

  // Hands a target to the desktop (help document, web page, mailto:); failures are not reported.
  virtual void OpenUrl(const QUrl& url) = 0;
  // Shows a text file in the desktop's viewer for it; never through a shell command line.
  virtual void ViewTextFile(const QString& path) = 0;
};

// The real dialogs, owned by (and centred on) owner when one is set.
class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }

  void Message(const QString& text, const QString& caption) override;
  Button Confirm(const QString& text) override;
  void Error(const QString& text) override;
  bool AskReplace(const QString& text) override;
  QString OpenFile(const FileDialog& dialog) override;
  QString SaveFile(const FileDialog& dialog) override;
  QString ChooseFolder(const QString& title) override;
  void ShowException(const QString& text) override;
  void OpenUrl(const QUrl& url) override;
  void ViewTextFile(const QString& path) override;

 private:
  QWidget* owner_;
};

}  // namespace pellora
