#include "common/Apache.h"
#include "common/Ports.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

// Kept free of the test framework: the benchmarks start this server too.
namespace pellora::testing {
namespace {
namespace fs = std::filesystem;

constexpr const char* kModules = "/usr/lib/apache2/modules";

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace

Apache::Apache(fs::path root, ApacheOptions options) : root_(std::move(root)), options_(std::move(options)) {}

std::string Apache::ErrorLog() const {
  return Slurp(root_ / "logs" / "startup.log") + Slurp(root_ / "logs" / "error.log");
}

bool Apache::Start(std::string& why) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    port_ = FreePort();
    tlsPort_ = options_.TlsCertificate.empty() ? 0 : FreePort();
    WriteConfig();
    if (Launch(why)) return true;
    Stop();
  }
  return false;
}

// The pid file names the server; its own process group also holds every
// child it started, which goes too if it will not stop by itself.
void Apache::Stop() {
  if (child_ <= 0) return;
  std::string pidText = Slurp(root_ / "run" / "httpd.pid");
  pid_t pid = pidText.empty() ? child_ : static_cast<pid_t>(std::atol(pidText.c_str()));
  ::kill(pid > 0 ? pid : child_, SIGTERM);
  if (!WaitExit(10)) {
    ::kill(-child_, SIGKILL);
    WaitExit(5);
  }
  ::kill(-child_, SIGKILL);  // any straggler of the group
  child_ = -1;
}

void Apache::WriteConfig() {
  for (const char* d : {"htdocs", "logs", "run"}) fs::create_directories(root_ / d);
  const std::string r = root_.string();
  std::string conf = "ServerRoot \"" + r + "\"\n" + "Listen 127.0.0.1:" + std::to_string(port_) + "\n" +
                     "ServerName 127.0.0.1\n"
                     "PidFile \"" +
                     r + "/run/httpd.pid\"\n" + "DefaultRuntimeDir \"" + r + "/run\"\n" + "Mutex file:" + r +
                     "/run default\n" + "ErrorLog \"" + r + "/logs/error.log\"\n" +
                     "LogLevel warn auth_basic:info authn_file:info\n";
  for (const char* m : {"mpm_prefork", "authn_core", "authn_file", "authz_core", "authz_user", "auth_basic"})
    conf += std::string("LoadModule ") + m + "_module " + kModules + "/mod_" + m + ".so\n";
  if (::geteuid() == 0) {
    // The children drop to an ordinary account; the tree is readable to it.
    conf += std::string("User ") + (::getpwnam("www-data") ? "www-data" : "nobody") + "\n";
    conf += std::string("Group ") + (::getgrnam("www-data") ? "www-data" : "nogroup") + "\n";
  }
  conf +=
      "StartServers 2\nMinSpareServers 1\nMaxSpareServers 3\nMaxRequestWorkers 8\n"
      "DocumentRoot \"" +
      r + "/htdocs\"\n" +
      "<Directory />\n  AllowOverride None\n  Require all denied\n</Directory>\n"
      "<Directory \"" +
      r + "/htdocs\">\n  AllowOverride AuthConfig FileInfo\n  Require all granted\n</Directory>\n";
  if (tlsPort_) {
    conf += std::string("LoadModule ssl_module ") + kModules + "/mod_ssl.so\n" +
            "Listen 127.0.0.1:" + std::to_string(tlsPort_) + "\n<VirtualHost 127.0.0.1:" + std::to_string(tlsPort_) +
            ">\n  SSLEngine on\n  SSLCertificateFile \"" + options_.TlsCertificate.string() +
            "\"\n  SSLCertificateKeyFile \"" + options_.TlsKey.string() + "\"\n</VirtualHost>\n";
  }
  conf += options_.Extra;
  std::ofstream(root_ / "httpd.conf", std::ios::binary) << conf;
}

bool Apache::Launch(std::string& why) {
  fs::remove(root_ / "run" / "httpd.pid");
  const std::string conf = (root_ / "httpd.conf").string();
  const std::string root = root_.string();
  const std::string startupLog = (root_ / "logs" / "startup.log").string();
  pid_t parent = ::getpid();
  child_ = ::fork();
  if (child_ < 0) {
    why = "fork failed";
    return false;
  }
  if (child_ == 0) {
    ::setpgid(0, 0);
    // Should the test die without its tear-down, the server goes with it.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    // Complaints about the configuration come before the error log opens.
    int out = ::open(startupLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::execl(kApache, kApache, "-d", root.c_str(), "-f", conf.c_str(), "-DFOREGROUND", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::setpgid(child_, child_);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(child_, &status, WNOHANG) == child_) {
      child_ = -1;
      why = "the server exited at start-up:\n" + ErrorLog();
      return false;
    }
    bool up = true;
    for (int port : {port_, tlsPort_}) {
      if (port == 0) continue;
      int fd = ConnectLocal(port);
      if (fd < 0) up = false;
      else ::close(fd);
    }
    if (up) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  why = "the server did not answer within 15 s:\n" + ErrorLog();
  return false;
}

bool Apache::WaitExit(int seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    pid_t r = ::waitpid(child_, &status, WNOHANG);
    if (r == child_ || r < 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace pellora::testing
