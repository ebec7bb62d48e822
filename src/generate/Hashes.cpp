#include "generate/Hashes.h"

#include <crypt.h>
#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>

#include "core/Random.h"
#include "generate/DesCrypt.h"

namespace pellora {

namespace {

constexpr std::string_view kCryptAlphabet = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

// The system crypt keeps 32 KiB of state per call; one per thread is kept.
crypt_data& CryptState() {
  thread_local std::unique_ptr<crypt_data> state = std::make_unique<crypt_data>();
  return *state;
}

// The system crypt of password under setting (a full hash or a fresh
// setting), or empty when it refuses the setting.
std::string SystemCrypt(std::string_view password, const char* setting) {
  crypt_data& state = CryptState();
  const char* out = crypt_rn(std::string(password).c_str(), setting, &state, sizeof state);
  return out && out[0] != '*' ? std::string(out) : std::string();
}

std::string SystemHash(const char* prefix, long cost, std::string_view password) {
  std::array<char, 16> random{};
  for (char& c : random) c = static_cast<char>(RandomInRange(0, 255));
  std::array<char, CRYPT_GENSALT_OUTPUT_SIZE> setting{};
  if (!crypt_gensalt_rn(prefix, static_cast<unsigned long>(cost), random.data(), static_cast<int>(random.size()),
                        setting.data(), static_cast<int>(setting.size())))
    throw std::runtime_error(std::string("The system's crypt library cannot make ") + prefix + " hashes");
  std::string hash = SystemCrypt(password, setting.data());
  if (hash.empty())
    throw std::runtime_error(std::string("The system's crypt library cannot make ") + prefix + " hashes");
  return hash;
}

// MD5 by way of one context and one digest fetched once per thread.
class Md5 {
 public:
  Md5() : md_(EVP_MD_fetch(nullptr, "MD5", nullptr)), ctx_(EVP_MD_CTX_new()) {
    if (!md_ || !ctx_) throw std::runtime_error("MD5 is not available");
  }
  ~Md5() {
    EVP_MD_CTX_free(ctx_);
    EVP_MD_free(md_);
  }
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;
  void Begin() { EVP_DigestInit_ex2(ctx_, md_, nullptr); }
  void Add(std::string_view bytes) { EVP_DigestUpdate(ctx_, bytes.data(), bytes.size()); }
  void Add(const std::array<unsigned char, 16>& bytes) { EVP_DigestUpdate(ctx_, bytes.data(), bytes.size()); }
  std::array<unsigned char, 16> End() {
    std::array<unsigned char, 16> out{};
    EVP_DigestFinal_ex(ctx_, out.data(), nullptr);
    return out;
  }

 private:
  EVP_MD* md_;
  EVP_MD_CTX* ctx_;
};

Md5& ThreadMd5() {
  thread_local Md5 md5;
  return md5;
}

std::string Base64Sha1(std::string_view password) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int size = 0;
  if (!EVP_Digest(password.data(), password.size(), digest.data(), &size, EVP_sha1(), nullptr)) return {};
  std::array<unsigned char, 4 * ((EVP_MAX_MD_SIZE + 2) / 3) + 1> text{};
  const int n = EVP_EncodeBlock(text.data(), digest.data(), static_cast<int>(size));
  return std::string(reinterpret_cast<const char*>(text.data()), static_cast<std::size_t>(n));
}

}  // namespace

std::string Md5Crypt(std::string_view password, std::string_view magic, std::string_view salt) {
  salt = salt.substr(0, 8);
  Md5& md5 = ThreadMd5();
  md5.Begin();
  md5.Add(password);
  md5.Add(salt);
  md5.Add(password);
  const std::array<unsigned char, 16> alternate = md5.End();

  md5.Begin();
  md5.Add(password);
  md5.Add(magic);
  md5.Add(salt);
  for (std::size_t left = password.size(); left > 0; left -= std::min<std::size_t>(left, 16))
    md5.Add(std::string_view(reinterpret_cast<const char*>(alternate.data()), std::min<std::size_t>(left, 16)));
  for (std::size_t bits = password.size(); bits > 0; bits >>= 1)
    md5.Add((bits & 1) ? std::string_view("\0", 1) : password.substr(0, 1));
  std::array<unsigned char, 16> digest = md5.End();

  // A thousand rounds, to make each guess cost time.
  for (int i = 0; i < 1000; ++i) {
    md5.Begin();
    if (i & 1) md5.Add(password);
    else md5.Add(digest);
    if (i % 3) md5.Add(salt);
    if (i % 7) md5.Add(password);
    if (i & 1) md5.Add(digest);
    else md5.Add(password);
    digest = md5.End();
  }

  std::string out(magic);
  out += salt;
  out += '$';
  auto put = [&](unsigned a, unsigned b, unsigned c, int n) {
    unsigned v = (a << 16) | (b << 8) | c;
    for (; n > 0; --n, v >>= 6) out += kCryptAlphabet[v & 0x3f];
  };
  const auto& d = digest;
  put(d[0], d[6], d[12], 4);
  put(d[1], d[7], d[13], 4);
  put(d[2], d[8], d[14], 4);
  put(d[3], d[9], d[15], 4);
  put(d[4], d[10], d[5], 4);
  put(0, 0, d[11], 2);
  return out;
}

