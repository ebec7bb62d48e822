#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>

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
}  // namespace

bool WriteFileAtomic(const fs::path& path, std::string_view data, unsigned mode) {
  if (path.filename().empty()) return false;
  fs::path dir = path.parent_path();
  std::string pattern = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) return false;
  // An existing file keeps its mode; a new one gets the mode asked for.
  struct stat old {};
  mode_t wanted = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : static_cast<mode_t>(mode);
  bool ok = ::fchmod(fd, wanted) == 0 && WriteAll(fd, data) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok && ::rename(pattern.c_str(), path.c_str()) == 0) {
    if (int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY); dfd >= 0) {
      ::fsync(dfd);
      ::close(dfd);
    }
    return true;
  }
  ::unlink(pattern.c_str());
  return false;
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
