// new, show and set through the built binary.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
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
using testing::User;
using testing::WriteFile;

using Cli = testing::CliTest;

TEST_F(Cli, NewWritesWhatTheDesktopsNewAndSaveWriteAndNothingElse) {
  EXPECT_EQ(Run({"new", project_}).Status, 0);
  const std::string desktop = (root_.Path() / "desktop.htp").string();
  ASSERT_TRUE(SaveProjectFile(desktop, UserList{}, ProjectSettings{}));
  EXPECT_EQ(ReadFile(project_), ReadFile(desktop));
  EXPECT_EQ(fs::status(project_).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  Result again = Run({"new", project_});
  EXPECT_EQ(again.Status, 1);
  EXPECT_EQ(again.Err, "The file " + project_ + " already exists; new never writes over a file.\n");

  const fs::path missing = root_.Path() / "no";
  Result noFolder = Run({"new", (missing / "p.htp").string()});
  EXPECT_EQ(noFolder.Status, 1);
  EXPECT_EQ(noFolder.Err, "Can't save project as " + (missing / "p.htp").string() + "\n(there is no folder " +
                              missing.string() + ")\n");

  const fs::path readOnly = root_.Path() / "ro";
  fs::create_directory(readOnly);
  ASSERT_EQ(::chmod(root_.Path().c_str(), 0755) | ::chmod(readOnly.c_str(), 0555), 0);
  const std::string path = (readOnly / "p.htp").string();
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Root writes into any folder, so nobody makes this project.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    const Result r = testing::RunCli({"new", path}, dataHome_);
    const std::string why = "(the folder " + readOnly.string() + " may not be written to)\n";
    ::_exit(r.Status == 1 && r.Err == "Can't save project as " + path + "\n" + why ? 0 : 1);
  }
  int status = -1;
  ::waitpid(pid, &status, 0);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(fs::is_empty(readOnly));
}

