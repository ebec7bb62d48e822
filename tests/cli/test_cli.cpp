// pellora-cli as a script runs it: the built binary on a temporary project,
// with its working folder under a temporary XDG_DATA_HOME.
#include <crypt.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <regex>

#include "common/Logs.h"
#include "generate/AccessFiles.h"
#include "generate/DesCrypt.h"
#include "project/Csv.h"
#include "support/CliTest.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::Lines;
using ::testing::Not;
using testing::ReadFile;
using testing::Result;
using testing::TempDir;
using testing::User;
using testing::WriteFile;

using Cli = testing::CliTest;

std::string Crypt(const std::string& key, const std::string& setting) {
  crypt_data data{};
  const char* hash = crypt_r(key.c_str(), setting.c_str(), &data);
  return hash ? hash : "";
}

// --- the command line itself --------------------------------------------------

TEST_F(Cli, HelpAndVersion) {
  Result help = Run({"--help"});
  EXPECT_EQ(help.Status, 0);
  EXPECT_THAT(help.Out, HasSubstr("Exit status:"));
  for (const char* text : {"0  done", "1  the project or an input was refused", "2  usage error", "3  the server"})
    EXPECT_THAT(help.Out, HasSubstr(text));
  EXPECT_EQ(Run({"users", "--help"}).Status, 0);
  Result version = Run({"--version"});
  EXPECT_EQ(version.Status, 0);
  EXPECT_EQ(version.Out, "pellora-cli 2.2\n");
}

TEST_F(Cli, UsageErrorsExitTwoWithAMessageAndTouchNothing) {
  MakeProject({User("bob", "pw")});
  const std::string before = ReadFile(project_);
  struct Case {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{}, "missing command"},
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{"user"}, "missing user command"},
      {{"user", "rename", project_, "bob"}, "unknown command 'user rename'"},
      {{"users"}, "missing PROJECT"},
      {{"users", project_, "--bogus"}, "unknown option --bogus"},
      {{"users", project_, "extra"}, "unexpected argument 'extra'"},
      {{"users", project_, "--enabled", "--disabled"}, "cannot be used together"},
      {{"user", "add", project_}, "missing NAME"},
      {{"user", "add", project_, "carol"}, "--password-stdin or --random"},
      {{"user", "add", project_, "carol", "--random", "--password-stdin"}, "cannot be used together"},
      {{"user", "add", project_, "carol", "--random", "--email"}, "option --email needs a value"},
      {{"series", project_}, "missing COUNT"},
      {{"series", project_, "three"}, "COUNT must be a whole number"},
      {{"series", project_, "3", "--chars", "greek"}, "--chars must be one of random|numeral|letter"},
      {{"series", project_, "3", "--user-length", "x"}, "--user-length must be a whole number"},
      {{"generate", project_, "--out"}, "option --out needs a value"},
      {{"upload", project_, "--timeout", "-1"}, "--timeout must be from 0"},
      {{"hash"}, "missing PASSWORD"},
      {{"verify", "file"}, "missing NAME"},
      {{"new"}, "missing PROJECT"},
      {{"show", project_, "extra"}, "unexpected argument 'extra'"},
      {{"set", project_}, "missing NAME"},
      {{"set", project_, "FtpHost"}, "missing VALUE after FTPHOST"},
      {{"set", project_, "FTPHOST", "h", "USERCOUNT", "5"}, "unknown setting 'USERCOUNT'"},
  };
  for (const Case& c : cases) {
    Result r = Run(c.args);
    EXPECT_EQ(r.Status, 2) << c.says;
    EXPECT_THAT(r.Err, HasSubstr(c.says));
    EXPECT_THAT(r.Err, HasSubstr("--help"));
    EXPECT_EQ(r.Out, "") << c.says;
  }
  EXPECT_EQ(ReadFile(project_), before);
}

