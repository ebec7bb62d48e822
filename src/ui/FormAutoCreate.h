#pragma once
#include <QDialog>
#include <QGroupBox>
#include <QSpinBox>

#include "core/Series.h"

class QButtonGroup;
class QPushButton;
class QRadioButton;

namespace pellora {

// A spin box whose edit field takes any whole number and brings one outside
// the range back to the nearest end when the value is read, instead of
// refusing the keystroke or falling back to the old value.
class ClampingSpinBox : public QSpinBox {
  Q_OBJECT
 public:
  using QSpinBox::QSpinBox;

 protected:
  QValidator::State validate(QString& text, int& pos) const override;
  void fixup(QString& input) const override;
};

// A radio group: a titled frame of radio items, one of them chosen, read and
// set by item index.
class RadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  RadioGroup(const QString& name, const QString& title, const QStringList& items, QWidget* parent = nullptr);
  int ItemIndex() const;
  void SetItemIndex(int index);
  QRadioButton* Item(int index) const;

 signals:
  void ItemIndexChanged(int index);

 private:
  QButtonGroup* buttons_;
};

// The random series dialog. Made once; it keeps what the operator chose last
// for every later series, whatever the project.
class TFormAutoCreate : public QDialog {
  Q_OBJECT
 public:
  explicit TFormAutoCreate(QWidget* parent = nullptr);

  // The choices as they stand, typed values brought into their ranges.
  SeriesSettings Settings();

  void accept() override;

  ClampingSpinBox* EdtCount;
  QGroupBox* GbxUser;
  ClampingSpinBox* EdtUserLength;
  RadioGroup* RdoUserChars;
  RadioGroup* RdoUserCase;
  QGroupBox* GbxPassword;
  ClampingSpinBox* EdtPasswordLength;
  RadioGroup* RdoPasswordChars;
  RadioGroup* RdoPasswordCase;
  QPushButton* BtnOk;
  QPushButton* BtnCancel;

 private:
  void CommitTypedValues();
};

}  // namespace pellora
