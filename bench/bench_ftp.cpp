// FTP publishing figures:
//   upload_vs_curl       whole-process time of one upload session of the two
//                        files to a local pyftpdlib server, divided by curl's
//                        time for the same session (median of alternating runs)
//   idle_wait_cpu_ms     processor time of waiting 5 s for a reply that never comes
//   upload_1gib_rss_mib  peak resident memory of a process that stores a 1 GiB file
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
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
#include "common/FtpServer.h"
#include "core/Log.h"
#include "ftp/FtpClient.h"
#include "ftp/Upload.h"

using namespace pellora;
namespace fs = std::filesystem;

namespace {

struct TempDir {
  fs::path path;
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "pellora-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    path = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

void WriteFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// One upload session with the program's own upload sequence.
int RunUploadSession(int port, const fs::path& folder) {
  TFtpClient client;
  NullLog log;
  Uploader uploader(client, log);
  UploadInputs in;
  in.Host = "127.0.0.1";
  in.Port = port;
  in.User = "bench";
  in.Password = "pw";
  in.AuthUserFile = "/";
  in.WebFolder = "/public_html/";
  in.Passive = true;
  in.LocalHtpasswd = folder / ".htpasswd";
  in.LocalHtaccess = folder / ".htaccess";
  return uploader.Run(in) ? 0 : 1;
}

void UploadVsCurl(const char* self) {
  TempDir dir;
  fs::create_directories(dir.path / "home" / "public_html");
  fs::create_directories(dir.path / "local");
  std::string htpasswd;
  for (int i = 0; i < 50; ++i) htpasswd += "user" + std::to_string(i) + ":ab01FAX.bQRSU\r\n";
  WriteFile(dir.path / "local" / ".htpasswd", htpasswd);
  WriteFile(dir.path / "local" / ".htaccess",
            "AuthUserFile /.htpasswd\r\nAuthGroupFile /dev/null\r\nAuthName \"Members Only Area\"\r\n"
            "AuthType Basic\r\n\r\n<Limit GET POST PUT>\r\nrequire valid-user\r\n</Limit>\r\n");
  testing::PyFtpServer server(dir.path / "home", "bench", "pw");
  if (!server.Running()) {
    std::fprintf(stderr, "bench_ftp: pyftpdlib did not start\n");
    return;
  }
  const std::string url = "ftp://127.0.0.1:" + std::to_string(server.Port()) + "/";
  const std::vector<std::string> ours = {self, "--upload-session", std::to_string(server.Port()),
                                         (dir.path / "local").string()};
  const std::vector<std::string> curl = {"curl",
                                         "-s",
                                         "-S",
                                         "--disable-epsv",
                                         "-B",
                                         "-u",
                                         "bench:pw",
                                         "-T",
                                         (dir.path / "local" / ".htpasswd").string(),
                                         url,
                                         "-T",
                                         (dir.path / "local" / ".htaccess").string(),
                                         url + "public_html/"};
  const std::optional<Race> race = RaceMedians(ours, curl);
  if (!race) return;
  std::printf("upload_vs_curl %.3f ratio\n", race->Ours / race->Theirs);
  std::fflush(stdout);
}

// A server that accepts and then says nothing.
void IdleWait() {
  int port = 0;
  const int listener = SilentListener(port);
  TSockConnection c;
  c.Host = "127.0.0.1";
  c.Port = port;
  c.Pump = [] {};
  c.Connect();
  int accepted = ::accept(listener, nullptr, nullptr);
  c.TimeOut = 5000;
  std::printf("idle_wait_cpu_ms %.2f ms\n", CpuMs([&] { c.ReadLn(); }));
  std::fflush(stdout);
  ::close(accepted);
  ::close(listener);
}

// The child of the memory figure: a minimal FTP server thread that swallows
// the data, and the client storing a 1 GiB sparse file to it.
int StoreBigFile() {
  TempDir dir;
  const fs::path big = dir.path / "big";
  {
    int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0600);
    if (fd < 0 || ::ftruncate(fd, 1LL << 30) != 0) return 1;
    ::close(fd);
  }
  int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int dataListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{}, da{};
  sa.sin_family = da.sin_family = AF_INET;
  sa.sin_addr.s_addr = da.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  ::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  ::listen(listener, 1);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len);
  ::bind(dataListener, reinterpret_cast<sockaddr*>(&da), sizeof da);
  ::listen(dataListener, 1);
  ::getsockname(dataListener, reinterpret_cast<sockaddr*>(&da), &len);
  const int dataPort = ntohs(da.sin_port);

  long long received = 0;
  std::thread server([&] {
    int control = ::accept(listener, nullptr, nullptr);
    auto say = [&](const std::string& s) { (void)!::write(control, s.data(), s.size()); };
    auto hear = [&] {
      char c = 0;
      while (::read(control, &c, 1) == 1 && c != '\n') {
      }
    };
    say("220 sink\r\n");
    hear();
    say("230 in\r\n");
    hear();
    say("227 Entering Passive Mode (127,0,0,1," + std::to_string(dataPort / 256) + "," +
        std::to_string(dataPort % 256) + ")\r\n");
    hear();
    int data = ::accept(dataListener, nullptr, nullptr);
    say("150 go\r\n");
    std::vector<char> buffer(1 << 16);
    for (long n; (n = ::read(data, buffer.data(), buffer.size())) > 0;) received += n;
    ::close(data);
    say("226 done\r\n");
    hear();
    say("221 bye\r\n");
    ::close(control);
  });
  TFtpClient client;
  client.Host = "127.0.0.1";
  client.Port = ntohs(sa.sin_port);
  client.UserID = "sink";
  client.Passive = true;
  int rc = 0;
  try {
    client.Connect();
    client.StoreFile(big.string(), "big");
    client.Disconnect();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_ftp: %s\n", e.what());
    rc = 1;
  }
  server.join();
  ::close(listener);
  ::close(dataListener);
  if (received != (1LL << 30)) rc = 1;
  return rc;
}

void BigFileRss(const char* self) {
  pid_t pid = ::fork();
  if (pid == 0) {
    ::execl(self, self, "--store-1gib", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "bench_ftp: storing 1 GiB failed\n");
    return;
  }
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  std::printf("upload_1gib_rss_mib %.1f MiB\n", usage.ru_maxrss / 1024.0);  // ru_maxrss is in KiB
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--upload-session") == 0) return RunUploadSession(std::atoi(argv[2]), argv[3]);
  if (argc == 2 && std::strcmp(argv[1], "--store-1gib") == 0) return StoreBigFile();
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  // The memory figure first: RUSAGE_CHILDREN keeps the largest child seen.
  BigFileRss(self.c_str());
  IdleWait();
  UploadVsCurl(self.c_str());
  return 0;
}
