#pragma once
#include <string>
#include <string_view>

#include "cli/Progress.h"
#include "core/Log.h"
#include "core/ProjectSettings.h"

namespace pellora::cli {

// Exit statuses, as --help and the README document them.
enum ExitStatus : int {
  kExitDone = 0,
  kExitRefused = 1,  // the project or an input was refused; a file could not be written
  kExitUsage = 2,    // the command line itself is wrong
  kExitServer = 3,   // the server or the network failed the upload
};

// The log window of the desktop program, as lines on standard output: the
// same texts, LF line ends, flushed at once so that a log file written by
// cron shows how far a run got.
class StdoutLog : public LogSink {
 public:
  explicit StdoutLog(Progress* progress = nullptr) : progress_(progress) {}
  void Clear() override {}
  void AddLine(std::string_view text) override;
  void AppendText(std::string_view text) override;
  // The last line added that starts a step ("* ..."), for the progress line.
  const std::string& LastStep() const { return lastStep_; }

 private:
  void Put(std::string_view text);
  Progress* progress_;
  bool lineOpen_ = false;
  std::string lastStep_;
};

// A message to standard error, on a line of its own.
void PrintError(std::string_view text);
// The text of a refusal (standard error) and the status that goes with it.
int Refuse(std::string_view text);
int Refuse(const Refusal& refusal);

// A line of standard input without its line end, for passwords given through
// a pipe. On a terminal the typing is not echoed and prompt goes to standard
// error first. False when standard input cannot be read at all.
bool ReadSecretLine(std::string& out, const char* prompt);

// Standard output, for what a command was asked to print.
void PrintLine(std::string_view text);

}  // namespace pellora::cli
