#include "ui/FormUser.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QToolButton>
#include <QUrl>
#include <limits>

#include "core/Random.h"
#include "core/Text.h"
#include "ui/Prompts.h"

namespace pellora {

std::string TrimmedField(const QString& text) { return Trim(text.toStdString()); }

namespace {

// Notes keep CR LF between lines; the text box has its own separators.
QString NotesForBox(const std::string& notes) {
  QString text = QString::fromStdString(notes);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::string NotesFromBox(const QPlainTextEdit& box) {
  // The raw text, so a no-break space stays what it is; only the box's
  // line and paragraph separators turn into CR LF.
  QString text = box.document()->toRawText();
  QString out;
  out.reserve(text.size() + 16);
  for (QChar c : text) {
    if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == u'\n') out += QStringLiteral("\r\n");
    else if (c.unicode() == 0xfdd0 || c.unicode() == 0xfdd1) continue;  // frame markers of the document, not text
    else out += c;
  }
  return Trim(out.toStdString());
}

template <class W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QLineEdit* Edit(QWidget* parent, const char* name) {
  auto* edit = Named(new QLineEdit(parent), name);
  // No field has a length limit: a typed or pasted text is kept whole.
  edit->setMaxLength(std::numeric_limits<int>::max());
  return edit;
}

}  // namespace

TFormUser::TFormUser(Prompts& prompts, QWidget* parent) : QDialog(parent), prompts_(prompts) {
  setObjectName(QStringLiteral("FormUser"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setFixedSize(335, 315);

  constexpr int kLabelX = 16, kEditX = 88, kEditW = 200, kRowH = 22, kFlatX = 292;
  auto place = [](QWidget* w, int x, int y, int width, int height) { w->setGeometry(x, y, width, height); };

  LblUser = Named(new QLabel(QStringLiteral("User:"), this), "LblUser");
  place(LblUser, kLabelX, 16, kEditX - kLabelX - 4, kRowH);
  EdtUser = Edit(this, "EdtUser");
  place(EdtUser, kEditX, 16, kEditW, kRowH);
  LblUser->setBuddy(EdtUser);

  LblPassword = Named(new QLabel(QStringLiteral("Password:"), this), "LblPassword");
  place(LblPassword, kLabelX, 46, kEditX - kLabelX - 4, kRowH);
  EdtPassword = Edit(this, "EdtPassword");  // shown in clear on purpose
  place(EdtPassword, kEditX, 46, kEditW, kRowH);
  LblPassword->setBuddy(EdtPassword);

  BtnGeneratePassword = Named(new QToolButton(this), "BtnGeneratePassword");
  BtnGeneratePassword->setText(QStringLiteral("*"));
  BtnGeneratePassword->setToolTip(QStringLiteral("Generate Random Password"));
  place(BtnGeneratePassword, kFlatX, 46, kRowH, kRowH);

  ChkStatus = Named(new QCheckBox(QStringLiteral("Disabled"), this), "ChkStatus");
  place(ChkStatus, kEditX, 76, kEditW, kRowH);

  Bevel = Named(new QFrame(this), "Bevel");
  Bevel->setFrameShape(QFrame::HLine);
  Bevel->setFrameShadow(QFrame::Sunken);
  place(Bevel, 8, 104, 335 - 16, 4);

  LblEmail = Named(new QLabel(QStringLiteral("Email:"), this), "LblEmail");
  place(LblEmail, kLabelX, 116, kEditX - kLabelX - 4, kRowH);
  EdtEmail = Edit(this, "EdtEmail");
  place(EdtEmail, kEditX, 116, kEditW, kRowH);
  LblEmail->setBuddy(EdtEmail);

  BtnEmail = Named(new QToolButton(this), "BtnEmail");
  BtnEmail->setText(QStringLiteral("@"));
  BtnEmail->setToolTip(QStringLiteral("Send Email To This User"));
  place(BtnEmail, kFlatX, 116, kRowH, kRowH);

  LblFullName = Named(new QLabel(QStringLiteral("Full Name:"), this), "LblFullName");
  place(LblFullName, kLabelX, 146, kEditX - kLabelX - 4, kRowH);
  EdtFullName = Edit(this, "EdtFullName");
  place(EdtFullName, kEditX, 146, kEditW, kRowH);
  LblFullName->setBuddy(EdtFullName);

  LblNotes = Named(new QLabel(QStringLiteral("Notes:"), this), "LblNotes");
  place(LblNotes, kLabelX, 174, 120, 18);
  MemoNotes = Named(new QPlainTextEdit(this), "MemoNotes");
  // Tab leaves the box like any field; Enter stays in it as a line break.
  MemoNotes->setTabChangesFocus(true);
  place(MemoNotes, kLabelX, 194, kFlatX + kRowH - kLabelX, 74);
  LblNotes->setBuddy(MemoNotes);

  BtnOk = Named(new QPushButton(QStringLiteral("OK"), this), "BtnOk");
  BtnOk->setDefault(true);
  place(BtnOk, 150, 280, 80, 26);
  BtnCancel = Named(new QPushButton(QStringLiteral("Cancel"), this), "BtnCancel");
  place(BtnCancel, 236, 280, 80, 26);

  for (QToolButton* flat : {BtnGeneratePassword, BtnEmail}) {
    flat->setAutoRaise(true);
    flat->setFocusPolicy(Qt::NoFocus);
  }
  QWidget* order[] = {EdtUser, EdtPassword, ChkStatus, EdtEmail, EdtFullName, MemoNotes, BtnOk, BtnCancel};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

  // textChanged, unlike textEdited, also fires for text set by code, so the
  // rule holds after a fill and after a generated password too.
  connect(EdtUser, &QLineEdit::textChanged, this, &TFormUser::UpdateOkButton);
  connect(EdtPassword, &QLineEdit::textChanged, this, &TFormUser::UpdateOkButton);
  connect(BtnGeneratePassword, &QToolButton::clicked, this, &TFormUser::BtnGeneratePasswordClick);
  connect(BtnEmail, &QToolButton::clicked, this, &TFormUser::BtnEmailClick);
  connect(BtnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);

  ClearFields();
}

void TFormUser::showEvent(QShowEvent* event) {
  // A dialog puts the cursor back where it was when it closed; whether the
  // operator adds or edits, the name comes first.
  EdtUser->setFocus(Qt::OtherFocusReason);
  QDialog::showEvent(event);
}

void TFormUser::UpdateOkButton() {
  BtnOk->setEnabled(!TrimmedField(EdtUser->text()).empty() &&
                    (hashOnly_ || !TrimmedField(EdtPassword->text()).empty()));
}

void TFormUser::ClearFields() {
  hashOnly_ = false;
  EdtPassword->setPlaceholderText(QString());
  EdtUser->clear();
  EdtPassword->clear();
  ChkStatus->setChecked(false);
  EdtEmail->clear();
  EdtFullName->clear();
  MemoNotes->clear();
}

void TFormUser::SetFields(const TUserList& user) {
  // An adopted user's password is unknown: left empty, the kept hash stays.
  hashOnly_ = HashOnly(user);
  EdtPassword->setPlaceholderText(hashOnly_ ? QStringLiteral("(hash only)") : QString());
  EdtUser->setText(QString::fromStdString(user.UserName));
  EdtPassword->setText(QString::fromStdString(user.Password));
  ChkStatus->setChecked(user.Disabled);
  EdtEmail->setText(QString::fromStdString(user.Email));
  EdtFullName->setText(QString::fromStdString(user.FullName));
  MemoNotes->setPlainText(NotesForBox(user.Notes));
}

TUserList TFormUser::Fields() const {
  TUserList user;
  user.UserName = TrimmedField(EdtUser->text());
  user.Password = TrimmedField(EdtPassword->text());
  user.Disabled = ChkStatus->isChecked();
  user.Email = TrimmedField(EdtEmail->text());
  user.FullName = TrimmedField(EdtFullName->text());
  user.Notes = NotesFromBox(*MemoNotes);
  return user;
}

void TFormUser::BtnGeneratePasswordClick() {
  EdtPassword->setText(QString::fromStdString(RandomString(0, ClassRandom, CaseRandom)));
}

void TFormUser::BtnEmailClick() {
  OpenLink(prompts_, QUrl(QStringLiteral("mailto:") + QString::fromStdString(TrimmedField(EdtEmail->text())),
                          QUrl::TolerantMode));
}

}  // namespace pellora
