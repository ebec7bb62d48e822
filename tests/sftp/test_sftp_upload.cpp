// SFTP uploads through the built pellora-cli against OpenSSH's sshd and a
// scripted server, and Stop through the upload itself.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <tuple>

#include "cli/support/CliTest.h"
#include "common/Logs.h"
#include "common/Sshd.h"
#include "ftp/Upload.h"
#include "sftp/SftpClient.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::ReadFile;
using testing::Result;
using testing::TempDir;
using testing::WriteFile;

const std::string kHtpasswd = "bob:$apr1$abcdefgh$0123456789abcdefghijkl\n";
const std::string kHtaccess = "AuthType Basic\nRequire valid-user\n";

std::string UploadLog(int port, const std::string& auth, const std::string& web, const std::string& secured) {
  return "* Tasks:\n  1. Upload .htpasswd file to remote directory: " + auth +
         "\n  2. Upload .htaccess file to remote directory: " + web +
         "\n\n* Connecting to 127.0.0.1\n  Connected to host: 127.0.0.1\n  Remote address: 127.0.0.1 , Remote port: " +
         std::to_string(port) + "\n  Secured with " + secured + "\n\n* Changing remote working directory to " + auth +
         "\n  Changing remote working directory successfully\n\n* Uploading .htpasswd file to remote directory: " +
         auth + ", ... ...\n  Uploading successfully\n\n* Changing remote working directory to " + web +
         "\n  Changing remote working directory successfully\n\n* Uploading .htaccess file to remote directory: " +
         web +
         ", ... ...\n  Uploading successfully\n\n* Disconnecting from 127.0.0.1\n\n* Disconnected\n"
         "* Both files were stored.\n";
}

// The names in a folder.
std::vector<std::string> InFolder(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class Sftp : public testing::CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    // Only an agent a test starts may take part.
    ::unsetenv("SSH_AUTH_SOCK");
    fs::create_directories(server_.Path() / "auth");
    fs::create_directories(server_.Path() / "www");
    from_.Write(".htpasswd", kHtpasswd);
    from_.Write(".htaccess", kHtaccess);
    settings_.FtpHost = "127.0.0.1";
    settings_.FtpProtocol = "sftp";
  }

  // The project points at the server's folders by the names the server uses.
  void Point(int port, const std::string& user, const std::string& auth, const std::string& web) {
    settings_.FtpPort = std::to_string(port);
    settings_.FtpUser = user;
    settings_.AuthUserFile = auth;
    settings_.FtpWebDirectory = web;
    MakeProject({}, settings_);
  }

  Result Upload(std::vector<std::string> extra = {}, const std::string& input = "") {
    std::vector<std::string> args{"upload", project_, "--from", from_.Path().string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args, input);
  }

  fs::path OnServer(const char* name) const { return server_.Path() / name; }

  TempDir server_;
  TempDir from_;
  ProjectSettings settings_;
};

