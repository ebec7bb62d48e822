#include <crypt.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <sstream>
#include <thread>

#include "common/Files.h"
#include "common/Logs.h"
#include "common/Users.h"
#include "generate/AccessFiles.h"
#include "generate/Hashes.h"

namespace pellora {
namespace {
namespace fs = std::filesystem;
using ::testing::ElementsAre;
using testing::ReadFile;
using testing::RecordingLog;
using testing::TempDir;
using testing::User;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "text does not end in CR LF";
  return lines;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find("\r\n")); }

unsigned Mode(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0);
  return st.st_mode & 0777;
}

std::string FakeHash(std::string_view password) { return "<" + std::string(password) + ">"; }

// --- where .htpasswd is said to lie -----------------------------------------

struct JoinCase {
  const char* host;
  const char* authUserFile;
  const char* folder;
};

class PathJoin : public ::testing::TestWithParam<JoinCase> {};

TEST_P(PathJoin, GluesHostPathAndPasswordFolder) {
  const JoinCase& c = GetParam();
  EXPECT_EQ(AuthUserFileFolder(c.host, c.authUserFile), c.folder);
  ProjectSettings s;
  s.FtpServerPath = c.host;
  s.AuthUserFile = c.authUserFile;
  EXPECT_EQ(FirstLine(BuildHtaccess(s)), "AuthUserFile " + std::string(c.folder) + "/.htpasswd");
}

INSTANTIATE_TEST_SUITE_P(Cases, PathJoin,
                         ::testing::Values(JoinCase{"/home/yourloginname/", "/", "/home/yourloginname"},
                                           JoinCase{"/home/user", "/members/", "/home/user/members"},
                                           JoinCase{"/home/user/", "/members", "/home/user/members"},
                                           // only one trailing slash goes, each time
                                           JoinCase{"/srv/www//", "/", "/srv/www/"},
                                           JoinCase{"/srv/www", "/data//", "/srv/www/data/"},
                                           // no separator is put in
                                           JoinCase{"/home/user", "members", "/home/usermembers"},
                                           JoinCase{"/", "/", ""},
                                           JoinCase{" \t/home/user/ ", "  /members/\t", "/home/user/members"}));

// --- .htaccess ---------------------------------------------------------------

TEST(Htaccess, DefaultProjectGivesTheFourLines) {
  EXPECT_EQ(BuildHtaccess(ProjectSettings{}),
            "AuthUserFile /home/yourloginname/.htpasswd\r\n"
            "AuthName \"Members Only Area\"\r\n"
            "AuthType Basic\r\n"
            "Require valid-user\r\n");
}

TEST(Htaccess, FieldsAreTrimmedButInnerBlanksStay) {
  ProjectSettings s;
  s.AuthName = " \t Staff  Only \r\n";
  s.RedirectError = true;
  s.RedirectErrorPage = "  http://127.0.0.1/sorry page.htm \t";
  EXPECT_THAT(
      Lines(BuildHtaccess(s)),
      ElementsAre("AuthUserFile /home/yourloginname/.htpasswd", "AuthName \"Staff  Only\"", "AuthType Basic",
                  "Require valid-user",
                  "ErrorDocument 401 \"<meta http-equiv=refresh content=0;URL=http://127.0.0.1/sorry page.htm>\""));
}

TEST(Htaccess, RedirectLineOnlyWhenTickedAndNotTestedForContent) {
  ProjectSettings s;
  s.RedirectErrorPage = "http://example.invalid/e.htm";
  EXPECT_EQ(Lines(BuildHtaccess(s)).size(), 4u);
  s.RedirectError = true;
  s.RedirectErrorPage = "   ";
  EXPECT_EQ(Lines(BuildHtaccess(s)).back(), "ErrorDocument 401 \"<meta http-equiv=refresh content=0;URL=>\"");
}

