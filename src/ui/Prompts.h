#pragma once
#include <map>
#include <optional>

#include <QPointer>
#include <QString>
#include <QUrl>

class QWidget;

namespace pellora {

class TFormHelp;
class TFormTextView;

// Every question, message and shell opening of the desktop program goes
// through this one interface, so the widget tests can answer dialogs from a
// script instead of blocking on a real modal box.
class Prompts {
 public:
  enum class Kind { Message, Confirm, Error, AskReplace, OpenFile, SaveFile, ChooseFolder, ShowException, Passphrase };
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
  // Opens in startFolder; an empty one means the top of the operator's own folders.
  virtual QString ChooseFolder(const QString& title, const QString& startFolder) = 0;
  // An exception that escaped an event handler: error icon, the application's title as caption.
  virtual void ShowException(const QString& text) = 0;
  // A secret typed into a hidden field, caption "Passphrase", OK and Cancel;
  // nothing when the operator cancelled.
  virtual std::optional<QString> AskPassphrase(const QString& text) = 0;

  // Hands a web page or a "mailto:" link to the desktop; false when nothing there took it.
  virtual bool OpenUrl(const QUrl& url) = 0;
  // Shows a text file read-only in a window of the program; never through a shell command line.
  virtual void ViewTextFile(const QString& path) = 0;
  // Shows the help document in the program's own help window.
  virtual void ShowHelp(const QString& path) = 0;
};

// Opens a web or mail link on the desktop. A desktop without a browser or
// mail program fails quietly, so the operator is told, with the address in a
// message to copy it from.
void OpenLink(Prompts& prompts, const QUrl& url);

// The real dialogs, owned by (and centred on) owner when one is set.
class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(QWidget* owner = nullptr) : owner_(owner) {}
  QtPrompts(const QtPrompts&) = delete;
  QtPrompts& operator=(const QtPrompts&) = delete;
  // Closes the viewer and help windows still open that have no owner to take them.
  ~QtPrompts() override;
  void SetOwner(QWidget* owner) { owner_ = owner; }

  void Message(const QString& text, const QString& caption) override;
  Button Confirm(const QString& text) override;
  void Error(const QString& text) override;
  bool AskReplace(const QString& text) override;
  QString OpenFile(const FileDialog& dialog) override;
  QString SaveFile(const FileDialog& dialog) override;
  QString ChooseFolder(const QString& title, const QString& startFolder) override;
  void ShowException(const QString& text) override;
  std::optional<QString> AskPassphrase(const QString& text) override;
  bool OpenUrl(const QUrl& url) override;
  void ViewTextFile(const QString& path) override;
  void ShowHelp(const QString& path) override;

 private:
  QWidget* owner_;
  // One window per file, reloaded and raised by the next preview of it.
  std::map<QString, QPointer<TFormTextView>> views_;
  QPointer<TFormHelp> help_;
};

}  // namespace pellora