TEST_F(Sftp, KeyLoginStoresBothFilesAndTrustsOnlyTheFirstHostKeyItIsToldTo) {
  testing::Sshd sshd;
  if (!sshd.Running()) GTEST_SKIP() << sshd.Trouble();
  const std::string auth = OnServer("auth").string(), web = OnServer("www").string();
  settings_.SftpKeyFile = sshd.KeyFile();
  Point(sshd.Port(), sshd.User(), auth, web);
  const std::string key = "ssh-ed25519 " + sshd.Fingerprint();
  const std::string server = "127.0.0.1:" + std::to_string(sshd.Port());

  Result unknown = Upload();
  EXPECT_EQ(unknown.Status, 3);
  EXPECT_EQ(unknown.Err, "pellora-cli: The host key of " + server + " is not known: " + key + "\n");
  EXPECT_TRUE(InFolder(OnServer("auth")).empty());

  Result first = Upload({"--accept-new-host-key"});
  EXPECT_EQ(first.Status, 0) << first.Err;
  EXPECT_EQ(first.Out, UploadLog(sshd.Port(), auth, web, "SSH, host key " + key + " (accepted now)"));
  EXPECT_EQ(ReadFile(OnServer("auth/.htpasswd")), kHtpasswd);
  EXPECT_EQ(ReadFile(OnServer("www/.htaccess")), kHtaccess);
  const fs::path known = WorkFile("known_hosts");
  EXPECT_THAT(ReadFile(known), ::testing::StartsWith("[127.0.0.1]:" + std::to_string(sshd.Port()) + " ssh-ed25519 "));
  EXPECT_EQ(fs::status(known).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

  // Old files are replaced whole, and no temporary file is left behind.
  WriteFile(OnServer("auth/.htpasswd"), "old:x\n");
  Result again = Upload();
  EXPECT_EQ(again.Status, 0) << again.Err;
  EXPECT_THAT(again.Out, HasSubstr("  Secured with SSH, host key " + key + " (known)\n"));
  EXPECT_EQ(ReadFile(OnServer("auth/.htpasswd")), kHtpasswd);
  EXPECT_EQ(InFolder(OnServer("auth")), std::vector<std::string>{".htpasswd"});

  const std::string kept = ReadFile(known);
  WriteFile(OnServer("auth/.htpasswd"), "old:x\n");
  ASSERT_TRUE(sshd.ChangeHostKey()) << sshd.Trouble();
  Result changed = Upload({"--accept-new-host-key"});
  EXPECT_EQ(changed.Status, 3);
  EXPECT_THAT(changed.Err, HasSubstr("The host key of " + server + " has changed: it is now ssh-ed25519 " +
                                     sshd.Fingerprint() + ". Someone may be listening in"));
  EXPECT_EQ(ReadFile(known), kept);
  EXPECT_EQ(ReadFile(OnServer("auth/.htpasswd")), "old:x\n");

  // The operator's own file is read, never written, and a line before the
  // kept key that cannot be read does not hide it.
  const fs::path own = dataHome_ / ".ssh" / "known_hosts";
  fs::create_directories(own.parent_path());
  const std::string ownText = "# mine\n@cert-authority *.example ssh-ed25519 AAAA\nnot a key line\n" + kept;
  WriteFile(own, ownText);
  fs::remove(known);
  Result changedToo = Upload({"--accept-new-host-key"});
  EXPECT_EQ(changedToo.Status, 3);
  EXPECT_THAT(changedToo.Err, HasSubstr("has changed"));
  EXPECT_EQ(ReadFile(own), ownText);
  EXPECT_FALSE(fs::exists(known));
}

TEST_F(Sftp, KeyFilesAndTheirPassphrases) {
  testing::Sshd sshd;
  if (!sshd.Running()) GTEST_SKIP() << sshd.Trouble();
  TempDir keys;
  keys.Write("not-a-key", "hello\n");
  const std::string locked = sshd.EncryptedKeyFile();
  struct Case {
    std::string keyFile;
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string error;  // what standard error holds
  };
  const Case cases[] = {
      {locked, {}, "", 3, "The key file " + locked + " needs a passphrase"},
      {locked, {"--key-passphrase-stdin"}, "wrong horse\n", 3, "is not a private key, or its passphrase is wrong"},
      {locked, {"--key-passphrase-stdin"}, "correct horse\n", 0, ""},
      {keys.File("missing"), {}, "", 3, "The key file " + keys.File("missing") + " cannot be read"},
      {keys.File("not-a-key"), {}, "", 3, "is not a private key"},
  };
  for (const Case& c : cases) {
    fs::remove(OnServer("auth/.htpasswd"));
    settings_.SftpKeyFile = c.keyFile;
    Point(sshd.Port(), sshd.User(), OnServer("auth").string(), OnServer("www").string());
    std::vector<std::string> args = c.args;
    args.push_back("--accept-new-host-key");
    Result r = Upload(args, c.input);
    EXPECT_EQ(r.Status, c.status) << c.keyFile << " " << r.Err;
    EXPECT_THAT(r.Err, HasSubstr(c.error)) << c.keyFile;
    EXPECT_THAT(r.Out + r.Err, Not(HasSubstr("horse")));
    EXPECT_EQ(ReadFile(OnServer("auth/.htpasswd")), c.status == 0 ? kHtpasswd : "") << c.keyFile;
  }
}

TEST_F(Sftp, AnAgentLogsInWithoutAKeyFile) {
  testing::Sshd sshd;
  if (!sshd.Running()) GTEST_SKIP() << sshd.Trouble();
  Point(sshd.Port(), sshd.User(), OnServer("auth").string(), OnServer("www").string());
  Result none = Upload({"--accept-new-host-key"});
  EXPECT_EQ(none.Status, 3);
  EXPECT_EQ(none.Err,
            "pellora-cli: The server takes no login this program can offer (it takes: publickey); give a password, a "
            "key file or an SSH agent\n");

  TempDir agentDir;
  const std::string socket = agentDir.File("agent");
  ASSERT_EQ(std::system(("ssh-agent -a " + socket + " >" + agentDir.File("out") + " && SSH_AUTH_SOCK=" + socket +
                         " ssh-add -q " + sshd.KeyFile() + " 2>/dev/null")
                            .c_str()),
            0);
  const std::string out = agentDir.Read("out");
  const std::size_t at = out.find("SSH_AGENT_PID=");
  ASSERT_NE(at, std::string::npos);
  const pid_t agent = std::stoi(out.substr(at + 14));
  ::setenv("SSH_AUTH_SOCK", socket.c_str(), 1);
  Result r = Upload({"--accept-new-host-key"});
  ::unsetenv("SSH_AUTH_SOCK");
  ::kill(agent, SIGTERM);
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadFile(OnServer("auth/.htpasswd")), kHtpasswd);
}

