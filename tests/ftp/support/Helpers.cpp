#include "support/Helpers.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace pellora::testing {

namespace fs = std::filesystem;

void StringLog::AddLine(std::string_view text) {
  for (;;) {
    std::size_t crlf = text.find("\r\n");
    lines_.emplace_back(text.substr(0, crlf));
    if (crlf == std::string_view::npos) break;
    text.remove_prefix(crlf + 2);
  }
}

void StringLog::AppendText(std::string_view text) {
  if (lines_.empty()) lines_.emplace_back();
  std::size_t crlf = text.find("\r\n");
  lines_.back() += text.substr(0, crlf);
  if (crlf != std::string_view::npos) AddLine(text.substr(crlf + 2));
}

std::string StringLog::Text() const {
  std::string all;
  for (const auto& line : lines_) all += line + "\n";
  return all;
}

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "pellora-ftp-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

int CountOpenDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

PyFtpServer::PyFtpServer(const fs::path& home, const std::string& user, const std::string& password) {
  const std::string script = PELLORA_SOURCE_DIR "/tests/ftp/support/ftp_server.py";
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], 1);
    int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, 2);
    // The system interpreter: it is the one Debian's pyftpdlib is installed for.
    ::execl("/usr/bin/python3", "python3", script.c_str(), home.c_str(), user.c_str(), password.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  std::string line;
  char c = 0;
  pollfd p{out[0], POLLIN, 0};
  while (::poll(&p, 1, 20000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') line += c;
  ::close(out[0]);
  try {
    port_ = std::stoi(line);
  } catch (const std::exception&) {
    port_ = 0;
  }
}

PyFtpServer::~PyFtpServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
}

}  // namespace pellora::testing