TEST_F(Cli, HelpIsAskedForOnlyWhereAnOptionCouldStand) {
  MakeProject({User("bob", "pw")});
  // As an option's value or after "--", -h and --help are text like any other.
  Result fullName = Run({"user", "add", project_, "carol", "--random", "--full-name", "-h"});
  EXPECT_EQ(fullName.Status, 0) << fullName.Err;
  EXPECT_THAT(Lines(fullName.Out), ::testing::SizeIs(1));
  EXPECT_EQ(Find("carol").FullName, "-h");
  EXPECT_EQ(Run({"user", "add", project_, "dave", "--email", "--help", "--random", "--notes=-h"}).Status, 0);
  EXPECT_EQ(Find("dave").Email, "--help");
  EXPECT_EQ(Find("dave").Notes, "-h");
  Result chars = Run({"series", project_, "2", "--chars", "-h"});
  EXPECT_EQ(chars.Status, 2);
  EXPECT_THAT(chars.Err, HasSubstr("--chars must be one of random|numeral|letter, not '-h'"));
  EXPECT_EQ(Run({"hash", "--salt", "ab", "--", "-h"}).Out, Crypt("-h", "ab") + "\n");
  EXPECT_EQ(Run({"user", "remove", project_, "--", "--help"}).Err, "The User --help does not exist!\n");

  // Where an option could stand they ask for help, and the command does not run.
  const std::string before = ReadFile(project_);
  for (std::vector<std::string> args :
       std::vector<std::vector<std::string>>{{"-h"},
                                             {"help"},
                                             {"user", "--help"},
                                             {"users", project_, "-h"},
                                             {"user", "add", project_, "erin", "--random", "--help"},
                                             {"user", "add", project_, "erin", "--full-name", "x", "-h", "--random"},
                                             {"hash", "--salt", "ab", "-h"},
                                             {"series", project_, "3", "--bogus", "-h"}}) {
    Result r = Run(args);
    EXPECT_EQ(r.Status, 0) << args.back();
    EXPECT_THAT(r.Out, HasSubstr("Exit status:")) << args.back();
  }
  EXPECT_EQ(ReadFile(project_), before);
}

TEST_F(Cli, APasswordInTheWrongPlaceIsNotRepeatedInTheMessage) {
  MakeProject({User("bob", "pw")});
  const std::string before = ReadFile(project_);
  const std::string file = (root_.Path() / ".htpasswd").string();
  WriteFile(file, "bob:" + Crypt("pw", "ab") + "\n");
  const char* dash = "a PASSWORD that begins with \"-\" needs \"--\" before it";
  struct Case {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"hash", "-MySecret9"}, dash},
      {{"hash", "--salt", "ab", "--MySecret9=x"}, dash},
      {{"hash", "pw", "MySecret9"}, "unexpected argument after PASSWORD"},
      {{"hash", "--stdin", "MySecret9"}, "--stdin and PASSWORD cannot be used together"},
      {{"verify", file, "bob", "MySecret9"}, "unexpected argument after NAME"},
      {{"user", "add", project_, "carol", "--password-stdin", "MySecret9"}, "unexpected argument after NAME"},
      {{"set", project_, "ftpPassword", "MySecret9"}, "read from standard input: --ftp-password-stdin"},
  };
  for (const Case& c : cases) {
    Result r = Run(c.args);
    EXPECT_EQ(r.Status, 2) << c.says;
    EXPECT_THAT(r.Err, HasSubstr(c.says));
    EXPECT_THAT(r.Err, Not(HasSubstr("MySecret9")));
    EXPECT_EQ(r.Out, "") << c.says;
  }
  EXPECT_EQ(ReadFile(project_), before);
}

TEST_F(Cli, ASignalAtThePasswordPromptGivesTheTerminalItsEchoBack) {
  MakeProject({User("bob", "pw")});
  const std::string before = ReadFile(project_);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    testing::Interrupted r = testing::InterruptCliOnTerminal({"user", "add", project_, "carol", "--password-stdin"},
                                                             dataHome_, "Password: ", signal);
    EXPECT_THAT(r.Out, HasSubstr("Password: ")) << strsignal(signal);
    // Still ended by that signal, so the shell that started it knows.
    EXPECT_EQ(r.Signal, signal) << strsignal(signal);
    EXPECT_TRUE(r.Echo) << strsignal(signal);
  }
  EXPECT_EQ(ReadFile(project_), before);
}

TEST_F(Cli, AProjectThatCannotBeReadIsRefusedForEveryCommand) {
  const std::string missing = (root_.Path() / "nothing.htp").string();
  const std::string folder = root_.Path().string();
  for (const std::string& path : {missing, folder}) {
    for (std::vector<std::string> args :
         std::vector<std::vector<std::string>>{{"users", path},
                                               {"user", "add", path, "bob", "--random"},
                                               {"user", "remove", path, "bob"},
                                               {"series", path, "3"},
                                               {"import-csv", path, "x.csv"},
                                               {"import-htpasswd", path, "x"},
                                               {"export-csv", path, (root_.Path() / "out.csv").string()},
                                               {"generate", path},
                                               {"upload", path},
                                               {"save", path},
                                               {"publish", path}}) {
      Result r = Run(args);
      EXPECT_EQ(r.Status, 1) << args[0] << " " << path;
      EXPECT_EQ(r.Err, "Can't open project file " + path + "\n");
    }
  }
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_FALSE(fs::exists(root_.Path() / "out.csv"));
  EXPECT_TRUE(fs::is_directory(folder));
}

