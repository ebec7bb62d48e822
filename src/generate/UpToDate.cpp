#include "generate/UpToDate.h"

#include <string>
#include <string_view>
#include <vector>

#include "generate/AccessFiles.h"
#include "generate/Hashes.h"
#include "platform/Files.h"

namespace pellora {

namespace {

bool ReadGenerated(const char* name, const std::filesystem::path& folder, std::string& text) {
  std::optional<std::filesystem::path> path = GeneratedFile(name, folder);
  return path && ReadWholeFile(*path, text);
}

// The lines of a file that Generate wrote, without their CR LF.
std::vector<std::string_view> LinesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::string_view line = text.substr(0, text.find("\r\n"));
    text.remove_prefix(std::min(text.size(), line.size() + 2));
    lines.push_back(line);
  }
  return lines;
}

// Stands for a fresh hash in the text Generate would write now; no line of
// a generated file holds a control byte.
constexpr std::string_view kFreshHash = "\x01";

}  // namespace

bool GeneratedFilesUpToDate(const UserList& users, const ProjectSettings& settings,
                            const std::filesystem::path& folder) {
  std::string htaccess, htpasswd;
  if (!ReadGenerated(kHtaccessName, folder, htaccess) || htaccess != BuildHtaccess(settings)) return false;
  if (!ReadGenerated(kHtpasswdName, folder, htpasswd)) return false;
  // The text Generate would write now, with a mark where it would hash a
  // password afresh (a kept, adopted hash it writes as it is). The file is
  // current when it has the same lines, and each marked line's hash there
  // still takes its user's password in the project's format and cost.
  std::vector<std::string_view> passwords;
  const HtpasswdText now = BuildHtpasswd(users, [&](std::string_view password) {
    passwords.push_back(password);
    return std::string(kFreshHash);
  });
  const std::vector<std::string_view> want = LinesOf(now.Text), have = LinesOf(htpasswd);
  if (want.size() != have.size() || (!htpasswd.empty() && !htpasswd.ends_with("\r\n"))) return false;
  const HashChoice choice = HashChoiceOf(settings);
  std::size_t next = 0;
  for (std::size_t i = 0; i < want.size(); ++i) {
    if (!want[i].ends_with(kFreshHash)) {
      if (want[i] != have[i]) return false;
      continue;
    }
    const std::string_view name = want[i].substr(0, want[i].size() - kFreshHash.size());
    if (!have[i].starts_with(name)) return false;
    const std::string_view hash = have[i].substr(name.size());
    if (!HashIsMadeAs(hash, choice.Format, choice.Cost) || !VerifyPassword(hash, passwords[next++])) return false;
  }
  return true;
}

}  // namespace pellora
