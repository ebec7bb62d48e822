// The Debian package as a person installs it: made by CPack from this build,
// unpacked with dpkg -x into a temporary root, its programs run from there and
// its files checked against the desktop's standards and against the help.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <regex>
#include <set>

#include "common/Files.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testing::ReadFile;

struct Shell {
  int Status = -1;
  std::string Out;  // standard output and error together
};

Shell Sh(const std::string& command) {
  Shell result;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.Out.append(buffer, n);
  const int status = ::pclose(pipe);
  result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Q(const fs::path& path) { return "'" + path.string() + "'"; }

std::set<std::string> Matches(const std::string& text, const char* pattern) {
  std::set<std::string> found;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
    found.insert((*it)[1].str());
  return found;
}

class Package : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Sh("cpack --config '" PELLORA_BINARY_DIR "/CPackConfig.cmake' -B " + Q(dir_.Path())).Status, 0);
    std::string arch = Sh("dpkg --print-architecture").Out;
    arch.pop_back();
    deb_ = dir_.Path() / ("pellora_" PELLORA_VERSION "_" + arch + ".deb");
    ASSERT_EQ(Sh("dpkg -x " + Q(deb_) + " " + Q(root_)).Status, 0);
  }
  Shell Run(const std::string& line) {
    return Sh("PELLORA_EXIT_WHEN_SHOWN=1 XDG_DATA_HOME=" + Q(dir_.Path()) + " timeout 60 " + Q(root_ / "usr/bin") +
              "/" + line);
  }

  testing::TempDir dir_;
  fs::path root_ = dir_.Path() / "root", deb_;
  const std::string id_ = PELLORA_APP_ID;
};

TEST_F(Package, IsCleanAndPutsEachFileWhereTheStandardsDo) {
  const std::string control = Sh("dpkg-deb --field " + Q(deb_)).Out;
  for (const char* field : {"Package: pellora\n", "Version: " PELLORA_VERSION "\n", "Section: web\n",
                            "Maintainer: Quarnet Software <support@pellora.example>\n"})
    EXPECT_THAT(control, HasSubstr(field));
  EXPECT_THAT(control, ::testing::ContainsRegex("Depends: .*libc6 .*libqt6widgets6"));  // from the libraries
  const Shell lintian = Sh("lintian " + Q(deb_));
  EXPECT_EQ(lintian.Status, 0) << lintian.Out;

  for (const char* path : {"usr/share/pellora/help.html", "usr/share/bash-completion/completions/pellora-cli",
                           "usr/share/man/man1/pellora-cli.1.gz", "usr/share/man/man1/pellora.1.gz"})
    EXPECT_TRUE(fs::is_regular_file(root_ / path)) << path;
  EXPECT_EQ(ReadFile(root_ / ("usr/share/icons/hicolor/scalable/apps/" + id_ + ".svg")).substr(0, 4), "<svg");
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const std::string name = std::to_string(size) + "x" + std::to_string(size);
    const std::string png = ReadFile(root_ / ("usr/share/icons/hicolor/" + name + "/apps/" + id_ + ".png"));
    EXPECT_TRUE(png.size() > 24 && png.starts_with("\x89PNG") && png[18] * 256 + (unsigned char)png[19] == size)
        << name;  // the width in the header
  }
  const fs::path desktop = root_ / ("usr/share/applications/" + id_ + ".desktop");
  const Shell validDesktop = Sh("desktop-file-validate " + Q(desktop));
  EXPECT_TRUE(validDesktop.Status == 0 && validDesktop.Out.empty()) << validDesktop.Out;
  EXPECT_THAT(ReadFile(desktop), HasSubstr("\nIcon=" + id_ + "\n"));
  const fs::path metainfo = root_ / ("usr/share/metainfo/" + id_ + ".metainfo.xml");
  const Shell validMetainfo = Sh("appstreamcli validate --no-net " + Q(metainfo));
  EXPECT_EQ(validMetainfo.Status, 0) << validMetainfo.Out;
  // The software centre shows the README's pictures, every one of them.
  EXPECT_EQ(Matches(ReadFile(metainfo), R"(<image>https://www\.pellora\.example/screenshots/([^<]+)</image>)"),
            Matches(ReadFile(PELLORA_SOURCE_DIR "/README.md"), R"(\]\(docs/screenshots/([^)]+\.png)\))"));
}

