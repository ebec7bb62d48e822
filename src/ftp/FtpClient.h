#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "ftp/SockConnection.h"
#include "ftp/TlsTransport.h"

namespace pellora {

// What a command was, as the success and failure events report it.
enum class TCmdType : std::uint8_t {
  CmdCwd = 0,
  CmdMkd = 1,
  CmdDele = 2,
  CmdRmd = 3,
  CmdStor = 9,
  CmdOther = 14,
  CmdPwd = 15,
};

// The most lines one reply may have. Lines after the first are read and
// dropped, so this is no matter of memory: it keeps a server that never ends
// its reply from holding a client that waits without a time-out.
constexpr int kMaxReplyLines = 10000;

// Whether the reply whose first line is `first` goes on after `line`, the
// latest line read (at the start, `first` itself). Only a first line of three
// digits and "-" ("220-Welcome") opens a reply of several lines; it ends at a
// line of the same three digits and a space ("220 Ready"), or of just those
// digits. Every line in between is text, whatever it begins with.
bool ReplyContinues(std::string_view first, std::string_view line);

// The data port of a PASV reply, high x 256 + low: high is the fifth
// comma-separated field, low the sixth cut at its ")", each a decimal integer.
// The address fields are not trusted, so they are not read. Out-of-range
// numbers wrap around as 32-bit arithmetic does (only the low 16 bits reach
// the network). Nothing when the reply gives no port.
std::optional<std::int32_t> ParsePasvPort(std::string_view reply);

// A reply the server refused with; the text is the reply's first line.
class FTPException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// How an FTP session is encrypted: not at all, TLS asked for with AUTH TLS
// after the greeting, or TLS from the first byte.
enum class FtpSecurity : std::uint8_t { None, ExplicitTls, ImplicitTls };

// The control connection of an FTP session, with just what publishing needs:
// login, change of directory, transfer type, storing a file over a data
// connection of its own (passive or active), and leaving.
class TFtpClient : public TSockConnection {
 public:
  TFtpClient();
  ~TFtpClient() override;

  std::string UserID;
  std::string Password;
  bool Passive = false;
  FtpSecurity Security = FtpSecurity::None;
  TlsTrust Trust;  // the certificates an encrypted session accepts

  std::function<void()> OnConnect;
  std::function<void(TCmdType)> OnSuccess;
  // Told of a refused command or a failed StoreFile; true: it has been dealt
  // with, and the call returns without an error.
  std::function<bool(TCmdType)> OnFailure;

  // Connects, reads the greeting and logs in; nothing at all when connected.
  void Connect() override;
  // Sends QUIT and closes; raises FTPException after the close when the
  // server answered QUIT with an error. Nothing when not connected.
  void Disconnect() override;
  // Reads a whole reply, continuation lines included; returns its first line.
  std::string Transaction(const std::string& command) override;
  // Abandons the file transfer of a running StoreFile; the control connection
  // is left alone.
  void Abort() override;

  void SendCommand(const std::string& command);
  void ChangeDirectory(const std::string& directory);
  // 1 "TYPE A", 2 "TYPE I", 3 "TYPE L 8"; other values send nothing.
  void SetTransferType(int type);
  // Stores the local file under remoteName (the local file name when empty)
  // in the server's current directory.
  void StoreFile(const std::string& localPath, const std::string& remoteName);

  // How the session in progress is secured ("TLSv1.3, certificate
  // verified"); empty for plain FTP.
  const std::string& SecuredBy() const { return securedBy_; }

  bool Transferring() const { return data_ != nullptr; }
  // Bytes of the running StoreFile that have gone out so far.
  std::uint64_t TransferredBytes() const { return data_ ? data_->BytesSent() : 0; }

 private:
  // The rest of a reply after its first line, within the first line's deadline.
  void ReadContinuation(const std::string& first);
  // The reply after a command or the greeting; a closed connection is an error.
  std::string RequireReply(std::string line);
  void StoreSteps(const std::string& localPath, const std::string& remoteName, bool& refused);

  // Throws when Abort has hit the running StoreFile, so that a step between
  // two waits does not carry on with an abandoned transfer.
  void CheckAborted();
  void StartTls();
  void SecureData();

  std::recursive_mutex storeLock_;
  bool storeAborted_ = false;
  std::unique_ptr<TSockConnection> data_;
  std::shared_ptr<TlsContext> tls_;  // set while an encrypted session runs
  std::string securedBy_;
};

}  // namespace pellora
