// Generated files against a real web server: a private instance on 127.0.0.1
// with its own configuration, started once for this program and stopped at
// its end, with its document root and password folder in a temporary tree.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "common/Apache.h"
#include "common/Files.h"
#include "common/Logs.h"
#include "common/Users.h"
#include "generate/AccessFiles.h"
#include "generate/LocalSave.h"

namespace pellora {
namespace {
namespace fs = std::filesystem;
using testing::Apache;
using testing::kApache;
using testing::ReadFile;
using testing::User;
using testing::WriteFile;

std::string Base64(std::string_view in) {
  static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < in.size(); i += 3) {
    unsigned n = static_cast<unsigned char>(in[i]) << 16;
    if (i + 1 < in.size()) n |= static_cast<unsigned char>(in[i + 1]) << 8;
    if (i + 2 < in.size()) n |= static_cast<unsigned char>(in[i + 2]);
    out += table[(n >> 18) & 63];
    out += table[(n >> 12) & 63];
    out += i + 1 < in.size() ? table[(n >> 6) & 63] : '=';
    out += i + 2 < in.size() ? table[n & 63] : '=';
  }
  return out;
}

struct Reply {
  int status = 0;  // 0 when the exchange failed
  std::string head;
  std::string body;
};

// One HTTP/1.0 GET; credentials as "name:password", or nullptr for none.
Reply Get(int port, const std::string& target, const std::string* credentials) {
  Reply reply;
  int fd = testing::ConnectLocal(port);
  if (fd < 0) return reply;
  std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n";
  if (credentials) request += "Authorization: Basic " + Base64(*credentials) + "\r\n";
  request += "\r\n";
  if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
    ::close(fd);
    return reply;
  }
  std::string all;
  char buf[4096];
  for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;) all.append(buf, static_cast<std::size_t>(n));
  ::close(fd);
  std::size_t split = all.find("\r\n\r\n");
  if (all.rfind("HTTP/", 0) != 0 || split == std::string::npos) return reply;
  reply.head = all.substr(0, split);
  reply.body = all.substr(split + 4);
  reply.status = std::atoi(all.c_str() + all.find(' ') + 1);
  return reply;
}

class ApacheTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!fs::exists(kApache)) return;
    // The files the program creates in the site's folders get 0644 less the
    // umask; the usual umask keeps them readable to the server.
    ::umask(022);
    tree_ = new testing::TempDir;
    // Made 0700; the server's children run as another account when we are root.
    fs::permissions(tree_->Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                       fs::perms::others_read | fs::perms::others_exec);
    server_ = new Apache(tree_->Path());
    if (!server_->Start(startError_)) {
      delete server_;
      server_ = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
    delete tree_;
    tree_ = nullptr;
  }

  void SetUp() override {
    if (!fs::exists(kApache))
      GTEST_SKIP() << kApache << " is not installed (scripts/setup installs it); skipping the web server test";
    ASSERT_NE(server_, nullptr) << "could not start the web server: " << startError_;
    users.AppendUser(User("anna", "Secret1"));
    users.AppendUser(User("Anna Maria", "two words"));
    users.AppendUser(User("José Müller", "pässwörd"));
    users.AppendUser(User("longpass", "abcdefghXYZ"));
    users.AppendUser(User("dis", "abled", true));
    users.AppendUser(User("blank", ""));
    users.AppendUser(User("", ""));
    users.AppendUser(User("x:y", "z"));
    users.AppendUser(User("anna", "second"));
    // The host path and the password folder both point into the tree; the
    // blank in the folder name has to reach the server quoted.
    settings.FtpServerPath = tree_->Path().string() + "/";
    settings.AuthUserFile = "/pass words/";
    // Characters the AuthName check lets through must reach the browser unharmed.
    settings.AuthName = "Staff 100% {Área}'s";
  }

  // Generates into a private working folder and saves the files into the
  // site's folder and the password folder, all by the program's own code:
  // they must come out readable to the server's workers with no help. (Each
  // folder gets both files; the extra ones are never read.)
  void Publish(bool checked = true, const std::string& passwordFolder = "pass words") {
    const fs::path work = tree_->Path() / "work";
    const fs::path members = server_->DocumentRoot() / "members";
    const fs::path passwords = tree_->Path() / passwordFolder;
    for (const fs::path& d : {work, members, passwords}) fs::create_directories(d);
    ::chmod(work.c_str(), 0700);
    for (const fs::path& d : {members, passwords}) ::chmod(d.c_str(), 0755);
    if (checked) {
      ASSERT_EQ(CheckGenerate(users, settings), std::nullopt);
    }
    testing::RecordingLog log;
    ASSERT_TRUE(WriteAccessFiles(users, settings, log, {.Folder = work}).Written);
    LocalSavePrompts prompts;
    prompts.AskReplace = [](const std::string&) { return true; };
    for (const fs::path& to : {members, passwords}) {
      const LocalSaveResult saved = SaveNow(to.string(), prompts, log, work);
      ASSERT_TRUE(saved.HtaccessSaved && saved.HtpasswdSaved) << to;
    }
    WriteFile(members / "index.html", "members only\n");
    WriteFile(server_->DocumentRoot() / "sorry.htm", "wrong password\n");
    for (const fs::path& p : {server_->DocumentRoot() / "sorry.htm", members / "index.html"}) ::chmod(p.c_str(), 0644);
  }

  int StatusFor(const std::string& name, const std::string& password) {
    std::string credentials = name + ":" + password;
    return Get(server_->Port(), "/members/index.html", &credentials).status;
  }

  std::string Diagnose() { return "\nserver log:\n" + server_->ErrorLog(); }

  UserList users;
  ProjectSettings settings;
  static testing::TempDir* tree_;
  static Apache* server_;
  static std::string startError_;
};
testing::TempDir* ApacheTest::tree_ = nullptr;
Apache* ApacheTest::server_ = nullptr;
std::string ApacheTest::startError_;

