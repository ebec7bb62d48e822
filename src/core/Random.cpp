#include "core/Random.h"

#include <sys/random.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace pellora {
namespace {

constexpr std::string_view kTable = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// Secure bytes fetched from the kernel a block at a time; one pool per thread.
class Pool {
 public:
  std::uint32_t Next32() {
    if (pos_ + 4 > buffer_.size()) Refill();
    std::uint32_t v;
    std::memcpy(&v, buffer_.data() + pos_, 4);
    pos_ += 4;
    return v;
  }
  void Drop() { pos_ = buffer_.size(); }

 private:
  void Refill() {
    std::size_t got = 0;
    while (got < buffer_.size()) {
      ssize_t n = getrandom(buffer_.data() + got, buffer_.size() - got, 0);
      if (n < 0) {
        if (errno == EINTR) continue;
        throw std::runtime_error("The system's random source failed");
      }
      got += static_cast<std::size_t>(n);
    }
    pos_ = 0;
  }
  std::array<unsigned char, 4096> buffer_{};
  std::size_t pos_ = buffer_.size();
};

Pool& ThreadPool() {
  thread_local Pool pool;
  return pool;
}

struct Range {
  int lo, hi;  // 1-based table positions
};

Range PositionRange(int charClass, int letterCase) {
  if (charClass == ClassNumeral) return {1, 10};
  if (charClass == ClassLetter) {
    if (letterCase == CaseUpper) return {11, 36};
    if (letterCase == CaseLower) return {37, 62};
    return {11, 62};
  }
  if (letterCase == CaseUpper) return {1, 36};
  if (letterCase == CaseLower) return {37, 72};
  return {1, 62};
}

}  // namespace

std::uint32_t RandomInRange(std::uint32_t lo, std::uint32_t hi) {
  const std::uint64_t span = std::uint64_t(hi) - lo + 1;
  // Reject the top sliver that would make some values likelier than others.
  const std::uint64_t limit = (std::uint64_t(1) << 32) - ((std::uint64_t(1) << 32) % span);
  std::uint32_t v;
  do v = ThreadPool().Next32();
  while (v >= limit);
  return lo + static_cast<std::uint32_t>(v % span);
}

std::string RandomString(int length, int charClass, int letterCase) {
  const Range r = PositionRange(charClass, letterCase);
  if (length <= 0) length = static_cast<int>(RandomInRange(5, 7));
  std::string out(static_cast<std::size_t>(length), '\0');
  for (char& c : out) c = kTable[RandomInRange(static_cast<std::uint32_t>(r.lo), static_cast<std::uint32_t>(r.hi)) - 1];
  return out;
}

void SeedRandom() { ThreadPool().Drop(); }

}  // namespace pellora
