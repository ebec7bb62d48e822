#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// Called between the slices of every wait, so the window can repaint and a
// Stop button can run. The desktop program processes its pending events here;
// tests and the command-line tool usually leave it empty.
using EventPump = std::function<void()>;

// The pump of every connection that has none of its own.
void SetDefaultEventPump(EventPump pump);

// Looks a host name up; the IPv4 address in host byte order, nothing when
// the name has none. It runs on a thread of its own.
using HostLookup = std::function<std::optional<std::uint32_t>(const std::string& host)>;

// Replaces the system's name lookup for every connection (empty: the
// system's again), so that tests can stage names that change their address.
void SetHostLookup(HostLookup lookup);

class ESockError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EAbortError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "10061:Connection refused" for 10061; "Unknown Error No. N" outside the table.
std::string SocketErrorText(int number);
// The socket error number for a POSIX errno (ECONNREFUSED gives 10061), 0 when
// there is none.
int SocketErrorNumber(int posixError);
// The text of a failed system call: the socket error text of its number, or
// "Unknown Error No. " + errno when no socket error number matches.
std::string ErrnoText(int posixError);

// Takes the first whole line, LF included, off the front of received bytes;
// nothing while no LF has arrived. A line longer than 65536 bytes is never
// handed on: the bytes are dropped and ESockError "Line longer than 65536
// bytes" is raised, so a server cannot make the reader grow without bound.
std::optional<std::string> TakeLine(std::string& received);

// The reply number a reply line begins with: the value of its leading digits
// (at most ten, capped at 2147483647), 0 when it begins with none.
int ReplyNumberOf(std::string_view line);

// Moves the bytes of one connected socket. Plain TCP today; an encrypting
// layer can take its place after the connection is made without the line,
// file and waiting logic above it noticing.
class ByteTransport {
 public:
  virtual ~ByteTransport() = default;
  // Bytes sent, or -1 with errno set (EAGAIN: try again when writable).
  virtual long Send(const char* data, std::size_t size) = 0;
  // Bytes received, 0 when the peer has closed, or -1 with errno set.
  virtual long Receive(char* data, std::size_t size) = 0;
  // Bytes that can be received at once without waiting.
  virtual std::size_t Pending() = 0;
  // No more bytes will be sent; the peer sees the end of the stream.
  virtual void ShutdownSend() = 0;
};

// One TCP connection driven from the window's thread. Every operation looks
// blocking to its caller and raises ESockError or EAbortError when it fails;
// while it waits it sleeps in poll() and calls the event pump between short
// slices, and the pump may call Abort or Disconnect on this very object.
class TSockConnection {
 public:
  TSockConnection();
  virtual ~TSockConnection();
  TSockConnection(const TSockConnection&) = delete;
  TSockConnection& operator=(const TSockConnection&) = delete;

  std::string Host;
  std::int32_t Port = 0;   // only the low 16 bits reach the network
  std::int32_t TimeOut = 0;  // milliseconds per wait; 0 waits as long as it takes
  EventPump Pump;          // empty: the default pump

  std::function<void()> OnHostResolved;
  std::function<void(bool& handled)> OnInvalidHost;
  std::function<void()> OnConnectionFailed;

  virtual void Accept();
  virtual void Connect();
  virtual void Disconnect();
  virtual std::string Transaction(const std::string& command);
  virtual void Abort();

  // Binds to the given local IPv4 address (host byte order) with a port the
  // system picks, ready for Accept.
  void Listen(std::uint32_t localAddress);
  std::string ReadLn();
  void SendLine(std::string_view text);
  void DiscardPending();
  void SendFile(const std::filesystem::path& path);
  // Graceful end of a sending connection: the peer gets every byte, then the
  // stream's end; waits for the peer to close its side, then closes.
  void CloseGracefully();

  bool Connected() const { return connected_; }
  bool Listening() const { return listening_; }
  bool TimedOut() const { return timedOut_; }
  int ReplyNumber() const { return replyNumber_; }
  const std::string& ReplyText() const { return replyText_; }
  std::uint32_t RemoteAddress() const { return remoteAddress_; }  // host byte order
  std::string RemoteIP() const;
  std::uint32_t LocalAddress() const;  // host byte order; 0 when unbound
  std::string LocalIP() const;
  std::uint16_t LocalPort() const;
  std::uint64_t BytesSent() const { return bytesSent_; }
  std::uint64_t FileSize() const { return fileSize_; }

  // Another connection whose incoming bytes end the wait of Accept: a server
  // that gives up on the data connection says so on its control connection.
  void WatchWhileAccepting(const TSockConnection* other) { acceptWatch_ = other; }
  // Accept takes only a peer with this address (host byte order); anyone else
  // is hung up on and the wait goes on.
  void AcceptOnlyFrom(std::uint32_t address) { acceptFrom_ = address; }

 protected:
  void SetCancel(bool on) { cancel_ = on; }
  bool CancelSet() const { return cancel_; }
  // Closes the socket without raising; waits in progress on it end with an error.
  void OpenFreshSocket();
  void CloseSocket();
  // For an encrypting layer: wraps the transport of the connected socket.
  void ReplaceTransport(std::unique_ptr<ByteTransport> transport);
  int Descriptor() const { return fd_; }
  // Reads one line as the reply to a command: ReplyNumber is formed by the
  // digits it begins with, 0 for none or for an empty line.
  std::string ReadReplyLine();
  // ReadLn within the time the line before it started: the lines of one
  // reply share one deadline, so a server cannot hold the reader by
  // trickling them.
  std::string ReadNextLine();
  // For a wait of another connection on this one's behalf (the data
  // connection of a transfer): TimedOut then tells how the operation ended.
  void NoteTimedOut() { timedOut_ = true; }

  int replyNumber_ = 0;
  std::string replyText_;

 private:
  enum class WaitEnd { Ready, Cancelled, TimedOut, Closed, Watched };
  using Clock = std::chrono::steady_clock;

  // A wait ends after TimeOut without progress: StartOperation begins the
  // operation's first wait, RestartDeadline gives a wait that has moved its
  // full time again.
  void StartOperation();
  void RestartDeadline();
  // trackUnsent: bytes leaving the socket's send queue count as progress, so
  // a peer that reads slowly but steadily is waited for.
  WaitEnd WaitFor(int fd, short events, const TSockConnection* watch = nullptr, bool trackUnsent = false);
  void CallPump();
  bool ResolveHost();
  void RaiseConnectionFailed();

  int fd_ = -1;
  std::uint64_t generation_ = 0;  // grows with every close, so a wait notices
  bool connected_ = false;
  bool listening_ = false;
  bool cancel_ = false;
  bool timedOut_ = false;
  Clock::time_point deadline_{};
  bool hasDeadline_ = false;
  std::uint32_t remoteAddress_ = 0;
  const TSockConnection* acceptWatch_ = nullptr;
  std::optional<std::uint32_t> acceptFrom_;
  std::unique_ptr<ByteTransport> transport_;
  std::string input_;     // received bytes not yet taken by ReadLn
  std::vector<char> io_;  // the block buffer of file sends and reads
  std::uint64_t bytesSent_ = 0;
  std::uint64_t fileSize_ = 0;
};

}  // namespace pellora