TEST_F(ApacheTest, EnabledUsersGetInWithTheirPasswordOnly) {
  Publish();
  const Reply none = Get(server_->Port(), "/members/index.html", nullptr);
  ASSERT_EQ(none.status, 401) << none.head << Diagnose();
  EXPECT_NE(none.head.find("WWW-Authenticate: Basic realm=\"Staff 100% {Área}'s\""), std::string::npos) << none.head;

  const std::string anna = "anna:Secret1";
  const Reply in = Get(server_->Port(), "/members/index.html", &anna);
  EXPECT_EQ(in.status, 200) << Diagnose();
  EXPECT_EQ(in.body, "members only\n");
  EXPECT_EQ(StatusFor("Anna Maria", "two words"), 200) << Diagnose();
  EXPECT_EQ(StatusFor("José Müller", "pässwörd"), 200) << Diagnose();
  EXPECT_EQ(StatusFor("blank", ""), 200) << "an empty password is a password too" << Diagnose();

  EXPECT_EQ(StatusFor("anna", "secret1"), 401);
  EXPECT_EQ(StatusFor("anna", "second"), 401) << "only the first user of a name has a line";
  EXPECT_EQ(StatusFor("anna", ""), 401);
  EXPECT_EQ(StatusFor("Anna", "Secret1"), 401);
  EXPECT_EQ(StatusFor("dis", "abled"), 401) << "a disabled user has no line";
  EXPECT_EQ(StatusFor("nobody", "Secret1"), 401);
  EXPECT_EQ(StatusFor("", ""), 401) << "empty credentials must never get in";
  EXPECT_EQ(StatusFor("x", "y:z"), 401);
}

TEST_F(ApacheTest, OnlyTheFirstEightCharactersOfAPasswordCount) {
  Publish();
  EXPECT_EQ(StatusFor("longpass", "abcdefghXYZ"), 200) << Diagnose();
  EXPECT_EQ(StatusFor("longpass", "abcdefgh"), 200) << Diagnose();
  EXPECT_EQ(StatusFor("longpass", "abcdefg"), 401);
}

TEST_F(ApacheTest, EveryPasswordHashLetsItsUsersInWithTheirPasswordOnly) {
  TUserList adopted;  // from a file made elsewhere: written as it was adopted
  adopted.UserName = "kept";
  adopted.Hash = "{SHA}W6ph5Mm5Pz8GgiULbPgzG37mj9g=";  // of "password"
  users.AppendUser(adopted);
  for (const char* format : {"bcrypt", "sha512", "sha256", "apr1"}) {
    SCOPED_TRACE(format);
    settings.PasswordHash = format;
    settings.HashCost = std::string_view(format) == "bcrypt" ? "5" : "";
    Publish();
    EXPECT_EQ(StatusFor("anna", "Secret1"), 200) << Diagnose();
    EXPECT_EQ(StatusFor("José Müller", "pässwörd"), 200) << Diagnose();
    EXPECT_EQ(StatusFor("longpass", "abcdefghXYZ"), 200) << Diagnose();
    EXPECT_EQ(StatusFor("longpass", "abcdefgh"), 401) << "every character counts";
    EXPECT_EQ(StatusFor("anna", "Secret2"), 401);
    EXPECT_EQ(StatusFor("kept", "password"), 200) << Diagnose();
    EXPECT_EQ(StatusFor("kept", "Password"), 401);
  }
}

