// SFTP publishing figures:
//   sftp_upload_vs_curl  whole-process time of one SFTP upload session of the
//                        two files to a local OpenSSH sshd (key login), divided
//                        by curl's sftp:// time for the same two files (median
//                        of alternating runs)
//   sftp_idle_wait_cpu_ms processor time of waiting 5 s for an SSH server that
//                        accepts and then says nothing
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Support.h"
#include "common/Files.h"
#include "common/Sshd.h"
#include "ftp/Upload.h"
#include "sftp/SftpClient.h"

using namespace pellora;
namespace fs = std::filesystem;

namespace {

// One SFTP upload session with the program's own upload sequence; the host
// key is kept on the first run and checked on every other.
int RunUploadSession(int port, const fs::path& dir, const std::string& keyFile) {
  TSftpClient client;
  client.KnownHostsFile = dir / "known_hosts";
  client.UserKnownHostsFile.clear();
  client.AskHostKey = [](const HostKeyInfo&) { return true; };
  NullLog log;
  Uploader uploader(client, log);
  UploadInputs in;
  in.Host = "127.0.0.1";
  in.Port = port;
  in.User = ::getpwuid(::geteuid())->pw_name;
  in.KeyFile = keyFile;
  in.AuthUserFile = (dir / "home").string();
  in.WebFolder = (dir / "home" / "public_html").string();
  in.LocalHtpasswd = dir / "local" / ".htpasswd";
  in.LocalHtaccess = dir / "local" / ".htaccess";
  return uploader.Run(in) ? 0 : 1;
}

void UploadVsCurl(const char* self) {
  if (RunTimed({"sh", "-c", "curl -V | grep -qw sftp"}) < 0) {
    std::fprintf(stderr, "bench_sftp: this curl has no sftp; sftp_upload_vs_curl skipped\n");
    return;
  }
  testing::TempDir temp;
  const fs::path dir = temp.Path();
  fs::create_directories(dir / "home" / "public_html");
  fs::create_directories(dir / "local");
  std::string htpasswd;
  for (int i = 0; i < 50; ++i) htpasswd += "user" + std::to_string(i) + ":ab01FAX.bQRSU\r\n";
  testing::WriteFile(dir / "local" / ".htpasswd", htpasswd);
  testing::WriteFile(dir / "local" / ".htaccess",
                     "AuthUserFile /.htpasswd\r\nAuthGroupFile /dev/null\r\nAuthName \"Members Only Area\"\r\n"
                     "AuthType Basic\r\n\r\n<Limit GET POST PUT>\r\nrequire valid-user\r\n</Limit>\r\n");
  testing::Sshd server;
  if (!server.Running()) {
    std::fprintf(stderr, "bench_sftp: %s\n", server.Trouble().c_str());
    return;
  }
  const std::string url = "sftp://127.0.0.1:" + std::to_string(server.Port()) + (dir / "home").string() + "/";
  const std::vector<std::string> ours = {self, "--upload-session", std::to_string(server.Port()), dir.string(),
                                         server.KeyFile()};
  // curl skips the host key check (-k); ours checks the key against its known_hosts file.
  const std::vector<std::string> curl = {"curl",
                                         "-s",
                                         "-S",
                                         "-k",
                                         "--key",
                                         server.KeyFile(),
                                         "--pubkey",
                                         server.KeyFile() + ".pub",
                                         "-u",
                                         server.User() + ":",
                                         "-T",
                                         (dir / "local" / ".htpasswd").string(),
                                         url,
                                         "-T",
                                         (dir / "local" / ".htaccess").string(),
                                         url + "public_html/"};
  const std::optional<Race> race = RaceMedians(ours, curl);
  if (!race) return;
  std::printf("sftp_upload_vs_curl %.3f ratio\n", race->Ours / race->Theirs);
  std::fflush(stdout);
}

// A server that accepts and then says nothing: the SSH handshake waits.
void IdleWait() {
  int port = 0;
  const int listener = SilentListener(port);
  TSftpClient client;
  client.Host = "127.0.0.1";
  client.Port = port;
  client.TimeOut = 5000;
  client.Pump = [] {};
  std::printf("sftp_idle_wait_cpu_ms %.2f ms\n", CpuMs([&] { client.Connect(); }));
  std::fflush(stdout);
  ::close(listener);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--upload-session") == 0)
    return RunUploadSession(std::atoi(argv[2]), argv[3], argv[4]);
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  IdleWait();
  UploadVsCurl(self.c_str());
  return 0;
}
