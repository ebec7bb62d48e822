// generate, save, upload and publish through the built binary, uploads
// against a real FTP server on 127.0.0.1.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/FtpServer.h"
#include "common/Vsftpd.h"
#include "ftp/TlsTransport.h"
#include "support/CliTest.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::ReadFile;
using testing::Result;
using ::testing::StartsWith;
using testing::TempDir;
using testing::User;
using testing::WriteFile;

constexpr const char* kGenerated = "* Generate .htaccess file ... OK!\n\n* Generate .htpasswd file ... OK!\n\n";

std::string UploadLog(int port, const std::string& passwordDir = "/", const std::string& webDir = "/public_html/") {
  return "* Tasks:\n"
         "  1. Upload .htpasswd file to remote directory: " +
         passwordDir +
         "\n"
         "  2. Upload .htaccess file to remote directory: " +
         webDir +
         "\n"
         "\n"
         "* Connecting to 127.0.0.1\n"
         "  Connected to host: 127.0.0.1\n"
         "  Remote address: 127.0.0.1 , Remote port: " +
         std::to_string(port) +
         "\n"
         "\n"
         "* Changing remote working directory to " +
         passwordDir +
         "\n"
         "  Changing remote working directory successfully\n"
         "\n"
         "* Uploading .htpasswd file to remote directory: " +
         passwordDir +
         ", ... ...\n"
         "  Uploading successfully\n"
         "\n"
         "* Changing remote working directory to " +
         webDir +
         "\n"
         "  Changing remote working directory successfully\n"
         "\n"
         "* Uploading .htaccess file to remote directory: " +
         webDir +
         ", ... ...\n"
         "  Uploading successfully\n"
         "\n"
         "* Disconnecting from 127.0.0.1\n"
         "\n"
         "* Disconnected\n"
         "* Both files were stored.\n";
}

class Publish : public testing::CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    fs::create_directories(ftpHome_.Path() / "public_html");
    settings_.FtpServerPath = "/home/web/";
    settings_.FtpHost = "127.0.0.1";
    settings_.FtpUser = "web";
    settings_.FtpPassword = "s3cret";
    // A format the project keeps its hashes of: publish writes the project back.
    settings_.PasswordHash = "apr1";
  }

  // Starts the server and points the project at it.
  bool StartServer(bool passive = true) {
    server_ = std::make_unique<testing::PyFtpServer>(ftpHome_.Path(), "web", "s3cret");
    settings_.FtpPort = std::to_string(server_->Port());
    settings_.FtpPassive = passive;
    Write();
    return server_->Running();
  }

  void Write() { MakeProject({User("bob", "pw1"), User("ann", "pw2"), User("off", "x", true)}, settings_); }

  fs::path OnServer(const char* path) const { return ftpHome_.Path() / path; }

  ProjectSettings settings_;
  TempDir ftpHome_;
  std::unique_ptr<testing::PyFtpServer> server_;
};

// --- upload ----------------------------------------------------------------------

TEST_F(Publish, UploadSendsTheGeneratedFilesInBothModes) {
  for (bool passive : {true, false}) {
    ASSERT_TRUE(StartServer(passive));
    ASSERT_EQ(Run({"generate", project_}).Status, 0);
    Result r = Run({"upload", project_});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, UploadLog(server_->Port()));
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(ReadFile(OnServer(".htpasswd")), ReadFile(WorkFile(".htpasswd")));
    EXPECT_EQ(ReadFile(OnServer("public_html/.htaccess")), ReadFile(WorkFile(".htaccess")));
    fs::remove(OnServer(".htpasswd"));
  }
}

TEST_F(Publish, UploadFromAFolderOfItsOwn) {
  ASSERT_TRUE(StartServer());
  TempDir out;
  ASSERT_EQ(Run({"generate", project_, "--out", out.Path().string()}).Status, 0);
  // Nothing in the working folder: without --from there is nothing to send.
  Result none = Run({"upload", project_});
  EXPECT_EQ(none.Status, 1);
  EXPECT_EQ(none.Err, "Please generate .htaccess and .htpasswd files first.\n");
  EXPECT_EQ(none.Out, "");

  Result r = Run({"upload", project_, "--from", out.Path().string()});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadFile(OnServer(".htpasswd")), ReadFile(out.Path() / ".htpasswd"));
  EXPECT_EQ(ReadFile(OnServer("public_html/.htaccess")), ReadFile(out.Path() / ".htaccess"));

  fs::remove(out.Path() / ".htpasswd");
  EXPECT_EQ(Run({"upload", project_, "--from", out.Path().string()}).Err,
            "Please generate .htaccess and .htpasswd files first.\n");
}