TEST(Htaccess, PasswordPathWithBlankIsQuoted) {
  ProjectSettings s;
  s.FtpServerPath = "/srv/my site/";
  s.AuthUserFile = "/pass\twords/";
  EXPECT_EQ(FirstLine(BuildHtaccess(s)), "AuthUserFile \"/srv/my site/pass\twords/.htpasswd\"");
  // Inside quotes the server reads \" and \\ as escapes.
  s.AuthUserFile = "/a \"b\\c/";
  EXPECT_EQ(FirstLine(BuildHtaccess(s)), "AuthUserFile \"/srv/my site/a \\\"b\\\\c/.htpasswd\"");
  // Without a blank a quote is nothing special to the server.
  s.FtpServerPath = "/srv/x\"y";
  s.AuthUserFile = "/";
  EXPECT_EQ(FirstLine(BuildHtaccess(s)), "AuthUserFile /srv/x\"y/.htpasswd");
}

// --- checks before generating --------------------------------------------------

TEST(CheckGenerate, ReportsOnlyTheFirstFailingCheckInOrder) {
  UserList users;
  ProjectSettings s;
  s.AuthUserFile = " ";
  s.FtpServerPath = "\t";
  s.AuthName = "";

  auto r = CheckGenerate(users, s);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Target, Field::Users);
  EXPECT_EQ(r->Text, "Please define user/password list.");
  EXPECT_EQ(r->Caption, "Error!");

  users.AppendUser(User("amy", "pw", true));
  r = CheckGenerate(users, s);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Text, "Please define user/password list.") << "only disabled users counts as none";

  users.AppendUser(User("bob", "pw"));
  r = CheckGenerate(users, s);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Target, Field::AuthUserFile);
  EXPECT_EQ(r->Text, "Please define remote FTP path of the .htpasswd file.");
  EXPECT_EQ(r->Caption, "Error!");

  s.AuthUserFile = "/";
  r = CheckGenerate(users, s);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Target, Field::FtpServerPath);
  EXPECT_EQ(r->Text, "Please define FULL HOST path of your FTP server.");

  s.FtpServerPath = "/home/u";
  r = CheckGenerate(users, s);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Target, Field::AuthName);
  EXPECT_EQ(r->Text, "Please define text shows in the password dialog.");
  EXPECT_EQ(r->Caption, "Error!");

  s.AuthName = "Members";
  s.RedirectError = true;
  s.RedirectErrorPage = "";
  EXPECT_FALSE(CheckGenerate(users, s)) << "an empty error page address is no fault";
}

// After the missing fields, values that make the server answer 500 for the
// whole folder, in the order of the page; each mended in turn shows the next.
TEST(CheckGenerate, MissingFieldsFirstThenFaultsInTheOrderOfThePage) {
  UserList users;
  users.AppendUser(User("bob", "pw"));
  ProjectSettings s;
  s.FtpServerPath = "/a\tb";
  s.AuthUserFile = "/c\nd";
  s.AuthName = "";
  s.RedirectError = true;
  s.RedirectErrorPage = "http://x/%{REMOTE_USER}";
  // "KEY caption: text" of the refusal, empty when none.
  auto refused = [&] {
    const std::optional<Refusal> r = CheckGenerate(users, s);
    return r ? std::string(RowOf(r->Target)->Key) + " " + r->Caption + ": " + r->Text : std::string();
  };
  EXPECT_EQ(refused(), "AUTHNAME Error!: Please define text shows in the password dialog.");
  s.AuthName = "a\"b";
  EXPECT_EQ(refused(),
            "FTPSERVERPATH Error!: The FULL HOST path of your FTP server must not contain a control character.");
  s.FtpServerPath = "/a";
  EXPECT_EQ(refused(),
            "AUTHUSERFILE Error!: "
            "The remote FTP path of the .htpasswd file must not contain a control character.");
  s.AuthUserFile = "/";
  EXPECT_THAT(refused(), ::testing::StartsWith("AUTHNAME Error!: "));
  s.AuthName = "ab";
  EXPECT_EQ(refused(),
            "REDIRECTERRORPAGE Error!: "
            "The error page address must not contain a double quote (\"), \"%{\" or a control character.");
  s.RedirectError = false;
  EXPECT_EQ(refused(), "") << "an unticked box writes no error page";
}

