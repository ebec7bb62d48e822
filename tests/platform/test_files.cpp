// Who may read a file the program writes: its mode, owner and group, and what
// a symbolic link at its place decides.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/Files.h"
#include "platform/Files.h"

namespace {
namespace fs = std::filesystem;
using pellora::AtLink;
using pellora::IsReadOnlyFile;
using pellora::WriteFileAtomic;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldUmask = ::umask(022);
    fs::create_directories(root);
  }
  void TearDown() override { ::umask(oldUmask); }

  fs::path Make(const std::string& name, const std::string& data, unsigned mode) {
    const fs::path p = root / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << data;
    EXPECT_EQ(::chmod(p.c_str(), mode), 0);
    return p;
  }
  static struct stat Lstat(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st;
  }
  static std::string Read(const fs::path& p) {
    std::string text;
    EXPECT_TRUE(pellora::ReadWholeFile(p, text)) << p;
    return text;
  }
  std::size_t Entries(const fs::path& dir) const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
  }

  pellora::testing::TempDir dir;
  const fs::path root = dir.Path() / "root";
  mode_t oldUmask = 022;
};

TEST_F(FilesTest, ANewFileGetsTheModeAskedForLessTheUmask) {
  struct Case {
    mode_t umask;
    unsigned asked;
    unsigned expected;
  };
  for (const Case& c : {Case{022, 0644, 0644}, Case{027, 0644, 0640}, Case{077, 0644, 0600}, Case{002, 0644, 0644},
                        Case{0, 0600, 0600}, Case{022, 0600, 0600}}) {
    SCOPED_TRACE(std::to_string(c.umask) + " " + std::to_string(c.asked));
    ::umask(c.umask);
    const fs::path p = root / "new";
    fs::remove(p);
    ASSERT_TRUE(WriteFileAtomic(p, "data", c.asked));
    EXPECT_EQ(Lstat(p).st_mode & 07777, c.expected);
    EXPECT_EQ(Read(p), "data");
  }
  EXPECT_EQ(Entries(root), 1u) << "a temporary was left";
}

// A link planted where a generated or published file goes decides nothing;
// a link the operator made to a project is followed, as editors do.
TEST_F(FilesTest, WhatALinkAtThePathDecides) {
  struct Case {
    const char* name;
    AtLink at;
    const char* linkTo;      // as the link holds it, relative to its folder "out"
    const char* target;      // the file the links lead to, relative to the root
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
    EXPECT_EQ(Read(holder), "new");
    EXPECT_EQ(Lstat(holder).st_mode & 07777, c.mode);
    if (c.targetData) {
      EXPECT_EQ(Read(target), c.targetData);
    } else {
      EXPECT_FALSE(fs::exists(fs::symlink_status(target))) << "written through the link";
    }
  }
}

TEST_F(FilesTest, ReadOnlyMeansNoWriteBitForRootToo) {
  struct Case {
    const char* name;
    unsigned mode;
    bool readOnly;
  };
  for (const Case& c : {Case{"a", 0444, true}, Case{"b", 0400, true}, Case{"c", 0555, true}, Case{"d", 0644, false},
                        Case{"e", 0600, false}, Case{"f", 0604, false}}) {
    SCOPED_TRACE(c.name);
    const fs::path p = Make(c.name, "x", c.mode);
    EXPECT_EQ(IsReadOnlyFile(p), c.readOnly);
    fs::create_symlink(p, root / (std::string(c.name) + ".link"));
    EXPECT_EQ(IsReadOnlyFile(root / (std::string(c.name) + ".link")), c.readOnly) << "judged by the file it leads to";
  }
  EXPECT_FALSE(IsReadOnlyFile(root / "missing")) << "a new file may be made";
  EXPECT_FALSE(IsReadOnlyFile(root)) << "a folder is no file to keep";
}

}  // namespace