TEST_F(Publish, UploadRefusesMissingInputsInTheDesktopsOrder) {
  settings_.FtpHost = " ";
  settings_.FtpUser = "";
  settings_.FtpWebDirectory = "";
  Write();
  auto upload = [this] { return Run({"upload", project_}); };
  EXPECT_EQ(upload().Err, "Please input Ftp Server host name or ip address.\n");
  settings_.FtpHost = "127.0.0.1";
  Write();
  EXPECT_EQ(upload().Err, "Please input user name.\n");
  settings_.FtpUser = "web";
  Write();
  EXPECT_EQ(upload().Err, "Please input the FTP path of the web directory to be password protected.\n");
  settings_.FtpWebDirectory = "/public_html/";
  Write();
  Result r = upload();
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "Please generate .htaccess and .htpasswd files first.\n");
  EXPECT_EQ(r.Out, "");
}

TEST_F(Publish, AnEmptyUserOrPasswordIsTakenFromAPrivateNetrc) {
  ASSERT_TRUE(StartServer());
  ASSERT_EQ(Run({"generate", project_}).Status, 0);
  const fs::path home = dataHome_ / ".netrc", other = root_.Path() / "credentials";
  const std::string entry = "machine 127.0.0.1 login web password s3cret\n";
  struct Case {
    std::string user, password;  // the project's
    fs::path file;
    std::string text;
    unsigned mode;
    std::string option;  // the FILE of --netrc-file, if any
    int status;
    std::string err;
  } cases[] = {
      {"", "", home, entry, 0600, "", 0, ""},
      {"", "", home, entry, 0644, "", 1,
       "The .netrc file " + home.string() +
           " is open to other users (mode 0644): make it private with chmod 600, or fill in the project's FTP user "
           "and password.\n"},
      {"web", "s3cret", home, entry, 0666, "", 0, ""},  // not read at all
      {"web", "", home, "machine 127.0.0.1 login web2 password no\ndefault login web password s3cret", 0600, "", 0, ""},
      {"", "", home, "machine 127.0.0.1 login web\n", 0600, "", 3, "pellora-cli: 530 Authentication failed.\n"},
      {"", "", other, entry, 0400, other.string(), 0, ""},
      {"", "", other, entry, 0600, other.string() + "x", 1, "Can't read the .netrc file " + other.string() + "x\n"},
  };
  for (const Case& c : cases) {
    fs::remove(home);
    fs::remove(other);
    WriteFile(c.file, c.text);
    fs::permissions(c.file, static_cast<fs::perms>(c.mode));
    settings_.FtpUser = c.user;
    settings_.FtpPassword = c.password;
    Write();
    for (std::string command : {"upload", "publish"}) {
      std::vector<std::string> args{command, project_};
      if (!c.option.empty()) args.insert(args.end(), {"--netrc-file", c.option});
      Result r = Run(args);
      EXPECT_EQ(r.Status, c.status) << command << " " << c.text << c.mode;
      EXPECT_EQ(r.Err, c.err) << command << " " << c.text << c.mode;
      UserList users;
      ProjectSettings stored;
      ASSERT_TRUE(LoadProjectFile(project_, users, stored));
      EXPECT_EQ(stored.FtpUser + ":" + stored.FtpPassword, c.user + ":" + c.password)
          << "the login from .netrc stays out of the project";
    }
  }
}