TEST_F(Cli, AFileThatIsNoProjectIsNeverWrittenOver) {
  // Arguments swapped: the CSV file in the project's place would read as an
  // empty project, and the export would then empty the real project.
  MakeProject({User("bob", "pw")});
  const std::string before = ReadFile(project_);
  const fs::path csv = root_.Path() / "users.csv";
  WriteFile(csv, "\"carol\",\"pw\",\"true\"\r\n");
  for (std::vector<std::string> args :
       std::vector<std::vector<std::string>>{{"export-csv", csv.string(), project_},
                                             {"user", "add", csv.string(), "dave", "--random"},
                                             {"series", csv.string(), "2"}}) {
    Result r = Run(args);
    EXPECT_EQ(r.Status, 1) << args[0];
    EXPECT_THAT(r.Err, HasSubstr("Can't open project file " + csv.string() + "\n")) << args[0];
  }
  EXPECT_EQ(ReadFile(project_), before);
  EXPECT_EQ(ReadFile(csv), "\"carol\",\"pw\",\"true\"\r\n");
}

// --- users ---------------------------------------------------------------------

TEST_F(Cli, UsersListsTabSeparatedInListOrderWithFilters) {
  TUserList carol = User("carol", "pw", true);
  carol.Email = "carol@example.org";
  carol.FullName = "Carol Jones";
  TUserList odd = User("tab\there", "pw");
  odd.FullName = "bell\x07here";
  // File order, not name order: the list is shown as it is held.
  MakeProject({User("zed", "pw"), carol, odd});
  Result all = Run({"users", project_});
  EXPECT_EQ(all.Status, 0);
  EXPECT_EQ(all.Out,
            "zed\tEnabled\t\t\n"
            "carol\tDisabled\tcarol@example.org\tCarol Jones\n"
            "tab\\x09here\tEnabled\t\tbell\\x07here\n");
  EXPECT_EQ(Run({"users", project_, "--disabled"}).Out, "carol\tDisabled\tcarol@example.org\tCarol Jones\n");
  EXPECT_THAT(Lines(Run({"users", project_, "--enabled"}).Out), ::testing::SizeIs(2));
}

// --- user add / remove / enable / disable ---------------------------------------

TEST_F(Cli, UserAddInsertsSortedWithTrimmedFieldsFromStdin) {
  MakeProject({User("alice", "pw"), User("dave", "pw")});
  Result r = Run({"user", "add", project_, "  carol ", "--password-stdin", "--email", " c@example.org ", "--full-name",
                  "Carol J", "--disabled"},
                 "  s3cret \n");
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(r.Err, "");
  EXPECT_THAT(Names(), ElementsAre("alice", "carol(off)", "dave"));
  TUserList carol = Find("carol");
  EXPECT_EQ(carol.Password, "s3cret");
  EXPECT_EQ(carol.Email, "c@example.org");
  EXPECT_EQ(carol.FullName, "Carol J");

  // A CR LF line end from a Windows pipe is not part of the password.
  EXPECT_EQ(Run({"user", "add", project_, "Bob", "--password-stdin"}, "pw2\r\n").Status, 0);
  EXPECT_EQ(Find("Bob").Password, "pw2");
  EXPECT_THAT(Names(), ElementsAre("alice", "Bob", "carol(off)", "dave"));
}

TEST_F(Cli, UserAddRandomPrintsThePasswordItStored) {
  MakeProject({});
  Result r = Run({"user", "add", project_, "eve", "--random"});
  EXPECT_EQ(r.Status, 0) << r.Err;
  ASSERT_EQ(Lines(r.Out).size(), 1u);
  const std::string password = Lines(r.Out)[0];
  EXPECT_TRUE(std::regex_match(password, std::regex("[0-9A-Za-z]{5,7}"))) << password;
  EXPECT_EQ(Find("eve").Password, password);
}