TEST_F(Cli, SetChangesSettingsByNameOrRefusesTheWholeLineAndShowPrintsThem) {
  // LF line ends: a rewrite would turn them into CR LF.
  const std::string text = "[GENERAL]\nUSERCOUNT=1\nFTPHOST=h\nFTPPASSIVE=1\nFTPPASSWORD=old\n";
  const std::string dialog =
      "The text shows in the password dialog must not contain a double quote (\"), a "
      "backslash (\\), \"%{\" or a control character.";
  const char* port = "The FTP port must be a whole number from 1 to 65535.";
  const char* cost =
      "The hash cost must be a whole number: 4 to 17 for bcrypt, 1000 to 999999999 for sha512 and sha256, or empty "
      "for the format's default (bcrypt 10, SHA-crypt 5000).";
  const std::string lineBreak = " must not hold a line break or a NUL character.";
  const std::string tooLong = " is longer than 2047 characters, the most a project file keeps.";
  struct Case {
    std::vector<std::string> args;
    std::string err;    // the whole of standard error: a refusal, or a note on a change made
    std::string shows;  // in show afterwards; empty: the file is as it was
    std::string input = "";
  } cases[] = {
      {{"ftphost", " ftp.example.org "}, "", "FTPHOST=ftp.example.org\n"},
      {{"FtpPort", "2121", "toftpserver", "0"}, "", "TOFTPSERVER=0\nFTPHOST=h\nFTPPORT=2121\n"},
      {{"FTPHOST", "h", "FTPPASSIVE", "1"}, "", ""},
      {{"--ftp-password-stdin"}, "", "FTPPASSWORD=\n", "\n"},
      {{"FTPPORT", "0"}, port, ""},
      {{"FTPUSER", "web", "FTPPORT", "+21"}, port, ""},
      {{"FTPPASSIVE", "yes"}, "FTPPASSIVE is a flag: its value is 0 or 1.", ""},
      {{"AUTHNAME", "a\nb"}, dialog, ""},
      {{"LOCALDIRECTORY", "/srv/a\r\nb"}, "The value of LOCALDIRECTORY" + lineBreak, ""},
      {{"--ftp-password-stdin"}, "The value of FTPPASSWORD" + lineBreak, "", std::string("a\0b\n", 4)},
      {{"LOCALDIRECTORY", std::string(100000, 'x')}, "The value of LOCALDIRECTORY" + tooLong, ""},
      {{"LOCALDIRECTORY", "\xff\xfe"}, "The value of LOCALDIRECTORY is not UTF-8 text.", ""},
      {{"PASSWORDHASH", "bcrypt", "HASHCOST", "12"}, "", "FTPPASSIVE=1\nPASSWORDHASH=bcrypt\nHASHCOST=12\n"},
      {{"HASHCOST", "6000", "PASSWORDHASH", "sha256"}, "", "PASSWORDHASH=sha256\nHASHCOST=6000\n"},
      {{"PASSWORDHASH", "des"}, "", ""},
      {{"PASSWORDHASH", "md4"}, "The password hash must be one of des, bcrypt, sha512, sha256 and apr1.", ""},
      {{"PASSWORDHASH", "bcrypt", "HASHCOST", "18"},
       "A bcrypt cost must be from 4 to 17: 18 was changed to 17.",
       "PASSWORDHASH=bcrypt\nHASHCOST=17\n"},
      {{"HASHCOST", "999", "PASSWORDHASH", "sha512"},
       "A sha512 cost must be from 1000 to 999999999: 999 was changed to 1000.",
       "PASSWORDHASH=sha512\nHASHCOST=1000\n"},
      {{"HASHCOST", "ten"}, cost, ""},
      {{"ftpprotocol", "ftpes"}, "", "FTPPASSIVE=1\nFTPPROTOCOL=ftpes\nUSERCOUNT"},
      {{"FTPPROTOCOL", "ftp"}, "", ""},
      {{"FTPPROTOCOL", "scp"}, "The FTP protocol must be one of ftp, ftpes, ftps and sftp.", ""},
      {{"sftpkeyfile", " /home/web/.ssh/id_ed25519 "},
       "",
       "FTPPASSIVE=1\nSFTPKEYFILE=/home/web/.ssh/id_ed25519\nUSERCOUNT"},
      {{"SFTPKEYFILE", ""}, "", ""},
  };
  for (const Case& c : cases) {
    WriteFile(project_, text);
    std::vector<std::string> args{"set", project_};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Result r = Run(args, c.input);
    const std::string what = c.args[0] + " " + c.args.back().substr(0, 20);
    EXPECT_EQ(r.Status, c.err.empty() || !c.shows.empty() ? 0 : 1) << what;
    EXPECT_EQ(r.Err, c.err.empty() ? "" : c.err + "\n") << what;
    if (c.shows.empty()) EXPECT_EQ(ReadFile(project_), text) << what;
    else EXPECT_THAT(Run({"show", project_}).Out, HasSubstr(c.shows)) << what;
  }
  // show: every setting in file order, the password masked, then the users.
  WriteFile(project_, "[USER0]\nUSERNAME=bob\n" + text +
                          "AUTHNAME=Te\x1b"
                          "am\n");
  Run({"set", project_, "--ftp-password-stdin"}, " s3cret \n");
  EXPECT_EQ(Run({"show", project_}).Out,
            "AUTHUSERFILE=\nFTPSERVERPATH=\nAUTHNAME=Te\\x1Bam\nREDIRECTERROR=0\n"
            "REDIRECTERRORPAGE=http://www.your-web-site.example/error.htm\nTOFTPSERVER=1\nFTPHOST=h\nFTPPORT=21\n"
            "FTPUSER=\nFTPPASSWORD=********\nFTPWEBDIRECTORY=/public_html/\nLOCALDIRECTORY=\nFTPPASSIVE=1\n"
            "USERCOUNT=1\n");
  ProjectSettings read;
  Names(&read);
  EXPECT_EQ(read.FtpPassword, "s3cret");
}

}  // namespace
}  // namespace pellora