TEST_F(Package, ItsProgramsRunAndItsManPageAndCompletionFollowTheHelp) {
  EXPECT_EQ(Run("pellora-cli --version").Out, "pellora-cli " PELLORA_VERSION "\n");
  const fs::path project = dir_.Path() / "members.htp";
  EXPECT_EQ(Run("pellora-cli new " + Q(project)).Status, 0);
  EXPECT_EQ(Run("pellora-cli set " + Q(project) + " authname Staff ftpserverpath /home/staff/").Status, 0);
  EXPECT_THAT(Run("pellora-cli show " + Q(project)).Out, HasSubstr("AUTHNAME=Staff\n"));
  dir_.Write("password", "secret\n");
  EXPECT_EQ(Run("pellora-cli user add " + Q(project) + " bob --password-stdin <" + dir_.File("password")).Status, 0);
  EXPECT_EQ(Run("pellora-cli generate " + Q(project) + " --out " + Q(dir_.Path())).Status, 0);
  EXPECT_THAT(dir_.Read(".htpasswd"), ::testing::StartsWith("bob:"));
  EXPECT_THAT(dir_.Read(".htaccess"), HasSubstr("AuthUserFile /home/staff/.htpasswd"));
  // The desktop program starts, with its icons and settings, and leaves once its window is up.
  EXPECT_THAT(Run("pellora -platform offscreen").Out, HasSubstr("shown\n"));

  const std::string help = Run("pellora-cli --help").Out;
  const std::set<std::string> commands = Matches(help, R"(\n  ([a-z][a-z-]+) )");
  ASSERT_TRUE(commands.count("publish") && commands.count("user"));
  const std::string man = Sh("zcat " + Q(root_ / "usr/share/man/man1/pellora-cli.1.gz")).Out;
  const auto roff = [](const std::string& word) { return std::regex_replace(word, std::regex("-"), "\\-"); };
  for (const std::string& command : commands) EXPECT_THAT(man, HasSubstr("\\fB" + roff(command) + "\\fR"));
  for (const std::string& option : Matches(help, R"((--[a-z][a-z-]+))")) EXPECT_THAT(man, HasSubstr(roff(option)));

  // What bash offers after the words typed, in a folder of a project, a CSV file, a text file and a folder.
  testing::TempDir work;
  for (const char* name : {"a.htp", "b.csv", "c.txt"}) work.Write(name, "");
  fs::create_directory(work.Path() / "out");
  const auto complete = [&](const std::string& line) {
    return Sh("cd " + Q(work.Path()) + " && bash -c '. /usr/share/bash-completion/bash_completion; . \"$0\"; " +
              "COMP_LINE=$1 COMP_POINT=${#1}; read -ra COMP_WORDS <<<\"$1\"; [[ $1 == *\" \" ]] && COMP_WORDS+=(\"\"); "
              "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _pellora_cli; printf \"%s\\n\" \"${COMPREPLY[@]}\" | sort' " +
              Q(root_ / "usr/share/bash-completion/completions/pellora-cli") + " '" + line + "'")
        .Out;
  };
  std::string all;
  for (const std::string& command : commands) all += command + "\n";
  EXPECT_EQ(complete("pellora-cli "), all);
  const char* cases[][2] = {
      {"pellora-cli user ", "add\ndisable\nenable\nremove\n"},
      {"pellora-cli import-csv ", "a.htp\nout\n"},
      {"pellora-cli import-csv a.htp ", "b.csv\nout\n"},
      {"pellora-cli user add a.htp bob --e", "--email\n"},
      {"pellora-cli generate a.htp --out ", "out\n"},
      {"pellora-cli series a.htp 3 --chars ", "letter\nnumeral\nrandom\n"},
      {"pellora-cli set a.htp --f", "--ftp-password-stdin\n"},
      {"pellora-cli --v", "--version\n"},
  };
  for (const auto& [line, offered] : cases) EXPECT_EQ(complete(line), offered) << line;
}

}  // namespace
}  // namespace pellora
