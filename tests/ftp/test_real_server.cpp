#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/Files.h"
#include "common/FtpServer.h"
#include "common/Logs.h"
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

}  // namespace

class RealServer : public ::testing::TestWithParam<bool> {};

TEST_P(RealServer, UploadsBothFilesByteForByte) {
  const bool passive = GetParam();
  TempDir home, data;
  fs::create_directory(home.Path() / "public_html");
  PyFtpServer server(home.Path(), "webmaster", "pw 1");
  ASSERT_TRUE(server.Running()) << "pyftpdlib did not start";

  ::setenv("XDG_DATA_HOME", data.Path().c_str(), 1);
  const std::string htpasswd = Htpasswd();
  WriteFile(WorkingFile(".htpasswd"), htpasswd);
  WriteFile(WorkingFile(".htaccess"), kHtaccess);
  ProjectSettings settings;
  settings.FtpHost = "127.0.0.1";
  settings.FtpPort = std::to_string(server.Port());
  settings.FtpUser = "webmaster";
  settings.FtpPassword = "pw 1";
  settings.FtpPassive = passive;
  const UploadCheck check = CheckUploadInputs(settings);
  ::unsetenv("XDG_DATA_HOME");
  ASSERT_FALSE(check.Refused);

  TFtpClient client;
  StringLog log;
  Uploader uploader(client, log);
  EXPECT_TRUE(uploader.Run(check.Inputs));
  const std::string text = log.Text();
  EXPECT_TRUE(text.ends_with("\n* Disconnecting from 127.0.0.1\n\n* Disconnected\n* Both files were stored.\n"))
      << text;
  EXPECT_EQ(text.find("failed"), std::string::npos) << text;
  EXPECT_EQ(ReadFile(home.Path() / ".htpasswd"), htpasswd);
  EXPECT_EQ(ReadFile(home.Path() / "public_html" / ".htaccess"), kHtaccess);

  // A second upload over the same client replaces the files.
  WriteFile(check.Inputs.LocalHtaccess, "changed\r\n");
  log.Clear();
  EXPECT_TRUE(uploader.Run(check.Inputs));
  EXPECT_EQ(ReadFile(home.Path() / "public_html" / ".htaccess"), "changed\r\n");
}

INSTANTIATE_TEST_SUITE_P(Modes, RealServer, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });
