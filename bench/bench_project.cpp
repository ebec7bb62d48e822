// Project file save and load, and CSV import, with 100,000 users.
// Prints project_save_100k_ms, project_load_100k_ms, csv_import_100k_ms, each
// followed by the same figure in processor time (NAME_cpu). First, while the
// process is still small, adopting a .htpasswd of 1,000,000 lines:
// htpasswd_import_1m_ms and htpasswd_import_1m_rss_ratio, the growth of peak
// resident memory over the file's size.
#include <stdlib.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>

#include "core/UserList.h"
#include "project/Csv.h"
#include "project/Htpasswd.h"
#include "project/ProjectFile.h"

using namespace pellora;

namespace {

constexpr int kUsers = 100000;

std::string Draw(std::mt19937& random, const char* alphabet, std::size_t min, std::size_t max) {
  const std::size_t n = std::string_view(alphabet).size();
  std::string out(min + random() % (max - min + 1), ' ');
  for (char& c : out) c = alphabet[random() % n];
  return out;
}

// Users as an operator would have them: in name order, as the list keeps
// them when users are added, with names drawn at random; some disabled, most with e-mail and full name,
// some with notes of several lines.
void FillUsers(UserList& users) {
  std::mt19937 random(2024);
  const char* lower = "abcdefghijklmnopqrstuvwxyz";
  const char* mixed = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int i = 0; i < kUsers; ++i) {
    TUserList u;
    u.UserName = Draw(random, lower, 4, 10) + std::to_string(i);
    u.Password = Draw(random, mixed, 8, 12);
    u.Disabled = random() % 10 == 0;
    if (random() % 4 != 0) {
      std::string first = Draw(random, lower, 3, 8), last = Draw(random, lower, 4, 10);
      first[0] = static_cast<char>(first[0] - 32);
      last[0] = static_cast<char>(last[0] - 32);
      u.FullName = first + " " + last;
      u.Email = u.UserName + "@" + Draw(random, lower, 5, 10) + ".example.org";
    }
    if (random() % 5 == 0)
      u.Notes = "Member since " + std::to_string(1990 + i % 35) + "\r\nPaid by invoice, " + Draw(random, lower, 10, 40);
    users.InsertSorted(std::move(u));
  }
}

// Wall time, and the processor time of this process beside it: on a machine
// shared with other work the second shows what the code itself costs.
struct Stopwatch {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  std::clock_t cpu = std::clock();
  void Print(const char* name) const {
    double wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall).count();
    double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    std::printf("%s %.1f ms\n%s_cpu %.1f ms\n", name, wallMs, name, cpuMs);
  }
};

}  // namespace

int main() {
  std::string pattern = (std::filesystem::temp_directory_path() / "pellora-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) return 1;
  const std::filesystem::path dir = pattern;
  const std::string project = (dir / "bench.htp").string();
  const std::string csv = (dir / "bench.csv").string();

  int status = 0;
  {
    // apr1-shaped lines, each tenth a comment, the last hundred duplicates;
    // written a line at a time so that the text never counts in the peak.
    const std::string file = (dir / "bench.htpasswd").string();
    FILE* out = std::fopen(file.c_str(), "wb");
    double size = 0;
    for (int i = 0; out && i < 1000000; ++i) {
      const std::string line =
          i % 10 == 0 ? "# note\n" : "member" + std::to_string(i % 999900) + ":$apr1$abcdefgh$0123456789abcdefghijkl\n";
      size += static_cast<double>(std::fwrite(line.data(), 1, line.size(), out));
    }
    if (!out || std::fclose(out) != 0) status = 1;
    rusage before{}, after{};
    ::getrusage(RUSAGE_SELF, &before);
    UserList users;
    Stopwatch watch;
    auto result = ImportHtpasswdFile(file, users);
    watch.Print("htpasswd_import_1m_ms");
    ::getrusage(RUSAGE_SELF, &after);
    std::printf("htpasswd_import_1m_rss_ratio %.2f ratio\n", (after.ru_maxrss - before.ru_maxrss) * 1024.0 / size);
    if (!result || result->Added + result->Duplicates != 900000) status = 1;
  }

  ProjectSettings settings;
  settings.FtpHost = "ftp.example.org";
  {
    UserList users;
    FillUsers(users);
    Stopwatch watch;
    bool saved = SaveProjectFile(project, users, settings);
    watch.Print("project_save_100k_ms");
    if (!saved || !ExportCsvFile(csv, users)) status = 1;
  }
  {
    UserList users;
    ProjectSettings loaded;
    Stopwatch watch;
    bool ok = LoadProjectFile(project, users, loaded);
    watch.Print("project_load_100k_ms");
    if (!ok || users.CountUsers() != kUsers) status = 1;
  }
  {
    UserList users;
    Stopwatch watch;
    bool ok = ImportCsvFile(csv, users);
    watch.Print("csv_import_100k_ms");
    if (!ok || users.CountUsers() != kUsers) status = 1;
  }
  std::error_code ec;
  if (!std::getenv("PELLORA_BENCH_KEEP")) std::filesystem::remove_all(dir, ec);
  else std::printf("kept %s\n", dir.c_str());
  return status;
}
