#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "core/ProjectSettings.h"
#include "ftp/FtpClient.h"

namespace pellora {

// What one upload works with, trimmed, with the local files it sends.
struct UploadInputs {
  std::string Host;
  std::int32_t Port = 21;
  std::string User;
  std::string Password;
  std::string WebFolder;     // receives .htaccess
  std::string AuthUserFile;  // receives .htpasswd; may be empty
  bool Passive = true;
  FtpProtocol Protocol = FtpProtocol::Ftp;
  FtpSecurity Security = FtpSecurity::None;
  std::string KeyFile;  // SFTP: the private key to log in with; may be empty
  std::filesystem::path LocalHtpasswd;
  std::filesystem::path LocalHtaccess;
};

// What a session tells the upload as it goes; the log is made from these.
struct UploadEvents {
  std::function<void()> HostResolved;
  std::function<bool()> InvalidHost;  // true: look the host up once more
  std::function<void()> ConnectionFailed;
  std::function<void()> Connected;
  std::function<void(TCmdType)> Succeeded;
  // A refused change of folder or store; true: dealt with, no error raised.
  std::function<bool(TCmdType)> Failed;
};

// The steps an upload takes, whatever protocol carries them. Each step looks
// blocking to its caller, keeps the window alive while it waits, and raises
// ESockError, EAbortError or FTPException with the text the log shows. Stop
// calls Abort and then Disconnect from inside a step's wait.
class UploadSession {
 public:
  virtual ~UploadSession() = default;

  virtual void Bind(UploadEvents events) = 0;  // empty events unbind
  virtual void Configure(const UploadInputs& inputs) = 0;
  virtual bool Connected() const = 0;
  virtual void Connect() = 0;  // reaches the server and logs in
  virtual void ChangeDirectory(const std::string& folder) = 0;
  // Stores the local file under remoteName in the folder changed to last.
  virtual void StoreFile(const std::string& localPath, const std::string& remoteName) = 0;
  virtual void Disconnect() = 0;
  virtual void Abort() = 0;
  virtual bool TimedOut() const = 0;  // the last step ended because nothing moved in time
  virtual std::int32_t TimeOutMs() const = 0;
  virtual void SetTimeOutMs(std::int32_t ms) = 0;
  virtual std::string RemoteIP() const = 0;
  // How the session in progress is secured, for the log; empty for plain FTP.
  virtual std::string SecuredBy() const = 0;
};

}  // namespace pellora