std::string HashPassword(HashFormat format, long cost, std::string_view password) {
  const CostRange range = CostRangeOf(format);
  const long clamped = cost == 0 ? range.Default : std::clamp(cost, range.Min, range.Max);
  switch (format) {
    case HashFormat::Des: return HashPassword(password);
    case HashFormat::Bcrypt: return SystemHash("$2y$", clamped, password);
    case HashFormat::Sha512: return SystemHash("$6$", clamped, password);
    case HashFormat::Sha256: return SystemHash("$5$", clamped, password);
    case HashFormat::Apr1: {
      std::string salt(8, '.');
      for (char& c : salt) c = kCryptAlphabet[RandomInRange(0, 63)];
      return Md5Crypt(password, "$apr1$", salt);
    }
  }
  return HashPassword(password);
}

bool HashIsMadeAs(std::string_view hash, HashFormat format, long cost) {
  const CostRange range = CostRangeOf(format);
  cost = cost == 0 ? range.Default : std::clamp(cost, range.Min, range.Max);
  switch (format) {
    case HashFormat::Des: return hash.size() == 13 && !hash.starts_with('$') && !hash.starts_with('{');
    case HashFormat::Bcrypt: {
      const std::string prefix = std::string(cost < 10 ? "$2y$0" : "$2y$") + std::to_string(cost) + "$";
      return hash.starts_with(prefix);
    }
    case HashFormat::Sha512:
    case HashFormat::Sha256: {
      std::string prefix = format == HashFormat::Sha512 ? "$6$" : "$5$";
      if (cost != range.Default) return hash.starts_with(prefix + "rounds=" + std::to_string(cost) + "$");
      return hash.starts_with(prefix) && !hash.substr(prefix.size()).starts_with("rounds=");
    }
    case HashFormat::Apr1: return hash.starts_with("$apr1$");
  }
  return false;
}

std::string KeptHashDigest(std::string_view hash, std::string_view password) {
  std::string text;
  text.reserve(hash.size() + 1 + password.size());
  // The hash holds no line break, so the two parts cannot be shifted into each other.
  text.append(hash).append(1, '\n').append(password);
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int size = 0;
  if (!EVP_Digest(text.data(), text.size(), digest.data(), &size, EVP_sha256(), nullptr)) return {};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < size; ++i) (out += kHex[digest[i] >> 4]) += kHex[digest[i] & 15];
  return out;
}

bool IsKnownHash(std::string_view hash) {
  for (std::string_view prefix : {"$apr1$", "$1$", "{SHA}", "$2y$", "$2b$", "$2a$", "$5$", "$6$"})
    if (hash.starts_with(prefix)) return true;
  return hash.size() == 13 && hash.find_first_not_of(kCryptAlphabet) == std::string_view::npos;
}

bool VerifyPassword(std::string_view hash, std::string_view password) {
  for (std::string_view magic : {"$apr1$", "$1$"}) {
    if (!hash.starts_with(magic)) continue;
    std::string_view rest = hash.substr(magic.size());
    const std::size_t end = rest.find('$');
    if (end == std::string_view::npos || end > 8) return false;
    return SameText(Md5Crypt(password, magic, rest.substr(0, end)), hash);
  }
  if (hash.starts_with("{SHA}")) return SameText(Base64Sha1(password), hash.substr(5));
  for (std::string_view prefix : {"$2y$", "$2b$", "$2a$", "$5$", "$6$"}) {
    if (!hash.starts_with(prefix)) continue;
    return SameText(SystemCrypt(password, std::string(hash).c_str()), hash);
  }
  if (hash.size() == 13 && kCryptAlphabet.find(hash[0]) != std::string_view::npos &&
      kCryptAlphabet.find(hash[1]) != std::string_view::npos)
    return SameText(DesCrypt(password, hash.substr(0, 2)), hash);
  return false;
}

}  // namespace pellora
