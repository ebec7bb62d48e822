// Core figures: our DES crypt against the system's, and filling a user list.
// Without arguments prints "NAME VALUE UNIT" lines; with arguments runs the
// Google Benchmark micro-benchmarks (e.g. --benchmark_filter=.).
#include <benchmark/benchmark.h>
#include <crypt.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/Collation.h"
#include "core/Random.h"
#include "core/UserList.h"
#include "generate/DesCrypt.h"

using namespace pellora;

namespace {

// Processor time of this thread: on a shared machine other programs take the
// processor away now and then, which wall time would count against us.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Input {
  std::string key, salt;
};

std::vector<Input> CryptInputs(std::size_t n) {
  std::vector<Input> in(n);
  for (Input& i : in) {
    i.key = RandomString(static_cast<int>(RandomInRange(1, 12)), 0, 0);
    i.salt = RandomString(2, 0, 0);
  }
  return in;
}

// Hashes per second over all inputs.
double DesRate(const std::vector<Input>& in) {
  const double start = ThreadSeconds();
  for (const Input& i : in) {
    std::string h = DesCrypt(i.key, i.salt);
    benchmark::DoNotOptimize(h);
  }
  return static_cast<double>(in.size()) / (ThreadSeconds() - start);
}

double SystemRate(const std::vector<Input>& in, crypt_data& data) {
  const double start = ThreadSeconds();
  for (const Input& i : in) {
    const char* h = crypt_r(i.key.c_str(), i.salt.c_str(), &data);
    benchmark::DoNotOptimize(h);
  }
  return static_cast<double>(in.size()) / (ThreadSeconds() - start);
}

// Both sides hash the same inputs in alternating rounds, so a busy spell of
// the machine hurts both; the best round of each is the least disturbed one.
double DesOverSystem() {
  const std::vector<Input> in = CryptInputs(2000);
  auto data = std::make_unique<crypt_data>();
  double des = 0, sys = 0;
  for (int round = 0; round < 15; ++round) {
    if (round % 2) {
      des = std::max(des, DesRate(in));
      sys = std::max(sys, SystemRate(in, *data));
    } else {
      sys = std::max(sys, SystemRate(in, *data));
      des = std::max(des, DesRate(in));
    }
  }
  return des / sys;
}

// FindUser then, for a new name, InsertSorted, as adding users one by one does.
double InsertMs(std::size_t n) {
  std::vector<std::string> names(n);
  for (std::string& s : names) s = RandomString(6, 0, 0);
  double best = 1e300;
  for (int round = 0; round < 3; ++round) {
    UserList list;
    const double start = ThreadSeconds();
    for (const std::string& name : names)
      if (!list.FindUser(name)) {
        TUserList u;
        u.UserName = name;
        list.InsertSorted(std::move(u));
      }
    best = std::min(best, (ThreadSeconds() - start) * 1000.0);
  }
  return best;
}

// InsertSorted of n random names into a list whose first two records are
// swapped, as a rename in place or a project file in its own order leaves
// it. The pair are the two smallest names, so nearly every insertion lands
// behind them.
double InsertUnorderedMs(std::size_t n) {
  std::vector<std::string> names(n + 2);
  for (std::string& s : names) s = RandomString(6, 0, 0);
  std::partial_sort(names.begin(), names.begin() + 2, names.end(),
                    [](const std::string& a, const std::string& b) { return CompareUserNames(a, b) < 0; });
  double best = 1e300;
  for (int round = 0; round < 3; ++round) {
    UserList list;
    for (int i : {1, 0}) {
      TUserList u;
      u.UserName = names[static_cast<std::size_t>(i)];
      list.AppendUser(std::move(u));
    }
    const double start = ThreadSeconds();
    for (std::size_t i = 2; i < names.size(); ++i) {
      TUserList u;
      u.UserName = names[i];
      list.InsertSorted(std::move(u));
    }
    best = std::min(best, (ThreadSeconds() - start) * 1000.0);
  }
  return best;
}

void BM_DesCrypt(benchmark::State& state) {
  const std::vector<Input> in = CryptInputs(256);
  std::size_t i = 0;
  for (auto _ : state) {
    const Input& x = in[i++ % in.size()];
    benchmark::DoNotOptimize(DesCrypt(x.key, x.salt));
  }
}
BENCHMARK(BM_DesCrypt);

void BM_SystemCrypt(benchmark::State& state) {
  const std::vector<Input> in = CryptInputs(256);
  auto data = std::make_unique<crypt_data>();
  std::size_t i = 0;
  for (auto _ : state) {
    const Input& x = in[i++ % in.size()];
    benchmark::DoNotOptimize(crypt_r(x.key.c_str(), x.salt.c_str(), data.get()));
  }
}
BENCHMARK(BM_SystemCrypt);

void BM_HashPassword(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(HashPassword("Tr0ub4dor&3"));
}
BENCHMARK(BM_HashPassword);

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
  }
  std::printf("des_vs_libcrypt %.3f ratio\n", DesOverSystem());
  std::fflush(stdout);
  std::printf("insert_4096_ms %.2f ms\n", InsertMs(4096));
  std::fflush(stdout);
  std::printf("insert_100k_ms %.1f ms\n", InsertMs(100000));
  std::fflush(stdout);
  std::printf("insert_100k_unordered_ms %.1f ms\n", InsertUnorderedMs(100000));
  return 0;
}
