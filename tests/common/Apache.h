#pragma once
#include <sys/types.h>

#include <filesystem>
#include <string>

#include "common/Ports.h"

namespace pellora::testing {

inline constexpr const char* kApache = "/usr/sbin/apache2";

// What a test server serves besides its plain document root.
struct ApacheOptions {
  // Appended to the configuration: more folders and their rules.
  std::string Extra;
  // A second port serves the same site over https when both are given.
  std::filesystem::path TlsCertificate;
  std::filesystem::path TlsKey;
};

// A private web server on 127.0.0.1 with its configuration, document root
// (root/htdocs) and logs in root; stopped, with every child it started, when
// the object goes or whatever stops the test.
class Apache {
 public:
  explicit Apache(std::filesystem::path root, ApacheOptions options = {});
  ~Apache() { Stop(); }
  Apache(const Apache&) = delete;
  Apache& operator=(const Apache&) = delete;

  int Port() const { return port_; }
  int TlsPort() const { return tlsPort_; }
  std::filesystem::path DocumentRoot() const { return root_ / "htdocs"; }
  std::string ErrorLog() const;

  bool Start(std::string& why);
  void Stop();

 private:
  void WriteConfig();
  bool Launch(std::string& why);
  bool WaitExit(int seconds);

  std::filesystem::path root_;
  ApacheOptions options_;
  int port_ = 0;
  int tlsPort_ = 0;
  pid_t child_ = -1;
};

}  // namespace pellora::testing
