#include "ftp/SockConnection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "ftp/HostLookup.h"
#include "ftp/LineReader.h"
#include "ftp/Socket.h"

namespace pellora {

namespace {

constexpr std::size_t kBlock = 65536;

}  // namespace

TSockConnection::TSockConnection() = default;

TSockConnection::~TSockConnection() {
  CancelWaits(wait_);
  CloseSocket();
}

SocketStream TSockConnection::Stream() { return {fd_, transport_.get(), wait_, TimeOut, Pump}; }

// Replaces whatever socket the connection had with a new non-blocking one.
void TSockConnection::OpenFreshSocket() {
  CloseSocket();
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    int error = errno;
    fd_ = -1;
    throw ESockError(ErrnoText(error));
  }
}

void TSockConnection::CloseSocket() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  transport_.reset();
  connected_ = false;
  listening_ = false;
  input_.clear();
  NoteClosed(wait_);
}

void TSockConnection::ReplaceTransport(std::unique_ptr<ByteTransport> transport) { transport_ = std::move(transport); }

std::string TSockConnection::RemoteIP() const { return DottedText(remoteAddress_); }

std::uint32_t TSockConnection::LocalAddress() const { return LocalAddressOf(fd_); }

std::string TSockConnection::LocalIP() const { return DottedText(LocalAddress()); }

std::uint16_t TSockConnection::LocalPort() const { return LocalPortOf(fd_); }

bool TSockConnection::ResolveHost() {
  if (std::optional<std::uint32_t> dotted = DottedAddress(Host)) {
    remoteAddress_ = *dotted;
    return true;
  }
  std::optional<std::uint32_t> address = LookUpHost(Host, wait_, TimeOut, Pump);
  if (!address) return false;
  remoteAddress_ = *address;
  if (OnHostResolved) OnHostResolved();
  return true;
}

void TSockConnection::RaiseConnectionFailed() {
  if (OnConnectionFailed) OnConnectionFailed();
}

void TSockConnection::Connect() {
  wait_.cancel = false;
  if (connected_) throw ESockError("Already connected");
  StartOperation(wait_, TimeOut);
  bool resolved = ResolveHost();
  if (!resolved && OnInvalidHost && OnInvalidHost()) resolved = ResolveHost();
  if (!resolved) throw ESockError("Null Remote Address");

  OpenFreshSocket();
  RestartDeadline(wait_, TimeOut);  // a finished lookup is progress: the connect gets its own time
  const auto port = static_cast<std::uint16_t>(static_cast<std::uint32_t>(Port) & 0xFFFF);
  if (std::optional<std::string> failure = ConnectSocket(Stream(), remoteAddress_, port)) {
    // Whether it fails at once or after a wait, the operator hears of it the
    // same way.
    CloseSocket();
    RaiseConnectionFailed();
    throw ESockError(*failure);
  }
  transport_ = PlainTransport(fd_);
  connected_ = true;
}

void TSockConnection::Disconnect() { CloseSocket(); }

void TSockConnection::Abort() { CancelWaits(wait_); }

void TSockConnection::Listen(std::uint32_t localAddress) {
  OpenFreshSocket();
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = 0;
  sa.sin_addr.s_addr = htonl(localAddress);
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd_, 1) != 0) {
    int error = errno;
    CloseSocket();
    throw ESockError(ErrnoText(error));
  }
  listening_ = true;
}

void TSockConnection::Accept() {
  if (!listening_) throw ESockError("Error creating Data Connection");
  // One deadline for the whole wait: a stranger who is turned away is no
  // progress, or strangers could keep the wait alive for ever.
  StartOperation(wait_, TimeOut);
  for (;;) {
    WaitOn on{fd_, Direction::Read};
    if (acceptWatch_) {
      on.watchFd = &acceptWatch_->fd_;
      on.watchReceived = &acceptWatch_->input_;
    }
    switch (Wait(wait_, on, TimeOut, Pump)) {
      case WaitEnd::Ready: {
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        int accepted = ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (accepted < 0) {
          if (errno == EAGAIN || errno == EINTR || errno == ECONNABORTED) continue;
          throw ESockError("Error creating Data Connection");
        }
        if (acceptFrom_ && ntohl(peer.sin_addr.s_addr) != *acceptFrom_) {
          // Whoever reaches the port first must not get the file: only the
          // server we talk to may open the data connection.
          ::close(accepted);
          continue;
        }
        ::close(fd_);  // the accepted socket takes the place of the listening one
        fd_ = accepted;
        listening_ = false;
        connected_ = true;
        remoteAddress_ = ntohl(peer.sin_addr.s_addr);
        transport_ = PlainTransport(fd_);
        return;
      }
      case WaitEnd::Watched: throw ESockError("Error creating Data Connection");
      case WaitEnd::Cancelled:
      case WaitEnd::TimedOut:
      case WaitEnd::Closed: wait_.cancel = false; throw ESockError("Accepting Canceled");
    }
  }
}

std::string TSockConnection::ReadLn() {
  StartOperation(wait_, TimeOut);
  return ReadNextLine();
}

std::string TSockConnection::ReadNextLine() {
  if (std::optional<std::string> line = ReceiveLine(Stream(), input_)) return std::move(*line);
  // The peer has closed: the connection closes itself and the reader gets an
  // empty line.
  CloseSocket();
  return {};
}

void TSockConnection::SendLine(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::string line(text.substr(0, kMaxLineBytes - 2));
  line += "\r\n";
  StartOperation(wait_, TimeOut);
  SendAll(Stream(), line.data(), line.size(), wait_.generation, nullptr);
}

void TSockConnection::DiscardPending() {
  input_.clear();
  if (fd_ < 0 || !transport_) return;
  std::size_t waiting = transport_->Pending();
  if (waiting == 0) return;
  if (io_.size() < kBlock) io_.resize(kBlock);
  [[maybe_unused]] Moved dropped = transport_->Receive(io_.data(), std::min(waiting, kBlock));
}

std::string TSockConnection::ReadReplyLine() {
  replyNumber_ = 0;
  std::string line = ReadLn();
  replyNumber_ = ReplyNumberOf(line);
  replyText_ = line;
  return line;
}

std::string TSockConnection::Transaction(const std::string& command) {
  replyNumber_ = 0;
  SendLine(command);
  return ReadReplyLine();
}

void TSockConnection::SendFile(const std::filesystem::path& path) {
  if (io_.size() < kBlock) io_.resize(kBlock);
  pellora::SendFile(Stream(), path, io_, file_);
}

void TSockConnection::CloseGracefully() {
  if (fd_ < 0 || !transport_) return;
  transport_->ShutdownSend();
  if (io_.size() < kBlock) io_.resize(kBlock);
  ReceiveToEnd(Stream(), io_, [this] { CloseSocket(); });
  CloseSocket();
}

void TSockConnection::Secure(const std::function<std::unique_ptr<ByteTransport>(int fd)>& make) {
  if (!connected_) throw ESockError(SocketErrorText(10057));
  StartOperation(wait_, TimeOut);
  try {
    transport_ = make(fd_);
    while (std::optional<Direction> blocked = transport_->Open())
      WaitOrRaise(Stream(), *blocked, false, "TLS handshake aborted");
  } catch (...) {
    // Nothing can be said on a connection whose encryption is half made.
    CloseSocket();
    throw;
  }
}

}  // namespace pellora