TEST_F(Cli, UserAddRefusalsLeaveTheProjectAsItWas) {
  MakeProject({User("bob", "pw")});
  const std::string before = ReadFile(project_);
  Result dup = Run({"user", "add", project_, " bob ", "--password-stdin"}, "other\n");
  EXPECT_EQ(dup.Status, 1);
  EXPECT_EQ(dup.Err, "The User bob has been existed!\n");
  // Same collation as the desktop: a different case is a different user,
  // so this one is only refused for its blank password.
  Result blank = Run({"user", "add", project_, "Bob", "--password-stdin"}, "   \n");
  EXPECT_EQ(blank.Status, 1);
  EXPECT_EQ(blank.Err, "A user needs a password.\n");
  Result noName = Run({"user", "add", project_, "  ", "--random"});
  EXPECT_EQ(noName.Status, 1);
  EXPECT_EQ(noName.Err, "A user needs a name.\n");
  EXPECT_EQ(noName.Out, "");
  EXPECT_EQ(ReadFile(project_), before);
}

TEST_F(Cli, RemoveEnableDisableActOnEveryUserOfThatName) {
  // Two users of one name (an import makes them): disabling only the first
  // would leave the second one logging in.
  MakeProject({User("bob", "one"), User("carol", "pw"), User("bob", "two")});
  EXPECT_EQ(Run({"user", "disable", project_, "bob"}).Status, 0);
  EXPECT_THAT(Names(), ElementsAre("bob(off)", "carol", "bob(off)"));
  EXPECT_EQ(Run({"user", "enable", project_, "bob"}).Status, 0);
  EXPECT_THAT(Names(), ElementsAre("bob", "carol", "bob"));
  EXPECT_EQ(Run({"user", "remove", project_, "bob"}).Status, 0);
  EXPECT_THAT(Names(), ElementsAre("carol"));

  Result missing = Run({"user", "remove", project_, "bob"});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_EQ(missing.Err, "The User bob does not exist!\n");
  EXPECT_EQ(Run({"user", "disable", project_, "Carol"}).Status, 1);  // names are case-sensitive
}

TEST_F(Cli, ACommandThatChangesNothingDoesNotRewriteTheProject) {
  // Hand-written with LF line ends: any rewrite would turn them into CR LF.
  const std::string text = "[USER0]\nUSERNAME=bob\nPASSWORD=pw\nDISABLED=0\n[GENERAL]\nUSERCOUNT=1\nAUTHUSERFILE=/\n";
  WriteFile(project_, text);
  EXPECT_EQ(Run({"user", "enable", project_, "bob"}).Status, 0);
  EXPECT_EQ(Run({"users", project_}).Status, 0);
  EXPECT_EQ(Run({"export-csv", project_, (root_.Path() / "u.csv").string()}).Status, 0);
  WriteFile(root_.Path() / "empty.csv", "no comma here\r\n\r\n");
  EXPECT_EQ(Run({"import-csv", project_, (root_.Path() / "empty.csv").string()}).Status, 0);
  EXPECT_EQ(ReadFile(project_), text);
  EXPECT_EQ(Run({"user", "disable", project_, "bob"}).Status, 0);
  EXPECT_NE(ReadFile(project_), text);
  EXPECT_THAT(Names(), ElementsAre("bob(off)"));
}

// --- series ----------------------------------------------------------------------

TEST_F(Cli, SeriesAddsSortedUniqueUsersAndPrintsThem) {
  MakeProject({User("m", "pw")});
  Result r = Run({"series", project_, "40", "--user-length", "3", "--password-length", "9", "--user-chars", "letter",
                  "--user-case", "lower", "--password-chars", "numeral"});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err, "");  // no progress line off a terminal
  UserList users;
  ProjectSettings settings;
  ASSERT_TRUE(LoadProjectFile(project_, users, settings));
  EXPECT_EQ(users.CountUsers(), 41u);
  EXPECT_TRUE(users.InNameOrder());
  const std::vector<std::string> printed = Lines(r.Out);
  ASSERT_EQ(printed.size(), 40u);
  for (const std::string& line : printed) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, std::regex("([a-z]{3})\t([0-9]{9})"))) << line;
    const TUserList* user = users.FindUser(m[1].str());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(user->Password, m[2].str());
    EXPECT_FALSE(user->Disabled);
  }
}

