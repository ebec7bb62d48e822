// Start-up of the desktop program with a 10,000-user config.htp in its
// working folder: from the start of the process until its main window is
// shown (the program, asked by PELLORA_EXIT_WHEN_SHOWN, says "shown" once its
// event loop has shown the window, then quits). Offscreen, so no display is
// needed. Prints startup_ms; nothing when the desktop program is not built.
#include <signal.h>
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

// Milliseconds until the program says "shown", or a negative value when it
// does not (it failed, or printed nothing within 60 s).
double TimeOneStart(const std::string& program, const fs::path& dataHome) {
  int out[2];
  if (::pipe(out) != 0) return -1;
  const auto start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    ::close(out[1]);
    ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (dataHome / "runtime").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("PELLORA_EXIT_WHEN_SHOWN", "1", 1);
    ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  std::string said;
  char buffer[256];
  double ms = -1;
  ::alarm(60);
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
    said.append(buffer, static_cast<std::size_t>(n));
    if (said.find("shown\n") != std::string::npos) {
      ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      break;
    }
  }
  ::alarm(0);
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return ms;
}

}  // namespace

int main() {
  const std::string program = PELLORA_BINARY_DIR "/pellora";
  if (::access(program.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "bench_startup: %s is not built\n", program.c_str());
    return 0;
  }
  std::string pattern = (fs::temp_directory_path() / "pellora-bench-startup-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) return 1;
  const fs::path dataHome = pattern;
  const fs::path folder = dataHome / "Quarnet Software" / "Pellora";
  fs::create_directories(folder);
  fs::create_directory(dataHome / "runtime");
  fs::permissions(dataHome / "runtime", fs::perms::owner_all);

  pellora::UserList users;
  for (int i = 0; i < 10000; ++i) {
    pellora::TUserList u;
    u.UserName = "user" + std::to_string(i * 7919 % 10000);
    u.Password = "pw" + std::to_string(i);
    u.Email = u.UserName + "@example.org";
    u.FullName = "User " + std::to_string(i);
    u.Disabled = i % 10 == 0;
    users.InsertSorted(std::move(u));
  }
  pellora::ProjectSettings settings;
  if (!pellora::SaveProjectFile((folder / "config.htp").string(), users, settings)) return 1;
  const std::string config = (folder / "config.htp").string();

  // A stuck start ends the read instead of the benchmark: no restart after the alarm.
  struct sigaction alarmAction {};
  alarmAction.sa_handler = [](int) {};
  ::sigaction(SIGALRM, &alarmAction, nullptr);
  std::vector<double> runs;
  TimeOneStart(program, dataHome);  // warms the file cache and the font cache
  for (int i = 0; i < 5; ++i) {
    // Every start gets the same project: the program may save its state on leaving.
    pellora::SaveProjectFile(config, users, settings);
    const double ms = TimeOneStart(program, dataHome);
    if (ms < 0) {
      std::fprintf(stderr, "bench_startup: the program did not report its window\n");
      std::error_code ec;
      fs::remove_all(dataHome, ec);
      return 1;
    }
    runs.push_back(ms);
  }
  std::sort(runs.begin(), runs.end());
  std::printf("startup_ms %.1f ms\n", runs[runs.size() / 2]);
  std::error_code ec;
  fs::remove_all(dataHome, ec);
  return 0;
}
