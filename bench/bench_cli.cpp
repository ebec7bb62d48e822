// pellora-cli as a script starts it: whole-process time of "show" on a
// 100,000-user project (the load is most of it), and of "--version" for the
// cost of starting at all. Median of 5 runs after one warm-up. Prints
// cli_show_100k_ms and cli_version_ms.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "project/ProjectFile.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char* const kProgram = PELLORA_BINARY_DIR "/pellora-cli";

// Milliseconds from fork to the end of the process; negative when it fails.
double TimeOneRun(const std::vector<std::string>& args) {
  const auto start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    std::vector<char*> argv{const_cast<char*>(kProgram)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(kProgram, argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

double Median(const std::vector<std::string>& args) {
  TimeOneRun(args);  // warms the file cache
  std::vector<double> runs;
  for (int i = 0; i < 5; ++i) runs.push_back(TimeOneRun(args));
  std::sort(runs.begin(), runs.end());
  return runs.front() < 0 ? -1 : runs[runs.size() / 2];
}

}  // namespace

int main() {
  if (::access(kProgram, X_OK) != 0) {
    std::fprintf(stderr, "bench_cli: %s is not built\n", kProgram);
    return 0;
  }
  std::string pattern = (fs::temp_directory_path() / "pellora-bench-cli-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) return 1;
  const fs::path folder = pattern;
  const std::string project = (folder / "big.htp").string();
  pellora::UserList users;
  for (int i = 0; i < 100000; ++i) {
    pellora::TUserList u;
    u.UserName = "user" + std::to_string(i);
    u.Password = "pw" + std::to_string(i);
    u.Email = u.UserName + "@example.org";
    u.FullName = "User " + std::to_string(i);
    users.AppendUser(std::move(u));
  }
  const bool saved = pellora::SaveProjectFile(project, users, pellora::ProjectSettings{});
  const double show = saved ? Median({"show", project}) : -1;
  const double version = Median({"--version"});
  std::error_code ec;
  fs::remove_all(folder, ec);
  if (show < 0 || version < 0) {
    std::fprintf(stderr, "bench_cli: pellora-cli failed\n");
    return 1;
  }
  std::printf("cli_show_100k_ms %.1f ms\ncli_version_ms %.1f ms\n", show, version);
  return 0;
}
