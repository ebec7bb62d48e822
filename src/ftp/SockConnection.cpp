#include "ftp/SockConnection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

namespace pellora {

namespace {

constexpr std::size_t kBlock = 65536;
// Long enough that an idle wait costs next to nothing, short enough that the
// window never feels stuck.
constexpr int kSliceMs = 25;

EventPump& DefaultPump() {
  static EventPump pump;
  return pump;
}

HostLookup& LookupOverride() {
  static HostLookup lookup;
  return lookup;
}

std::optional<std::uint32_t> SystemLookup(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  std::optional<std::uint32_t> address;
  if (!host.empty() && ::getaddrinfo(host.c_str(), nullptr, &hints, &result) == 0 && result)
    address = ntohl(reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr);
  if (result) ::freeaddrinfo(result);
  return address;
}

// Bytes written to the socket that the peer has not yet acknowledged; -1
// when the system does not say.
long UnsentBytes(int fd) {
  int unsent = 0;
  if (fd < 0 || ::ioctl(fd, TIOCOUTQ, &unsent) != 0) return -1;
  return unsent;
}

struct ErrorText {
  int number;
  const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Bad protocol option"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Net dropped connection or reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references, can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network subsystem is unusable"},
    {10092, "Winsock DLL cannot support this application"},
    {10093, "Winsock not initialized"},
    {11001, "Host not found"},
    {11002, "Non-authoritative host not found"},
    {11003, "Non-recoverable error"},
    {11004, "Valid name, no data record of requested type"},
};

constexpr std::pair<int, int> kErrnoNumbers[] = {
    {EINTR, 10004},        {EBADF, 10009},           {EACCES, 10013},
    {EPERM, 10013},        {EFAULT, 10014},          {EINVAL, 10022},
    {EMFILE, 10024},       {EAGAIN, 10035},          {EINPROGRESS, 10036},
    {EALREADY, 10037},     {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039},
    {EMSGSIZE, 10040},     {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},
    {EPFNOSUPPORT, 10046}, {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},       {ENETUNREACH, 10051},
    {ENETRESET, 10052},    {ECONNABORTED, 10053},    {ECONNRESET, 10054},
    {EPIPE, 10054},        {ENOBUFS, 10055},         {EISCONN, 10056},
    {ENOTCONN, 10057},     {ESHUTDOWN, 10058},       {ETOOMANYREFS, 10059},
    {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061},    {ELOOP, 10062},
    {ENAMETOOLONG, 10063}, {EHOSTDOWN, 10064},       {EHOSTUNREACH, 10065},
    {ENOTEMPTY, 10066},    {EUSERS, 10068},          {EDQUOT, 10069},
    {ESTALE, 10070},       {EREMOTE, 10071},
};

class PlainTransport final : public ByteTransport {
 public:
  explicit PlainTransport(int fd) : fd_(fd) {}
  long Send(const char* data, std::size_t size) override {
    return static_cast<long>(::send(fd_, data, size, MSG_NOSIGNAL));
  }
  long Receive(char* data, std::size_t size) override {
    return static_cast<long>(::recv(fd_, data, size, 0));
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

// A name lookup running on a thread of its own; the connection waits for the
// eventfd with poll and may walk away from it (Stop), in which case the
// thread finishes alone and the last owner closes the descriptor.
struct PendingLookup {
  int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  std::atomic<bool> done{false};
  bool ok = false;
  std::uint32_t address = 0;
  ~PendingLookup() {
    if (fd >= 0) ::close(fd);
  }
};

std::string Dotted(std::uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "." +
         std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255);
}

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

void SetDefaultEventPump(EventPump pump) { DefaultPump() = std::move(pump); }

void SetHostLookup(HostLookup lookup) { LookupOverride() = std::move(lookup); }

std::string SocketErrorText(int number) {
  for (const auto& e : kErrorTexts)
    if (e.number == number) return std::to_string(number) + ":" + e.text;
  return "Unknown Error No. " + std::to_string(number);
}

int SocketErrorNumber(int posixError) {
  for (auto [posix, number] : kErrnoNumbers)
    if (posix == posixError) return number;
  return 0;
}

std::string ErrnoText(int posixError) {
  if (int number = SocketErrorNumber(posixError)) return SocketErrorText(number);
  return "Unknown Error No. " + std::to_string(posixError);
}

TSockConnection::TSockConnection() = default;

TSockConnection::~TSockConnection() {
  cancel_ = true;
  CloseSocket();
}

void TSockConnection::CallPump() {
  // A copy, so a pump that replaces itself does not pull the rug from under us.
  EventPump pump = Pump ? Pump : DefaultPump();
  if (pump) pump();
}

void TSockConnection::StartOperation() {
  timedOut_ = false;
  RestartDeadline();
}

void TSockConnection::RestartDeadline() {
  hasDeadline_ = TimeOut > 0;
  if (hasDeadline_) deadline_ = Clock::now() + std::chrono::milliseconds(TimeOut);
}

TSockConnection::WaitEnd TSockConnection::WaitFor(int fd, short events, const TSockConnection* watch,
                                                  bool trackUnsent) {
  const std::uint64_t generation = generation_;
  long unsent = trackUnsent ? UnsentBytes(fd) : -1;
  for (;;) {
    if (cancel_) return WaitEnd::Cancelled;
    int slice = kSliceMs;
    if (hasDeadline_) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
      if (left <= 0) {
        timedOut_ = true;
        cancel_ = true;
        return WaitEnd::TimedOut;
      }
      slice = static_cast<int>(std::min<long long>(slice, left));
    }
    if (watch && !watch->input_.empty()) return WaitEnd::Watched;
    pollfd fds[2] = {{fd, events, 0}, {watch ? watch->fd_ : -1, POLLIN, 0}};
    int n = ::poll(fds, watch ? 2 : 1, slice);
    if (n < 0 && errno != EINTR) throw ESockError(ErrnoText(errno));
    if (n > 0) {
      if (fds[0].revents) return WaitEnd::Ready;
      if (watch && fds[1].revents) return WaitEnd::Watched;
    }
    if (trackUnsent) {
      const long now = UnsentBytes(fd);
      if (now >= 0 && now < unsent) RestartDeadline();
      unsent = now;
    }
    CallPump();
    if (generation_ != generation) return WaitEnd::Closed;
  }
}

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
  ++generation_;
}

