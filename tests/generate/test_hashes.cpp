#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <optional>
#include <string>

#include "common/Files.h"
#include "generate/Hashes.h"

using namespace pellora;
using pellora::testing::TempDir;

namespace {

// The standard output of a shell command, or nullopt when it failed.
std::optional<std::string> Shell(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string out;
  char buffer[256];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  const int status = ::pclose(pipe);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return out;
}

bool HaveHtpasswd() { return Shell("command -v htpasswd >/dev/null").has_value(); }

constexpr const char* kPassword = "Pa55 w0rd & more than eight";

}  // namespace

// Each format's hash opens with its prefix, matches its password only, and
// is accepted by the server's own tool.
TEST(Hashes, EachFormatVerifiesHereAndWithHtpasswd) {
  struct Case {
    HashFormat format;
    long cost;
    std::string_view prefix;
  } cases[] = {
      {HashFormat::Des, 0, ""},
      {HashFormat::Bcrypt, 4, "$2y$04$"},
      {HashFormat::Bcrypt, 0, "$2y$10$"},
      {HashFormat::Sha512, 0, "$6$"},  // 5000 rounds are not written
      {HashFormat::Sha256, 1000, "$5$rounds=1000$"},
      {HashFormat::Sha512, 1, "$6$rounds=1000$"},  // clamped
      {HashFormat::Apr1, 0, "$apr1$"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const std::string hash = HashPassword(c.format, c.cost, kPassword);
    SCOPED_TRACE(hash);
    EXPECT_TRUE(hash.starts_with(c.prefix));
    if (c.format == HashFormat::Sha512 && c.cost == 0) {
      EXPECT_EQ(hash.find("rounds="), std::string::npos);
    }
    EXPECT_NE(hash, HashPassword(c.format, c.cost, kPassword)) << "the salt is fresh";
    EXPECT_TRUE(VerifyPassword(hash, kPassword));
    // DES reads 8 characters only.
    EXPECT_EQ(VerifyPassword(hash, "Pa55 w0rd & more than eighT"), c.format == HashFormat::Des);
    EXPECT_FALSE(VerifyPassword(hash, "pa55 w0rd"));
    if (!HaveHtpasswd()) continue;
    dir.Write(".htpasswd", "user:" + hash + "\n");
    EXPECT_TRUE(Shell("htpasswd -vb '" + dir.File(".htpasswd") + "' user '" + kPassword + "' 2>/dev/null"));
    EXPECT_FALSE(Shell("htpasswd -vb '" + dir.File(".htpasswd") + "' user wrong 2>/dev/null"));
  }
}

// Hashes the server's tool makes, and ones of known answer, verify here.
TEST(Hashes, HashesMadeElsewhereVerify) {
  struct Case {
    std::string_view hash, password;
  } known[] = {
      {"$apr1$r31.....$ARC3pREO82RIm0aQ2zszC0", "password"},
      {"$1$saltstri$qQY4WxjABChYG1ccLpfkz/", "password"},
      {"{SHA}W6ph5Mm5Pz8GgiULbPgzG37mj9g=", "password"},
      {"abJnggxhB/yWI", "password"},
  };
  for (const Case& c : known) {
    EXPECT_TRUE(VerifyPassword(c.hash, c.password)) << c.hash;
    EXPECT_FALSE(VerifyPassword(c.hash, "passwore")) << c.hash;
  }
  for (std::string_view damaged : {"", "$apr1$", "$apr1$toolongsalt$x", "$2y$99$", "$6$x", "{SHA}", "plain"})
    EXPECT_FALSE(VerifyPassword(damaged, "")) << damaged;
  if (!HaveHtpasswd()) GTEST_SKIP() << "htpasswd is not installed (scripts/setup installs apache2-utils)";
  for (std::string_view flags : {"-m", "-B -C 4", "-2", "-5 -r 1200", "-s", "-d"}) {
    std::optional<std::string> line =
        Shell("htpasswd -nb " + std::string(flags) + " user '" + kPassword + "' 2>/dev/null");
    ASSERT_TRUE(line) << flags;
    const std::string hash = line->substr(5, line->find_first_of("\r\n") - 5);
    EXPECT_TRUE(VerifyPassword(hash, kPassword) || (flags == "-d" && VerifyPassword(hash, "Pa55 w0r")))
        << flags << " " << hash;
    EXPECT_FALSE(VerifyPassword(hash, "wrong")) << flags << " " << hash;
  }
}
