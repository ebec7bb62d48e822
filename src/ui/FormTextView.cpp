#include "ui/FormTextView.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pellora {

namespace {

// The files end their lines with CR LF; the text box breaks lines on LF
// alone and would show each CR as a stray character.
QString TextForView(const QByteArray& bytes) {
  QString text = QString::fromUtf8(bytes);
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace

// A window of its own rather than a dialog over its owner: the file is read
// beside the main window, which can come to the front over it.
TFormTextView::TFormTextView(QWidget* owner) : QDialog(owner, Qt::Window) {
  setObjectName("FormTextView");
  resize(600, 360);

  MemoText = new QPlainTextEdit(this);
  MemoText->setObjectName("MemoText");
  MemoText->setReadOnly(true);
  MemoText->setUndoRedoEnabled(false);
  // A line wrapped by the window would read as two lines of the file.
  MemoText->setLineWrapMode(QPlainTextEdit::NoWrap);
  MemoText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

  BtnClose = new QPushButton("Close", this);
  BtnClose->setObjectName("BtnClose");
  connect(BtnClose, &QPushButton::clicked, this, &QDialog::close);

  auto* column = new QVBoxLayout(this);
  column->addWidget(MemoText, 1);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(BtnClose);
  column->addLayout(row);
}

bool TFormTextView::Load(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  MemoText->setPlainText(TextForView(file.readAll()));
  setWindowTitle(QFileInfo(path).fileName());
  return true;
}

}  // namespace pellora
