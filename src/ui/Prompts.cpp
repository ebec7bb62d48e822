#include "ui/Prompts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace pellora {

void QtPrompts::Message(const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner_);
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

QString QtPrompts::ChooseFolder(const QString& title) {
  // Starts at the top of the operator's own folders; the field's current text plays no part.
  return QFileDialog::getExistingDirectory(owner_, title, QDir::homePath(), QFileDialog::ShowDirsOnly);
}

void QtPrompts::ShowException(const QString& text) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text, QMessageBox::Ok, owner_);
  box.exec();
}

void QtPrompts::OpenUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

void QtPrompts::ViewTextFile(const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

}  // namespace pellora
