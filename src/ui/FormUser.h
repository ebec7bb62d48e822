#pragma once
#include <QDialog>

#include "core/UserList.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace pellora {

class Prompts;

// The one dialog for a user's properties, for adding and for editing. The
// caller sets the caption, fills or empties the fields, sets "OK" and reads
// the fields back; the dialog itself keeps "OK" honest while the operator
// types, offers a generated password and opens a mail to the user.
class TFormUser : public QDialog {
  Q_OBJECT
 public:
  explicit TFormUser(Prompts& prompts, QWidget* parent = nullptr);

  // Empties every field and clears "Disabled".
  void ClearFields();
  // Fills the fields from a record; notes line breaks become the box's own.
  void SetFields(const TUserList& user);
  // The fields as a record would store them: trimmed, notes with CR LF line
  // breaks. The links are left empty.
  TUserList Fields() const;

  QLabel* LblUser;
  QLineEdit* EdtUser;
  QLabel* LblPassword;
  QLineEdit* EdtPassword;
  QToolButton* BtnGeneratePassword;
  QCheckBox* ChkStatus;
  QFrame* Bevel;
  QLabel* LblEmail;
  QLineEdit* EdtEmail;
  QToolButton* BtnEmail;
  QLabel* LblFullName;
  QLineEdit* EdtFullName;
  QLabel* LblNotes;
  QPlainTextEdit* MemoNotes;
  QPushButton* BtnOk;
  QPushButton* BtnCancel;

 public slots:
  void BtnGeneratePasswordClick();
  void BtnEmailClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void UpdateOkButton();

  Prompts& prompts_;
  bool hashOnly_ = false;  // the fields came from a user known by a kept hash alone
};

// Trims a field's text the way stored values are trimmed: bytes 0 to 32 of
// its UTF-8 form at both ends.
std::string TrimmedField(const QString& text);

}  // namespace pellora
