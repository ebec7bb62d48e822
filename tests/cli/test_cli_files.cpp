// Who may read the files pellora-cli writes: private ones in the working
// folder, readable ones in the site's folder; a project behind a link is
// saved at its target.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/CliTest.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using testing::Result;
using testing::User;
using testing::TempDir;

unsigned Mode(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
  return st.st_mode & 07777;
}

class CliFiles : public testing::CliTest {
 protected:
  // The child inherits it: files created in the site's folder get 0644.
  void SetUp() override {
    CliTest::SetUp();
    oldUmask_ = ::umask(022);
  }
  void TearDown() override { ::umask(oldUmask_); }
  mode_t oldUmask_ = 022;
};

TEST_F(CliFiles, PrivateInTheWorkingFolderReadableInTheSite) {
  TempDir site;
  ProjectSettings settings;
  settings.ToFtpServer = false;
  settings.LocalDirectory = site.Path().string();
  MakeProject({User("bob", "pw")}, settings);
  EXPECT_EQ(Mode(project_), 0600u);

  Result published = Run({"publish", project_});
  ASSERT_EQ(published.Status, 0) << published.Err;
  EXPECT_EQ(Mode(WorkFile("")), 0700u);
  EXPECT_EQ(Mode(WorkFile(".htpasswd")), 0600u);
  EXPECT_EQ(Mode(site.Path() / ".htpasswd"), 0644u);
  EXPECT_EQ(Mode(site.Path() / ".htaccess"), 0644u);

  // generate --out makes a copy like the working folder's, private.
  TempDir out;
  ASSERT_EQ(Run({"generate", project_, "--out", out.Path().string()}).Status, 0);
  EXPECT_EQ(Mode(out.Path() / ".htpasswd"), 0600u);
}

// A project reached through a link is saved where the link leads, as an
// editor saves it; the link stays and the file keeps its mode.
TEST_F(CliFiles, AProjectBehindALinkIsSavedAtItsTarget) {
  MakeProject({User("bob", "pw")});
  ASSERT_EQ(::chmod(project_.c_str(), 0640), 0);
  const fs::path link = root_.Path() / "link.htp";
  fs::create_symlink(fs::path(project_).filename(), link);
  ASSERT_EQ(Run({"user", "add", link.string(), "carol", "--random"}).Status, 0);
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
  EXPECT_THAT(Names(), ::testing::ElementsAre("bob", "carol"));
  EXPECT_EQ(Mode(project_), 0640u);
}

}  // namespace
}  // namespace pellora
