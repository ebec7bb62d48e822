#pragma once
#include <functional>
#include <string_view>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QWidget>

#include "core/Log.h"

namespace pellora {

// The report window of Generate, Save now and the upload. It never blocks
// the main window and keeps its text until the next Clear, also while hidden.
class TFormLog : public QWidget, public LogSink {
  Q_OBJECT
 public:
  explicit TFormLog(QWidget* owner = nullptr);

  QPlainTextEdit* MemoLog;
  QPushButton* BtnStop;
  QLabel* LblProgress;
  QPushButton* BtnOk;

  // LogSink
  void Clear() override;
  void AddLine(std::string_view text) override;
  void AppendText(std::string_view text) override;

  void AddLine(const QString& text);
  void AppendText(const QString& text);
  void AddLine(const char* text) { AddLine(std::string_view(text)); }
  void AppendText(const char* text) { AppendText(std::string_view(text)); }
  // A line beside the buttons for how a long run goes; empty hides it.
  void ShowProgress(const QString& text) { LblProgress->setText(text); }
  void SetStopEnabled(bool enabled) { BtnStop->setEnabled(enabled); }
  void SetCloseEnabled(bool enabled) { BtnOk->setEnabled(enabled); }
  // Shows the window in front and returns at once.
  void ShowLog();
  void HideLog() { hide(); }

  // Run by "Stop" after the buttons are turned; the upload sets it while it runs.
  void SetStopHandler(std::function<void()> handler) { stopHandler_ = std::move(handler); }

  // The text as lines: a break at the very end starts no line of its own.
  QStringList Lines();
  QString Text();
  // Puts text added since the last event loop turn into the text area.
  void Flush();

 public slots:
  void BtnStopClick();
  void BtnOkClick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void FormCreate();
  void InsertAtEnd(const QString& text);

  std::function<void()> stopHandler_;
  QString pending_;  // added but not yet in the text area: lines come in bursts
  bool flushQueued_ = false;
  bool placed_ = false;
};

}  // namespace pellora