void TSockConnection::ReplaceTransport(std::unique_ptr<ByteTransport> transport) {
  transport_ = std::move(transport);
}

std::string TSockConnection::RemoteIP() const { return Dotted(remoteAddress_); }

std::uint32_t TSockConnection::LocalAddress() const {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
  return ntohl(sa.sin_addr.s_addr);
}

std::string TSockConnection::LocalIP() const { return Dotted(LocalAddress()); }

std::uint16_t TSockConnection::LocalPort() const {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
  return ntohs(sa.sin_port);
}

bool TSockConnection::ResolveHost() {
  in_addr dotted{};
  if (::inet_pton(AF_INET, Host.c_str(), &dotted) == 1) {
    remoteAddress_ = ntohl(dotted.s_addr);
    return true;
  }
  auto job = std::make_shared<PendingLookup>();
  if (job->fd < 0) return false;
  // Each lookup is a wait of its own: the one before it has moved things on.
  RestartDeadline();
  try {
    std::thread([job, host = Host, lookup = LookupOverride() ? LookupOverride() : HostLookup(SystemLookup)] {
      if (std::optional<std::uint32_t> address = lookup(host)) {
        job->address = *address;
        job->ok = true;
      }
      job->done.store(true, std::memory_order_release);
      std::uint64_t one = 1;
      [[maybe_unused]] auto written = ::write(job->fd, &one, sizeof one);
    }).detach();
  } catch (const std::system_error&) {
    return false;
  }
  while (!job->done.load(std::memory_order_acquire)) {
    switch (WaitFor(job->fd, POLLIN)) {
      case WaitEnd::Ready:
      case WaitEnd::Watched:
        break;
      case WaitEnd::TimedOut:
        cancel_ = false;
        throw ESockError("Host Lookup Timed Out");
      case WaitEnd::Cancelled:
      case WaitEnd::Closed:
        cancel_ = false;
        throw ESockError("Host Lookup Canceled");
    }
  }
  if (!job->ok) return false;
  remoteAddress_ = job->address;
  if (OnHostResolved) OnHostResolved();
  return true;
}

