#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/Files.h"
#include "common/FtpServer.h"
#include "common/Logs.h"
#include "common/Vsftpd.h"
#include "core/ProjectSettings.h"
#include "ftp/Upload.h"
#include "platform/WorkingFolder.h"

using namespace pellora;
using namespace pellora::testing;
namespace fs = std::filesystem;

namespace {

// Generated-like files: CR LF line ends, a hash line per user, and a size
// that needs more than one block of the data connection.
std::string Htpasswd() {
  std::string text;
  for (int i = 0; text.size() < 200000; ++i) text += "user" + std::to_string(i) + ":ab01FAX.bQRSU\r\n";
  return text;
}

const std::string kHtaccess =
    "AuthUserFile /.htpasswd\r\nAuthGroupFile /dev/null\r\nAuthName \"Members Only Area\"\r\n"
    "AuthType Basic\r\n\r\n<Limit GET POST PUT>\r\nrequire valid-user\r\n</Limit>\r\n";

// The inputs "Upload now!" would check for this server, with the generated
// files written into a working folder under dataHome.
UploadInputs InputsFor(int port, const std::string& user, const std::string& password, bool passive,
                       const fs::path& dataHome, const std::string& htpasswd) {
  ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
  WriteFile(WorkingFile(".htpasswd"), htpasswd);
  WriteFile(WorkingFile(".htaccess"), kHtaccess);
  ProjectSettings settings;
  settings.FtpHost = "127.0.0.1";
  settings.FtpPort = std::to_string(port);
  settings.FtpUser = user;
  settings.FtpPassword = password;
  settings.FtpPassive = passive;
  const UploadCheck check = CheckUploadInputs(settings);
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_FALSE(check.Refused);
  return check.Inputs;
}

}  // namespace

class RealServer : public ::testing::TestWithParam<bool> {};

TEST_P(RealServer, UploadsBothFilesByteForByte) {
  const bool passive = GetParam();
  TempDir home, data;
  fs::create_directory(home.Path() / "public_html");
  PyFtpServer server(home.Path(), "webmaster", "pw 1");
  ASSERT_TRUE(server.Running()) << "pyftpdlib did not start";

  const std::string htpasswd = Htpasswd();
  const UploadInputs inputs = InputsFor(server.Port(), "webmaster", "pw 1", passive, data.Path(), htpasswd);

  TFtpClient client;
  StringLog log;
  Uploader uploader(client, log);
  EXPECT_TRUE(uploader.Run(inputs));
  const std::string text = log.Text();
  EXPECT_TRUE(text.ends_with("\n* Disconnecting from 127.0.0.1\n\n* Disconnected\n* Both files were stored.\n"))
      << text;
  EXPECT_EQ(text.find("failed"), std::string::npos) << text;
  EXPECT_EQ(text.find("Secured"), std::string::npos) << text;
  EXPECT_EQ(ReadFile(home.Path() / ".htpasswd"), htpasswd);
  EXPECT_EQ(ReadFile(home.Path() / "public_html" / ".htaccess"), kHtaccess);

  // A second upload over the same client replaces the files.
  WriteFile(inputs.LocalHtaccess, "changed\r\n");
  log.Clear();
  EXPECT_TRUE(uploader.Run(inputs));
  EXPECT_EQ(ReadFile(home.Path() / "public_html" / ".htaccess"), "changed\r\n");
}

INSTANTIATE_TEST_SUITE_P(Modes, RealServer, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

// vsftpd insists on TLS for the login and the data, and on data connections
// that resume the control connection's session.
struct TlsCase {
  const char* name;
  bool implicit;
  bool passive;
};

void PrintTo(const TlsCase& c, std::ostream* out) { *out << c.name; }

class TlsServer : public ::testing::TestWithParam<TlsCase> {};

TEST_P(TlsServer, UploadsBothFilesWithTheAuthorityGiven) {
  const TlsCase c = GetParam();
  TempDir home, data;
  fs::create_directory(home.Path() / "public_html");
  Vsftpd server(home.Path(), c.implicit);
  if (!server.Running()) GTEST_SKIP() << server.Trouble();
  const std::string htpasswd = Htpasswd();
  UploadInputs inputs = InputsFor(server.Port(), server.User(), server.Password(), c.passive, data.Path(), htpasswd);
  inputs.Security = c.implicit ? FtpSecurity::ImplicitTls : FtpSecurity::ExplicitTls;

  TFtpClient client;
  client.TimeOut = 20000;
  client.Trust.CaFile = server.CaFile();
  StringLog log;
  Uploader uploader(client, log);
  EXPECT_TRUE(uploader.Run(inputs)) << log.Text();
  const std::string text = log.Text();
  EXPECT_NE(text.find("\n  Secured with TLSv1.3, certificate verified (SHA256:"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("\n* Disconnected\n* Both files were stored.\n")) << text;
  EXPECT_TRUE(ReadFile(home.Path() / ".htpasswd") == htpasswd);  // not shown: 200 kB
  EXPECT_EQ(ReadFile(home.Path() / "public_html" / ".htaccess"), kHtaccess);
}

INSTANTIATE_TEST_SUITE_P(Modes, TlsServer,
                         ::testing::Values(TlsCase{"ExplicitPassive", false, true},
                                           TlsCase{"ExplicitActive", false, false},
                                           TlsCase{"ImplicitPassive", true, true}),
                         [](const auto& info) { return info.param.name; });
