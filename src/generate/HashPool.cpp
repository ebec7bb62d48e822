#include "generate/HashPool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace pellora {

namespace {

// How often the caller hears of the progress while the workers hash.
constexpr auto kReportEvery = std::chrono::milliseconds(50);

}  // namespace

std::optional<std::vector<std::string>> HashInParallel(const std::vector<std::string_view>& passwords,
                                                       const PasswordHasher& hash, const HashRun& run,
                                                       unsigned threads) {
  const std::size_t total = passwords.size();
  std::vector<std::string> hashes(total);
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(total, 1)));

  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  std::mutex lock;
  std::condition_variable changed;
  std::size_t done = 0;
  const auto work = [&] {
    for (std::size_t i; !stop && (i = next++) < total;) {
      hashes[i] = hash(passwords[i]);
      std::lock_guard<std::mutex> guard(lock);
      ++done;
      changed.notify_one();
    }
  };
  std::vector<std::jthread> workers;
  for (unsigned t = 0; t < threads; ++t) workers.emplace_back(work);

  for (;;) {
    std::size_t now;
    {
      std::unique_lock<std::mutex> guard(lock);
      changed.wait_for(guard, kReportEvery, [&] { return done == total; });
      now = done;
    }
    if (run.Report) run.Report(now, total);
    if (now == total) break;
    if (run.Stopped && run.Stopped()) {
      stop = true;
      break;
    }
  }
  workers.clear();  // joins: a worker ends with the hash it is on
  if (stop) return std::nullopt;
  return hashes;
}

}  // namespace pellora