TEST_F(Cli, SeriesCountAndLengthsOutsideTheDialogsRangesAreRefused) {
  MakeProject({User("bob", "pw")});
  const std::string before = ReadFile(project_);
  for (const char* count : {"0", "100000", "-3", "99999999999999999999"}) {
    Result r = Run({"series", project_, count});
    EXPECT_EQ(r.Status, 1) << count;
    EXPECT_THAT(r.Err, HasSubstr("COUNT must be from 1 to 4096")) << count;
  }
  Result longName = Run({"series", project_, "3", "--user-length", "256"});
  EXPECT_EQ(longName.Status, 1);
  EXPECT_EQ(longName.Err, "--user-length must be from 1 to 255, not 256.\n");
  EXPECT_EQ(Run({"series", project_, "3", "--password-length", "0"}).Status, 1);
  EXPECT_EQ(ReadFile(project_), before);
}

TEST_F(Cli, SeriesThatRunsOutOfNamesKeepsWhatItMadeAndSaysSo) {
  MakeProject({User("7", "pw")});
  Result r = Run({"series", project_, "12", "--user-length", "1", "--chars", "numeral"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_THAT(r.Err, HasSubstr("Only 9 of 12 users were created"));
  EXPECT_EQ(Lines(r.Out).size(), 9u);
  EXPECT_THAT(Names(), ElementsAre("0", "1", "2", "3", "4", "5", "6", "7", "8", "9"));
}

TEST_F(Cli, ProgressAppearsOnATerminalOnly) {
  MakeProject({});
  Result quiet = Run({"series", project_, "4096"});
  EXPECT_EQ(quiet.Status, 0);
  EXPECT_EQ(quiet.Err, "");
  Result terminal = testing::RunCliOnTerminal({"series", project_, "600"}, dataHome_);
  EXPECT_EQ(terminal.Status, 0);
  EXPECT_THAT(terminal.Out, HasSubstr("Creating users: 600/600"));
  EXPECT_EQ(Names().size(), 4696u);
}

// --- CSV -------------------------------------------------------------------------

TEST_F(Cli, CsvExportAndImportCarryTheWholeList) {
  TUserList carol = User("carol", "c pw", true);
  carol.Notes = "two\r\nlines";
  MakeProject({User("bob", "pw"), carol});
  const fs::path csv = root_.Path() / "users.csv";
  Result out = Run({"export-csv", project_, csv.string()});
  EXPECT_EQ(out.Status, 0) << out.Err;
  UserList expected;
  expected.AppendUser(User("bob", "pw"));
  expected.AppendUser(carol);
  EXPECT_EQ(ReadFile(csv), ExportCsv(expected));

  // Into a project that has users already: added at their place by name,
  // duplicates included, as the desktop import does.
  const std::string first = project_;
  project_ = (root_.Path() / "second.htp").string();
  MakeProject({User("alice", "pw"), User("bob", "old")});
  Result in = Run({"import-csv", project_, csv.string()});
  EXPECT_EQ(in.Status, 0) << in.Err;
  EXPECT_EQ(in.Err, "");
  EXPECT_THAT(Names(), ElementsAre("alice", "bob", "bob", "carol(off)"));
  EXPECT_EQ(Find("carol").Notes, "two\r\nlines");
  EXPECT_EQ(Find("carol").Password, "c pw");
}

TEST_F(Cli, CsvFilesThatCannotBeUsedAreRefused) {
  MakeProject({User("bob", "pw")});
  const std::string before = ReadFile(project_);
  const std::string missing = (root_.Path() / "none.csv").string();
  Result in = Run({"import-csv", project_, missing});
  EXPECT_EQ(in.Status, 1);
  EXPECT_EQ(in.Err, "Can't open CSV file " + missing + "\n");
  const std::string unwritable = (root_.Path() / "no" / "such" / "folder.csv").string();
  Result out = Run({"export-csv", project_, unwritable});
  EXPECT_EQ(out.Status, 1);
  EXPECT_EQ(out.Err, "Can't write CSV file " + unwritable + "\n");
  EXPECT_EQ(ReadFile(project_), before);
}

TEST_F(Cli, LargeCsvImportsInPiecesExactlyAsAWhole) {
  std::string text;
  for (int i = 0; i < 30000; ++i) text += "\"user" + std::to_string(i) + "\",\"pw\",\"true\"\r\n";
  text += "\"last\",\"pw\"";  // no line end after the last line
  WriteFile(root_.Path() / "big.csv", text);
  MakeProject({});
  EXPECT_EQ(Run({"import-csv", project_, (root_.Path() / "big.csv").string()}).Status, 0);
  UserList imported, whole;
  ProjectSettings settings;
  ASSERT_TRUE(LoadProjectFile(project_, imported, settings));
  ImportCsv(text, whole);
  EXPECT_TRUE(ExportCsv(imported) == ExportCsv(whole));
  EXPECT_EQ(imported.CountUsers(), 30001u);
}

TEST_F(Cli, AdoptedHashesAreWrittenBackByteForByte) {
  // What this program generated, adopted into a second project and generated
  // again, gives the very same file.
  MakeProject({User("al", "pw1"), User("bob", "pw2")});
  TempDir first, second, made;
  ASSERT_EQ(Run({"generate", project_, "--out", first.Path().string()}).Status, 0);
  project_ = (root_.Path() / "second.htp").string();
  MakeProject({User("bob", "kept")});
  Result in = Run({"import-htpasswd", project_, (first.Path() / ".htpasswd").string()});
  EXPECT_EQ(in.Status, 0) << in.Err;
  EXPECT_EQ(in.Out, "1 user imported, 0 lines skipped, 1 duplicate refused.\n");
  EXPECT_EQ(in.Err, "The User bob has been existed!\n");
  EXPECT_EQ(Run({"users", project_}).Out, "al\tEnabled\t\t\t(hash only)\nbob\tEnabled\t\t\n");

  // And files made by Apache's own tool, in every format it writes.
  std::string lines;
  if (std::system("command -v htpasswd >/dev/null") == 0) {
    const fs::path file = made.Path() / "made";
    int n = 0;
    for (const char* format : {"-B", "-m", "-s", "-d"}) {
      const std::string name = "u" + std::to_string(n++);
      ASSERT_EQ(std::system(("htpasswd -b" + std::string(n == 1 ? "c" : "") + " " + format + " " + file.string() + " " +
                             name + " secret 2>/dev/null")
                                .c_str()),
                0);
    }
    for (const std::string& line : Lines(ReadFile(file))) lines += line + "\r\n";
    ASSERT_EQ(Run({"import-htpasswd", project_, file.string()}).Status, 0);
  }
  ASSERT_EQ(Run({"user", "remove", project_, "bob"}).Status, 0);
  ASSERT_EQ(Run({"generate", project_, "--out", second.Path().string()}).Status, 0);
  const std::string generated = ReadFile(first.Path() / ".htpasswd");
  EXPECT_EQ(ReadFile(second.Path() / ".htpasswd"), generated.substr(0, generated.find("bob:")) + lines);
  EXPECT_EQ(Run({"import-htpasswd", project_, "none"}).Err, "Can't open .htpasswd file none\n");
}

// --- generate --------------------------------------------------------------------

TEST_F(Cli, GenerateRefusesInTheDesktopsOrder) {
  ProjectSettings settings;
  settings.AuthUserFile = " ";
  settings.FtpServerPath = "";
  settings.AuthName = "";
  MakeProject({User("bob", "pw", true)}, settings);
  auto refusal = [this] { return Run({"generate", project_}); };
  EXPECT_EQ(refusal().Err, "Please define user/password list.\n");
  MakeProject({User("bob", "pw")}, settings);
  EXPECT_EQ(refusal().Err, "Please define remote FTP path of the .htpasswd file.\n");
  settings.AuthUserFile = "/";
  MakeProject({User("bob", "pw")}, settings);
  EXPECT_EQ(refusal().Err, "Please define FULL HOST path of your FTP server.\n");
  settings.FtpServerPath = "/home/me/";
  MakeProject({User("bob", "pw")}, settings);
  Result r = refusal();
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "Please define text shows in the password dialog.\n");
  EXPECT_EQ(r.Out, "");
  EXPECT_FALSE(fs::exists(WorkFile(".htaccess")));
}

TEST_F(Cli, GenerateWritesWhatTheDesktopGeneratorWrites) {
  ProjectSettings settings;
  settings.FtpServerPath = " /home/me/ ";
  settings.AuthUserFile = "/members/";
  settings.AuthName = "Staff only";
  settings.RedirectError = true;
  settings.RedirectErrorPage = "http://example.org/denied.htm";
  MakeProject({User("zoe", "zpw"), User("adam", ""), User("off", "x", true), User("bob", "longpassword")}, settings);

  Result r = Run({"generate", project_});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out, "* Generate .htaccess file ... OK!\n\n* Generate .htpasswd file ... OK!\n\nPassword hash: des\n");
  EXPECT_EQ(r.Err,
            "Warning: Apache cannot answer a wrong password with a full address as the error page (the browser would "
            "never ask for a password), so .htaccess shows it through a refresh line in the refusal: a visitor sees "
            "it after cancelling the password dialog, and without that line would only see the server's own refusal\n"
            "Warning: DES hashes are not accepted by Apache on Windows; bcrypt works on every Apache 2.4\n"
            "Warning: DES uses only the first 8 characters of the passwords of \"bob\"\n"
            "Warning: users with an empty password: \"adam\"\n");

  // The desktop program's generator on the same project, in another folder.
  UserList users;
  ProjectSettings read;
  ASSERT_TRUE(LoadProjectFile(project_, users, read));
  TempDir desktop;
  testing::StringLog log;
  ASSERT_TRUE(WriteAccessFiles(users, read, log, {.Folder = desktop.Path()}).Written);
  EXPECT_EQ(ReadFile(WorkFile(".htaccess")), ReadFile(desktop.Path() / ".htaccess"));

  const std::vector<std::string> ours = Lines(ReadFile(WorkFile(".htpasswd")));
  const std::vector<std::string> theirs = Lines(ReadFile(desktop.Path() / ".htpasswd"));
  const char* passwords[] = {"zpw", "", "longpassword"};
  ASSERT_EQ(ours.size(), 3u);
  ASSERT_EQ(theirs.size(), 3u);
  for (std::size_t i = 0; i < ours.size(); ++i) {
    ASSERT_EQ(ours[i].back(), '\r');
    const std::string name = ours[i].substr(0, ours[i].find(':'));
    const std::string hash = ours[i].substr(name.size() + 1, 13);
    EXPECT_EQ(name, theirs[i].substr(0, theirs[i].find(':')));
    EXPECT_EQ(ours[i].size(), name.size() + 1 + 13 + 1);
    EXPECT_EQ(Crypt(passwords[i], hash), hash) << name;
  }

  // The hashes of a format other than DES are kept in the project, so the
  // next run writes them again instead of making them anew.
  ASSERT_EQ(Run({"set", project_, "PASSWORDHASH", "apr1"}).Status, 0);
  ASSERT_EQ(Run({"generate", project_}).Status, 0);
  const std::string kept = ReadFile(WorkFile(".htpasswd"));
  ASSERT_EQ(Run({"generate", project_}).Status, 0);
  EXPECT_EQ(ReadFile(WorkFile(".htpasswd")), kept);
}

