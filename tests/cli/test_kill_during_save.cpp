// pellora-cli killed at any moment while it saves, and saving where the file
// cannot be written whole: the project file must always load, holding either
// the state before the command or the state after it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/CliTest.h"

namespace pellora {
namespace {

using Clock = std::chrono::steady_clock;
using testing::ReadFile;
using testing::User;

// The fields of every user, in file order.
struct Snapshot {
  bool Loaded = false;
  std::vector<std::string> Users;
};

Snapshot Load(const std::string& path) {
  Snapshot s;
  UserList users;
  ProjectSettings settings;
  s.Loaded = LoadProjectFile(path, users, settings);
  for (const TUserList& u : users)
    s.Users.push_back(u.UserName + '|' + u.Password + '|' + (u.Disabled ? "1" : "0") + '|' + u.Email);
  return s;
}

// Starts "pellora-cli user add PROJECT NAME --password-stdin" with the
// password already waiting on its standard input. limitBytes > 0 caps the
// size of files it may write.
pid_t StartUserAdd(const std::string& project, const std::string& name, const std::string& dataHome,
                   rlim_t limitBytes = 0) {
  int in[2];
  if (::pipe(in) != 0) return -1;
  const std::string password = "pw-" + name + "\n";
  if (::write(in[1], password.data(), password.size()) != static_cast<ssize_t>(password.size())) return -1;
  ::close(in[1]);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::close(in[0]);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    if (limitBytes > 0) {
      ::signal(SIGXFSZ, SIG_IGN);  // stays ignored across exec: writes fail with EFBIG
      rlimit limit{limitBytes, limitBytes};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    } else {
      ::dup2(null, 2);
    }
    ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    ::execl(testing::CliPath(), testing::CliPath(), "user", "add", project.c_str(), name.c_str(), "--password-stdin",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(in[0]);
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -2;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class KillDuringSave : public testing::CliTest {
 protected:
  // A project large enough that saving it takes a noticeable time.
  void MakeLargeProject() {
    UserList list;
    for (int i = 0; i < 20000; ++i)
      list.AppendUser(User("member" + std::to_string(100000 + i), "pw" + std::to_string(i), i % 7 == 0));
    ProjectSettings settings;
    settings.AuthName = "Members";
    ASSERT_TRUE(SaveProjectFile(project_, list, settings));
  }
};

TEST_F(KillDuringSave, EveryKillLeavesTheOldOrTheNewProject) {
  MakeLargeProject();
  // How long one whole command takes here, so the kills fall all over it.
  const auto start = Clock::now();
  ASSERT_EQ(Wait(StartUserAdd(project_, "calibration", dataHome_.string())), 0);
  const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);

  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<long> delay(0, whole.count() * 12 / 10);
  SCOPED_TRACE("seed " + std::to_string(seed) + ", one command " + std::to_string(whole.count()) + " us");

  Snapshot before = Load(project_);
  ASSERT_TRUE(before.Loaded);
  int killedOld = 0, killedNew = 0;
  for (int round = 0; round < 25; ++round) {
    const std::string name = "added" + std::to_string(round);
    const pid_t pid = StartUserAdd(project_, name, dataHome_.string());
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(pid, SIGKILL);
    const int status = Wait(pid);

    const Snapshot after = Load(project_);
    ASSERT_TRUE(after.Loaded) << "round " << round;
    std::vector<std::string> withoutNew;
    bool hasNew = false;
    for (const std::string& user : after.Users) {
      if (user == name + "|pw-" + name + "|0|") hasNew = true;
      else withoutNew.push_back(user);
    }
    ASSERT_EQ(withoutNew, before.Users) << "round " << round << ": users lost or changed";
    if (status == 0) {
      ASSERT_TRUE(hasNew) << "round " << round << ": reported done but not saved";
    }
    (hasNew ? killedNew : killedOld) += status != 0;
    before = after;
  }
  // Which state each kill left depends on timing; both are correct.
  RecordProperty("killed_old", killedOld);
  RecordProperty("killed_new", killedNew);
}

TEST_F(KillDuringSave, ASaveBeyondTheFileSizeLimitIsReportedAndChangesNothing) {
  MakeLargeProject();
  const std::string old = ReadFile(project_);
  int err[2];
  ASSERT_EQ(::pipe(err), 0);
  // Standard error of the child goes to the pipe: what the user reads.
  const int saved = ::dup(2);
  ::dup2(err[1], 2);
  const pid_t pid = StartUserAdd(project_, "toolarge", dataHome_.string(), 512 * 1024);
  ::dup2(saved, 2);
  ::close(saved);
  ::close(err[1]);
  std::string message;
  char buffer[4096];
  for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;) message.append(buffer, static_cast<size_t>(n));
  ::close(err[0]);

  EXPECT_EQ(Wait(pid), 1);
  EXPECT_NE(message.find("Can't save project as " + project_), std::string::npos) << message;
  EXPECT_EQ(ReadFile(project_), old);
  EXPECT_TRUE(Load(project_).Loaded);
}

}  // namespace
}  // namespace pellora
