#include "common/RunCli.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <cerrno>
#include <cstdlib>

namespace pellora::testing {

namespace {

[[noreturn]] void ExecCli(const std::vector<std::string>& args, const std::filesystem::path& dataHome) {
  ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
  // Uploads look for ~/.netrc: the tester's own must stay out of it.
  ::setenv("HOME", dataHome.c_str(), 1);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(PELLORA_CLI));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  ::execv(PELLORA_CLI, argv.data());
  ::_exit(127);
}

int WaitStatus(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

const char* CliPath() { return PELLORA_CLI; }

Result RunCli(const std::vector<std::string>& args, const std::filesystem::path& dataHome, const std::string& input) {
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC)) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ExecCli(args, dataHome);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  // Input first, then the outputs, all through poll: a program that prints a
  // lot before it reads must not block on a full pipe.
  ::signal(SIGPIPE, SIG_IGN);
  Result result;
  std::size_t written = 0;
  int inFd = in[1];
  if (input.empty()) {
    ::close(inFd);
    inFd = -1;
  }
  int outFd = out[0], errFd = err[0];
  while (outFd >= 0 || errFd >= 0) {
    pollfd fds[3] = {{inFd, POLLOUT, 0}, {outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    if (::poll(fds, 3, 30000) <= 0) break;
    if (inFd >= 0 && fds[0].revents) {
      const ssize_t n = ::write(inFd, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if (n <= 0 || written == input.size()) {
        ::close(inFd);
        inFd = -1;
      }
    }
    int* fdsOut[2] = {&outFd, &errFd};
    std::string* sinks[2] = {&result.Out, &result.Err};
    for (int i = 0; i < 2; ++i) {
      if (*fdsOut[i] < 0 || !fds[i + 1].revents) continue;
      char buf[4096];
      const ssize_t n = ::read(*fdsOut[i], buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<std::size_t>(n));
      } else {
        ::close(*fdsOut[i]);
        *fdsOut[i] = -1;
      }
    }
  }
  if (inFd >= 0) ::close(inFd);
  if (outFd >= 0) ::close(outFd);
  if (errFd >= 0) ::close(errFd);
  result.Status = WaitStatus(pid);
  return result;
}

Result RunCliOnTerminal(const std::vector<std::string>& args, const std::filesystem::path& dataHome) {
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) return {};
  if (pid == 0) ExecCli(args, dataHome);
  Result result;
  for (;;) {
    pollfd p{master, POLLIN, 0};
    if (::poll(&p, 1, 30000) <= 0) break;
    char buf[4096];
    const ssize_t n = ::read(master, buf, sizeof buf);
    if (n <= 0) break;  // EIO once the program has exited and closed the terminal
    result.Out.append(buf, static_cast<std::size_t>(n));
  }
  ::close(master);
  result.Status = WaitStatus(pid);
  return result;
}

Interrupted InterruptCliOnTerminal(const std::vector<std::string>& args, const std::filesystem::path& dataHome,
                                   const std::string& waitFor, int signal) {
  // The parent keeps the terminal's own end open, so its settings can still
  // be read once the program is gone.
  int master = -1, terminal = -1;
  if (::openpty(&master, &terminal, nullptr, nullptr, nullptr) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(master);
    if (::login_tty(terminal) != 0) ::_exit(127);
    ExecCli(args, dataHome);
  }
  Interrupted result;
  while (result.Out.find(waitFor) == std::string::npos) {
    pollfd p{master, POLLIN, 0};
    if (::poll(&p, 1, 30000) <= 0) break;
    char buf[4096];
    const ssize_t n = ::read(master, buf, sizeof buf);
    if (n <= 0) break;
    result.Out.append(buf, static_cast<std::size_t>(n));
  }
  ::kill(pid, signal);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(status)) result.Signal = WTERMSIG(status);
  termios settings{};
  result.Echo = ::tcgetattr(terminal, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
  ::close(terminal);
  ::close(master);
  return result;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace pellora::testing
