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

bool Run(const std::string& command, const fs::path& log) {
  return std::system((command + " >>" + log.string() + " 2>&1").c_str()) == 0;
}

// Whether someone answers on the port.
bool Answers(int port) {
  const int fd = ConnectLocal(port);
  if (fd >= 0) ::close(fd);
  return fd >= 0;
}

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
  if (!Run("cd " + d + " && ssh-keygen -q -t ed25519 -N '' -f host_key && ssh-keygen -q -t ed25519 -N '' -f user_key" +
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
  pid_ = ::fork();
  if (pid_ == 0) {
    ::setpgid(0, 0);  // the sessions it forks are stopped with it
    int out = ::open((d + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out >= 0) {
      ::dup2(out, 1);
      ::dup2(out, 2);
    }
    ::execl(kSshd, kSshd, "-D", "-e", "-f", (d + "/sshd_config").c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::setpgid(pid_, pid_);
  for (int i = 0; i < 100; ++i) {
    if (Answers(port_)) return true;
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  Stop();
  trouble_ = "sshd did not start: " + dir_.Read("stderr");
  return false;
}

void Sshd::Stop() {
  if (pid_ > 0) {
    ::kill(-pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
}

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
  if (!Run("cd " + d + " && rm -f host_key host_key.pub && ssh-keygen -q -t ed25519 -N '' -f host_key",
           dir_.Path() / "setup.log"))
    return false;
  return Start();
}

ScriptedSftpServer::ScriptedSftpServer(const fs::path& root, const std::string& user, const std::string& password,
                                       const std::string& behaviour) {
  const std::string script = PELLORA_SOURCE_DIR "/tests/common/sftp_server.py";
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], 1);
    int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, 2);
    ::execl("/usr/bin/python3", "python3", script.c_str(), root.c_str(), user.c_str(), password.c_str(),
            behaviour.c_str(), static_cast<char*>(nullptr));
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

ScriptedSftpServer::~ScriptedSftpServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

}  // namespace pellora::testing
