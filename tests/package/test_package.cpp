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
#include "common/Users.h"
#include "project/ProjectFile.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using testing::ReadFile;
using testing::TempDir;

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

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

std::set<std::string> Matches(const std::string& text, const char* pattern) {
  std::set<std::string> found;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
    found.insert((*it)[1].str());
  return found;
}

class Package : public ::testing::Test {
 protected:
  // Made and unpacked once: CPack and lintian take seconds.
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    const Shell made = Sh("cpack --config '" PELLORA_BINARY_DIR "/CPackConfig.cmake' -B " + Quoted(dir_->Path()));
    ASSERT_EQ(made.Status, 0) << made.Out;
    std::string arch = Sh("dpkg --print-architecture").Out;
    arch.pop_back();
    deb_ = dir_->Path() / ("pellora_" PELLORA_VERSION "_" + arch + ".deb");
    ASSERT_EQ(Sh("dpkg -x " + Quoted(deb_) + " " + Quoted(dir_->Path() / "root")).Status, 0);
  }
  static void TearDownTestSuite() { delete dir_; }

  static fs::path Root(const std::string& path) { return dir_->Path() / "root" / path; }
  Shell Cli(const std::string& args) {
    return Sh("XDG_DATA_HOME=" + Quoted(home_.Path()) + " " + Quoted(Root("usr/bin/pellora-cli")) + " " + args);
  }

  static TempDir* dir_;
  static fs::path deb_;
  TempDir home_;
};

TempDir* Package::dir_ = nullptr;
fs::path Package::deb_;

TEST_F(Package, IsWellFormedAndNeedsWhatItsProgramsLink) {
  const std::string control = Sh("dpkg-deb --field " + Quoted(deb_)).Out;
  EXPECT_THAT(control, HasSubstr("Package: pellora\n"));
  EXPECT_THAT(control, HasSubstr("Version: " PELLORA_VERSION "\n"));
  EXPECT_THAT(control, HasSubstr("Section: web\n"));
  EXPECT_THAT(control, HasSubstr("Maintainer: Quarnet Software <support@pellora.example>\n"));
  EXPECT_THAT(control, ::testing::ContainsRegex("Depends: .*libc6 .*libqt6widgets6"));
  const Shell lintian = Sh("lintian " + Quoted(deb_));
  EXPECT_EQ(lintian.Status, 0) << lintian.Out;
  EXPECT_THAT(lintian.Out, ::testing::Not(HasSubstr("E: ")));
}

TEST_F(Package, PutsEachFileWhereTheDesktopLooksForIt) {
  const std::string id = PELLORA_APP_ID;
  for (const std::string& path : std::vector<std::string>{"usr/bin/pellora", "usr/bin/pellora-cli", "usr/share/pellora/help.html", "usr/share/doc/pellora/copyright",
        "usr/share/bash-completion/completions/pellora-cli", "usr/share/icons/hicolor/scalable/apps/" + id + ".svg"})
    EXPECT_TRUE(fs::is_regular_file(Root(path))) << path;
  for (const char* size : {"16", "22", "24", "32", "48", "64", "128", "256"}) {
    const std::string png = ReadFile(Root("usr/share/icons/hicolor/" + std::string(size) + "x" + size + "/apps/" +
                                          id + ".png"));
    ASSERT_GT(png.size(), 24u) << size;
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n") << size;
    EXPECT_EQ((unsigned char)png[18] * 256 + (unsigned char)png[19], std::stoi(size)) << size;  // IHDR width
  }
  for (const char* page : {"pellora.1.gz", "pellora-cli.1.gz"})
    EXPECT_EQ(ReadFile(Root("usr/share/man/man1/") / page).substr(0, 2), "\x1f\x8b") << page;

  const fs::path desktop = Root("usr/share/applications/" + id + ".desktop");
  const Shell validDesktop = Sh("desktop-file-validate " + Quoted(desktop));
  EXPECT_TRUE(validDesktop.Status == 0 && validDesktop.Out.empty()) << validDesktop.Out;
  EXPECT_THAT(ReadFile(desktop), HasSubstr("\nIcon=" + id + "\n"));
  EXPECT_THAT(ReadFile(desktop), HasSubstr("\nExec=pellora\n"));
  const fs::path metainfo = Root("usr/share/metainfo/" + id + ".metainfo.xml");
  const Shell validMetainfo = Sh("appstreamcli validate --no-net " + Quoted(metainfo));
  EXPECT_EQ(validMetainfo.Status, 0) << validMetainfo.Out;
  EXPECT_THAT(ReadFile(metainfo), HasSubstr("<launchable type=\"desktop-id\">" + id + ".desktop</launchable>"));
  // The software centre shows the README's pictures, every one of them.
  EXPECT_EQ(Matches(ReadFile(metainfo), R"(<image>https://www\.pellora\.example/screenshots/([^<]+)</image>)"),
            Matches(ReadFile(PELLORA_SOURCE_DIR "/README.md"), R"(\]\(docs/screenshots/([^)]+\.png)\))"));
}

