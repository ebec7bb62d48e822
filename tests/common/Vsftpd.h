#pragma once
#include <sys/types.h>

#include <filesystem>
#include <string>

#include "common/Files.h"

namespace pellora::testing {

// A real FTP server (Debian's vsftpd) on 127.0.0.1 that requires TLS for the
// login and every data connection, and a data connection that resumes the
// control connection's TLS session. Its certificate for 127.0.0.1 comes from
// an authority made for this server alone (CaFile). It runs as root with a
// local account made for it and removed with it; `home` is the account's
// root and is handed to it. Implicit: TLS from the first byte.
class Vsftpd {
 public:
  explicit Vsftpd(const std::filesystem::path& home, bool implicit = false);
  ~Vsftpd();
  Vsftpd(const Vsftpd&) = delete;
  Vsftpd& operator=(const Vsftpd&) = delete;

  bool Running() const { return port_ > 0; }
  // Why the server is not running, for a test that skips.
  const std::string& Trouble() const { return trouble_; }
  int Port() const { return port_; }
  const std::string& User() const { return user_; }
  const std::string& Password() const { return password_; }
  std::string CaFile() const { return dir_.File("ca.pem"); }

 private:
  bool Start(const std::filesystem::path& home, bool implicit);

  TempDir dir_;
  std::string user_;
  std::string password_;
  bool userMade_ = false;
  std::string trouble_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace pellora::testing
