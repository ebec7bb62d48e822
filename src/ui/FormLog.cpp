#include "ui/FormLog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

namespace pellora {

namespace {
// Reports arrive with CR LF line ends; the text area breaks lines on LF alone.
QString Lf(QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}
}  // namespace

TFormLog::TFormLog(QWidget* owner) : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setObjectName("TFormLog");
  setFixedSize(550, 242);

  MemoLog = new QPlainTextEdit(this);
  MemoLog->setObjectName("MemoLog");
  MemoLog->setGeometry(8, 8, 537, 197);
  MemoLog->setReadOnly(true);
  MemoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MemoLog->setUndoRedoEnabled(false);  // an undo stack would keep a second copy of every report

  LblProgress = new QLabel(this);
  LblProgress->setObjectName("LblProgress");
  LblProgress->setGeometry(8, 210, 356, 29);

  BtnStop = new QPushButton(this);
  BtnStop->setObjectName("BtnStop");
  BtnStop->setGeometry(372, 210, 81, 29);

  BtnOk = new QPushButton(this);
  BtnOk->setObjectName("BtnOk");
  BtnOk->setGeometry(462, 210, 81, 29);

  connect(BtnStop, &QPushButton::clicked, this, &TFormLog::BtnStopClick);
  connect(BtnOk, &QPushButton::clicked, this, &TFormLog::BtnOkClick);
  FormCreate();
}

void TFormLog::FormCreate() {
  setWindowTitle("View Log File");
  MemoLog->clear();
  BtnStop->setText("Stop");
  BtnOk->setText("Close");
}

void TFormLog::Clear() {
  pending_.clear();
  MemoLog->clear();
}

void TFormLog::AddLine(std::string_view text) {
  AddLine(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TFormLog::AppendText(std::string_view text) {
  AppendText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TFormLog::AddLine(const QString& text) {
  // A new line starts where the last one ended; when the text ends inside a
  // line (after AppendText), the break goes in front instead, as a memo's
  // line list does it.
  const bool atLineStart =
      pending_.isEmpty() ? MemoLog->document()->lastBlock().length() <= 1 : pending_.endsWith('\n');
  InsertAtEnd(atLineStart ? Lf(text) + '\n' : '\n' + Lf(text));
}

void TFormLog::AppendText(const QString& text) { InsertAtEnd(Lf(text)); }

void TFormLog::InsertAtEnd(const QString& text) {
  // Text waits until the event loop turns (an upload's waits turn it), so a
  // burst of lines costs one layout of the text area instead of one per line.
  pending_ += text;
  if (!flushQueued_) {
    flushQueued_ = true;
    QTimer::singleShot(0, this, &TFormLog::Flush);
  }
}

void TFormLog::Flush() {
  flushQueued_ = false;
  if (pending_.isEmpty()) return;
  // Inserting at the end keeps long reports cheap: the document is never rebuilt.
  QTextCursor cursor(MemoLog->document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(pending_);
  pending_.clear();
  MemoLog->setTextCursor(cursor);
  MemoLog->verticalScrollBar()->setValue(MemoLog->verticalScrollBar()->maximum());
}

QString TFormLog::Text() {
  Flush();
  return MemoLog->toPlainText();
}

QStringList TFormLog::Lines() {
  QStringList lines = Text().split('\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

void TFormLog::ShowLog() {
  if (!placed_ && parentWidget()) {
    const QRect owner = parentWidget()->window()->frameGeometry();
    move(owner.center() - rect().center());
    placed_ = true;
  }
  Flush();
  show();
  raise();
  activateWindow();
}

void TFormLog::BtnStopClick() {
  BtnStop->setEnabled(false);
  BtnOk->setEnabled(true);
  if (stopHandler_) stopHandler_();
}

void TFormLog::BtnOkClick() { hide(); }

void TFormLog::closeEvent(QCloseEvent* event) {
  // The window lives as long as the program; the frame's close button only hides it.
  event->ignore();
  hide();
}

void TFormLog::keyPressEvent(QKeyEvent* event) {
  // Escape is "Close" from the keyboard, so it does nothing while Close is
  // disabled: during an upload only Stop ends it.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (BtnOk->isEnabled()) BtnOkClick();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace pellora