TEST(CheckGenerate, RefusesAuthNameTheServerCannotRead) {
  UserList users;
  users.AppendUser(User("bob", "pw"));
  ProjectSettings s;
  for (const char* bad : {"Say \"hi\"", "back\\slash", "cost %{REMOTE_USER}", "tab\there", "be\all", "del\x7f"}) {
    s.AuthName = bad;
    auto r = CheckGenerate(users, s);
    ASSERT_TRUE(r) << bad;
    EXPECT_EQ(r->Target, Field::AuthName);
    EXPECT_EQ(r->Caption, "Error!");
    EXPECT_THAT(r->Text, ::testing::AllOf(::testing::HasSubstr("(\")"), ::testing::HasSubstr("(\\)"),
                                          ::testing::HasSubstr("\"%{\""), ::testing::HasSubstr("control character")));
  }
  for (const char* fine : {"100% {sure}", "Members' area", "Zutritt für Mitglieder", "  trimmed\t"}) {
    s.AuthName = fine;
    EXPECT_FALSE(CheckGenerate(users, s)) << fine;
  }
  // A missing host path is still reported before a bad AuthName.
  s.AuthName = "a\"b";
  s.FtpServerPath = "";
  ASSERT_TRUE(CheckGenerate(users, s));
  EXPECT_EQ(CheckGenerate(users, s)->Target, Field::FtpServerPath);
}

// --- .htpasswd ----------------------------------------------------------------

TEST(Htpasswd, EnabledUsersInListOrder) {
  UserList users;
  users.AppendUser(User("zed", "z1"));
  users.AppendUser(User("amy", "a1", true));
  users.AppendUser(User("Bob Builder", ""));
  users.AppendUser(User("józsef", "pw"));
  HtpasswdText out = BuildHtpasswd(users, FakeHash);
  EXPECT_EQ(out.Text, "zed:<z1>\r\nBob Builder:<>\r\njózsef:<pw>\r\n");
  EXPECT_TRUE(out.LeftOut.empty());
}

TEST(Htpasswd, RealHashesVerifyWithSystemCrypt) {
  UserList users;
  users.AppendUser(User("anna", "secret"));
  users.AppendUser(User("empty", ""));
  users.AppendUser(User("long", "abcdefghIJK"));
  std::vector<std::string> lines = Lines(BuildHtpasswd(users).Text);
  ASSERT_EQ(lines.size(), 3u);
  const char* passwords[] = {"secret", "", "abcdefgh"};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string hash = lines[i].substr(lines[i].find(':') + 1);
    ASSERT_EQ(hash.size(), 13u) << lines[i];
    crypt_data data{};
    EXPECT_STREQ(crypt_r(passwords[i], hash.c_str(), &data), hash.c_str()) << lines[i];
  }
}

TEST(Htpasswd, NamesTheServerCannotMatchAreLeftOutAndReported) {
  UserList users;
  users.AppendUser(User("", ""));
  users.AppendUser(User("ann", "a"));
  users.AppendUser(User("x:y", "b"));
  users.AppendUser(User("#admin", "c"));
  users.AppendUser(User(" bob", "d"));
  users.AppendUser(User("eve\r\nroot", "e"));
  users.AppendUser(User("off:line", "f", true));
  users.AppendUser(User("a#b c", "g"));
  // The server reads only the first line of a name, comparing bytes.
  users.AppendUser(User("ann", "a2"));
  users.AppendUser(User("Ann", "h"));
  users.AppendUser(User("dup", "j", true));
  users.AppendUser(User("dup", "k"));
  users.AppendUser(User("ann", "a3"));
  HtpasswdText out = BuildHtpasswd(users, FakeHash);
  EXPECT_EQ(out.Text, "ann:<a>\r\na#b c:<g>\r\nAnn:<h>\r\ndup:<k>\r\n");
  EXPECT_THAT(out.LeftOut,
              ElementsAre("  User \"\" left out: an empty name cannot log in",
                          "  User \"x:y\" left out: a name with \":\" cannot log in",
                          "  User \"#admin\" left out: a name beginning with \"#\" cannot log in",
                          "  User \" bob\" left out: a name beginning with a blank cannot log in",
                          "  User \"eve\\x0D\\x0Aroot\" left out: a name with a control character cannot log in",
                          "  User \"ann\" left out: a user of the same name comes first",
                          "  User \"ann\" left out: a user of the same name comes first"));
}

