// The own DES crypt must give the system crypt(3)'s hash for every key and
// every salt of the crypt alphabet. The first two bytes pick the salt, the
// rest is the key (NULs, high bytes and more than eight bytes included).
#include <crypt.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "generate/DesCrypt.h"

namespace {
constexpr char kAlphabet[] = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const char salt[3] = {kAlphabet[data[0] % 64], kAlphabet[data[1] % 64], 0};
  const std::string key(reinterpret_cast<const char*>(data + 2), size - 2);

  const std::string ours = pellora::DesCrypt(key, salt);
  static crypt_data scratch;  // large; one per process is enough
  std::memset(&scratch, 0, sizeof scratch);
  // The system refuses passphrases beyond its limit (only the first eight
  // bytes count anyway), so it gets the longest prefix it takes.
  const std::string limited = key.substr(0, CRYPT_MAX_PASSPHRASE_SIZE - 1);
  const char* theirs = crypt_r(limited.c_str(), salt, &scratch);
  if (!theirs || theirs[0] == '*') std::abort();  // the system has no DES crypt
  if (ours != theirs) {
    std::fprintf(stderr, "salt %s: ours %s, system %s\n", salt, ours.c_str(), theirs);
    std::abort();
  }
  return 0;
}
