#include "common/Sshd.h"

#include "common/Ports.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace pellora::testing {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSshd = "/usr/sbin/sshd";

}  // namespace

Sshd::Sshd() {
  if (::access(kSshd, X_OK) != 0) {
    trouble_ = "sshd is not installed (scripts/setup)";
    return;
  }
  if (::geteuid() != 0) {
    trouble_ = "sshd needs root";
    return;
  }
  if (const passwd* pw = ::getpwuid(::geteuid())) user_ = pw->pw_name;
  const fs::path log = dir_.Path() / "setup.log";
  const std::string d = dir_.Path().string();
  if (!RunLogged("cd " + d +
                     " && ssh-keygen -q -t ed25519 -N '' -f host_key && ssh-keygen -q -t ed25519 -N '' -f user_key" +
                     " && ssh-keygen -q -t ed25519 -N 'correct horse' -f locked_key",
                 log)) {
    trouble_ = "ssh-keygen failed: " + dir_.Read("setup.log");
    return;
  }
  dir_.Write("authorized_keys", dir_.Read("user_key.pub") + dir_.Read("locked_key.pub"));
  fs::create_directories("/run/sshd");  // sshd's own empty folder
  port_ = FreePort();
  dir_.Write("sshd_config", "Port " + std::to_string(port_) + "\nListenAddress 127.0.0.1\nHostKey " + d +
                                "/host_key\nAuthorizedKeysFile " + d +
                                "/authorized_keys\nPasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                                "UsePAM no\nStrictModes no\nPidFile none\nPermitRootLogin prohibit-password\n"
                                "Subsystem sftp internal-sftp\n");
  Start();
}

bool Sshd::Start() {
  const std::string d = dir_.Path().string();
  pid_ = StartDaemon({kSshd, "-D", "-e", "-f", d + "/sshd_config"}, d + "/stderr", port_);
  if (pid_ > 0) return true;
  trouble_ = "sshd did not start: " + dir_.Read("stderr");
  return false;
}

void Sshd::Stop() { StopDaemon(pid_); }

Sshd::~Sshd() { Stop(); }

std::string Sshd::Fingerprint() const {
  std::string text;
  if (FILE* out = ::popen(("ssh-keygen -l -f " + dir_.File("host_key.pub") + " | cut -d' ' -f2").c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, out)) text += buffer;
    ::pclose(out);
  }
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

bool Sshd::ChangeHostKey() {
  Stop();
  const std::string d = dir_.Path().string();
  if (!RunLogged("cd " + d + " && rm -f host_key host_key.pub && ssh-keygen -q -t ed25519 -N '' -f host_key",
                 dir_.Path() / "setup.log"))
    return false;
  return Start();
}

ScriptedSftpServer::ScriptedSftpServer(const fs::path& root, const std::string& user, const std::string& password,
                                       const std::string& behaviour)
    : PythonServer(PELLORA_SOURCE_DIR "/tests/common/sftp_server.py", {root.string(), user, password, behaviour}) {}

}  // namespace pellora::testing