// --- writing both files ---------------------------------------------------------

constexpr const char* kDesWarning =
    "line:  Warning: DES hashes are not accepted by Apache on Windows; bcrypt works on every Apache 2.4";

class WriteFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.FtpServerPath = "/home/web/";  // not the sample a new project starts with
    users.AppendUser(User("carl", "c-pass"));
    users.AppendUser(User("dora", "d-pass", true));
    users.AppendUser(User("abe", "a-pass"));
  }
  TempDir dir;
  UserList users;
  ProjectSettings settings;
  RecordingLog log;
};

TEST_F(WriteFiles, WritesBothFilesAndLogsInOrder) {
  ASSERT_TRUE(WriteAccessFiles(users, settings, log, {.Folder = dir.Path(), .Hash = FakeHash}).Written);
  EXPECT_THAT(log.calls, ElementsAre("clear", "line:* Generate .htaccess file ... OK!\r\n",
                                     "line:* Generate .htpasswd file ... OK!\r\n", kDesWarning));
  EXPECT_EQ(ReadFile(dir.Path() / ".htaccess"), BuildHtaccess(settings));
  EXPECT_EQ(ReadFile(dir.Path() / ".htpasswd"), "carl:<c-pass>\r\nabe:<a-pass>\r\n");
  EXPECT_EQ(Mode(dir.Path() / ".htpasswd"), 0600u);
  EXPECT_EQ(Mode(dir.Path() / ".htaccess"), 0644u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2) << "a temporary was left";
}