TEST_F(Cli, GenerateOutWritesIntoThatFolderOnly) {
  MakeProject({User("bob", "pw")});
  TempDir out;
  Result r = Run({"generate", project_, "--out", out.Path().string()});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_TRUE(fs::exists(out.Path() / ".htaccess"));
  EXPECT_TRUE(fs::exists(out.Path() / ".htpasswd"));
  EXPECT_FALSE(fs::exists(WorkFile(".htaccess")));

  Result missing = Run({"generate", project_, "--out", (out.Path() / "nope").string()});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_EQ(missing.Err, "The specified directory does not exist!\n");
}

// --- hash and verify ----------------------------------------------------------------

TEST_F(Cli, HashAgreesWithTheSystemCrypt) {
  Result salted = Run({"hash", "--salt", "ab", "secret"});
  EXPECT_EQ(salted.Status, 0);
  EXPECT_EQ(salted.Out, Crypt("secret", "ab") + "\n");
  Result fresh = Run({"hash", "--stdin"}, "pass word\n");
  ASSERT_EQ(fresh.Status, 0);
  const std::string hash = Lines(fresh.Out).at(0);
  EXPECT_TRUE(std::regex_match(hash, std::regex("[0-9A-Za-z]{2}[./0-9A-Za-z]{11}"))) << hash;
  EXPECT_EQ(Crypt("pass word", hash), hash);
  // "--" lets a password begin with a dash.
  EXPECT_EQ(Run({"hash", "--salt", "ab", "--", "-dash"}).Out, Crypt("-dash", "ab") + "\n");
}