TEST_F(Publish, ServerFailuresExitThree) {
  ASSERT_TRUE(StartServer());
  ASSERT_EQ(Run({"generate", project_}).Status, 0);

  settings_.FtpPassword = "wrong";
  Write();
  Result login = Run({"upload", project_});
  EXPECT_EQ(login.Status, 3);
  EXPECT_THAT(login.Out, HasSubstr("  Connecting failed\n  Server said: 530 Authentication failed.\n"));
  EXPECT_THAT(login.Out, EndsWith("\n* Disconnected\n* No file was stored.\n"));
  EXPECT_EQ(login.Err, "pellora-cli: 530 Authentication failed.\n");

  // .htpasswd is stored, then the web folder is refused: not both files.
  settings_.FtpPassword = "s3cret";
  settings_.FtpWebDirectory = "/no/such/folder/";
  Write();
  Result cwd = Run({"upload", project_});
  EXPECT_EQ(cwd.Status, 3);
  EXPECT_THAT(cwd.Out, HasSubstr("Changing remote working directory failed.\n  Server said: 550 "));
  EXPECT_THAT(cwd.Out, EndsWith("\n* Disconnected\n* Only .htpasswd was stored.\n"));
  EXPECT_THAT(cwd.Err, StartsWith("pellora-cli: 550 "));
  EXPECT_TRUE(fs::exists(OnServer(".htpasswd")));

  // Nobody listening.
  settings_.FtpWebDirectory = "/public_html/";
  settings_.FtpPort = "1";
  Write();
  Result refused = Run({"upload", project_});
  EXPECT_EQ(refused.Status, 3);
  EXPECT_THAT(refused.Out, HasSubstr("  Connecting failed\n  Error: 10061:Connection refused\n"));
  EXPECT_EQ(refused.Err, "pellora-cli: 10061:Connection refused\n");
}

TEST_F(Publish, AFailedUploadSaysWhyOnStandardErrorAndKeepsTheLog) {
  // A server whose disk is full takes the data and then refuses it.
  server_ = std::make_unique<testing::PyFtpServer>(ftpHome_.Path(), "web", "s3cret", true);
  ASSERT_TRUE(server_->Running());
  settings_.FtpPort = std::to_string(server_->Port());
  Write();
  ASSERT_EQ(Run({"generate", project_}).Status, 0);
  const std::string full = UploadLog(server_->Port());
  const std::string stored = "  Uploading successfully\n";
  const std::string untilTheFirstStore = full.substr(0, full.find(stored));
  for (const char* command : {"upload", "publish"}) {
    SCOPED_TRACE(command);
    Result r = Run({command, project_});
    EXPECT_EQ(r.Status, 3);
    EXPECT_EQ(r.Out, (command == std::string("publish") ? kGenerated : "") + untilTheFirstStore +
                         "Uploading failed.\n  Server said: 552 Requested file action aborted: disk full.\n"
                         "\n* Disconnected\n* No file was stored.\n");
    EXPECT_EQ(r.Err, "pellora-cli: 552 Requested file action aborted: disk full.\n");
  }
}

TEST_F(Publish, ASilentServerEndsTheUploadAfterTheTimeout) {
  // Accepts connections (the kernel does) and never says a word.
  const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(silent, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(silent, 4), 0);
  socklen_t size = sizeof address;
  ASSERT_EQ(::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &size), 0);
  settings_.FtpPort = std::to_string(ntohs(address.sin_port));
  Write();
  ASSERT_EQ(Run({"generate", project_}).Status, 0);
  Result r = Run({"upload", project_, "--timeout", "1"});
  ::close(silent);
  EXPECT_EQ(r.Status, 3);
  EXPECT_THAT(r.Out, EndsWith("\n  Error: No progress for 1 s: Socket readln aborted\n\n* Disconnected\n"
                              "* No file was stored.\n"));
  EXPECT_EQ(r.Err, "pellora-cli: No progress for 1 s: Socket readln aborted\n");
}

// --- save --------------------------------------------------------------------------

