#include "platform/Files.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <optional>

namespace pellora {
namespace fs = std::filesystem;

namespace {
bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The path a chain of links ends at (path itself when it is no link), or
// nothing for a chain that runs in a circle.
std::optional<fs::path> FinalTarget(fs::path path) {
  constexpr int kMaxLinks = 40;
  for (int hops = 0; hops < kMaxLinks; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
    fs::path next = fs::read_symlink(path, ec);
    if (ec) return std::nullopt;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return std::nullopt;
}

// Creates a new file beside path under a name no one can guess. The kernel
// applies the umask (and a folder's default ACL) to mode, as for any file a
// program creates.
int CreateTemporary(const fs::path& path, mode_t mode, std::string& name) {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  const std::string stem = (path.parent_path() / ("." + path.filename().string() + ".")).string();
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned char bytes[6];
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return -1;
    name = stem;
    for (unsigned char b : bytes) name += kChars[b % (sizeof kChars - 1)];
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// A replaced file keeps who may read it: its owner and group where the
// process may give them (root may; others only a group they belong to), then
// its mode, set last because a change of owner clears the set-id bits.
bool TakeOverAccess(int fd, const struct stat& old) {
  if (::fchown(fd, old.st_uid, old.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
  return ::fchmod(fd, old.st_mode & 07777) == 0;
}
}  // namespace

bool WriteFileAtomic(const fs::path& requested, std::string_view data, unsigned newMode, AtLink link) {
  std::optional<fs::path> found = link == AtLink::WriteTarget ? FinalTarget(requested) : requested;
  if (!found || found->filename().empty()) return false;
  const fs::path& path = *found;
  std::string temporary;
  int fd = CreateTemporary(path, static_cast<mode_t>(newMode & 0777), temporary);
  if (fd < 0) return false;
  // lstat: only a regular file hands on its mode, never whatever a link
  // at its place points to.
  struct stat old {};
  bool ok = ::lstat(path.c_str(), &old) != 0 || !S_ISREG(old.st_mode) || TakeOverAccess(fd, old);
  ok = ok && WriteAll(fd, data) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok && ::rename(temporary.c_str(), path.c_str()) == 0) {
    const fs::path dir = path.parent_path();
    if (int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
      ::fsync(dfd);
      ::close(dfd);
    }
    return true;
  }
  ::unlink(temporary.c_str());
  return false;
}

bool IsReadOnlyFile(const fs::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

bool FileExists(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

bool DirectoryExists(const fs::path& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

bool ReadWholeFile(const fs::path& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  // One read of the whole size instead of a character at a time; a file
  // that grows meanwhile is read to its end all the same.
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  out.clear();
  if (!ec && size > 0) {
    out.resize(static_cast<std::size_t>(size));
    in.read(out.data(), static_cast<std::streamsize>(size));
    out.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) return false;
    if (!in) return true;  // shorter than its size said
  }
  out.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace pellora
