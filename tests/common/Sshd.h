#pragma once
#include <sys/types.h>

#include <filesystem>
#include <string>

#include "common/Daemons.h"
#include "common/Files.h"

namespace pellora::testing {

// A real SSH server (OpenSSH's sshd) on a high port of 127.0.0.1 with its own
// configuration, host key and authorized key in a folder of its own. It takes
// key logins only, of this process's user, whose key is KeyFile; the key
// of EncryptedKeyFile, with the passphrase "correct horse", is authorized too.
// sshd needs root for itself.
class Sshd {
 public:
  Sshd();
  ~Sshd();
  Sshd(const Sshd&) = delete;
  Sshd& operator=(const Sshd&) = delete;

  bool Running() const { return pid_ > 0; }
  const std::string& Trouble() const { return trouble_; }  // why it is not running
  std::string Log() const { return dir_.Read("stderr"); }  // what sshd said, for a failing test
  int Port() const { return port_; }
  const std::string& User() const { return user_; }
  std::string KeyFile() const { return dir_.File("user_key"); }
  std::string EncryptedKeyFile() const { return dir_.File("locked_key"); }
  // The host key's fingerprint as OpenSSH shows it ("SHA256:...").
  std::string Fingerprint() const;

  // Starts again on the same port with a host key of the same type made anew.
  bool ChangeHostKey();

 private:
  bool Start();
  void Stop();

  TempDir dir_;
  std::string user_;
  std::string trouble_;
  pid_t pid_ = -1;
  int port_ = 0;
};

// A scripted SFTP server (python3-paramiko) on 127.0.0.1 that takes the
// password login of one user and serves `root` as its whole file system.
// Behaviour: "" serves well; "silent" stops answering once the login is
// done; "failwrite" refuses every write after the first 40000 bytes of a file.
class ScriptedSftpServer : public PythonServer {
 public:
  ScriptedSftpServer(const std::filesystem::path& root, const std::string& user, const std::string& password,
                     const std::string& behaviour = "");
};

}  // namespace pellora::testing
