#pragma once
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/Log.h"

namespace pellora::gentest {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Records every call in order, as "clear", "line:<text>" or "append:<text>".
class RecordingLog : public LogSink {
 public:
  void Clear() override { calls.push_back("clear"); }
  void AddLine(std::string_view text) override { calls.push_back("line:" + std::string(text)); }
  void AppendText(std::string_view text) override { calls.push_back("append:" + std::string(text)); }
  std::vector<std::string> calls;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& data);

}  // namespace pellora::gentest