TEST_F(ApacheTest, RedirectBoxPutsTheRefreshIntoTheRefusal) {
  settings.RedirectError = true;
  settings.RedirectErrorPage = " http://127.0.0.1:" + std::to_string(server_->Port()) + "/sorry.htm ";
  Publish();
  const std::string refresh =
      "<meta http-equiv=refresh content=0;URL=http://127.0.0.1:" + std::to_string(server_->Port()) + "/sorry.htm>";
  Reply none = Get(server_->Port(), "/members/index.html", nullptr);
  EXPECT_EQ(none.status, 401) << Diagnose();
  EXPECT_NE(none.body.find(refresh), std::string::npos) << none.body << Diagnose();
  std::string wrong = "anna:wrong";
  Reply bad = Get(server_->Port(), "/members/index.html", &wrong);
  EXPECT_EQ(bad.status, 401);
  EXPECT_NE(bad.body.find(refresh), std::string::npos) << bad.body;
  EXPECT_EQ(StatusFor("anna", "Secret1"), 200) << Diagnose();
}

// The server's workers run under an account of their own (when this test
// runs as root, as in CI); what the program saved must be readable to them.
TEST_F(ApacheTest, FilesThatWereSavedAreReadableToTheServer) {
  Publish();
  const fs::path htpasswd = tree_->Path() / "pass words" / ".htpasswd";
  struct stat st {};
  ASSERT_EQ(::stat(htpasswd.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  ASSERT_EQ(::stat((tree_->Path() / "work" / ".htpasswd").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u) << "the working folder's copy stays private";
  EXPECT_EQ(StatusFor("anna", "Secret1"), 200) << Diagnose();

  // A site that keeps its password file for the server's group alone keeps it
  // so through the next save.
  if (::geteuid() == 0) {
    const group* web = ::getgrnam("www-data");
    if (!web) web = ::getgrnam("nogroup");
    ASSERT_NE(web, nullptr);
    ASSERT_EQ(::chown(htpasswd.c_str(), 0, web->gr_gid), 0);
    ASSERT_EQ(::chmod(htpasswd.c_str(), 0640), 0);
    users.AppendUser(User("late", "comer"));
    Publish();
    ASSERT_EQ(::stat(htpasswd.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_gid, web->gr_gid);
    EXPECT_EQ(StatusFor("late", "comer"), 200) << Diagnose();
  }
}

// What the checks before generating refuse really breaks the folder for every
// request (500), and what they let through the server reads unharmed.
TEST_F(ApacheTest, RefusedSettingsBreakTheFolderAndTheRestDoNot) {
  const std::string host = tree_->Path().string() + "/";
  const std::string page = "http://127.0.0.1:" + std::to_string(server_->Port()) + "/sorry.htm";
  struct Case {
    std::string ProjectSettings::*field;
    std::string value;
    bool refused;
    std::string passwordFolder = "pass words";
  };
  const Case cases[] = {
      {&ProjectSettings::RedirectErrorPage, page + "?say=\"hi\"", true},
      {&ProjectSettings::RedirectErrorPage, page + "?u=%{NO_SUCH_VARIABLE}", true},
      {&ProjectSettings::RedirectErrorPage, page + "?%{", true},
      {&ProjectSettings::RedirectErrorPage, page + "?a\nb", true},
      {&ProjectSettings::FtpServerPath, tree_->Path().string() + "\n/", true},
      {&ProjectSettings::AuthUserFile, "/pass\nwords/", true},
      {&ProjectSettings::AuthUserFile, "/pass\rwords/", true},
      {&ProjectSettings::RedirectErrorPage, page + "?p=100%&q={x}&it's\\", false},
      {&ProjectSettings::RedirectErrorPage, page + "?p=%25%7B", false},
      {&ProjectSettings::AuthUserFile, "/it's 100% {x}/", false, "it's 100% {x}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    settings.FtpServerPath = host;
    settings.AuthUserFile = "/pass words/";
    settings.RedirectError = true;
    settings.RedirectErrorPage = page;
    settings.*c.field = c.value;
    const std::optional<Refusal> refusal = CheckGenerate(users, settings);
    EXPECT_EQ(refusal.has_value(), c.refused);
    Publish(false, c.passwordFolder);
    if (c.refused) {
      EXPECT_EQ(Get(server_->Port(), "/members/index.html", nullptr).status, 500);
      EXPECT_EQ(StatusFor("anna", "Secret1"), 500);
    } else {
      EXPECT_EQ(Get(server_->Port(), "/members/index.html", nullptr).status, 401) << Diagnose();
      EXPECT_EQ(StatusFor("anna", "Secret1"), 200) << Diagnose();
    }
  }
}

}  // namespace
}  // namespace pellora
