#pragma once
#include <QDialog>
#include <QString>

class QTextBrowser;

namespace pellora {

class Prompts;

// The help document, rendered by the program itself: a desktop without a
// browser still shows it. Its own pages and anchors open inside the window;
// web and mail links go to the desktop.
class TFormHelp : public QDialog {
  Q_OBJECT
 public:
  explicit TFormHelp(Prompts& prompts, QWidget* owner = nullptr);

  // Shows the document at path; false when it cannot be read.
  bool Open(const QString& path);

  QTextBrowser* BrowserHelp;

 private:
  void FollowLink(const QUrl& link);

  Prompts& prompts_;
};

}  // namespace pellora
