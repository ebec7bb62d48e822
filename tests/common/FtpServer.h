#pragma once
#include <filesystem>
#include <string>

#include "common/Daemons.h"

namespace pellora::testing {

// A real FTP server (Debian's pyftpdlib) on 127.0.0.1 with one user whose home
// is `home`; it stores uploaded bytes exactly as they arrive. A full disk
// takes each file's data and then refuses it with 552. With a certificate
// (its key in the same PEM file) it requires TLS after AUTH TLS.
class PyFtpServer : public PythonServer {
 public:
  PyFtpServer(const std::filesystem::path& home, const std::string& user, const std::string& password,
              bool fullDisk = false, const std::string& certificate = {});
};

}  // namespace pellora::testing