TEST_F(Publish, SaveCopiesAndReplacesOnlyWhenAsked) {
  Write();
  TempDir target;
  const std::string dir = target.Path().string();
  Result early = Run({"save", project_, "--to", dir});
  EXPECT_EQ(early.Status, 1);
  EXPECT_EQ(early.Err, "Please generate .htaccess and .htpasswd files first.\n");

  ASSERT_EQ(Run({"generate", project_}).Status, 0);
  Result first = Run({"save", project_, "--to", dir + "/"});
  EXPECT_EQ(first.Status, 0) << first.Err;
  EXPECT_EQ(first.Out, "Save .htaccess file to " + dir + "/.htaccess ... OK!\n\nSave .htpasswd file to " + dir +
                           "/.htpasswd ... OK!\n\n");
  EXPECT_EQ(ReadFile(target.Path() / ".htpasswd"), ReadFile(WorkFile(".htpasswd")));

  WriteFile(target.Path() / ".htaccess", "older");
  Result kept = Run({"save", project_, "--to", dir});
  EXPECT_EQ(kept.Status, 1);
  EXPECT_THAT(kept.Out, StartsWith("Save .htaccess file to " + dir + "/.htaccess ... Failed!\n\n"));
  EXPECT_THAT(kept.Err, HasSubstr("--replace"));
  EXPECT_EQ(ReadFile(target.Path() / ".htaccess"), "older");

  Result replaced = Run({"save", project_, "--to", dir, "--replace"});
  EXPECT_EQ(replaced.Status, 0);
  EXPECT_EQ(ReadFile(target.Path() / ".htaccess"), ReadFile(WorkFile(".htaccess")));
}

TEST_F(Publish, SaveTakesTheProjectsDirectoryAndChecksIt) {
  ASSERT_EQ((Write(), Run({"generate", project_}).Status), 0);
  Result none = Run({"save", project_});
  EXPECT_EQ(none.Status, 1);
  EXPECT_THAT(none.Err, HasSubstr("No directory to save to"));

  TempDir target;
  settings_.LocalDirectory = (target.Path() / "missing").string();
  Write();
  Result missing = Run({"save", project_});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_EQ(missing.Err, "The specified directory does not exist!\n");

  settings_.LocalDirectory = target.Path().string();
  Write();
  TempDir from;
  WriteFile(from.Path() / ".htaccess", "A");
  WriteFile(from.Path() / ".htpasswd", "P");
  EXPECT_EQ(Run({"save", project_, "--from", from.Path().string()}).Status, 0);
  EXPECT_EQ(ReadFile(target.Path() / ".htaccess"), "A");
  EXPECT_EQ(ReadFile(target.Path() / ".htpasswd"), "P");
}