void TSockConnection::RaiseConnectionFailed() {
  if (OnConnectionFailed) OnConnectionFailed();
}

void TSockConnection::Connect() {
  cancel_ = false;
  if (connected_) throw ESockError("Already connected");
  StartOperation();
  bool resolved = ResolveHost();
  if (!resolved && OnInvalidHost) {
    bool handled = false;
    OnInvalidHost(handled);
    if (handled) resolved = ResolveHost();
  }
  if (!resolved) throw ESockError("Null Remote Address");

  OpenFreshSocket();
  RestartDeadline();  // a finished lookup is progress: the connect gets its own time
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<std::uint16_t>(static_cast<std::uint32_t>(Port) & 0xFFFF));
  sa.sin_addr.s_addr = htonl(remoteAddress_);
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    if (errno != EINPROGRESS && errno != EINTR) {
      // A connection that fails at once has failed all the same: the
      // operator hears of it like of one that fails later.
      int error = errno;
      CloseSocket();
      RaiseConnectionFailed();
      throw ESockError(ErrnoText(error));
    }
    bool established = false;
    int error = 0;
    WaitEnd end;
    do {
      end = WaitFor(fd_, POLLOUT);
      if (end == WaitEnd::Ready) {
        socklen_t len = sizeof error;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) != 0) error = errno;
        established = error == 0;
      }
    } while (end == WaitEnd::Watched);
    if (!established) {
      const bool timedOut = timedOut_;
      const bool canceled = cancel_ || end == WaitEnd::Closed;
      cancel_ = false;
      CloseSocket();
      RaiseConnectionFailed();
      if (timedOut) throw ESockError("Connection Timed out");
      if (canceled) throw ESockError("Connection Canceled");
      // The reason travels with the failure ("10061:Connection refused").
      if (SocketErrorNumber(error) != 0) throw ESockError(ErrnoText(error));
      throw ESockError("Connection Failed");
    }
  }
  transport_ = std::make_unique<PlainTransport>(fd_);
  connected_ = true;
}

void TSockConnection::Disconnect() { CloseSocket(); }

void TSockConnection::Abort() { cancel_ = true; }

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
  StartOperation();
  for (;;) {
    switch (WaitFor(fd_, POLLIN, acceptWatch_)) {
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
        transport_ = std::make_unique<PlainTransport>(fd_);
        return;
      }
      case WaitEnd::Watched:
        throw ESockError("Error creating Data Connection");
      case WaitEnd::Cancelled:
      case WaitEnd::TimedOut:
      case WaitEnd::Closed:
        cancel_ = false;
        throw ESockError("Accepting Canceled");
    }
  }
}

std::optional<std::string> TakeLine(std::string& received) {
  std::size_t lf = received.find('\n');
  if (lf == std::string::npos ? received.size() >= kBlock : lf >= kBlock) {
    received.clear();
    throw ESockError("Line longer than 65536 bytes");
  }
  if (lf == std::string::npos) return std::nullopt;
  std::string line = received.substr(0, lf + 1);
  received.erase(0, lf + 1);
  return line;
}

int ReplyNumberOf(std::string_view line) {
  long long number = 0;
  for (std::size_t i = 0; i < line.size() && i < 10 && line[i] >= '0' && line[i] <= '9'; ++i)
    number = number * 10 + (line[i] - '0');
  return static_cast<int>(std::min<long long>(number, 0x7FFFFFFF));
}

std::string TSockConnection::ReadLn() {
  StartOperation();
  return ReadNextLine();
}

std::string TSockConnection::ReadNextLine() {
  for (;;) {
    if (std::optional<std::string> line = TakeLine(input_)) return std::move(*line);
    if (fd_ < 0 || !transport_) throw ESockError(SocketErrorText(10057));
    char chunk[4096];
    long n = transport_->Receive(chunk, std::min(sizeof chunk, kBlock - input_.size()));
    if (n > 0) {
      input_.append(chunk, static_cast<std::size_t>(n));
      continue;
    }
    if (n == 0) {
      // The peer has closed: the connection closes itself and the reader
      // gets an empty line.
      CloseSocket();
      return {};
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) throw ESockError(ErrnoText(errno));
    switch (WaitFor(fd_, POLLIN)) {
      case WaitEnd::Ready:
      case WaitEnd::Watched:
        break;
      case WaitEnd::Cancelled:
      case WaitEnd::TimedOut:
        cancel_ = false;
        throw EAbortError("Socket readln aborted");
      case WaitEnd::Closed:
        throw ESockError(SocketErrorText(10057));
    }
  }
}

