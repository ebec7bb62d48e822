// Saves that cannot complete: the project file on disk must stay the old one,
// whole and loadable, the save must say it failed, and the program must be
// able to go on (a later save that can complete does).
#include <gtest/gtest.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>

#include "common/Files.h"
#include "common/Users.h"
#include "platform/Files.h"
#include "project/ProjectFile.h"

using namespace pellora;
using namespace pellora::testing;
namespace fs = std::filesystem;

namespace {

// What a forked child reports back through its exit status.
enum ChildResult {
  kSaveFailed = 10,
  kSaveFailedThenRetrySucceeded,
  kSaveSucceeded,
  kRetryFailed,
  kCannotSetUp,
  kOldFileChanged,
  kTemporaryLeft,
};

// Runs body in a child process and returns its exit status (-1 when it did
// not exit normally). The child leaves with _exit, so nothing of the test
// program's own shutdown runs twice.
int InChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void FillUsers(UserList& users, int count) {
  for (int i = 0; i < count; ++i)
    users.AppendUser(User("member" + std::to_string(i), "pw" + std::to_string(i), i % 3 == 0,
                          "m" + std::to_string(i) + "@example.org", "Member Number " + std::to_string(i),
                          "notes\r\nover two lines"));
}

class SaveFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    UserList old;
    old.AppendUser(User("alice", "secret", false, "alice@example.org", "Alice", "first"));
    old.AppendUser(User("bob", "pw", true));
    oldSettings.AuthName = "Members";
    oldSettings.FtpHost = "ftp.example.org";
    ASSERT_TRUE(SaveProjectFile(project, old, oldSettings));
    oldFields = AllFields(old);
    oldBytes = dir.Read("p.htp");
    FillUsers(big, 20000);
  }

  // The old project as the user would open it again.
  void ExpectOldProjectIntact() {
    EXPECT_EQ(dir.Read("p.htp"), oldBytes);
    UserList users;
    ProjectSettings settings;
    ASSERT_TRUE(LoadProjectFile(project, users, settings));
    EXPECT_EQ(AllFields(users), oldFields);
    EXPECT_EQ(settings.AuthName, "Members");
    EXPECT_EQ(settings.FtpHost, "ftp.example.org");
  }

  size_t FilesIn(const fs::path& folder) const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
  }

  TempDir dir;
  std::string project = dir.File("p.htp");
  ProjectSettings oldSettings;
  std::vector<Fields> oldFields;
  std::string oldBytes;
  UserList big;  // about 2 MB as a file
};

TEST_F(SaveFaults, FileSizeLimitReachedKeepsTheOldProject) {
  const int result = InChild([&]() -> int {
    ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of killing the program
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return kCannotSetUp;
    const rlim_t hard = limit.rlim_max;
    limit.rlim_cur = 256 * 1024;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return kCannotSetUp;
    if (SaveProjectFile(project, big, ProjectSettings{})) return kSaveSucceeded;
    // The program goes on: with room again, the same save completes.
    limit.rlim_cur = hard;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return kCannotSetUp;
    return SaveProjectFile(dir.File("retry.htp"), big, ProjectSettings{}) ? kSaveFailedThenRetrySucceeded
                                                                          : kRetryFailed;
  });
  EXPECT_EQ(result, kSaveFailedThenRetrySucceeded);
  ExpectOldProjectIntact();

  UserList retried;
  ProjectSettings settings;
  ASSERT_TRUE(LoadProjectFile(dir.File("retry.htp"), retried, settings));
  EXPECT_EQ(retried.CountUsers(), 20000u);
  fs::remove(dir.File("retry.htp"));
  EXPECT_EQ(FilesIn(dir.Path()), 1u) << "a temporary file was left beside the project";
}

// Permission bits do not stop root, and CI runs as root: there the save runs
// in a child that has given up root for the nobody account, so the folder's
// bits hold for it as they hold for any user.
TEST_F(SaveFaults, ReadOnlyFolderKeepsTheOldProject) {
  const fs::path folder = dir.Path() / "site";
  fs::create_directory(folder);
  const std::string inFolder = (folder / "p.htp").string();
  ASSERT_TRUE(SaveProjectFile(inFolder, UserList{}, oldSettings));
  fs::copy_file(project, inFolder, fs::copy_options::overwrite_existing);
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);

  uid_t nobody = 0;
  gid_t nogroup = 0;
  if (::geteuid() == 0) {
    const passwd* pw = ::getpwnam("nobody");
    if (!pw) GTEST_SKIP() << "no unprivileged account to save as";
    nobody = pw->pw_uid;
    nogroup = pw->pw_gid;
  }
  const int result = InChild([&]() -> int {
    if (::geteuid() == 0 && (::setgid(nogroup) != 0 || ::setuid(nobody) != 0)) return kCannotSetUp;
    return SaveProjectFile(inFolder, big, ProjectSettings{}) ? kSaveSucceeded : kSaveFailed;
  });
  ::chmod(folder.c_str(), 0700);
  EXPECT_EQ(result, kSaveFailed);
  EXPECT_EQ(dir.Read("site/p.htp"), oldBytes);
  UserList users;
  ProjectSettings settings;
  ASSERT_TRUE(LoadProjectFile(inFolder, users, settings));
  EXPECT_EQ(AllFields(users), oldFields);
  EXPECT_EQ(FilesIn(folder), 1u);
}

// A full disk, made as a small file system of its own in a mount namespace of
// the child (which needs the rights to mount: root, as in CI).
TEST_F(SaveFaults, DiskFullKeepsTheOldProject) {
  const fs::path disk = dir.Path() / "disk";
  fs::create_directory(disk);
  const std::string onDisk = (disk / "p.htp").string();
  const int result = InChild([&]() -> int {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0)
      return kCannotSetUp;
    std::FILE* f = std::fopen(onDisk.c_str(), "wb");
    if (!f || std::fwrite(oldBytes.data(), 1, oldBytes.size(), f) != oldBytes.size() || std::fclose(f) != 0)
      return kCannotSetUp;
    if (SaveProjectFile(onDisk, big, ProjectSettings{})) return kSaveSucceeded;
    std::string now;
    if (!ReadWholeFile(onDisk, now) || now != oldBytes) return kOldFileChanged;
    if (FilesIn(disk) != 1) return kTemporaryLeft;
    UserList few;
    FillUsers(few, 10);
    return SaveProjectFile(onDisk, few, ProjectSettings{}) ? kSaveFailedThenRetrySucceeded : kRetryFailed;
  });
  if (result == kCannotSetUp) GTEST_SKIP() << "no right to mount a small file system here";
  EXPECT_EQ(result, kSaveFailedThenRetrySucceeded);
}

// Paths that no one, root included, can write a file under.
TEST_F(SaveFaults, UnwritablePlacesFailForEveryUser) {
  EXPECT_FALSE(SaveProjectFile("/proc/self/p.htp", big, ProjectSettings{}));
  EXPECT_FALSE(SaveProjectFile(project + "/inside.htp", big, ProjectSettings{}));  // under a regular file
  ExpectOldProjectIntact();
  EXPECT_EQ(FilesIn(dir.Path()), 1u);
}

}  // namespace
