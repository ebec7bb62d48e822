#include <crypt.h>
#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <set>
#include <string>

#include "core/Random.h"
#include "generate/DesCrypt.h"

using namespace pellora;

namespace {

constexpr std::string_view kAlphabet = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// The system's crypt(3), which reads the key as a C string.
std::string SystemCrypt(const std::string& key, std::string_view salt) {
  crypt_data data{};
  const char* r = crypt_r(key.c_str(), std::string(salt).c_str(), &data);
  return r ? r : "(failed)";
}

// A key of random length whose bytes may have bit 7 set; never a NUL.
std::string RandomKey(std::mt19937& gen, std::size_t maxLength = 12) {
  std::string key(std::uniform_int_distribution<std::size_t>(0, maxLength)(gen), '\0');
  for (char& c : key) c = static_cast<char>(std::uniform_int_distribution<int>(1, 255)(gen));
  return key;
}

bool InAlphabet(char c) { return kAlphabet.find(c) != std::string_view::npos; }

}  // namespace

TEST(DesCrypt, AgreesWithSystemCryptForRandomKeysAndEverySalt) {
  std::mt19937 gen(20240611);
  for (char a : kAlphabet)
    for (char b : kAlphabet) {
      const std::string salt{a, b};
      const std::string key = RandomKey(gen);
      ASSERT_EQ(DesCrypt(key, salt), SystemCrypt(key, salt)) << "salt " << salt << " key length " << key.size();
    }
}

TEST(DesCrypt, AgreesWithSystemCryptOnKeysOfEveryShape) {
  std::mt19937 gen(7);
  std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
  auto randomSalt = [&] { return std::string{kAlphabet[pick(gen)], kAlphabet[pick(gen)]}; };

  // Every single byte, so each of the 7 used bits of every key position is exercised.
  for (int byte = 1; byte < 256; ++byte)
    for (std::size_t pos : {0, 3, 7}) {
      std::string key = "pellora!";
      key[pos] = static_cast<char>(byte);
      const std::string salt = randomSalt();
      ASSERT_EQ(DesCrypt(key, salt), SystemCrypt(key, salt)) << "byte " << byte << " at " << pos;
    }
  // Bytes after an embedded NUL do not count.
  for (int i = 0; i < 500; ++i) {
    const std::string head = RandomKey(gen, 10);
    const std::string key = head + std::string(1, '\0') + RandomKey(gen, 4);
    const std::string salt = randomSalt();
    ASSERT_EQ(DesCrypt(key, salt), SystemCrypt(head, salt));
    ASSERT_EQ(DesCrypt(key, salt), DesCrypt(head, salt));
  }
  for (const std::string salt : {"..", "zz", "/.", "A9"}) {
    EXPECT_EQ(DesCrypt("", salt), SystemCrypt("", salt));
    EXPECT_EQ(DesCrypt(std::string_view("\0abc", 4), salt), SystemCrypt("", salt));
  }
}

TEST(DesCrypt, OnlyTheFirstEightBytesAndTheirLowSevenBitsCount) {
  std::mt19937 gen(99);
  for (int i = 0; i < 300; ++i) {
    std::string key = RandomKey(gen, 8);
    key.resize(8, 'k');
    const std::string longer = key + RandomKey(gen, 20);
    std::string high = key;
    for (char& c : high) c = static_cast<char>(static_cast<unsigned char>(c) | 0x80);
    const std::string salt = "x" + std::string(1, kAlphabet[static_cast<std::size_t>(i) % 64]);
    EXPECT_EQ(DesCrypt(longer, salt), DesCrypt(key, salt));
    EXPECT_EQ(DesCrypt(high, salt), DesCrypt(key, salt));
  }
  EXPECT_EQ(DesCrypt("caf\xe9", "ab"), DesCrypt("cafi", "ab"));  // 233 hashes like 105
  EXPECT_EQ(DesCrypt("password123", "Zx"), DesCrypt("password", "Zx"));
  EXPECT_NE(DesCrypt("passwor", "Zx"), DesCrypt("password", "Zx"));
}

TEST(DesCrypt, HashIsSaltThenElevenAlphabetCharactersEndingInAMultipleOfFour) {
  const std::set<char> last(std::begin(".26AEIMQUYcgkosw"), std::end(".26AEIMQUYcgkosw") - 1);
  std::mt19937 gen(3);
  std::set<char> seenLast;
  for (int i = 0; i < 2000; ++i) {
    const std::string salt{kAlphabet[static_cast<std::size_t>(i) % 64],
                           kAlphabet[static_cast<std::size_t>(i / 64) % 64]};
    const std::string h = DesCrypt(RandomKey(gen), salt);
    ASSERT_EQ(h.size(), 13u);
    EXPECT_EQ(h.substr(0, 2), salt);
    for (char c : h) ASSERT_TRUE(InAlphabet(c)) << h;
    EXPECT_TRUE(last.count(h[12])) << h;
    seenLast.insert(h[12]);
  }
  EXPECT_EQ(seenLast, last);
}

TEST(DesCrypt, SaltsOutsideTheAlphabetGiveADefinedHash) {
  // Not valid crypt salts, so no oracle; the hash must simply be stable and well-formed.
  for (std::string_view salt : {std::string_view("!~"), std::string_view("\xff\x80"), std::string_view("\0\0", 2),
                                std::string_view("a"), std::string_view(""), std::string_view("abc")}) {
    const std::string h = DesCrypt("secret", salt);
    ASSERT_EQ(h.size(), 13u);
    EXPECT_EQ(h, DesCrypt("secret", salt));
    for (std::size_t i = 2; i < 13; ++i) EXPECT_TRUE(InAlphabet(h[i])) << h;
  }
  EXPECT_EQ(DesCrypt("secret", "a"), DesCrypt("secret", "a."));
  EXPECT_EQ(DesCrypt("secret", ""), DesCrypt("secret", ".."));
  EXPECT_EQ(DesCrypt("secret", "abc"), DesCrypt("secret", "ab"));
}

TEST(HashPassword, FreshSaltOfLettersAndDigitsAndVerifiesWithSystemCrypt) {
  std::set<char> saltChars;
  for (int i = 0; i < 3000; ++i) {
    const std::string h = HashPassword("pw");
    ASSERT_EQ(h.size(), 13u);
    for (char c : h.substr(0, 2)) {
      ASSERT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << h;
      saltChars.insert(c);
    }
  }
  EXPECT_EQ(saltChars.size(), 62u);

  for (const std::string password : {"", "Tr0ub4dor&3", "caf\xe9 au lait"}) {
    const std::string first = HashPassword(password);
    std::string second = HashPassword(password);
    // 1 in 3844 draws repeat the salt; a third draw makes a spurious failure negligible.
    if (second == first) second = HashPassword(password);
    EXPECT_NE(first, second);
    EXPECT_EQ(SystemCrypt(password, first), first);
    EXPECT_EQ(SystemCrypt(password, second), second);
  }
}
