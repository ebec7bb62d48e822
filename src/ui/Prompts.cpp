#include "ui/Prompts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QUrlQuery>

#include "ui/FormHelp.h"
#include "ui/FormTextView.h"

namespace pellora {

namespace {

// Brings a window of the program back to the front, also after it was minimised.
void ShowInFront(QWidget& window) {
  window.show();
  window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  window.raise();
  window.activateWindow();
}

}  // namespace

void OpenLink(Prompts& prompts, const QUrl& url) {
  if (prompts.OpenUrl(url)) return;
  QString text;
  if (url.scheme() == QLatin1String("mailto")) {
    text = "No mail program could be started on this desktop.";
    const QString address = url.path(QUrl::FullyDecoded);
    const QString subject = QUrlQuery(url).queryItemValue("subject", QUrl::FullyDecoded);
    if (!address.isEmpty()) text += " The address, to copy into a mail program:\n\n" + address;
    if (!address.isEmpty() && !subject.isEmpty()) text += "\n\nSubject: " + subject;
  } else {
    text = "No web browser could be started on this desktop. The address, to copy into a web browser:\n\n" +
           url.toString();
  }
  prompts.Message(text, "Warning");
}

QtPrompts::~QtPrompts() {
  for (auto& [path, view] : views_) delete view.data();
  delete help_.data();
}

void QtPrompts::Message(const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner_);
  // A message may hold an address or a path the operator wants to copy.
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);
  box.exec();
}

Prompts::Button QtPrompts::Confirm(const QString& text) {
  QMessageBox box(QMessageBox::Question, "Confirm", text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                  owner_);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Yes: return Button::Yes;
    case QMessageBox::No: return Button::No;
    default: return Button::Cancel;
  }
}

void QtPrompts::Error(const QString& text) {
  QMessageBox box(QMessageBox::Critical, "Error", text, QMessageBox::Ok, owner_);
  box.exec();
}

bool QtPrompts::AskReplace(const QString& text) {
  QMessageBox box(QMessageBox::Information, "Information", text, QMessageBox::Yes | QMessageBox::No, owner_);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() != QMessageBox::No;
}

QString QtPrompts::OpenFile(const FileDialog& dialog) {
  QFileDialog box(owner_);
  box.setAcceptMode(QFileDialog::AcceptOpen);
  box.setFileMode(QFileDialog::ExistingFile);
  box.setNameFilter(dialog.filter);
  if (!dialog.defaultSuffix.isEmpty()) box.setDefaultSuffix(dialog.defaultSuffix);
  if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return {};
  return box.selectedFiles().constFirst();
}

QString QtPrompts::SaveFile(const FileDialog& dialog) {
  QFileDialog box(owner_);
  box.setAcceptMode(QFileDialog::AcceptSave);
  box.setFileMode(QFileDialog::AnyFile);
  box.setNameFilter(dialog.filter);
  if (!dialog.defaultSuffix.isEmpty()) box.setDefaultSuffix(dialog.defaultSuffix);
  box.setOption(QFileDialog::DontConfirmOverwrite, !dialog.confirmOverwrite);
  if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return {};
  return box.selectedFiles().constFirst();
}

QString QtPrompts::ChooseFolder(const QString& title, const QString& startFolder) {
  return QFileDialog::getExistingDirectory(owner_, title, startFolder.isEmpty() ? QDir::homePath() : startFolder,
                                           QFileDialog::ShowDirsOnly);
}

void QtPrompts::ShowException(const QString& text) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text, QMessageBox::Ok, owner_);
  box.exec();
}

std::optional<QString> QtPrompts::AskPassphrase(const QString& text) {
  bool ok = false;
  QString typed = QInputDialog::getText(owner_, "Passphrase", text, QLineEdit::Password, {}, &ok);
  if (!ok) return std::nullopt;
  return typed;
}

bool QtPrompts::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

void QtPrompts::ViewTextFile(const QString& path) {
  QPointer<TFormTextView>& view = views_[path];
  if (!view) view = new TFormTextView(owner_);
  if (!view->Load(path)) {
    Error("Can't open file " + path);
    return;
  }
  ShowInFront(*view);
}

void QtPrompts::ShowHelp(const QString& path) {
  if (!help_) help_ = new TFormHelp(*this, owner_);
  if (!help_->Open(path)) {
    Error("Can't open help file " + path);
    return;
  }
  ShowInFront(*help_);
}

}  // namespace pellora
