#include "ftp/Sender.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "ftp/SocketErrors.h"

namespace pellora {

namespace {

class FileGuard {
 public:
  explicit FileGuard(int fd) : fd_(fd) {}
  ~FileGuard() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileGuard(const FileGuard&) = delete;
  FileGuard& operator=(const FileGuard&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

void SendAll(const SocketStream& stream, const char* data, std::size_t size, std::uint64_t generation,
             const std::function<void(std::size_t)>& progress) {
  std::size_t done = 0;
  while (done < size) {
    if (stream.wait.cancel) {
      stream.wait.cancel = false;
      throw EAbortError("Socket send aborted");
    }
    if (stream.wait.generation != generation || stream.fd < 0 || !stream.transport)
      throw ESockError(SocketErrorText(10057));
    const Moved sent = stream.transport->Send(data + done, size - done);
    if (sent.bytes > 0) {
      // A transfer that moves never times out, however long the file.
      RestartDeadline(stream.wait, stream.timeOut);
      done += static_cast<std::size_t>(sent.bytes);
      if (progress) progress(static_cast<std::size_t>(sent.bytes));
      continue;
    }
    if (sent.error == EINTR) continue;
    if (sent.error) throw ESockError(ErrnoText(sent.error));
    // Every way out of the wait is judged at the top.
    WaitOnStream(stream, sent.blocked.value_or(Direction::Write), true);
  }
}

void SendFile(const SocketStream& stream, const std::filesystem::path& path, std::vector<char>& buffer,
              FileProgress& progress) {
  FileGuard file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) throw ESockError("Cannot open " + path.string() + ": " + std::strerror(errno));
  struct stat st {};
  if (::fstat(file.get(), &st) != 0) throw ESockError("Cannot read " + path.string());
  progress.size = static_cast<std::uint64_t>(st.st_size);
  progress.sent = 0;
  StartOperation(stream.wait, stream.timeOut);
  const std::uint64_t generation = stream.wait.generation;
  const auto sent = [&](std::size_t bytes) {
    progress.sent += bytes;
    RunPump(stream.pump);
  };
  std::uint64_t position = 0;
  while (position < progress.size) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), progress.size - position));
    long got = ::read(file.get(), buffer.data(), want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw ESockError("Cannot read " + path.string() + ": " + std::strerror(errno));
    if (got == 0) break;  // the file shrank under us: what is there has gone
    position += static_cast<std::uint64_t>(got);
    SendAll(stream, buffer.data(), static_cast<std::size_t>(got), generation, sent);
  }
}

void ReceiveToEnd(const SocketStream& stream, std::vector<char>& buffer, const std::function<void()>& close) {
  StartOperation(stream.wait, stream.timeOut);
  for (;;) {
    const Moved got = stream.transport->Receive(buffer.data(), buffer.size());
    if (got.bytes > 0 || got.error == EINTR) continue;
    if (got.error) {
      close();
      throw ESockError(ErrnoText(got.error));
    }
    if (!got.blocked) return;
    WaitOrRaise(stream, *got.blocked, true, "Socket send aborted", close);
  }
}

}  // namespace pellora
