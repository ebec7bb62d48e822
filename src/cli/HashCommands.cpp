// hash and verify: the password hash of .htpasswd on its own.
#include <cstdio>
#include <optional>
#include <string_view>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "generate/DesCrypt.h"
#include "generate/Hashes.h"
#include "platform/Files.h"

namespace pellora::cli {

namespace {

bool IsSaltCharacter(char c) {
  return c == '.' || c == '/' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The hash the server would check NAME against: the first line whose name,
// the text before the first colon, is NAME byte for byte; the hash ends at
// the next colon or the line's end. Empty lines and comments are skipped as
// the server skips them.
std::optional<std::string> FindHash(std::string_view text, std::string_view name) {
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || line.substr(0, colon) != name) continue;
    std::string_view hash = line.substr(colon + 1);
    return std::string(hash.substr(0, hash.find(':')));
  }
  return std::nullopt;
}

}  // namespace

int CmdHash(const std::vector<std::string>& args) {
  Args a(args, {{"--salt", true}, {"--stdin", false}, {"--format", true}, {"--cost", true}}, Secrets::PasswordArgument);
  const auto format = static_cast<HashFormat>(
      ParseChoice(a.Value("--format").value_or("des"), {"des", "bcrypt", "sha512", "sha256", "apr1"}, "--format"));
  const CostRange range = CostRangeOf(format);
  long cost = 0;
  if (auto given = a.Value("--cost")) {
    if (range.Max == 0) throw UsageError("--cost goes with --format bcrypt, sha512 or sha256");
    cost = ParseInteger(*given, "--cost");
    if (cost < range.Min || cost > range.Max)
      return Refuse(std::string("A ") + HashFormatName(format) + " cost must be from " + std::to_string(range.Min) +
                    " to " + std::to_string(range.Max) + ", not " + *given + ".");
  }
  if (a.Has("--salt") && format != HashFormat::Des) throw UsageError("--salt goes with --format des only");
  std::string password;
  if (a.Has("--stdin")) {
    if (!a.Positional().empty()) throw UsageError("--stdin and PASSWORD cannot be used together");
    if (!ReadSecretLine(password, "Password: ")) return Refuse("Can't read the password from standard input.");
  } else {
    if (a.Positional().empty()) throw UsageError("missing PASSWORD (or --stdin)");
    a.Expect({"PASSWORD"});
    password = a.Positional()[0];
  }
  std::string hash;
  if (auto salt = a.Value("--salt")) {
    if (salt->size() != 2 || !IsSaltCharacter((*salt)[0]) || !IsSaltCharacter((*salt)[1]))
      return Refuse("The salt must be two characters of . / 0-9 A-Z a-z, not '" + *salt + "'.");
    hash = DesCrypt(password, *salt);
  } else {
    hash = HashPassword(format, cost, password);
  }
  PrintLine(hash);
  return kExitDone;
}

int CmdVerify(const std::vector<std::string>& args) {
  Args a(args, {}, Secrets::StrayArguments);
  a.Expect({"HTPASSWD_FILE", "NAME"});
  const std::string& path = a.Positional()[0];
  const std::string& name = a.Positional()[1];
  std::string text;
  if (!FileExists(path) || DirectoryExists(path) || !ReadWholeFile(path, text))
    return Refuse("Can't open password file " + path);
  std::optional<std::string> hash = FindHash(text, name);
  if (!hash) return Refuse("The User " + name + " does not exist!");
  if (!IsKnownHash(*hash)) return Refuse("The hash of " + name + " is of no format this program knows.");
  std::string password;
  if (!ReadSecretLine(password, "Password: ")) return Refuse("Can't read the password from standard input.");
  if (!VerifyPassword(*hash, password)) return Refuse("The password does not match.");
  return kExitDone;
}

}  // namespace pellora::cli