TEST_F(Package, ManPageAndCompletionKnowEveryCommandAndOptionOfTheHelp) {
  const std::string help = Cli("--help").Out;
  const std::set<std::string> commands = Matches(help, R"(\n  ([a-z][a-z-]+) )");
  const std::set<std::string> options = Matches(help, R"((--[a-z][a-z-]+))");
  ASSERT_TRUE(commands.count("publish") && commands.count("user") && options.count("--password-stdin"));
  const std::string man = Sh("zcat " + Quoted(Root("usr/share/man/man1/pellora-cli.1.gz"))).Out;
  const auto roff = [](const std::string& word) { return std::regex_replace(word, std::regex("-"), "\\-"); };
  for (const std::string& command : commands)
    EXPECT_NE(man.find("\\fB" + roff(command) + "\\fR"), std::string::npos) << command;
  for (const std::string& option : options) EXPECT_NE(man.find(roff(option)), std::string::npos) << option;
  const Shell lint = Sh("LC_ALL=C.UTF-8 man --warnings -l " + Quoted(Root("usr/share/man/man1/pellora-cli.1.gz")) +
                        " >/dev/null");
  EXPECT_TRUE(lint.Status == 0 && lint.Out.empty()) << lint.Out;

  // What bash offers after the words typed, in a folder of a project, a CSV file and a text file.
  TempDir work;
  for (const char* name : {"a.htp", "b.csv", "c.txt"}) work.Write(name, "");
  fs::create_directory(work.Path() / "out");
  const auto complete = [&](const std::string& line) {
    return Sh("cd " + Quoted(work.Path()) +
              " && bash -c '. /usr/share/bash-completion/bash_completion; . \"$0\"; COMP_LINE=$1; "
              "COMP_POINT=${#1}; read -ra COMP_WORDS <<<\"$1\"; [[ $1 == *\" \" ]] && COMP_WORDS+=(\"\"); "
              "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _pellora_cli; printf \"%s\\n\" \"${COMPREPLY[@]}\" | sort' " +
              Quoted(Root("usr/share/bash-completion/completions/pellora-cli")) + " '" + line + "'")
        .Out;
  };
  std::string all;
  for (const std::string& command : commands) all += command + "\n";
  EXPECT_EQ(complete("pellora-cli "), all);
  struct Case {
    const char* line;
    const char* offered;
  } cases[] = {
      {"pellora-cli user ", "add\ndisable\nenable\nremove\n"},
      {"pellora-cli import-csv ", "a.htp\nout\n"},
      {"pellora-cli import-csv a.htp ", "b.csv\nout\n"},
      {"pellora-cli user add a.htp bob --e", "--email\n"},
      {"pellora-cli generate a.htp --out ", "out\n"},
      {"pellora-cli series a.htp 3 --chars ", "letter\nnumeral\nrandom\n"},
      {"pellora-cli --v", "--version\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(complete(c.line), c.offered) << c.line;
}

TEST_F(Package, ItsProgramsRunFromWhereTheyAreInstalled) {
  EXPECT_EQ(Cli("--version").Out, "pellora-cli " PELLORA_VERSION "\n");
  const std::string project = home_.File("members.htp");
  ASSERT_TRUE(SaveProjectFile(project, {}, {}));
  const Shell added = Sh("printf 'secret\\n' | XDG_DATA_HOME=" + Quoted(home_.Path()) + " " +
                         Quoted(Root("usr/bin/pellora-cli")) + " user add " + Quoted(project) + " bob --password-stdin");
  EXPECT_EQ(added.Status, 0) << added.Out;
  const Shell generated = Cli("generate " + Quoted(project) + " --out " + Quoted(home_.Path()));
  EXPECT_EQ(generated.Status, 0) << generated.Out;
  EXPECT_THAT(home_.Read(".htpasswd"), StartsWith("bob:"));
  // The desktop program starts, with its icons and settings, and leaves once its window is up.
  const Shell shown = Sh("QT_QPA_PLATFORM=offscreen PELLORA_EXIT_WHEN_SHOWN=1 XDG_DATA_HOME=" + Quoted(home_.Path()) +
                         " " + Quoted(Root("usr/bin/pellora")));
  EXPECT_EQ(shown.Status, 0) << shown.Out;
  EXPECT_THAT(shown.Out, HasSubstr("shown\n"));
}

}  // namespace
}  // namespace pellora
