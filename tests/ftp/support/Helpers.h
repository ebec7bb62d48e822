#pragma once
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>
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

// A fresh folder under the system's temporary folder, removed with its contents.
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

void WriteFile(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFile(const std::filesystem::path& path);

// Open descriptors of this process.
int CountOpenDescriptors();

// A real FTP server (Debian's pyftpdlib) on 127.0.0.1 with one user whose home
// is `home`; it stores uploaded bytes exactly as they arrive.
class PyFtpServer {
 public:
  PyFtpServer(const std::filesystem::path& home, const std::string& user, const std::string& password);
  ~PyFtpServer();
  PyFtpServer(const PyFtpServer&) = delete;
  PyFtpServer& operator=(const PyFtpServer&) = delete;
  int Port() const { return port_; }
  bool Running() const { return port_ > 0; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace pellora::testing
