#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "core/Log.h"

namespace pellora::testing {

// The log as the log window would show it: one entry per line.
class StringLog : public LogSink {
 public:
  void Clear() override { lines_.clear(); }
  void AddLine(std::string_view text) override;
  void AppendText(std::string_view text) override;
  // Every line followed by "\n".
  std::string Text() const;

 private:
  std::vector<std::string> lines_;
};

// Records every call in order, as "clear", "line:<text>" or "append:<text>".
class RecordingLog : public LogSink {
 public:
  void Clear() override { calls.push_back("clear"); }
  void AddLine(std::string_view text) override { calls.push_back("line:" + std::string(text)); }
  void AppendText(std::string_view text) override { calls.push_back("append:" + std::string(text)); }
  std::vector<std::string> calls;
};

}  // namespace pellora::testing
