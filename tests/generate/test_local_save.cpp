#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>

#include "common/Files.h"
#include "common/Logs.h"
#include "generate/LocalSave.h"

namespace pellora {
namespace {
namespace fs = std::filesystem;
using ::testing::ElementsAre;
using testing::ReadFile;
using testing::WriteFile;

class SaveNowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldUmask = ::umask(022);
    fs::create_directory(source);
    fs::create_directory(web);
    WriteFile(source / ".htaccess", "new access\r\n");
    WriteFile(source / ".htpasswd", "new passwd\r\n");
    ::chmod((source / ".htpasswd").c_str(), 0600);
    prompts.BrowseForFolder = [this]() -> std::optional<std::string> {
      ++browsed;
      return chosen;
    };
    prompts.AskReplace = [this](const std::string& question) {
      questions.push_back(question);
      if (answers.empty()) ADD_FAILURE() << "unexpected question: " << question;
      bool yes = !answers.empty() && answers.front();
      if (!answers.empty()) answers.pop_front();
      return yes;
    };
  }

  void TearDown() override { ::umask(oldUmask); }

  LocalSaveResult Save(const std::string& field) { return SaveNow(field, prompts, log, source); }

  static struct stat Lstat(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st;
  }

  std::string Entry(const std::string& file, const std::string& folder, bool ok) {
    return "append:Save " + file + " file to " + folder + "/" + file +
           (ok ? " ... OK!\r\n\r\n" : " ... Failed!\r\n\r\n");
  }

  testing::TempDir root;
  fs::path source = root.Path() / "work";
  fs::path web = root.Path() / "web site";
  LocalSavePrompts prompts;
  testing::RecordingLog log;
  std::optional<std::string> chosen;
  int browsed = 0;
  std::deque<bool> answers;
  std::vector<std::string> questions;
  mode_t oldUmask = 022;
};

TEST_F(SaveNowTest, RefusesUntilBothFilesAreGenerated) {
  fs::remove(source / ".htpasswd");
  LocalSaveResult r = Save(web.string());
  EXPECT_EQ(r.Outcome, LocalSaveOutcome::NotGenerated);
  ASSERT_TRUE(r.Refused);
  EXPECT_EQ(r.Refused->Target, Field::Generate);
  EXPECT_EQ(r.Refused->Text, "Please generate .htaccess and .htpasswd files first.");
  EXPECT_EQ(r.Refused->Caption, "Error!");
  EXPECT_TRUE(log.calls.empty()) << "the log window is left alone";
  EXPECT_TRUE(fs::is_empty(web));

  // Even with no folder named, the missing files are reported first.
  EXPECT_EQ(Save("").Outcome, LocalSaveOutcome::NotGenerated);
  EXPECT_EQ(browsed, 0);
}

TEST_F(SaveNowTest, CopiesIntoAnEmptyFolderWithoutAsking) {
  LocalSaveResult r = Save(web.string());
  EXPECT_EQ(r.Outcome, LocalSaveOutcome::Saved);
  EXPECT_TRUE(r.HtaccessSaved && r.HtpasswdSaved);
  EXPECT_TRUE(questions.empty());
  EXPECT_THAT(log.calls,
              ElementsAre("clear", Entry(".htaccess", web.string(), true), Entry(".htpasswd", web.string(), true)));
  EXPECT_EQ(ReadFile(web / ".htaccess"), "new access\r\n");
  EXPECT_EQ(ReadFile(web / ".htpasswd"), "new passwd\r\n");
  EXPECT_TRUE(fs::exists(source / ".htaccess") && fs::exists(source / ".htpasswd"));
  // The web server's workers run under an account of their own and must
  // read both; the private copy stays in the working folder.
  EXPECT_EQ(Lstat(web / ".htpasswd").st_mode & 07777, 0644u);
  EXPECT_EQ(Lstat(web / ".htaccess").st_mode & 07777, 0644u);
  EXPECT_EQ(Lstat(source / ".htpasswd").st_mode & 07777, 0600u);

  fs::remove(web / ".htpasswd");
  answers = {false};
  ::umask(027);
  Save(web.string());
  EXPECT_EQ(Lstat(web / ".htpasswd").st_mode & 07777, 0640u) << "the operator's umask still counts";
}