TEST_F(Cli, HashRefusesASaltOutsideTheAlphabet) {
  for (const char* salt : {"a", "abc", "a$", ""}) {
    Result r = Run({"hash", "--salt", salt, "pw"});
    EXPECT_EQ(r.Status, 1) << salt;
    EXPECT_THAT(r.Err, HasSubstr("The salt must be two characters")) << salt;
  }
}

TEST_F(Cli, VerifyChecksHashesFromHashAndFromCrypt) {
  const std::string fromCli = Lines(Run({"hash", "--salt", "x.", "first"}).Out).at(0);
  const fs::path file = root_.Path() / ".htpasswd";
  WriteFile(file, "# comment\r\n\r\nann:" + fromCli + "\r\nbob:" + Crypt("second", "Q7") +
                      "\nann:" + Crypt("other", "zz") + "\r\n");
  auto verify = [&](const std::string& name, const std::string& password) {
    return Run({"verify", file.string(), name}, password + "\n");
  };
  EXPECT_EQ(verify("ann", "first").Status, 0);
  EXPECT_EQ(verify("bob", "second").Status, 0);
  Result wrong = verify("bob", "Second");
  EXPECT_EQ(wrong.Status, 1);
  EXPECT_EQ(wrong.Err, "The password does not match.\n");
  EXPECT_EQ(verify("ann", "other").Status, 1);  // the first line of a name is the one that counts
  Result nobody = verify("carol", "x");
  EXPECT_EQ(nobody.Status, 1);
  EXPECT_EQ(nobody.Err, "The User carol does not exist!\n");
  Result noFile = Run({"verify", (root_.Path() / "none").string(), "ann"}, "first\n");
  EXPECT_EQ(noFile.Status, 1);
  EXPECT_THAT(noFile.Err, HasSubstr("Can't open password file"));
}

