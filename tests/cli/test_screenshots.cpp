// The README's pictures: scripts/screenshots-render takes them from the built
// programs at work (a sample project made by pellora-cli, a real generate and
// a real upload to a local FTP server), and the README shows each of them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <set>
#include <string>

#include "common/Files.h"
#include "common/RunCli.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;

TEST(Screenshots, EveryPictureOfTheReadmeIsTakenFromTheProgramsAtWork) {
  const fs::path binaryDir = fs::path(testing::CliPath()).parent_path();
  if (!fs::exists(binaryDir / "pellora-screenshots")) GTEST_SKIP() << "the desktop program is not built";
  testing::TempDir out;
  // The desktop program's font library keeps a cache it never frees; leaks
  // are the widget tests' business, not this one's.
  const std::string command = "ASAN_OPTIONS=detect_leaks=0 '" PELLORA_SOURCE_DIR "/scripts/screenshots-render' '" +
                              binaryDir.string() + "' '" + out.Path().string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);

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
