#pragma once
// What the benchmarks share: a whole program run timed, the median of such
// runs, and a log that keeps nothing.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Log.h"

// Runs a program to its end with its output thrown away; seconds of wall
// time, or -1 (with a line on standard error) when it failed.
inline double RunTimed(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  auto start = std::chrono::steady_clock::now();
  pid_t pid = ::fork();
  if (pid == 0) {
    int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed (status %d)\n", argv[0].c_str(), status);
    return -1;
  }
  return seconds;
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The median whole-process times of ours and theirs over rounds that take
// turns at going first, after one warm-up run of each (the page cache, a
// server's first session); nothing when any run failed. A failed run of
// theirs is run again, up to twice: curl now and then ends a TLS upload to
// vsftpd with "partial file" (exit 18) though the server stored it.
struct Race {
  double Ours;
  double Theirs;
};
inline std::optional<Race> RaceMedians(const std::vector<std::string>& ours, const std::vector<std::string>& theirs,
                                       int rounds = 15) {
  const auto runTheirs = [&theirs] {
    double seconds = -1;
    for (int tries = 0; tries < 3 && seconds < 0; ++tries) seconds = RunTimed(theirs);
    return seconds;
  };
  if (RunTimed(ours) < 0 || runTheirs() < 0) return std::nullopt;
  std::vector<double> a, b;
  for (int round = 0; round < rounds; ++round) {
    const bool oursFirst = round % 2;
    const double first = oursFirst ? RunTimed(ours) : runTheirs(), second = oursFirst ? runTheirs() : RunTimed(ours);
    if (first < 0 || second < 0) return std::nullopt;
    a.push_back(oursFirst ? first : second);
    b.push_back(oursFirst ? second : first);
  }
  return Race{Median(a), Median(b)};
}

class NullLog : public pellora::LogSink {
 public:
  void Clear() override {}
  void AddLine(std::string_view) override {}
  void AppendText(std::string_view) override {}
};

// A socket listening on 127.0.0.1 whose connections the kernel accepts and
// nobody answers: a server that stops answering. Its port goes to port.
inline int SilentListener(int& port) {
  int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  ::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  ::listen(listener, 1);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len);
  port = ntohs(sa.sin_port);
  return listener;
}

// Processor time of the whole process while run runs, in milliseconds; an
// exception run raises (a wait that ends in a time-out) is expected.
inline double CpuMs(const std::function<void()>& run) {
  timespec t0{}, t1{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t0);
  try {
    run();
  } catch (const std::exception&) {
  }
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t1);
  return (t1.tv_sec - t0.tv_sec) * 1e3 + (t1.tv_nsec - t0.tv_nsec) / 1e6;
}
