#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "common/Files.h"
#include "common/FtpServer.h"
#include "common/Logs.h"
#include "common/Vsftpd.h"
#include "core/ProjectSettings.h"
#include "ftp/TlsTransport.h"
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

// A certificate that chains to the authority given is still refused when it
// names another host or has expired; a pin accepts what the chain does not.
// The server is pyftpdlib over TLS, which needs no root.
TEST(TlsCertificates, OnlyAValidCertificateForTheHostOrAPinnedOneIsAccepted) {
  TempDir certs, data;
  const auto make = [&](const std::string& name, const std::string& san, int days) {
    const std::string key = "openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ";
    const std::string commands =
        "cd " + certs.Path().string() + " && ( [ -f ca.pem ] || " + key +
        "-x509 -days 2 -keyout ca.key -out ca.pem -subj /CN=CA ) && " + key + "-keyout " + name + ".key -out " + name +
        ".csr -subj /CN=" + name + " && echo " + san + " > " + name + ".san && openssl x509 -req -in " + name +
        ".csr -CA ca.pem -CAkey ca.key -CAcreateserial -days " + std::to_string(days) + " -extfile " + name +
        ".san -out " + name + ".crt && cat " + name + ".crt " + name + ".key > " + name + ".pem";
    const bool ok = std::system(("(" + commands + ") >/dev/null 2>&1").c_str()) == 0;
    EXPECT_TRUE(ok) << "openssl could not make " << name;
    return certs.Path() / (name + ".pem");
  };
  const struct {
    const char* name;
    fs::path certificate;
    bool pin;
    bool stored;
    const char* logged;
  } cases[] = {
      {"valid", make("valid", "subjectAltName=IP:127.0.0.1", 2), false, true, "certificate verified"},
      {"another host", make("other", "subjectAltName=DNS:localhost", 2), false, false, "is not trusted ("},
      {"expired", make("expired", "subjectAltName=IP:127.0.0.1", 0), false, false, "is not trusted ("},
      {"another host, pinned", certs.Path() / "other.pem", true, true, "certificate pinned"},
  };
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // the certificate of 0 days is past by now
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir home;
    fs::create_directory(home.Path() / "public_html");
    PyFtpServer server(home.Path(), "webmaster", "pw 1", false, c.certificate.string());
    ASSERT_TRUE(server.Running()) << "pyftpdlib with TLS did not start (python3-openssl)";
    UploadInputs inputs = InputsFor(server.Port(), "webmaster", "pw 1", true, data.Path(), "a:b\r\n");
    inputs.Security = FtpSecurity::ExplicitTls;
    TFtpClient client;
    client.Trust.CaFile = (certs.Path() / "ca.pem").string();
    if (c.pin) {
      // The digest of the certificate as the server shows it.
      const std::string digest =
          "openssl x509 -in " + c.certificate.string() + " -outform DER | openssl dgst -sha256 -hex";
      FILE* out = ::popen(digest.c_str(), "r");
      char line[256] = {};
      ASSERT_TRUE(out && std::fgets(line, sizeof line, out));
      ::pclose(out);
      const std::string text = line;
      client.Trust.Pin = ParseFingerprint(text.substr(text.rfind(' ') + 1, 64));
      ASSERT_TRUE(client.Trust.Pin);
    }
    StringLog log;
    Uploader uploader(client, log);
    EXPECT_EQ(uploader.Run(inputs), c.stored) << log.Text();
    EXPECT_NE(log.Text().find(c.logged), std::string::npos) << log.Text();
    EXPECT_EQ(fs::exists(home.Path() / ".htpasswd"), c.stored);
    EXPECT_EQ(log.Text().find("pw 1"), std::string::npos);
  }
}
