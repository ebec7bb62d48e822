#include "common/Daemons.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "common/Ports.h"

namespace pellora::testing {

namespace {

// argv as execv takes it: pointers into the strings, ending with a null.
std::vector<char*> Arguments(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  return args;
}

}  // namespace

bool RunLogged(const std::string& command, const std::filesystem::path& log) {
  return std::system(("(" + command + ") >>" + log.string() + " 2>&1").c_str()) == 0;
}

pid_t StartDaemon(const std::vector<std::string>& argv, const std::filesystem::path& output, int port) {
  std::vector<char*> args = Arguments(argv);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out >= 0) {
      ::dup2(out, 1);
      ::dup2(out, 2);
    }
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::setpgid(pid, pid);
  for (int i = 0; i < 100; ++i) {
    if (Answers(port)) return pid;
    if (::waitpid(pid, nullptr, WNOHANG) == pid) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  StopDaemon(pid);
  return -1;
}

void StopDaemon(pid_t& pid) {
  if (pid > 0) {
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  pid = -1;
}

PythonServer::PythonServer(const std::string& script, const std::vector<std::string>& args) {
  std::vector<std::string> argv{"/usr/bin/python3", script};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> exec = Arguments(argv);
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], 1);
    int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, 2);
    ::execv(exec[0], exec.data());
    ::_exit(127);
  }
  ::close(out[1]);
  std::string line;
  char c = 0;
  pollfd p{out[0], POLLIN, 0};
  while (::poll(&p, 1, 20000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') line += c;
  ::close(out[0]);
  try {
    port_ = std::stoi(line);
  } catch (const std::exception&) {
    port_ = 0;
  }
}

PythonServer::~PythonServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

}  // namespace pellora::testing
