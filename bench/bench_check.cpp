// Check of the protected address:
//   check_vs_curl  whole-process time of our check of a protected folder on a
//                  local web server (four requests: without credentials, the
//                  member, the disabled user, a wrong password), divided by
//                  the time of one curl process making the same four requests
//                  (median of alternating runs)
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Support.h"
#include "check/HttpCheck.h"
#include "common/Apache.h"
#include "core/Log.h"
#include "generate/AccessFiles.h"

using namespace pellora;
namespace fs = std::filesystem;

namespace {

const char* kMember = "anna";
const char* kMemberPassword = "Secret1";
const char* kDisabled = "dis";
const char* kDisabledPassword = "Nope2";
const char* kRealm = "Members Only Area";

struct TempDir {
  fs::path path;
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "pellora-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    path = pattern;
    ::chmod(path.c_str(), 0755);  // the server's workers run as another account under root
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
  ::chmod(path.c_str(), 0644);
}

// One whole check, as pellora-cli runs it; 0 when the folder is protected.
int CheckSession(const std::string& url) {
  CheckInputs in;
  in.Url = url;
  in.Realm = kRealm;
  in.Member = Credentials{kMember, kMemberPassword};
  in.Disabled = Credentials{kDisabled, kDisabledPassword};
  NullLog log;
  return CheckProtection(in, log).Outcome == CheckOutcome::Protected ? 0 : 1;
}

void CheckVsCurl(const char* self) {
  if (!fs::exists(testing::kApache)) {
    std::fprintf(stderr, "bench_check: %s is not installed (scripts/setup)\n", testing::kApache);
    return;
  }
  TempDir dir;
  testing::Apache server(dir.path);
  std::string why;
  if (!server.Start(why)) {
    std::fprintf(stderr, "bench_check: the web server did not start: %s\n", why.c_str());
    return;
  }
  ProjectSettings settings;
  settings.FtpServerPath = dir.path.string() + "/";
  settings.AuthUserFile = "/";
  settings.AuthName = kRealm;
  UserList users;
  for (const char* name : {kMember, "bob", kDisabled}) {
    TUserList user;
    user.UserName = name;
    user.Password = std::string_view(name) == kDisabled ? kDisabledPassword : kMemberPassword;
    user.Disabled = std::string_view(name) == kDisabled;
    users.AppendUser(user);
  }
  const fs::path members = server.DocumentRoot() / "members";
  fs::create_directories(members);
  ::chmod(members.c_str(), 0755);
  WriteFile(members / ".htaccess", BuildHtaccess(settings));
  WriteFile(members / "index.html", "members only\n");
  WriteFile(dir.path / ".htpasswd", BuildHtpasswd(users).Text);

  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/members/";
  const std::vector<std::string> ours = {self, "--check-session", url};
  // The same four requests, each with its own credentials, in one process
  // that keeps its connection between them.
  std::vector<std::string> curl = {"curl", "-s", "-o", "/dev/null", url};
  for (const std::string& login :
       {std::string(kMember) + ":" + kMemberPassword, std::string(kDisabled) + ":" + kDisabledPassword,
        std::string(kMember) + ":wrong-password"})
    curl.insert(curl.end(), {"--next", "-s", "-o", "/dev/null", "-u", login, url});
  const std::optional<Race> race = RaceMedians(ours, curl);
  if (!race) return;
  std::printf("check_ms %.2f ms\n", race->Ours * 1000);
  std::printf("curl_check_ms %.2f ms\n", race->Theirs * 1000);
  std::printf("check_vs_curl %.3f ratio\n", race->Ours / race->Theirs);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--check-session") == 0) return CheckSession(argv[2]);
  CheckVsCurl(fs::read_symlink("/proc/self/exe").string().c_str());
  return 0;
}
