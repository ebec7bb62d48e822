#pragma once
#include <deque>
#include <vector>

#include <QString>
#include <QStringList>
#include <QUrl>

#include "ui/Prompts.h"

// Answers the program's dialogs from a queue filled by the test, records every
// question with its caption and buttons, and fails the test on a question that
// was not expected (wrong kind, or nothing queued). Shell openings and the
// program's viewer and help windows need no answer; they are only recorded.
class ScriptedPrompts : public pellora::Prompts {
 public:
  struct Question {
    Kind kind;
    QString text;     // message or question text; a file dialog's filter; a folder dialog's start folder
    QString caption;  // box caption; a file dialog's default suffix; a folder dialog's title
    std::vector<Button> buttons;
    Button defaultButton = Button::Ok;
  };

  ScriptedPrompts() = default;
  ScriptedPrompts(const ScriptedPrompts&) = delete;
  ScriptedPrompts& operator=(const ScriptedPrompts&) = delete;
  // Fails the test when queued answers were never asked for.
  ~ScriptedPrompts() override;

  // Queues the answer to the next question, which must be of this kind.
  // Message, Error and ShowException take Ok; Confirm and AskReplace a button.
  void Expect(Kind kind, Button answer = Button::Ok);
  // Queues the path a file or folder dialog returns; an empty path cancels.
  void ExpectPath(Kind kind, const QString& path);

  const std::vector<Question>& Asked() const { return asked_; }
  const Question& LastAsked() const;
  std::size_t Pending() const { return queue_.size(); }
  const std::vector<QUrl>& Opened() const { return opened_; }
  const QStringList& Viewed() const { return viewed_; }
  const QStringList& Helped() const { return helped_; }
  bool desktopOpens = true;  // what OpenUrl answers: false is a desktop without a browser
  void Forget();             // empties the records (not the queue)

  void Message(const QString& text, const QString& caption) override;
  Button Confirm(const QString& text) override;
  void Error(const QString& text) override;
  bool AskReplace(const QString& text) override;
  QString OpenFile(const FileDialog& dialog) override;
  QString SaveFile(const FileDialog& dialog) override;
  QString ChooseFolder(const QString& title, const QString& startFolder) override;
  void ShowException(const QString& text) override;
  // Answered by ExpectPath(Kind::Passphrase, typed) or Expect(Kind::Passphrase, Button::Cancel).
  std::optional<QString> AskPassphrase(const QString& text) override;
  bool OpenUrl(const QUrl& url) override;
  void ViewTextFile(const QString& path) override;
  void ShowHelp(const QString& path) override;

 private:
  struct Answer {
    Kind kind;
    Button button = Button::Ok;
    QString path;
  };
  // Records the question and takes the next answer; an unexpected question
  // fails the test and is answered as if the operator cancelled.
  Answer Take(Question question, Button cancelButton);

  std::deque<Answer> queue_;
  std::vector<Question> asked_;
  std::vector<QUrl> opened_;
  QStringList viewed_;
  QStringList helped_;
};

const char* KindName(pellora::Prompts::Kind kind);
