// FTP over TLS against the real thing (vsftpd with TLS and session reuse
// required, started here on 127.0.0.1; needs root for its local account):
//   ftpes_upload_vs_curl   whole-process time of our explicit-TLS upload of
//                          both files divided by curl --ssl-reqd uploading
//                          the same two files to the same server (median of 15
//                          alternating runs)
//   idle_wait_tls_cpu_ms   processor time of 5 s waiting on a server that
//                          accepts and never starts the TLS handshake
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Support.h"
#include "common/Files.h"
#include "common/Vsftpd.h"
#include "ftp/FtpClient.h"
#include "ftp/Upload.h"

using namespace pellora;
namespace fs = std::filesystem;

namespace {

int RunUploadSession(int port, const fs::path& folder, const char* user, const char* password, const char* caFile) {
  TFtpClient client;
  client.Trust.CaFile = caFile;
  NullLog log;
  Uploader uploader(client, log);
  UploadInputs in;
  in.Host = "127.0.0.1";
  in.Port = port;
  in.User = user;
  in.Password = password;
  in.AuthUserFile = "/";
  in.WebFolder = "/public_html/";
  in.Security = FtpSecurity::ExplicitTls;
  in.LocalHtpasswd = folder / ".htpasswd";
  in.LocalHtaccess = folder / ".htaccess";
  return uploader.Run(in) ? 0 : 1;
}

void UploadVsCurl(const char* self) {
  testing::TempDir home, local;
  fs::create_directories(home.Path() / "public_html");
  std::string htpasswd;
  for (int i = 0; i < 50; ++i) htpasswd += "user" + std::to_string(i) + ":ab01FAX.bQRSU\r\n";
  local.Write(".htpasswd", htpasswd);
  local.Write(".htaccess",
              "AuthUserFile /.htpasswd\r\nAuthName \"Members Only Area\"\r\nAuthType Basic\r\n"
              "Require valid-user\r\n");
  testing::Vsftpd server(home.Path());
  if (!server.Running()) {
    std::fprintf(stderr, "bench_tls: %s\n", server.Trouble().c_str());
    return;
  }
  const std::string url = "ftp://127.0.0.1:" + std::to_string(server.Port()) + "/";
  const std::vector<std::string> ours = {self,
                                         "--upload-session",
                                         std::to_string(server.Port()),
                                         local.Path().string(),
                                         server.User(),
                                         server.Password(),
                                         server.CaFile()};
  const std::vector<std::string> curl = {"curl",
                                         "-s",
                                         "-S",
                                         "--ssl-reqd",
                                         "--cacert",
                                         server.CaFile(),
                                         "-u",
                                         server.User() + ":" + server.Password(),
                                         "-T",
                                         local.File(".htpasswd"),
                                         url,
                                         "-T",
                                         local.File(".htaccess"),
                                         url + "public_html/"};
  const std::optional<Race> race = RaceMedians(ours, curl);
  if (!race) return;
  std::printf("ftpes_upload_vs_curl %.3f ratio\n", race->Ours / race->Theirs);
  std::fflush(stdout);
}

// A server that accepts and then says nothing: the TLS handshake waits.
void IdleWait() {
  int port = 0;
  const int listener = SilentListener(port);
  TFtpClient client;
  client.Host = "127.0.0.1";
  client.Port = port;
  client.Security = FtpSecurity::ImplicitTls;
  client.TimeOut = 5000;
  client.Pump = [] {};
  std::printf("idle_wait_tls_cpu_ms %.2f ms\n", CpuMs([&] { client.Connect(); }));
  std::fflush(stdout);
  ::close(listener);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 7 && std::strcmp(argv[1], "--upload-session") == 0)
    return RunUploadSession(std::atoi(argv[2]), argv[3], argv[4], argv[5], argv[6]);
  IdleWait();
  UploadVsCurl(fs::read_symlink("/proc/self/exe").c_str());
  return 0;
}