// A server that insists on TLS: its certificate is trusted only as the
// command line says, and a kept one that changes is refused.
TEST_F(Publish, OverTlsTheCertificateIsTrustedOnlyAsTheOptionsSay) {
  testing::Vsftpd server(ftpHome_.Path());
  if (!server.Running()) GTEST_SKIP() << server.Trouble();
  const std::string port = std::to_string(server.Port());
  settings_.FtpPort = port;
  settings_.FtpUser = server.User();
  settings_.FtpPassword = server.Password();
  settings_.FtpProtocol = "ftpes";
  Write();
  ASSERT_EQ(Run({"generate", project_}).Status, 0);

  const std::string untrusted =
      "pellora-cli: The server's certificate is not trusted (unable to get local issuer certificate); its "
      "fingerprint is ";
  Result first = Run({"upload", project_});
  EXPECT_EQ(first.Status, 3);
  ASSERT_THAT(first.Err, StartsWith(untrusted));
  const std::string fingerprint = first.Err.substr(untrusted.size(), first.Err.size() - untrusted.size() - 1);
  EXPECT_FALSE(fs::exists(OnServer(".htpasswd")));

  const std::string remote = "Remote port: " + port + "\n";
  struct Case {
    std::vector<std::string> options;
    std::string how;
  } cases[] = {
      {{"--cacert", server.CaFile()}, "certificate verified"},
      {{"--pin", fingerprint}, "certificate pinned"},
      {{"--pin", FingerprintHex(*ParseFingerprint(fingerprint))}, "certificate pinned"},
      {{"--accept-new-certificate"}, "certificate pinned now"},
      {{}, "certificate pinned"},  // kept by the run before
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    fs::remove(OnServer(".htpasswd"));
    std::vector<std::string> args{"upload", project_};
    args.insert(args.end(), c.options.begin(), c.options.end());
    Result r = Run(args);
    EXPECT_EQ(r.Status, 0) << r.Err;
    std::string log = UploadLog(server.Port());
    log.insert(log.find(remote) + remote.size(), "  Secured with TLSv1.3, " + c.how + " (" + fingerprint + ")\n");
    EXPECT_EQ(r.Out, log);
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(ReadFile(OnServer(".htpasswd")), ReadFile(WorkFile(".htpasswd")));
  }
  const fs::path kept = WorkFile("trusted-certificates");
  EXPECT_EQ(ReadFile(kept), "127.0.0.1:" + port + " " + fingerprint + "\n");
  EXPECT_EQ(fs::status(kept).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

  const std::string other = "SHA256:" + std::string(43, 'A');
  WriteFile(kept, "127.0.0.1:" + port + " " + other + "\n");
  Result changed = Run({"upload", project_, "--accept-new-certificate"});
  EXPECT_EQ(changed.Status, 3);
  EXPECT_EQ(changed.Err, "pellora-cli: The server's certificate has changed since it was trusted: it is now " +
                             fingerprint + ", it was " + other + "; the new one is refused\n");
  EXPECT_EQ(ReadFile(kept), "127.0.0.1:" + port + " " + other + "\n");

  // For one run: plain FTP, which this server refuses, and SFTP, which it
  // does not speak.
  Result plain = Run({"publish", project_, "--protocol", "ftp"});
  EXPECT_EQ(plain.Status, 3);
  EXPECT_THAT(plain.Out, Not(HasSubstr("Secured")));
  EXPECT_THAT(plain.Err, StartsWith("pellora-cli: 530 "));
  EXPECT_THAT(Run({"show", project_}).Out, HasSubstr("\nFTPPROTOCOL=ftpes\n"));  // for that run only
  Result sftp = Run({"upload", project_, "--protocol", "sftp", "--timeout", "5"});
  EXPECT_EQ(sftp.Status, 3);
  EXPECT_THAT(sftp.Err, StartsWith("pellora-cli: "));
  for (const Result& r : {first, changed, plain}) EXPECT_THAT(r.Out + r.Err, Not(HasSubstr(server.Password())));
}

// --- publish ------------------------------------------------------------------------

TEST_F(Publish, PublishGeneratesThenUploads) {
  ASSERT_TRUE(StartServer());
  Result r = Run({"publish", project_});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out, kGenerated + UploadLog(server_->Port()));
  EXPECT_EQ(ReadFile(OnServer("public_html/.htaccess")), ReadFile(WorkFile(".htaccess")));
  const std::string htpasswd = ReadFile(OnServer(".htpasswd"));
  EXPECT_EQ(htpasswd, ReadFile(WorkFile(".htpasswd")));
  EXPECT_THAT(htpasswd, StartsWith("bob:"));
  EXPECT_THAT(htpasswd, HasSubstr("\r\nann:"));
  EXPECT_THAT(htpasswd, ::testing::Not(HasSubstr("off:")));
}

TEST_F(Publish, PublishChecksEverythingBeforeReplacingTheGeneratedFiles) {
  Write();
  ASSERT_EQ(Run({"generate", project_}).Status, 0);
  const std::string before = ReadFile(WorkFile(".htpasswd"));
  settings_.FtpUser = "";
  Write();
  Result r = Run({"publish", project_});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "Please input user name.\n");
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(ReadFile(WorkFile(".htpasswd")), before);

  settings_.ToFtpServer = false;
  settings_.LocalDirectory = (root_.Path() / "missing").string();
  Write();
  EXPECT_EQ(Run({"publish", project_}).Err, "The specified directory does not exist!\n");
  EXPECT_EQ(ReadFile(WorkFile(".htpasswd")), before);

  MakeProject({User("off", "x", true)}, settings_);
  EXPECT_EQ(Run({"publish", project_}).Err, "Please define user/password list.\n");
}

TEST_F(Publish, PublishToTheLocalDirectory) {
  TempDir target;
  settings_.ToFtpServer = false;
  settings_.LocalDirectory = target.Path().string();
  Write();
  Result r = Run({"publish", project_});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_THAT(r.Out, StartsWith(kGenerated));
  EXPECT_EQ(ReadFile(target.Path() / ".htpasswd"), ReadFile(WorkFile(".htpasswd")));
  // The next run finds the files of the first one there.
  EXPECT_EQ(Run({"publish", project_}).Status, 1);
  EXPECT_EQ(Run({"publish", project_, "--replace"}).Status, 0);
  EXPECT_EQ(ReadFile(target.Path() / ".htpasswd"), ReadFile(WorkFile(".htpasswd")));
}

}  // namespace
}  // namespace pellora
