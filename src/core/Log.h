#pragma once
#include <string_view>

namespace pellora {

// Where generation, local save and upload write their report: the log window
// of the desktop program, standard output of pellora-cli, a string in tests.
class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void Clear() = 0;
  // Adds text as a new last line; a CR LF inside the text breaks the line there.
  virtual void AddLine(std::string_view text) = 0;
  // Adds text at the very end, without a line break of its own.
  virtual void AppendText(std::string_view text) = 0;
};

}  // namespace pellora
