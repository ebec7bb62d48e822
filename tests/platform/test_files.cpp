// What a symbolic link at the place of a file the program writes decides:
// where the data goes and the mode it gets.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "common/Files.h"
#include "platform/Files.h"

namespace {
namespace fs = std::filesystem;
using pellora::AtLink;
using pellora::WriteFileAtomic;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldUmask = ::umask(022);
    fs::create_directories(root);
  }
  void TearDown() override { ::umask(oldUmask); }

  void Make(const std::string& name, const std::string& data, unsigned mode) {
    pellora::testing::WriteFile(root / name, data);
    EXPECT_EQ(::chmod((root / name).c_str(), mode), 0);
  }
  static struct stat Lstat(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st;
  }
  std::size_t Entries(const fs::path& dir) const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
  }

  pellora::testing::TempDir dir;
  const fs::path root = dir.Path() / "root";
  mode_t oldUmask = 022;
};

// A link planted where a generated or published file goes decides nothing;
// a link the operator made to a project is followed, as editors do.
TEST_F(FilesTest, WhatALinkAtThePathDecides) {
  struct Case {
    const char* name;
    AtLink at;
    const char* linkTo;  // as the link holds it, relative to its folder "out"
    const char* target;  // the file the links lead to, relative to the root
    bool written;
    bool stillLink;          // the link stays a link
    const char* targetData;  // what that file holds afterwards (nullptr: it does not exist)
    unsigned mode;           // of the file that now holds "new"
  };
  const Case cases[] = {
      {"planted link to a readable file", AtLink::Replace, "../readable.txt", "readable.txt", true, false, "readable",
       0600},
      {"planted link to nowhere", AtLink::Replace, "../nowhere", "nowhere", true, false, nullptr, 0600},
      {"project link", AtLink::WriteTarget, "../readable.txt", "readable.txt", true, true, "new", 0644},
      {"project link to a file yet to come", AtLink::WriteTarget, "../nowhere", "nowhere", true, true, "new", 0600},
      {"link to a link", AtLink::WriteTarget, "hop", "readable.txt", true, true, "new", 0644},
      {"link in a circle", AtLink::WriteTarget, "circle", "out/circle", false, true, nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(root);
    fs::create_directories(root / "out");
    Make("readable.txt", "readable", 0644);
    fs::create_symlink("../readable.txt", root / "out" / "hop");
    fs::create_symlink("circle", root / "out" / "circle");
    const fs::path link = root / "out" / "file";
    fs::create_symlink(c.linkTo, link);
    const fs::path target = root / c.target;

    EXPECT_EQ(WriteFileAtomic(link, "new", 0600, c.at), c.written);
    EXPECT_EQ(fs::is_symlink(fs::symlink_status(link)), c.stillLink);
    EXPECT_EQ(Entries(root / "out"), 3u) << "a temporary was left";
    if (!c.written) continue;
    const fs::path holder = c.stillLink ? target : link;
    EXPECT_EQ(pellora::testing::ReadFile(holder), "new");
    EXPECT_EQ(Lstat(holder).st_mode & 07777, c.mode);
    if (c.targetData) {
      EXPECT_EQ(pellora::testing::ReadFile(target), c.targetData);
    } else {
      EXPECT_FALSE(fs::exists(fs::symlink_status(target))) << "written through the link";
    }
  }
}

}  // namespace
