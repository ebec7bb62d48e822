#pragma once
#include <QApplication>
#include <QString>

#include "ui/Prompts.h"

namespace pellora {

// The desktop program's application object. An exception that escapes an
// event handler is shown to the operator and the program goes on with the
// next event, instead of ending with the work of the session unsaved.
class TApplication : public QApplication {
  Q_OBJECT
 public:
  TApplication(int& argc, char** argv);
  void SetPrompts(Prompts* prompts) { prompts_ = prompts; }

  bool notify(QObject* receiver, QEvent* event) override;
  // Shows an exception's text; a thrown value that is no exception shows an empty text.
  void ShowException(const QString& text);

 private:
  Prompts* prompts_ = nullptr;
};

}  // namespace pellora
