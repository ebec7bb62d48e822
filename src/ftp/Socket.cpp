#include "ftp/Socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>

#include "ftp/SocketErrors.h"

namespace pellora {

namespace {

std::optional<sockaddr_in> BoundAddress(int fd) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return std::nullopt;
  return sa;
}

}  // namespace

WaitEnd WaitOnStream(const SocketStream& stream, Direction direction, bool queueIsProgress) {
  WaitOn on{stream.fd, direction};
  on.queueIsProgress = queueIsProgress;
  return Wait(stream.wait, on, stream.timeOut, stream.pump);
}

void WaitOrRaise(const SocketStream& stream, Direction direction, bool queueIsProgress, const char* abortText,
                 const std::function<void()>& onAbort) {
  switch (WaitOnStream(stream, direction, queueIsProgress)) {
    case WaitEnd::Ready:
    case WaitEnd::Watched: return;
    case WaitEnd::Cancelled:
    case WaitEnd::TimedOut:
      stream.wait.cancel = false;
      if (onAbort) onAbort();
      throw EAbortError(abortText);
    case WaitEnd::Closed: throw ESockError(SocketErrorText(10057));
  }
}

std::optional<std::string> ConnectSocket(const SocketStream& stream, std::uint32_t address, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(address);
  if (::connect(stream.fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) return std::nullopt;
  if (errno != EINPROGRESS && errno != EINTR) return ErrnoText(errno);
  int error = 0;
  WaitEnd end;
  do {
    end = WaitOnStream(stream, Direction::Write, false);
    if (end == WaitEnd::Ready) {
      socklen_t len = sizeof error;
      if (::getsockopt(stream.fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0) error = errno;
      if (error == 0) return std::nullopt;
    }
  } while (end == WaitEnd::Watched);
  const bool timedOut = stream.wait.timedOut;
  const bool canceled = stream.wait.cancel || end == WaitEnd::Closed;
  stream.wait.cancel = false;
  if (timedOut) return "Connection Timed out";
  if (canceled) return "Connection Canceled";
  // The reason travels with the failure ("10061:Connection refused").
  if (SocketErrorNumber(error) != 0) return ErrnoText(error);
  return "Connection Failed";
}

std::uint32_t LocalAddressOf(int fd) {
  std::optional<sockaddr_in> sa = BoundAddress(fd);
  return sa ? ntohl(sa->sin_addr.s_addr) : 0;
}

std::uint16_t LocalPortOf(int fd) {
  std::optional<sockaddr_in> sa = BoundAddress(fd);
  return sa ? ntohs(sa->sin_port) : 0;
}

}  // namespace pellora