TEST_F(Sftp, PasswordLoginsAndServersThatFail) {
  // Big enough that the refused writes come after some that went through.
  const std::string big = kHtpasswd + std::string(60000, '#') + "\n";
  struct Case {
    std::string behaviour;
    std::string password;
    std::vector<std::string> args;
    int status;
    std::string error;  // standard error, after "pellora-cli: "
  };
  const Case cases[] = {
      {"", "s3cret", {}, 0, ""},
      {"", "wrong", {}, 3, "The server refused the login of web"},
      {"silent", "s3cret", {"--timeout", "1"}, 3, "No progress for 1 s: SFTP start aborted"},
      {"failwrite", "s3cret", {}, 3, "Failure: /auth/.htpasswd.part-"},
  };
  for (const Case& c : cases) {
    WriteFile(OnServer("auth/.htpasswd"), "old:x\n");
    WriteFile(OnServer("www/.htaccess"), "old\n");
    from_.Write(".htpasswd", c.behaviour == "failwrite" ? big : kHtpasswd);
    testing::ScriptedSftpServer sftp(server_.Path(), "web", "s3cret", c.behaviour);
    ASSERT_TRUE(sftp.Running());
    settings_.FtpPassword = c.password;
    Point(sftp.Port(), "web", "/auth", "/www");
    std::vector<std::string> args = c.args;
    args.push_back("--accept-new-host-key");
    Result r = Upload(args);
    EXPECT_EQ(r.Status, c.status) << c.behaviour << " " << r.Err;
    EXPECT_THAT(r.Err, HasSubstr(c.error)) << c.behaviour;
    EXPECT_THAT(r.Out + r.Err, Not(HasSubstr("s3cret")));
    // Whatever happened, each file is either the old one or the new one, whole.
    EXPECT_EQ(ReadFile(OnServer("auth/.htpasswd")), c.status == 0 ? kHtpasswd : "old:x\n") << c.behaviour;
    EXPECT_EQ(ReadFile(OnServer("www/.htaccess")), c.status == 0 ? kHtaccess : "old\n") << c.behaviour;
    EXPECT_EQ(InFolder(OnServer("auth")), std::vector<std::string>{".htpasswd"}) << c.behaviour;
    fs::remove(WorkFile("known_hosts"));
  }
}

TEST(SftpStop, StopEndsAWaitOnASilentServer) {
  TempDir root, work;
  ::setenv("XDG_DATA_HOME", work.Path().c_str(), 1);
  testing::ScriptedSftpServer sftp(root.Path(), "web", "s3cret", "silent");
  ASSERT_TRUE(sftp.Running());
  root.Write(".htpasswd", kHtpasswd);
  root.Write(".htaccess", kHtaccess);
  TSftpClient client;
  client.AskHostKey = [](const HostKeyInfo&) { return true; };
  client.UserKnownHostsFile.clear();
  testing::StringLog log;
  Uploader uploader(client, log);
  const auto start = std::chrono::steady_clock::now();
  client.Pump = [&] {
    if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(300)) uploader.Stop();
  };
  UploadInputs in;
  in.Host = "127.0.0.1";
  in.Port = sftp.Port();
  in.User = "web";
  in.Password = "s3cret";
  in.LocalHtpasswd = root.Path() / ".htpasswd";
  in.LocalHtaccess = root.Path() / ".htaccess";
  EXPECT_FALSE(uploader.Run(in));  // no time limit: only Stop ends it
  EXPECT_THAT(log.Text(), ::testing::EndsWith("  Stopped by the user\n\n* Disconnected\n* No file was stored.\n"));
  EXPECT_FALSE(client.Connected());
  ::unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace pellora
