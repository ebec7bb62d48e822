#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "generate/HashPool.h"

namespace pellora {
namespace {

std::vector<std::string_view> Passwords(const std::vector<std::string>& texts) { return {texts.begin(), texts.end()}; }

// However many threads hash, each hash lands in its password's place, and
// the caller hears of the end.
TEST(HashInParallel, KeepsThePasswordsOrderOnAnyNumberOfThreads) {
  std::vector<std::string> texts;
  for (int i = 0; i < 200; ++i) texts.push_back("pw" + std::to_string(i));
  for (unsigned threads : {1u, 2u, 7u, 0u}) {
    SCOPED_TRACE(threads);
    std::size_t lastDone = 0, lastTotal = 0;
    HashRun run;
    run.Report = [&](std::size_t done, std::size_t total) {
      EXPECT_GE(done, lastDone);
      lastDone = done;
      lastTotal = total;
    };
    const auto hashes = HashInParallel(
        Passwords(texts), [](std::string_view p) { return "h:" + std::string(p); }, run, threads);
    ASSERT_TRUE(hashes);
    ASSERT_EQ(hashes->size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_EQ((*hashes)[i], "h:" + texts[i]);
    EXPECT_EQ(lastDone, texts.size());
    EXPECT_EQ(lastTotal, texts.size());
  }
  EXPECT_EQ(HashInParallel({}, [](std::string_view) { return std::string(); })->size(), 0u);
}

// Stop ends the run soon: the workers leave off, and nothing comes back.
TEST(HashInParallel, AStoppedRunHashesNoFurtherAndReturnsNothing) {
  std::vector<std::string> texts(1000, "pw");
  std::atomic<int> hashed{0};
  HashRun run;
  run.Stopped = [] { return true; };
  const auto hashes = HashInParallel(
      Passwords(texts),
      [&](std::string_view) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ++hashed;
        return std::string("h");
      },
      run, 2);
  EXPECT_FALSE(hashes);
  EXPECT_LT(hashed.load(), 200);
}

}  // namespace
}  // namespace pellora