// The project's format hashes every line; a format that is no format is DES
// and says so in the log.
TEST_F(WriteFiles, HashesWithTheProjectsFormat) {
  const struct {
    const char* format;
    const char* cost;
    std::string_view prefix;
    const char* note;
  } cases[] = {
      {"sha256", "2000", "$5$rounds=2000$", nullptr},
      {"BCRYPT", "", "$2y$10$", nullptr},
      {"apr1", "12", "$apr1$", nullptr},
      {" md4 ", "", "", "  Password hash \"md4\" is unknown: DES was used"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    settings.PasswordHash = c.format;
    settings.HashCost = c.cost;
    ASSERT_TRUE(WriteAccessFiles(users, settings, log, {.Folder = dir.Path()}).Written);
    const std::vector<std::string> lines = Lines(ReadFile(dir.Path() / ".htpasswd"));
    ASSERT_EQ(lines.size(), 2u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string hash = lines[i].substr(lines[i].find(':') + 1);
      EXPECT_TRUE(hash.starts_with(c.prefix)) << hash;
      EXPECT_EQ(hash.size() == 13, c.prefix.empty()) << hash;
      EXPECT_TRUE(VerifyPassword(hash, i == 0 ? "c-pass" : "a-pass")) << hash;
    }
    EXPECT_EQ(log.calls.back(), std::string("line:") + (c.note ? c.note : "* Generate .htpasswd file ... OK!\r\n"));
  }
}

// Warnings name users, never passwords, and count only users whose password
// is hashed now: an adopted hash has none to warn about.
TEST_F(WriteFiles, WarningsAboutThePasswordsFollowTheTwoGenerateLines) {
  users.AppendUser(User("long", "123456789"));
  users.AppendUser(User("", ""));  // left out: no warning of its own
  users.AppendUser(User("none", ""));
  users.AppendUser(User("off", "", true));
  TUserList adopted = User("kept", "");
  adopted.Hash = "$apr1$salt$hash";
  users.AppendUser(adopted);
  for (int i = 0; i < 11; ++i) users.AppendUser(User("e" + std::to_string(i), ""));
  const std::string empty =
      "  Warning: users with an empty password: \"none\", \"e0\", \"e1\", \"e2\", \"e3\", "
      "\"e4\", \"e5\", \"e6\", \"e7\", \"e8\" and 2 more";
  std::vector<std::string> warned;
  const auto warn = [&](std::string_view line) { warned.emplace_back(line); };
  ASSERT_TRUE(WriteAccessFiles(users, settings, log, {.Folder = dir.Path(), .Warn = warn}).Written);
  EXPECT_THAT(warned,
              ElementsAre(std::string(kDesWarning).substr(5),
                          "  Warning: DES uses only the first 8 characters of the passwords of \"long\"", empty));
  EXPECT_EQ(log.calls.size(), 4u) << "the warnings went elsewhere; the left-out user stays in the log";

  warned.clear();
  settings.PasswordHash = "apr1";
  ASSERT_TRUE(WriteAccessFiles(users, settings, log, {.Folder = dir.Path(), .Warn = warn}).Written);
  EXPECT_THAT(warned, ElementsAre(empty));
}

// A user keeps the hash made for it, and the next generation writes it again
// until its password, the format or the cost changes; DES and a stopped run
// keep nothing.
TEST_F(WriteFiles, KeptHashesAreWrittenAgainUntilThePasswordFormatOrCostChanges) {
  settings.PasswordHash = "bcrypt";
  settings.HashCost = "4";
  const struct {
    const char* step;
    std::function<void()> change;
    bool carlAnew, abeAnew;
  } steps[] = {
      {"first", [] {}, true, true},
      {"nothing changed", [] {}, false, false},
      {"a password", [&] { users.First()->Password = "changed"; }, true, false},
      {"the cost", [&] { settings.HashCost = "5"; }, true, true},
      {"DES, always anew", [&] { settings.PasswordHash = "des"; }, true, true},
  };
  std::vector<std::string> before(2);
  for (const auto& step : steps) {
    SCOPED_TRACE(step.step);
    step.change();
    const Generated made = WriteAccessFiles(users, settings, log, {.Folder = dir.Path()});
    const std::vector<std::string> now = Lines(ReadFile(dir.Path() / ".htpasswd"));
    EXPECT_EQ(now[0] != before[0], step.carlAnew);
    EXPECT_EQ(now[1] != before[1], step.abeAnew);
    EXPECT_EQ(made.KeptNewHashes, step.carlAnew && settings.PasswordHash != "des");
    before = now;
  }
  EXPECT_TRUE(users.First()->Hash.starts_with("$2y$05$")) << "DES keeps nothing";
  EXPECT_EQ(users.First()->HashDigest, KeptHashDigest(users.First()->Hash, "changed"));

  // A stopped run writes nothing and keeps nothing; the hashing holds until
  // Stop is asked for, as a long bcrypt run would.
  log.calls.clear();
  settings.PasswordHash = "bcrypt";
  users.First()->Password = "again";
  const std::string kept = users.First()->Hash;
  std::atomic<bool> stop{false};
  const auto slow = [&](std::string_view) {
    while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return std::string("x");
  };
  const Generated stopped = WriteAccessFiles(
      users, settings, log, {.Folder = dir.Path(), .Hash = slow, .Progress = {.Stopped = [&] { return stop = true; }}});
  EXPECT_TRUE(stopped.Stopped && !stopped.Written && !stopped.KeptNewHashes);
  EXPECT_THAT(log.calls, ElementsAre("clear", "line:* Generate stopped: no file was written\r\n"));
  EXPECT_EQ(Lines(ReadFile(dir.Path() / ".htpasswd")), before);
  EXPECT_EQ(users.First()->Hash, kept);
}

TEST_F(WriteFiles, SecondGenerationKeepsHtaccessAndRehashes) {
  for (int i = 0; i < 8; ++i) users.AppendUser(User("user" + std::to_string(i), "same"));
  ASSERT_TRUE(WriteAccessFiles(users, settings, log, {.Folder = dir.Path()}).Written);
  std::string htaccess1 = ReadFile(dir.Path() / ".htaccess");
  std::vector<std::string> first = Lines(ReadFile(dir.Path() / ".htpasswd"));
  ASSERT_TRUE(WriteAccessFiles(users, settings, log, {.Folder = dir.Path()}).Written);
  EXPECT_EQ(ReadFile(dir.Path() / ".htaccess"), htaccess1);
  std::vector<std::string> second = Lines(ReadFile(dir.Path() / ".htpasswd"));
  ASSERT_EQ(first.size(), 10u);
  ASSERT_EQ(second.size(), first.size());
  std::set<std::string> salts;
  for (std::size_t i = 0; i < first.size(); ++i) {
    std::size_t colon = first[i].find(':');
    EXPECT_EQ(first[i].substr(0, colon), second[i].substr(0, second[i].find(':')));
    salts.insert(first[i].substr(colon + 1, 2));
  }
  EXPECT_NE(first, second) << "every generation draws fresh salts";
  EXPECT_GT(salts.size(), 1u) << "every user gets a salt of its own";
}

TEST_F(WriteFiles, LeftOutUsersFollowTheHtpasswdLine) {
  users.AppendUser(User("a:b", "x"));
  users.AppendUser(User("", ""));
  ASSERT_TRUE(WriteAccessFiles(users, settings, log, {.Folder = dir.Path(), .Hash = FakeHash}).Written);
  EXPECT_THAT(log.calls, ElementsAre("clear", "line:* Generate .htaccess file ... OK!\r\n",
                                     "line:* Generate .htpasswd file ... OK!\r\n", kDesWarning,
                                     "line:  User \"a:b\" left out: a name with \":\" cannot log in",
                                     "line:  User \"\" left out: an empty name cannot log in"));
  EXPECT_EQ(ReadFile(dir.Path() / ".htpasswd").find(":<>"), std::string::npos);
}

TEST_F(WriteFiles, FailureOfEitherFileIsLoggedAndTheOtherStillWritten) {
  fs::create_directory(dir.Path() / ".htpasswd");
  EXPECT_FALSE(WriteAccessFiles(users, settings, log, {.Folder = dir.Path(), .Hash = FakeHash}).Written);
  EXPECT_THAT(log.calls, ElementsAre("clear", "line:* Generate .htaccess file ... OK!\r\n",
                                     "line:* Generate .htpasswd file ... Error occurred!\r\n", kDesWarning));
  EXPECT_EQ(ReadFile(dir.Path() / ".htaccess"), BuildHtaccess(settings));

  fs::remove(dir.Path() / ".htpasswd");
  fs::remove(dir.Path() / ".htaccess");
  fs::create_directory(dir.Path() / ".htaccess");
  log.calls.clear();
  EXPECT_FALSE(WriteAccessFiles(users, settings, log, {.Folder = dir.Path(), .Hash = FakeHash}).Written);
  EXPECT_THAT(log.calls, ElementsAre("clear", "line:* Generate .htaccess file ... Error occurred!\r\n",
                                     "line:* Generate .htpasswd file ... OK!\r\n", kDesWarning));
  EXPECT_EQ(ReadFile(dir.Path() / ".htpasswd"), "carl:<c-pass>\r\nabe:<a-pass>\r\n");
}

TEST_F(WriteFiles, ReplacesOlderFilesWhole) {
  testing::WriteFile(dir.Path() / ".htpasswd", std::string(5000, 'x'));
  ASSERT_TRUE(WriteAccessFiles(users, settings, log, {.Folder = dir.Path(), .Hash = FakeHash}).Written);
  EXPECT_EQ(ReadFile(dir.Path() / ".htpasswd"), "carl:<c-pass>\r\nabe:<a-pass>\r\n");
}

TEST_F(WriteFiles, DefaultsToTheWorkingFolderAndPreviewFindsEachFileOnItsOwn) {
  const char* old = std::getenv("XDG_DATA_HOME");
  std::string saved = old ? old : "";
  ::setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
  const fs::path work = dir.Path() / "Quarnet Software" / "Pellora";

  EXPECT_FALSE(GeneratedFile(kHtaccessName));
  ASSERT_TRUE(WriteAccessFiles(users, settings, log).Written);
  EXPECT_EQ(ReadFile(work / ".htpasswd"), ReadFile(work / ".htpasswd"));
  EXPECT_TRUE(fs::is_regular_file(work / ".htaccess"));
  fs::remove(work / ".htpasswd");
  EXPECT_EQ(GeneratedFile(kHtaccessName), work / ".htaccess");
  EXPECT_FALSE(GeneratedFile(kHtpasswdName));

  Refusal warn = PreviewRefusal();
  EXPECT_EQ(warn.Text, "Please generate .htaccess and .htpasswd files first.");
  EXPECT_EQ(warn.Caption, "Warning");
  EXPECT_EQ(warn.Target, Field::Generate);

  if (old) ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else ::unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace pellora
