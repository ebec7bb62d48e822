#include "common/Vsftpd.h"

#include "common/Daemons.h"
#include "common/Ports.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

namespace pellora::testing {

namespace fs = std::filesystem;

namespace {

constexpr const char* kVsftpd = "/usr/sbin/vsftpd";

std::string RandomText(std::size_t size) {
  static const char letters[] = "abcdefghijkmnpqrstuvwxyz23456789";
  std::random_device device;
  std::string text;
  for (std::size_t i = 0; i < size; ++i) text += letters[device() % (sizeof letters - 1)];
  return text;
}

// An authority and a certificate for 127.0.0.1 signed by it, as a web host's
// would be, with keys on a curve that is quick to make.
bool MakeCertificates(const fs::path& dir, const fs::path& log) {
  WriteFile(dir / "ext.cnf", "subjectAltName=IP:127.0.0.1\n");
  const std::string key = "openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 ";
  return RunLogged("cd " + dir.string() + " && " + key +
                       "-x509 -keyout ca.key -out ca.pem -subj '/CN=Pellora Test CA' && " + key +
                       "-keyout server.key -out server.csr -subj /CN=127.0.0.1 && openssl x509 -req -in server.csr " +
                       "-CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile ext.cnf -out server.pem",
                   log);
}

}  // namespace

Vsftpd::Vsftpd(const fs::path& home, bool implicit) {
  if (!Start(home, implicit) && trouble_.empty()) trouble_ = "vsftpd did not start";
}

bool Vsftpd::Start(const fs::path& home, bool implicit) {
  if (::access(kVsftpd, X_OK) != 0) return trouble_ = "vsftpd is not installed (scripts/setup)", false;
  if (::geteuid() != 0) return trouble_ = "vsftpd needs root for its local account", false;
  const fs::path log = dir_.Path() / "setup.log";
  if (!MakeCertificates(dir_.Path(), log)) return trouble_ = "openssl failed: " + dir_.Read("setup.log"), false;

  // vsftpd checks local accounts through PAM; the service "other" does
  // without the login shell the account has no need of.
  user_ = "pellora-ftp-" + std::to_string(::getpid()) + "-" + RandomText(4);
  password_ = RandomText(16);
  if (!RunLogged(
          "useradd --system --no-create-home --home-dir " + home.string() + " --shell /usr/sbin/nologin " + user_, log))
    return trouble_ = "useradd failed: " + dir_.Read("setup.log"), false;
  userMade_ = true;
  if (!RunLogged("echo '" + user_ + ":" + password_ + "' | chpasswd", log) ||
      !RunLogged("chown -R " + user_ + " " + home.string(), log))
    return trouble_ = "the account could not be set up: " + dir_.Read("setup.log"), false;

  fs::create_directory(dir_.Path() / "empty");
  port_ = FreePort();
  const std::string d = dir_.Path().string();
  dir_.Write("vsftpd.conf",
             "listen=YES\nbackground=NO\nlisten_address=127.0.0.1\nlisten_port=" + std::to_string(port_) +
                 "\nanonymous_enable=NO\nlocal_enable=YES\nwrite_enable=YES\nlocal_umask=022\n"
                 "chroot_local_user=YES\nallow_writeable_chroot=YES\nlocal_root=" +
                 home.string() + "\nsecure_chroot_dir=" + d +
                 "/empty\npam_service_name=other\nseccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
                 "connect_from_port_20=NO\nxferlog_enable=NO\nvsftpd_log_file=" +
                 d + "/vsftpd.log\n" + "ssl_enable=YES\nrsa_cert_file=" + d + "/server.pem\nrsa_private_key_file=" + d +
                 "/server.key\nforce_local_logins_ssl=YES\nforce_local_data_ssl=YES\n"
                 "require_ssl_reuse=YES\nssl_ciphers=HIGH\n" +
                 (implicit ? "implicit_ssl=YES\n" : ""));
  pid_ = StartDaemon({kVsftpd, d + "/vsftpd.conf"}, d + "/stderr", port_);
  if (pid_ > 0) return true;
  port_ = 0;
  trouble_ = "vsftpd did not start: " + dir_.Read("stderr");
  return false;
}

Vsftpd::~Vsftpd() {
  StopDaemon(pid_);
  // The sessions that ran as the account may take a moment to go.
  for (int i = 0; userMade_ && i < 50; ++i) {
    userMade_ = !RunLogged("userdel " + user_, dir_.Path() / "setup.log");
    if (userMade_) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace pellora::testing
