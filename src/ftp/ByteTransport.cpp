#include "ftp/ByteTransport.h"

#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>

namespace pellora {

namespace {

Moved Outcome(long n, Direction wouldBlock) {
  if (n >= 0) return {n, 0, std::nullopt};
  if (errno == EAGAIN || errno == EWOULDBLOCK) return {0, 0, wouldBlock};
  return {0, errno, std::nullopt};
}

class Plain final : public ByteTransport {
 public:
  explicit Plain(int fd) : fd_(fd) {}
  Moved Send(const char* data, std::size_t size) override {
    return Outcome(static_cast<long>(::send(fd_, data, size, MSG_NOSIGNAL)), Direction::Write);
  }
  Moved Receive(char* data, std::size_t size) override {
    return Outcome(static_cast<long>(::recv(fd_, data, size, 0)), Direction::Read);
  }
  std::size_t Pending() override {
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0 || waiting < 0) return 0;
    return static_cast<std::size_t>(waiting);
  }
  void ShutdownSend() override { ::shutdown(fd_, SHUT_WR); }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<ByteTransport> PlainTransport(int fd) { return std::make_unique<Plain>(fd); }

}  // namespace pellora
