#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/ByteTransport.h"
#include "ftp/Sender.h"
#include "ftp/SocketErrors.h"
#include "ftp/Wait.h"

namespace pellora {

struct SocketStream;

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
  std::int32_t Port = 0;     // only the low 16 bits reach the network
  std::int32_t TimeOut = 0;  // milliseconds per wait; 0 waits as long as it takes
  EventPump Pump;            // empty: the default pump

  std::function<void()> OnHostResolved;
  // Asked when the host has no address; true: look it up once more.
  std::function<bool()> OnInvalidHost;
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
  // Puts an encrypting layer, made for the connected socket, over the
  // connection and runs its opening exchange within the connection's waits.
  // A failure, Stop or the deadline closes the connection before it raises.
  void Secure(const std::function<std::unique_ptr<ByteTransport>(int fd)>& make);

  bool Connected() const { return connected_; }
  bool Listening() const { return listening_; }
  bool TimedOut() const { return wait_.timedOut; }
  int ReplyNumber() const { return replyNumber_; }
  const std::string& ReplyText() const { return replyText_; }
  std::uint32_t RemoteAddress() const { return remoteAddress_; }  // host byte order
  std::string RemoteIP() const;
  std::uint32_t LocalAddress() const;  // host byte order; 0 when unbound
  std::string LocalIP() const;
  std::uint16_t LocalPort() const;
  std::uint64_t BytesSent() const { return file_.sent; }
  std::uint64_t FileSize() const { return file_.size; }

  // Another connection whose incoming bytes end the wait of Accept: a server
  // that gives up on the data connection says so on its control connection.
  void WatchWhileAccepting(const TSockConnection* other) { acceptWatch_ = other; }
  // Accept takes only a peer with this address (host byte order); anyone else
  // is hung up on and the wait goes on.
  void AcceptOnlyFrom(std::uint32_t address) { acceptFrom_ = address; }

 protected:
  void SetCancel(bool on) { wait_.cancel = on; }
  bool CancelSet() const { return wait_.cancel; }
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
  void NoteTimedOut() { wait_.timedOut = true; }

  int replyNumber_ = 0;
  std::string replyText_;

 private:
  SocketStream Stream();
  bool ResolveHost();
  void RaiseConnectionFailed();

  int fd_ = -1;
  WaitState wait_;
  bool connected_ = false;
  bool listening_ = false;
  std::uint32_t remoteAddress_ = 0;
  const TSockConnection* acceptWatch_ = nullptr;
  std::optional<std::uint32_t> acceptFrom_;
  std::unique_ptr<ByteTransport> transport_;
  std::string input_;     // received bytes not yet taken by ReadLn
  std::vector<char> io_;  // the block buffer of file sends and reads
  FileProgress file_;
};

}  // namespace pellora