void TSockConnection::SendLine(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::string line(text.substr(0, kBlock - 2));
  line += "\r\n";
  StartOperation();
  std::size_t done = 0;
  while (done < line.size()) {
    if (cancel_) {
      cancel_ = false;
      throw EAbortError("Socket send aborted");
    }
    if (fd_ < 0 || !transport_) throw ESockError(SocketErrorText(10057));
    long n = transport_->Send(line.data() + done, line.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      RestartDeadline();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) throw ESockError(ErrnoText(errno));
    switch (WaitFor(fd_, POLLOUT, nullptr, true)) {
      case WaitEnd::Ready:
      case WaitEnd::Watched:
      case WaitEnd::Cancelled:  // the check at the top raises
      case WaitEnd::TimedOut:
        break;
      case WaitEnd::Closed:
        if (!cancel_) throw ESockError(SocketErrorText(10057));
        break;
    }
  }
}

void TSockConnection::DiscardPending() {
  input_.clear();
  if (fd_ < 0 || !transport_) return;
  std::size_t waiting = transport_->Pending();
  if (waiting == 0) return;
  if (io_.size() < kBlock) io_.resize(kBlock);
  [[maybe_unused]] long n = transport_->Receive(io_.data(), std::min(waiting, kBlock));
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
  FileGuard file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) throw std::runtime_error("Cannot open " + path.string() + ": " + std::strerror(errno));
  struct stat st {};
  if (::fstat(file.get(), &st) != 0) throw std::runtime_error("Cannot read " + path.string());
  fileSize_ = static_cast<std::uint64_t>(st.st_size);
  bytesSent_ = 0;
  if (io_.size() < kBlock) io_.resize(kBlock);
  StartOperation();
  const std::uint64_t generation = generation_;
  std::uint64_t position = 0;
  while (position < fileSize_) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, fileSize_ - position));
    long got = ::read(file.get(), io_.data(), want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw std::runtime_error("Cannot read " + path.string() + ": " + std::strerror(errno));
    if (got == 0) break;  // the file shrank under us: what is there has gone
    position += static_cast<std::uint64_t>(got);
    std::size_t done = 0;
    while (done < static_cast<std::size_t>(got)) {
      if (cancel_) {
        cancel_ = false;
        throw EAbortError("Socket send aborted");
      }
      if (generation_ != generation || fd_ < 0 || !transport_) throw ESockError(SocketErrorText(10057));
      long n = transport_->Send(io_.data() + done, static_cast<std::size_t>(got) - done);
      if (n > 0) {
        // A transfer that moves never times out, however long the file.
        RestartDeadline();
        done += static_cast<std::size_t>(n);
        bytesSent_ += static_cast<std::uint64_t>(n);
        CallPump();
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) throw ESockError(ErrnoText(errno));
      WaitFor(fd_, POLLOUT, nullptr, true);  // every way out of the wait is judged at the top
    }
  }
}

void TSockConnection::CloseGracefully() {
  if (fd_ < 0 || !transport_) return;
  transport_->ShutdownSend();
  if (io_.size() < kBlock) io_.resize(kBlock);
  // The peer closes only once it has read everything still queued, which
  // takes as long as it takes a slow reader; the queue shrinking is progress.
  StartOperation();
  for (;;) {
    long n = transport_->Receive(io_.data(), kBlock);
    if (n == 0) break;
    if (n > 0) continue;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      int error = errno;
      CloseSocket();
      throw ESockError(ErrnoText(error));
    }
    switch (WaitFor(fd_, POLLIN, nullptr, true)) {
      case WaitEnd::Ready:
      case WaitEnd::Watched:
        break;
      case WaitEnd::Cancelled:
      case WaitEnd::TimedOut:
        cancel_ = false;
        CloseSocket();
        throw EAbortError("Socket send aborted");
      case WaitEnd::Closed:
        throw ESockError(SocketErrorText(10057));
    }
  }
  CloseSocket();
}

}  // namespace pellora
