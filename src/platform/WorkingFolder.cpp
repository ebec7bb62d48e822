#include "platform/WorkingFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace pellora {
namespace fs = std::filesystem;

namespace {
std::string DataFolder() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') return xdg;
  std::string home;
  if (const char* h = std::getenv("HOME"); h && h[0] == '/') home = h;
  else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') home = pw->pw_dir;
  // Without any home the folder stays per user: never a shared one like /tmp.
  else home = "/var/lib/pellora/" + std::to_string(::getuid());
  return (fs::path(home) / ".local" / "share").string();
}

void CreateWithParents(const fs::path& dir) {
  fs::path partial;
  for (const fs::path& part : dir) {
    partial /= part;
    if (partial.has_filename() && ::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return;
  }
}
}  // namespace

std::string WorkingFolder() {
  fs::path folder = fs::path(DataFolder()) / "Quarnet Software" / "Pellora" / "";
  CreateWithParents(folder);
  return folder.string();
}

fs::path WorkingFile(const std::string& name) {
  std::string folder = WorkingFolder();
  if (!folder.empty() && folder.back() == '/') folder.pop_back();
  return fs::path(folder) / name;
}

}  // namespace pellora
