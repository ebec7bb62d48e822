#pragma once
#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace pellora {

// The About box: a modal tool window centred on its owner, the main window.
class TFormAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TFormAboutBox(QWidget* owner = nullptr);

  QLabel* ProgramIcon;
  QLabel* ProductName;
  QLabel* Version;
  QLabel* Copyright;
  QLabel* Comments;
  QPushButton* BtnClose;

 private:
  void FormCreate();
};

}  // namespace pellora
