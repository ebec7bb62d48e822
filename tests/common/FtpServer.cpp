#include "common/FtpServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace pellora::testing {

namespace fs = std::filesystem;

PyFtpServer::PyFtpServer(const fs::path& home, const std::string& user, const std::string& password, bool fullDisk,
                         const std::string& certificate) {
  const std::string tls = "tls:" + certificate;
  const std::string script = PELLORA_SOURCE_DIR "/tests/common/ftp_server.py";
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], 1);
    int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, 2);
    // The system interpreter: it is the one Debian's pyftpdlib is installed for.
    std::vector<const char*> args{"python3", script.c_str(), home.c_str(), user.c_str(), password.c_str()};
    if (fullDisk) args.push_back("full");
    if (!certificate.empty()) args.push_back(tls.c_str());
    args.push_back(nullptr);
    ::execv("/usr/bin/python3", const_cast<char* const*>(args.data()));
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
