// apr1 hashing against the usual command-line tool: our hashes per second
// over those of one "openssl passwd -apr1 -stdin" process given the same
// 1,000 passwords (its start included, as a script would pay it).
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "generate/HashPool.h"
#include "generate/Hashes.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Milliseconds for openssl to hash every line of input; negative on failure.
double OpensslMs(const std::string& input) {
  int in[2];
  if (::pipe(in) != 0) return -1;
  const auto start = Clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::close(in[0]);
    ::close(in[1]);
    if (FILE* null = std::freopen("/dev/null", "w", stdout); !null) ::_exit(127);
    ::execlp("openssl", "openssl", "passwd", "-apr1", "-stdin", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(in[0]);
  for (std::size_t done = 0; done < input.size();) {
    const ssize_t n = ::write(in[1], input.data() + done, input.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(in[1]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return Since(start);
}

double Median(std::vector<double> runs) {
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

}  // namespace

int main() {
  std::vector<std::string> passwords;
  std::string input;
  for (int i = 0; i < 1000; ++i) {
    passwords.push_back("pw" + std::to_string(i * 7919 % 100000) + "-secret");
    input += passwords.back() + "\n";
  }
  std::vector<double> ours, theirs;
  std::size_t bytes = 0;
  for (int run = 0; run < 5; ++run) {
    const auto start = Clock::now();
    for (const std::string& p : passwords) bytes += pellora::HashPassword(pellora::HashFormat::Apr1, 0, p).size();
    ours.push_back(Since(start));
    const double ms = OpensslMs(input);
    if (ms < 0) {
      std::fprintf(stderr, "bench_hash: openssl passwd -apr1 failed (is openssl installed?)\n");
      return 1;
    }
    theirs.push_back(ms);
  }
  std::printf("apr1_1k_ms %.1f ms\n", Median(ours));
  std::printf("openssl_apr1_1k_ms %.1f ms\n", Median(theirs));
  std::printf("apr1_vs_openssl %.3f ratio\n", Median(theirs) / Median(ours));

  // bcrypt at cost 5 for the same 1,000 passwords on every core, and on one.
  const std::vector<std::string_view> views(passwords.begin(), passwords.end());
  const pellora::PasswordHasher bcrypt = [](std::string_view p) {
    return pellora::HashPassword(pellora::HashFormat::Bcrypt, 5, p);
  };
  std::vector<double> all, one;
  for (int run = 0; run < 3; ++run) {
    auto start = Clock::now();
    bytes += pellora::HashInParallel(views, bcrypt)->size();
    all.push_back(Since(start));
    start = Clock::now();
    bytes += pellora::HashInParallel(views, bcrypt, {}, 1)->size();
    one.push_back(Since(start));
  }
  std::printf("bcrypt_cost5_1k_ms %.1f ms\n", Median(all));
  std::printf("bcrypt_cores_speedup %.2f ratio\n", Median(one) / Median(all));
  std::printf("cores %u count\n", std::max(1u, std::thread::hardware_concurrency()));
  return bytes == 0;
}
