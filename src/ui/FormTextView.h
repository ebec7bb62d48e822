#pragma once
#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

namespace pellora {

// A generated file shown read-only, as the server will read it: in a
// monospaced font, one line of the window for each line of the file.
class TFormTextView : public QDialog {
  Q_OBJECT
 public:
  explicit TFormTextView(QWidget* owner = nullptr);

  // Reads the file anew, so a preview after Generate shows the new text;
  // false when it cannot be read.
  bool Load(const QString& path);

  QPlainTextEdit* MemoText;
  QPushButton* BtnClose;
};

}  // namespace pellora
