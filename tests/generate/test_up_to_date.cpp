#include <gtest/gtest.h>

#include <functional>

#include "common/Files.h"
#include "common/Logs.h"
#include "common/Users.h"
#include "generate/AccessFiles.h"
#include "generate/UpToDate.h"

namespace pellora {
namespace {

// Generated files against each kind of change made after them: only a change
// that Generate would write differently makes them stale.
TEST(GeneratedFilesUpToDate, OnlyAChangeThatReachesTheFilesMakesThemStale) {
  const struct {
    const char* change;
    bool upToDate;
    std::function<void(UserList&, ProjectSettings&)> apply;
  } cases[] = {
      {"nothing", true, [](UserList&, ProjectSettings&) {}},
      {"the FTP host", true, [](UserList&, ProjectSettings& s) { s.FtpHost = "elsewhere"; }},
      {"a disabled user added", true,
       [](UserList& u, ProjectSettings&) { u.AppendUser(testing::User("zed", "z", true)); }},
      {"a user added", false, [](UserList& u, ProjectSettings&) { u.AppendUser(testing::User("zed", "z")); }},
      {"a password", false, [](UserList& u, ProjectSettings&) { u.First()->Password = "new"; }},
      {"a user disabled", false, [](UserList& u, ProjectSettings&) { u.First()->Disabled = true; }},
      {"a name", false, [](UserList& u, ProjectSettings&) { u.RenameUser(*u.First(), "anne"); }},
      {"the AuthName", false, [](UserList&, ProjectSettings& s) { s.AuthName = "Staff"; }},
      {"the hash format", false, [](UserList&, ProjectSettings& s) { s.PasswordHash = "apr1"; }},
      {"an unknown hash format", true, [](UserList&, ProjectSettings& s) { s.PasswordHash = "md4"; }},
      {"a cost DES has not", true, [](UserList&, ProjectSettings& s) { s.HashCost = "12"; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.change);
    testing::TempDir dir;
    testing::StringLog log;
    UserList users;
    users.AppendUser(testing::User("ann", "pw"));
    TUserList adopted = testing::User("amy");  // known by its kept hash alone, written as it is
    adopted.Hash = "$apr1$salt$hash";
    users.AppendUser(adopted);
    users.AppendUser(testing::User("bob", "pw2"));
    ProjectSettings settings;
    ASSERT_TRUE(WriteAccessFiles(users, settings, log, {.Folder = dir.Path()}).Written);
    c.apply(users, settings);
    EXPECT_EQ(GeneratedFilesUpToDate(users, settings, dir.Path()), c.upToDate);
  }
  // A bcrypt file is proved current by the hashes the users keep, and by
  // the slow check when what they keep no longer tells.
  testing::TempDir dir;
  testing::StringLog log;
  UserList users;
  users.AppendUser(testing::User("ann", "pw"));
  ProjectSettings settings;
  settings.PasswordHash = "bcrypt";
  settings.HashCost = "4";
  ASSERT_TRUE(WriteAccessFiles(users, settings, log, {.Folder = dir.Path()}).Written);
  EXPECT_TRUE(GeneratedFilesUpToDate(users, settings, dir.Path()));
  users.First()->HashDigest = "lost";
  EXPECT_TRUE(GeneratedFilesUpToDate(users, settings, dir.Path()));
  users.First()->Password = "new";
  EXPECT_FALSE(GeneratedFilesUpToDate(users, settings, dir.Path()));

  testing::TempDir none;
  EXPECT_FALSE(GeneratedFilesUpToDate(UserList{}, ProjectSettings{}, none.Path()));
}

}  // namespace
}  // namespace pellora
