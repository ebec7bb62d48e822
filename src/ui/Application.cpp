#include "ui/Application.h"

#include <exception>

namespace pellora {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowException(QString::fromUtf8(e.what()));
  } catch (...) {
    ShowException(QString());
  }
  return false;
}

void TApplication::ShowException(const QString& text) {
  if (prompts_) prompts_->ShowException(text);
}

}  // namespace pellora
