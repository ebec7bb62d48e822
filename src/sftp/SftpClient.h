#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "ftp/SockConnection.h"
#include "ftp/UploadSession.h"
#include "ftp/Wait.h"

struct _LIBSSH2_SESSION;
struct _LIBSSH2_SFTP;
struct _LIBSSH2_AGENT;

namespace pellora {

// The server's host key as a question about it shows it.
struct HostKeyInfo {
  std::string Server;       // "host:port"
  std::string Type;         // "ssh-ed25519"
  std::string Fingerprint;  // "SHA256:<base64>", as OpenSSH shows it
};

// An SFTP session with just what publishing needs: connect, check the host
// key, log in, resolve a folder, store a file under a temporary name and
// rename it over the old one, and leave. Its waits are those of the socket
// connection: the session never blocks, the pump runs between slices, Stop
// ends any step within a slice, and TimeOut ends a step where nothing moves.
class TSftpClient : public UploadSession {
 public:
  TSftpClient();
  ~TSftpClient() override;
  TSftpClient(const TSftpClient&) = delete;
  TSftpClient& operator=(const TSftpClient&) = delete;

  std::string Host;
  std::int32_t Port = 22;
  std::string UserID;
  std::string Password;  // tried when the server takes passwords and it is not empty
  std::string KeyFile;   // tried first when set
  std::int32_t TimeOut = 0;
  EventPump Pump;
  // Read for known keys; an accepted new key is added to KnownHostsFile.
  std::filesystem::path KnownHostsFile;
  std::filesystem::path UserKnownHostsFile;

  // Asked about a host key no known_hosts file has; true accepts it and
  // keeps it in KnownHostsFile. Unset: refused.
  std::function<bool(const HostKeyInfo&)> AskHostKey;
  // The passphrase of an encrypted key file; nothing: it is not used.
  std::function<std::optional<std::string>(const std::string& keyFile)> AskPassphrase;

  void Bind(UploadEvents events) override;
  void Configure(const UploadInputs& inputs) override;
  bool Connected() const override;
  void Connect() override;
  void ChangeDirectory(const std::string& folder) override;
  void StoreFile(const std::string& localPath, const std::string& remoteName) override;
  void Disconnect() override;
  void Abort() override;
  bool TimedOut() const override;
  std::int32_t TimeOutMs() const override { return TimeOut; }
  void SetTimeOutMs(std::int32_t ms) override { TimeOut = ms; }
  std::string RemoteIP() const override { return socket_.RemoteIP(); }
  std::string SecuredBy() const override { return securedBy_; }

 private:
  class Socket : public TSockConnection {
   public:
    using TSockConnection::CloseSocket;
    using TSockConnection::Descriptor;
  };
  struct Busy;

  // Runs a call of the session until it stops asking to be called again,
  // waiting on the socket in between; the first result that is not "again".
  int Step(const char* what, const std::function<int()>& call);
  void Await(const char* what);
  void CheckHostKey();
  void LogIn();
  bool LoggedIn(int result);
  bool LogInWithKeyFile();
  bool LogInWithAgent();
  void FreeAgent();
  bool LogInWithPassword();
  std::string LastError();  // the session's own words for its last failure
  std::string SftpError(const std::string& path);
  void Fail(TCmdType type, const std::string& text);
  // Ends the session at once without a word to the server; safe at any time,
  // also from the pump of a running step, which then ends as closed.
  void Drop();

  Socket socket_;
  WaitState wait_;
  UploadEvents events_;
  _LIBSSH2_SESSION* session_ = nullptr;
  _LIBSSH2_SFTP* sftp_ = nullptr;
  _LIBSSH2_AGENT* agent_ = nullptr;  // while an agent is asked
  bool dropped_ = false;             // the callbacks of the session refuse to move bytes
  int busy_ = 0;                     // steps running, outermost included
  std::string securedBy_;
  std::string folder_;

 public:
  // For the session's socket callbacks.
  bool Dropped() const { return dropped_; }
};

}  // namespace pellora
