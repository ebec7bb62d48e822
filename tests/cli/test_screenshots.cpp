// The README's pictures: scripts/screenshots-render takes them from the built
// programs at work (a sample project made by pellora-cli, a real generate and
// a real upload to a local FTP server), and the README shows each of them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "common/Files.h"
#include "common/RunCli.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;

int RunScript(const fs::path& script, const std::vector<std::string>& args) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The desktop program's font library keeps a cache it never frees; leaks
    // are the widget tests' business, not this one's.
    ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    std::vector<char*> argv{const_cast<char*>(script.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(script.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Screenshots, EveryPictureOfTheReadmeIsTakenFromTheProgramsAtWork) {
  const fs::path binaryDir = fs::path(testing::CliPath()).parent_path();
  if (!fs::exists(binaryDir / "pellora-screenshots")) GTEST_SKIP() << "the desktop program is not built";
  testing::TempDir out;
  ASSERT_EQ(RunScript(fs::path(PELLORA_SOURCE_DIR) / "scripts" / "screenshots-render",
                      {binaryDir.string(), out.Path().string()}),
            0);

  std::set<std::string> taken;
  for (const fs::directory_entry& entry : fs::directory_iterator(out.Path())) {
    taken.insert(entry.path().filename().string());
    EXPECT_EQ(testing::ReadFile(entry.path()).substr(0, 8), "\x89PNG\r\n\x1a\n") << entry.path();
  }
  const std::string readme = testing::ReadFile(fs::path(PELLORA_SOURCE_DIR) / "README.md");
  std::set<std::string> shown;
  const std::regex picture(R"(\]\(docs/screenshots/([^)]+\.png)\))");
  for (auto it = std::sregex_iterator(readme.begin(), readme.end(), picture); it != std::sregex_iterator(); ++it)
    shown.insert((*it)[1].str());
  EXPECT_EQ(taken, shown);
  for (const char* name : {"main-step1-users.png", "user.png", "series.png", "log.png"})
    EXPECT_TRUE(taken.count(name)) << name;
}

}  // namespace
}  // namespace pellora
