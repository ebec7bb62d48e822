// new, show and set through the built binary.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/CliTest.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testing::ReadFile;
using testing::Result;
using testing::TempDir;
using testing::User;

using Cli = testing::CliTest;

// The folder's permission bits stop everyone but root, so root runs the
// command as nobody. Only the status and standard error come back.
Result RunUnprivileged(const std::vector<std::string>& args, const fs::path& dataHome) {
  const passwd* pw = ::getpwnam("nobody");
  if (::geteuid() != 0 || !pw) return testing::RunCli(args, dataHome);
  int out[2];
  if (::pipe(out) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(out[0]);
    if (::setgid(pw->pw_gid) != 0 || ::setuid(pw->pw_uid) != 0) ::_exit(99);
    const Result r = testing::RunCli(args, dataHome);
    (void)!::write(out[1], r.Err.data(), r.Err.size());
    ::_exit(r.Status);
  }
  ::close(out[1]);
  Result r;
  char buffer[512];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) r.Err.append(buffer, static_cast<std::size_t>(n));
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::size_t FilesIn(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST_F(Cli, NewWritesWhatTheDesktopsNewAndSaveWriteAndNothingElse) {
  Result made = Run({"new", project_});
  EXPECT_EQ(made.Status, 0) << made.Err;
  EXPECT_EQ(made.Out + made.Err, "");
  const std::string desktop = (root_.Path() / "desktop.htp").string();
  ASSERT_TRUE(SaveProjectFile(desktop, UserList{}, ProjectSettings{}));
  EXPECT_EQ(ReadFile(project_), ReadFile(desktop));
  struct stat st {};
  ASSERT_EQ(::stat(project_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  testing::WriteFile(desktop, "not a project");
  for (const std::string& existing : {project_, desktop}) {
    Result again = Run({"new", existing});
    EXPECT_EQ(again.Status, 1);
    EXPECT_EQ(again.Err, "The file " + existing + " already exists; new never writes over a file.\n");
  }
  EXPECT_EQ(ReadFile(desktop), "not a project");

  const std::string missing = (root_.Path() / "no" / "p.htp").string();
  Result noFolder = Run({"new", missing});
  EXPECT_EQ(noFolder.Status, 1);
  EXPECT_EQ(noFolder.Err,
            "Can't save project as " + missing + "\n(there is no folder " + (root_.Path() / "no").string() + ")\n");

  const fs::path readOnly = root_.Path() / "ro";
  fs::create_directory(readOnly);
  ASSERT_EQ(::chmod(root_.Path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(readOnly.c_str(), 0555), 0);
  const std::string inReadOnly = (readOnly / "p.htp").string();
  Result refused = RunUnprivileged({"new", inReadOnly}, dataHome_);
  EXPECT_EQ(refused.Status, 1);
  EXPECT_EQ(refused.Err,
            "Can't save project as " + inReadOnly + "\n(the folder " + readOnly.string() + " may not be written to)\n");
  EXPECT_EQ(FilesIn(readOnly), 0u);
  EXPECT_EQ(FilesIn(root_.Path()), 4u);  // xdg, the two projects, ro: no temporary left behind
}

TEST_F(Cli, ShowPrintsEverySettingUnderItsFileNameWithThePasswordMasked) {
  ProjectSettings settings;
  settings.FtpHost = "ftp.example.org";
  settings.FtpPassword = "s3cret";
  settings.AuthName =
      "Te\x1b"
      "am";
  settings.ToFtpServer = false;
  MakeProject({User("bob", "pw"), User("off", "x", true)}, settings);
  Result r = Run({"show", project_});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out,
            "AUTHUSERFILE=/\nFTPSERVERPATH=/home/yourloginname/\nAUTHNAME=Te\\x1Bam\nREDIRECTERROR=0\n"
            "REDIRECTERRORPAGE=http://www.your-web-site.example/error.htm\nTOFTPSERVER=0\nFTPHOST=ftp.example.org\n"
            "FTPPORT=21\nFTPUSER=\nFTPPASSWORD=********\nFTPWEBDIRECTORY=/public_html/\nLOCALDIRECTORY=\n"
            "FTPPASSIVE=1\nUSERCOUNT=2\n");
  MakeProject({});
  EXPECT_THAT(Run({"show", project_}).Out, HasSubstr("\nFTPPASSWORD=\n"));
}

TEST_F(Cli, SetChangesSettingsByNameOrRefusesTheWholeLine) {
  const std::string longValue(100000, 'x');
  const std::string dialogText =
      "The text shows in the password dialog must not contain a double quote (\"), a backslash (\\), \"%{\" or a "
      "control character.";
  const char* port = "The FTP port must be a whole number from 1 to 65535.";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;      // the whole of standard error
    std::string changed;  // a line of show afterwards; empty: the file is as it was
  } cases[] = {
      {{"ftphost", " ftp.example.org "}, 0, "", "FTPHOST=ftp.example.org"},
      {{"FtpPort", "2121", "toftpserver", "0"}, 0, "", "FTPPORT=2121\nFTPUSER=\n"},
      {{"REDIRECTERROR", "1", "AUTHNAME", "Staff"}, 0, "", "AUTHNAME=Staff\nREDIRECTERROR=1\n"},
      {{"FTPPORT", "0"}, 1, port, ""},
      {{"FTPPORT", "65536"}, 1, port, ""},
      {{"FTPPORT", "+21"}, 1, port, ""},
      {{"FTPUSER", "web", "FTPPORT", ""}, 1, port, ""},
      {{"FTPPASSIVE", "yes"}, 1, "FTPPASSIVE is a flag: its value is 0 or 1.", ""},
      {{"AUTHNAME", "Say \"hi\""}, 1, dialogText, ""},
      {{"AUTHNAME", "a\nb"}, 1, dialogText, ""},
      {{"AUTHUSERFILE", "/a\tb"},
       1,
       "The remote FTP path of the .htpasswd file must not contain a control character.",
       ""},
      {{"FTPSERVERPATH", "/home/\x7f"},
       1,
       "The FULL HOST path of your FTP server must not contain a control character.",
       ""},
      {{"REDIRECTERRORPAGE", "http://x/%{HTTP_HOST}"},
       1,
       "The error page address must not contain a double quote (\"), \"%{\" or a control character.",
       ""},
      {{"LOCALDIRECTORY", "/srv/a\r\nb"},
       1,
       "The value of LOCALDIRECTORY must not hold a line break or a NUL character.",
       ""},
      {{"FTPHOST", longValue},
       1,
       "The value of FTPHOST is longer than 2047 characters, the most a project file keeps.",
       ""},
      {{"FTPUSER", "\xff\xfe"}, 1, "The value of FTPUSER is not UTF-8 text.", ""},
  };
  for (const Case& c : cases) {
    MakeProject({User("bob", "pw")});
    const std::string before = ReadFile(project_);
    std::vector<std::string> args{"set", project_};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Result r = Run(args);
    const std::string what = c.args[0] + " " + c.args[1].substr(0, 20);
    EXPECT_EQ(r.Status, c.status) << what;
    EXPECT_EQ(r.Err, c.err.empty() ? "" : c.err + "\n") << what;
    if (c.changed.empty()) EXPECT_EQ(ReadFile(project_), before) << what;
    else EXPECT_THAT(Run({"show", project_}).Out, HasSubstr(c.changed)) << what;
  }
}

TEST_F(Cli, SetWritesOnlyWhatChangedAndTakesThePasswordFromStandardInput) {
  ProjectSettings settings;
  settings.FtpHost = "ftp.example.org";
  MakeProject({User("bob", "pw")}, settings);
  struct stat before {};
  ASSERT_EQ(::stat(project_.c_str(), &before), 0);
  EXPECT_EQ(Run({"set", project_, "FTPHOST", "ftp.example.org", "FTPPASSIVE", "1"}).Status, 0);
  struct stat after {};
  ASSERT_EQ(::stat(project_.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "rewritten though nothing changed";

  ProjectSettings read;
  for (const auto& [input, status, stored] :
       std::vector<std::tuple<std::string, int, std::string>>{{" s3cret \n", 0, "s3cret"},
                                                              {std::string("a\0b\n", 4), 1, "s3cret"},
                                                              {"a\rb\n", 1, "s3cret"},
                                                              {"", 0, ""}}) {
    Result r = Run({"set", project_, "--ftp-password-stdin"}, input);
    EXPECT_EQ(r.Status, status) << r.Err;
    Names(&read);
    EXPECT_EQ(read.FtpPassword, stored);
    EXPECT_EQ(read.FtpHost, "ftp.example.org");
    EXPECT_THAT(r.Err + r.Out, ::testing::Not(HasSubstr("a\rb")));
  }
}

}  // namespace
}  // namespace pellora
