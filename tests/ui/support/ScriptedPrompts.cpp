#include "ScriptedPrompts.h"

#include <gtest/gtest.h>

using Kind = pellora::Prompts::Kind;
using Button = pellora::Prompts::Button;

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::Message: return "Message";
    case Kind::Confirm: return "Confirm";
    case Kind::Error: return "Error";
    case Kind::AskReplace: return "AskReplace";
    case Kind::OpenFile: return "OpenFile";
    case Kind::SaveFile: return "SaveFile";
    case Kind::ChooseFolder: return "ChooseFolder";
    case Kind::ShowException: return "ShowException";
    case Kind::Passphrase: return "Passphrase";
  }
  return "?";
}

ScriptedPrompts::~ScriptedPrompts() {
  for (const Answer& left : queue_)
    ADD_FAILURE() << "a " << KindName(left.kind) << " question was expected but never asked";
}

void ScriptedPrompts::Expect(Kind kind, Button answer) { queue_.push_back({kind, answer, {}}); }

void ScriptedPrompts::ExpectPath(Kind kind, const QString& path) { queue_.push_back({kind, Button::Ok, path}); }

const ScriptedPrompts::Question& ScriptedPrompts::LastAsked() const {
  static const Question none{Kind::Message, {}, {}, {}, Button::Ok};
  if (asked_.empty()) {
    ADD_FAILURE() << "no question was asked";
    return none;
  }
  return asked_.back();
}

void ScriptedPrompts::Forget() {
  asked_.clear();
  opened_.clear();
  viewed_.clear();
  helped_.clear();
}

ScriptedPrompts::Answer ScriptedPrompts::Take(Question question, Button cancelButton) {
  asked_.push_back(question);
  if (queue_.empty()) {
    ADD_FAILURE() << "unexpected " << KindName(question.kind) << " \"" << question.text.toStdString() << "\" ("
                  << question.caption.toStdString() << ")";
    return {question.kind, cancelButton, {}};
  }
  Answer answer = queue_.front();
  queue_.pop_front();
  if (answer.kind != question.kind) {
    ADD_FAILURE() << "expected a " << KindName(answer.kind) << " question, got " << KindName(question.kind) << " \""
                  << question.text.toStdString() << "\"";
    return {question.kind, cancelButton, {}};
  }
  return answer;
}

void ScriptedPrompts::Message(const QString& text, const QString& caption) {
  Take({Kind::Message, text, caption, {Button::Ok}, Button::Ok}, Button::Ok);
}

Button ScriptedPrompts::Confirm(const QString& text) {
  return Take({Kind::Confirm, text, "Confirm", {Button::Yes, Button::No, Button::Cancel}, Button::Yes}, Button::Cancel)
      .button;
}

void ScriptedPrompts::Error(const QString& text) {
  Take({Kind::Error, text, "Error", {Button::Ok}, Button::Ok}, Button::Ok);
}

bool ScriptedPrompts::AskReplace(const QString& text) {
  return Take({Kind::AskReplace, text, "Information", {Button::Yes, Button::No}, Button::Yes}, Button::No).button !=
         Button::No;
}

QString ScriptedPrompts::OpenFile(const FileDialog& dialog) {
  return Take({Kind::OpenFile, dialog.filter, dialog.defaultSuffix, {Button::Ok, Button::Cancel}, Button::Ok},
              Button::Cancel)
      .path;
}

QString ScriptedPrompts::SaveFile(const FileDialog& dialog) {
  return Take({Kind::SaveFile, dialog.filter, dialog.defaultSuffix, {Button::Ok, Button::Cancel}, Button::Ok},
              Button::Cancel)
      .path;
}

QString ScriptedPrompts::ChooseFolder(const QString& title, const QString& startFolder) {
  return Take({Kind::ChooseFolder, startFolder, title, {Button::Ok, Button::Cancel}, Button::Ok}, Button::Cancel).path;
}

void ScriptedPrompts::ShowException(const QString& text) {
  Take({Kind::ShowException, text, "Pellora", {Button::Ok}, Button::Ok}, Button::Ok);
}

std::optional<QString> ScriptedPrompts::AskPassphrase(const QString& text) {
  const Answer answer =
      Take({Kind::Passphrase, text, "Passphrase", {Button::Ok, Button::Cancel}, Button::Ok}, Button::Cancel);
  if (answer.button == Button::Cancel) return std::nullopt;
  return answer.path;
}

bool ScriptedPrompts::OpenUrl(const QUrl& url) {
  opened_.push_back(url);
  return desktopOpens;
}

void ScriptedPrompts::ViewTextFile(const QString& path) { viewed_.push_back(path); }

void ScriptedPrompts::ShowHelp(const QString& path) { helped_.push_back(path); }
