#include "ui/FormAutoCreate.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/Random.h"

namespace pellora {

namespace {

// Parses an optionally signed run of digits; a number too long for 64 bits
// saturates, so it still clamps to the right end of the range.
bool ParseWhole(const QString& text, qint64& value) {
  const QString t = text.trimmed();
  int i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) negative = t[i++] == u'-';
  if (i == t.size()) return false;
  qint64 v = 0;
  for (; i < t.size(); ++i) {
    if (!t[i].isDigit() || t[i].unicode() > 0x7f) return false;
    if (v < (qint64(1) << 40)) v = v * 10 + (t[i].unicode() - u'0');
  }
  value = negative ? -v : v;
  return true;
}

bool IsPartialNumber(const QString& text) {
  const QString t = text.trimmed();
  return t.isEmpty() || t == u"-" || t == u"+";
}

}  // namespace

QValidator::State ClampingSpinBox::validate(QString& text, int&) const {
  qint64 v = 0;
  if (ParseWhole(text, v)) return v >= minimum() && v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
  return IsPartialNumber(text) ? QValidator::Intermediate : QValidator::Invalid;
}

void ClampingSpinBox::fixup(QString& input) const {
  qint64 v = 0;
  if (ParseWhole(input, v)) input = QString::number(std::clamp<qint64>(v, minimum(), maximum()));
  else input = QString::number(value());  // nothing usable typed: keep the value shown before
}

RadioGroup::RadioGroup(const QString& name, const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent), buttons_(new QButtonGroup(this)) {
  setObjectName(name);
  auto* inner = new QVBoxLayout(this);
  for (int i = 0; i < items.size(); ++i) {
    auto* item = new QRadioButton(items[i], this);
    item->setObjectName(name + QString::number(i));
    buttons_->addButton(item, i);
    inner->addWidget(item);
  }
  SetItemIndex(0);
  connect(buttons_, &QButtonGroup::idToggled, this, [this](int id, bool on) {
    if (on) emit ItemIndexChanged(id);
  });
}

int RadioGroup::ItemIndex() const { return buttons_->checkedId(); }

void RadioGroup::SetItemIndex(int index) {
  if (QAbstractButton* b = buttons_->button(index)) b->setChecked(true);
}

QRadioButton* RadioGroup::Item(int index) const { return qobject_cast<QRadioButton*>(buttons_->button(index)); }

namespace {

ClampingSpinBox* MakeSpin(const char* name, int lo, int hi, int value, QWidget* parent) {
  auto* spin = new ClampingSpinBox(parent);
  spin->setObjectName(QString::fromLatin1(name));
  spin->setRange(lo, hi);
  spin->setValue(value);
  spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
  spin->setAccelerated(true);
  return spin;
}

}  // namespace

TFormAutoCreate::TFormAutoCreate(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FormAutoCreate"));
  setWindowTitle(QStringLiteral("Create Random User/Password Series"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  const SeriesSettings defaults;
  const QStringList chars = {QStringLiteral("Random"), QStringLiteral("Numeral"), QStringLiteral("Letter")};
  const QStringList cases = {QStringLiteral("Random"), QStringLiteral("Upper"), QStringLiteral("Lower")};

  auto* top = new QVBoxLayout(this);
  top->setSizeConstraint(QLayout::SetFixedSize);

  auto* countRow = new QHBoxLayout;
  EdtCount = MakeSpin("EdtCount", 1, 4096, defaults.Count, this);
  auto* countLabel = new QLabel(QStringLiteral("User Count:"), this);
  countLabel->setBuddy(EdtCount);
  countRow->addWidget(countLabel);
  countRow->addWidget(EdtCount);
  countRow->addStretch();
  top->addLayout(countRow);

  auto makeGroup = [&](const char* boxName, const QString& title, const char* lengthName, int length,
                       const char* charsName, const char* caseName, ClampingSpinBox*& lengthBox,
                       RadioGroup*& charsGroup, RadioGroup*& caseGroup) {
    auto* box = new QGroupBox(title, this);
    box->setObjectName(QString::fromLatin1(boxName));
    auto* row = new QHBoxLayout(box);
    auto* lengthColumn = new QVBoxLayout;
    lengthBox = MakeSpin(lengthName, 1, 255, length, box);
    auto* lengthLabel = new QLabel(QStringLiteral("Length"), box);
    lengthLabel->setBuddy(lengthBox);
    lengthColumn->addWidget(lengthLabel);
    lengthColumn->addWidget(lengthBox);
    lengthColumn->addStretch();
    row->addLayout(lengthColumn);
    charsGroup = new RadioGroup(QString::fromLatin1(charsName), QStringLiteral("Chars"), chars, box);
    caseGroup = new RadioGroup(QString::fromLatin1(caseName), QStringLiteral("Letter Case"), cases, box);
    row->addWidget(charsGroup);
    row->addWidget(caseGroup);
    // Digits have no case, so the case choice beside "Numeral" is greyed out;
    // its index is still passed on and the generator ignores it.
    RadioGroup* caseOfThis = caseGroup;
    connect(charsGroup, &RadioGroup::ItemIndexChanged, caseGroup,
            [caseOfThis](int index) { caseOfThis->setEnabled(index != ClassNumeral); });
    top->addWidget(box);
    return box;
  };
  GbxUser = makeGroup("GbxUser", QStringLiteral("User"), "EdtUserLength", defaults.UserLength, "RdoUserChars",
                      "RdoUserCase", EdtUserLength, RdoUserChars, RdoUserCase);
  GbxPassword = makeGroup("GbxPassword", QStringLiteral("Password"), "EdtPasswordLength", defaults.PasswordLength,
                          "RdoPasswordChars", "RdoPasswordCase", EdtPasswordLength, RdoPasswordChars, RdoPasswordCase);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  BtnOk = new QPushButton(QStringLiteral("OK"), this);
  BtnOk->setObjectName(QStringLiteral("BtnOk"));
  BtnOk->setDefault(true);
  BtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
  buttons->addWidget(BtnOk);
  buttons->addWidget(BtnCancel);
  top->addLayout(buttons);
  connect(BtnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormAutoCreate::CommitTypedValues() {
  for (QSpinBox* spin : {static_cast<QSpinBox*>(EdtCount), static_cast<QSpinBox*>(EdtUserLength),
                         static_cast<QSpinBox*>(EdtPasswordLength)})
    spin->interpretText();
}

void TFormAutoCreate::accept() {
  CommitTypedValues();
  QDialog::accept();
}

SeriesSettings TFormAutoCreate::Settings() {
  CommitTypedValues();
  SeriesSettings s;
  s.Count = EdtCount->value();
  s.UserLength = EdtUserLength->value();
  s.UserChars = RdoUserChars->ItemIndex();
  s.UserCase = RdoUserCase->ItemIndex();
  s.PasswordLength = EdtPasswordLength->value();
  s.PasswordChars = RdoPasswordChars->ItemIndex();
  s.PasswordCase = RdoPasswordCase->ItemIndex();
  return s;
}

}  // namespace pellora
