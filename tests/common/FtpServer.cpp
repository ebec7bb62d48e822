#include "common/FtpServer.h"

#include <vector>

namespace pellora::testing {

namespace {

std::vector<std::string> Arguments(const std::filesystem::path& home, const std::string& user,
                                   const std::string& password, bool fullDisk, const std::string& certificate) {
  std::vector<std::string> args{home.string(), user, password};
  if (fullDisk) args.push_back("full");
  if (!certificate.empty()) args.push_back("tls:" + certificate);
  return args;
}

}  // namespace

PyFtpServer::PyFtpServer(const std::filesystem::path& home, const std::string& user, const std::string& password,
                         bool fullDisk, const std::string& certificate)
    : PythonServer(PELLORA_SOURCE_DIR "/tests/common/ftp_server.py",
                   Arguments(home, user, password, fullDisk, certificate)) {}

}  // namespace pellora::testing
