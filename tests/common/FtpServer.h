#pragma once
#include <sys/types.h>

#include <filesystem>
#include <string>

namespace pellora::testing {

// A real FTP server (Debian's pyftpdlib) on 127.0.0.1 with one user whose home
// is `home`; it stores uploaded bytes exactly as they arrive. A full disk
// takes each file's data and then refuses it with 552. With a certificate
// (its key in the same PEM file) it requires TLS after AUTH TLS.
class PyFtpServer {
 public:
  PyFtpServer(const std::filesystem::path& home, const std::string& user, const std::string& password,
              bool fullDisk = false, const std::string& certificate = {});
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