// The format and cost options reach the hash, and "verify" takes what "hash"
// made, only with its password; each format's own text is the hashing
// layer's test.
TEST_F(Cli, HashAndVerifyEveryFormat) {
  const struct {
    std::vector<std::string> options;
    const char* pattern;
  } cases[] = {
      {{"--format", "bcrypt", "--cost", "4"}, R"(\$2y\$04\$[./0-9A-Za-z]{53})"},
      {{"--format", "sha256", "--cost", "1000"}, R"(\$5\$rounds=1000\$[./0-9A-Za-z]{16}\$[./0-9A-Za-z]{43})"},
      {{"--format", "des"}, "[0-9A-Za-z]{2}[./0-9A-Za-z]{11}"},
  };
  const fs::path file = root_.Path() / ".htpasswd";
  for (const auto& c : cases) {
    std::vector<std::string> args{"hash"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back("pass word 99");
    Result r = Run(args);
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::string hash = Lines(r.Out).at(0);
    EXPECT_TRUE(std::regex_match(hash, std::regex(c.pattern))) << hash;
    WriteFile(file, "ann:" + hash + "\r\n");
    EXPECT_EQ(Run({"verify", file.string(), "ann"}, "pass word 99\n").Status, 0) << hash;
    EXPECT_EQ(Run({"verify", file.string(), "ann"}, "Pass word 99\n").Status, 1) << hash;
  }
  const struct {
    std::vector<std::string> args;
    int status;
    const char* err;
  } refused[] = {
      {{"hash", "--format", "bcrypt", "--cost", "18", "pw"}, 1, "A bcrypt cost must be from 4 to 17, not 18.\n"},
      {{"hash", "--format", "sha256", "--cost", "999", "pw"},
       1,
       "A sha256 cost must be from 1000 to 999999999, not 999.\n"},
      {{"hash", "--format", "apr1", "--cost", "5", "pw"}, 2, "--cost goes with --format bcrypt, sha512 or sha256"},
      {{"hash", "--format", "bcrypt", "--salt", "ab", "pw"}, 2, "--salt goes with --format des only"},
      {{"hash", "--format", "md5", "pw"}, 2, "--format"},
  };
  for (const auto& c : refused) {
    Result r = Run(c.args);
    EXPECT_EQ(r.Status, c.status) << c.args[2];
    EXPECT_THAT(r.Err, HasSubstr(c.err)) << c.args[2];
  }
  WriteFile(file, "ann:$3$unknown\r\n");
  EXPECT_EQ(Run({"verify", file.string(), "ann"}, "x\n").Err, "The hash of ann is of no format this program knows.\n");
}

TEST_F(Cli, VerifyAgainstAFileThatGenerateWrote) {
  MakeProject({User("bob", "pw1"), User("carol", "pw2")});
  ASSERT_EQ(Run({"generate", project_}).Status, 0);
  const std::string file = WorkFile(".htpasswd").string();
  EXPECT_EQ(Run({"verify", file, "carol"}, "pw2\n").Status, 0);
  EXPECT_EQ(Run({"verify", file, "carol"}, "pw1\n").Status, 1);
}

}  // namespace
}  // namespace pellora