// The site's owner chose who reads the files there: a replaced file keeps its
// mode and group (and, for root, its owner); a link there is replaced by a
// file of our own, never written through.
TEST_F(SaveNowTest, ReplacedFilesKeepTheirAccessAndLinksAreReplaced) {
  WriteFile(web / ".htpasswd", "old passwd");
  ASSERT_EQ(::chmod((web / ".htpasswd").c_str(), 0640), 0);
  const bool asRoot = ::geteuid() == 0;
  if (asRoot) {
    ASSERT_EQ(::chown((web / ".htpasswd").c_str(), 4321, 8765), 0);
  }
  WriteFile(root.Path() / "elsewhere.txt", "elsewhere");
  ASSERT_EQ(::chmod((root.Path() / "elsewhere.txt").c_str(), 0600), 0);
  fs::create_symlink(root.Path() / "elsewhere.txt", web / ".htaccess");
  answers = {true, true};

  LocalSaveResult r = Save(web.string());
  EXPECT_TRUE(r.HtaccessSaved && r.HtpasswdSaved);
  EXPECT_EQ(ReadFile(web / ".htpasswd"), "new passwd\r\n");
  EXPECT_EQ(Lstat(web / ".htpasswd").st_mode & 07777, 0640u);
  if (asRoot) {
    EXPECT_EQ(Lstat(web / ".htpasswd").st_uid, 4321u);
    EXPECT_EQ(Lstat(web / ".htpasswd").st_gid, 8765u);
  }
  EXPECT_TRUE(S_ISREG(Lstat(web / ".htaccess").st_mode));
  EXPECT_EQ(Lstat(web / ".htaccess").st_mode & 07777, 0644u) << "a new file's mode, not the link target's";
  EXPECT_EQ(ReadFile(web / ".htaccess"), "new access\r\n");
  EXPECT_EQ(ReadFile(root.Path() / "elsewhere.txt"), "elsewhere");
}

TEST_F(SaveNowTest, NoKeepsTheOldFileAndYesReplacesIt) {
  WriteFile(web / ".htaccess", "old access");
  WriteFile(web / ".htpasswd", "old passwd");
  answers = {false, true};
  LocalSaveResult r = Save(web.string());
  EXPECT_THAT(questions, ElementsAre((web / ".htaccess").string() + " already exists. Do you want to replace it?",
                                     (web / ".htpasswd").string() + " already exists. Do you want to replace it?"));
  EXPECT_EQ(r.Outcome, LocalSaveOutcome::Saved);
  EXPECT_FALSE(r.HtaccessSaved);
  EXPECT_TRUE(r.HtpasswdSaved);
  EXPECT_EQ(ReadFile(web / ".htaccess"), "old access");
  EXPECT_EQ(ReadFile(web / ".htpasswd"), "new passwd\r\n");
  EXPECT_THAT(log.calls,
              ElementsAre("clear", Entry(".htaccess", web.string(), false), Entry(".htpasswd", web.string(), true)));
}

TEST_F(SaveNowTest, AFailedCopyIsReportedAndTheOtherFileStillTried) {
  fs::create_directory(web / ".htaccess");
  answers = {true};
  LocalSaveResult r = Save(web.string());
  EXPECT_EQ(r.Outcome, LocalSaveOutcome::Saved);
  EXPECT_THAT(log.calls,
              ElementsAre("clear", Entry(".htaccess", web.string(), false), Entry(".htpasswd", web.string(), true)));
  EXPECT_EQ(ReadFile(web / ".htpasswd"), "new passwd\r\n");
}

TEST_F(SaveNowTest, FolderThatDoesNotExist) {
  WriteFile(root.Path() / "plain file", "x");
  for (fs::path missing : {web / "nowhere", root.Path() / "plain file"}) {
    log.calls.clear();
    LocalSaveResult r = Save(missing.string());
    EXPECT_EQ(r.Outcome, LocalSaveOutcome::DirectoryMissing);
    ASSERT_TRUE(r.Refused);
    EXPECT_EQ(r.Refused->Text, "The specified directory does not exist!");
    EXPECT_EQ(r.Refused->Caption, "Error");
    EXPECT_EQ(r.Refused->Target, Field::LocalDirectory);
    EXPECT_THAT(log.calls, ElementsAre("clear")) << "emptied, but nothing reported";
  }
  EXPECT_FALSE(fs::exists(web / "nowhere"));
  EXPECT_EQ(browsed, 0);
}

TEST_F(SaveNowTest, EmptyFieldOpensTheFolderDialog) {
  LocalSaveResult r = Save(" \t ");
  EXPECT_EQ(browsed, 1);
  EXPECT_EQ(r.Outcome, LocalSaveOutcome::Cancelled);
  EXPECT_FALSE(r.Refused);
  EXPECT_THAT(log.calls, ElementsAre("clear"));
  EXPECT_TRUE(fs::is_empty(web));

  log.calls.clear();
  chosen = "  ";
  EXPECT_EQ(Save("").Outcome, LocalSaveOutcome::Cancelled) << "a blank choice counts as none";

  log.calls.clear();
  chosen = web.string();
  r = Save("");
  EXPECT_EQ(browsed, 3);
  EXPECT_EQ(r.Outcome, LocalSaveOutcome::Saved);
  EXPECT_EQ(r.Directory, web.string());
  EXPECT_THAT(log.calls,
              ElementsAre("clear", Entry(".htaccess", web.string(), true), Entry(".htpasswd", web.string(), true)));
}

TEST_F(SaveNowTest, BlanksAndOneTrailingSeparatorDoNotChangeTheReport) {
  LocalSaveResult plain = Save(web.string());
  std::vector<std::string> first = log.calls;
  log.calls.clear();
  answers = {true, true};
  LocalSaveResult decorated = Save("  " + web.string() + "/\t");
  EXPECT_EQ(decorated.Directory, plain.Directory);
  EXPECT_EQ(log.calls, first);
  EXPECT_EQ(questions.size(), 2u);
  EXPECT_EQ(questions[0], (web / ".htaccess").string() + " already exists. Do you want to replace it?");
}

}  // namespace
}  // namespace pellora
