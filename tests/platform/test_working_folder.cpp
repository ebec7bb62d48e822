// The working folder holds config.htp and the generated files with their
// passwords, so where it lies and who may enter it matter.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/WorkingFolder.h"

namespace {
namespace fs = std::filesystem;

class WorkingFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/pellora-wf-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root = pattern;
    if (const char* h = std::getenv("HOME")) oldHome = h;
    ::setenv("HOME", (root / "home").c_str(), 1);
  }
  void TearDown() override {
    ::setenv("HOME", oldHome.c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    fs::remove_all(root);
  }
  static unsigned Mode(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
  }

  fs::path root;
  std::string oldHome;
};

TEST_F(WorkingFolderTest, LiesUnderTheDataFolderEndsWithTheSeparatorAndIsPrivate) {
  ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
  const std::string folder = pellora::WorkingFolder();
  EXPECT_EQ(folder, (root / "data" / "Quarnet Software" / "Pellora").string() + "/");
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(Mode(root / "data" / "Quarnet Software"), 0700u);
  EXPECT_EQ(Mode(folder), 0700u);
  EXPECT_EQ(pellora::WorkingFile(".htpasswd"), fs::path(folder + ".htpasswd"));
}

TEST_F(WorkingFolderTest, ASecondCallCreatesNothing) {
  ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
  const std::string first = pellora::WorkingFolder();
  struct stat before {};
  ASSERT_EQ(::stat(first.c_str(), &before), 0);
  std::size_t entries = 0;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) ++entries;

  EXPECT_EQ(pellora::WorkingFolder(), first);
  struct stat after {};
  ASSERT_EQ(::stat(first.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  std::size_t entriesAfter = 0;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) ++entriesAfter;
  EXPECT_EQ(entriesAfter, entries);
}

TEST_F(WorkingFolderTest, ARelativeOrMissingDataFolderFallsBackToTheHomeFolder) {
  const std::string expected = (root / "home" / ".local" / "share" / "Quarnet Software" / "Pellora").string() + "/";
  ::setenv("XDG_DATA_HOME", "relative/data", 1);
  EXPECT_EQ(pellora::WorkingFolder(), expected);
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(pellora::WorkingFolder(), expected);
  EXPECT_TRUE(fs::is_directory(expected));
  EXPECT_FALSE(fs::exists("relative"));
}

}  // namespace
