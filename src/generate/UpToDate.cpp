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

}  // namespace

bool GeneratedFilesUpToDate(const UserList& users, const ProjectSettings& settings,
                            const std::filesystem::path& folder) {
  std::string htaccess, htpasswd;
  if (!ReadGenerated(kHtaccessName, folder, htaccess) || htaccess != BuildHtaccess(settings)) return false;
  if (!ReadGenerated(kHtpasswdName, folder, htpasswd)) return false;
  // The file is current when it has a line for each user Generate would
  // write, in the same order, each with the user's adopted hash as it is,
  // or with a hash of the project's format and cost that takes the user's
  // password (the hash the user keeps from that generation proves it at once).
  std::vector<std::string> leftOut;
  const std::vector<TUserList*> written = WrittenUsers(users, leftOut);
  const std::vector<std::string_view> lines = LinesOf(htpasswd);
  if (lines.size() != written.size() || (!htpasswd.empty() && !htpasswd.ends_with("\r\n"))) return false;
  const HashChoice choice = HashChoiceOf(settings);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const TUserList& user = *written[i];
    const std::string_view name = lines[i].substr(0, lines[i].find(':'));
    if (name != user.UserName || name.size() == lines[i].size()) return false;
    const std::string_view hash = lines[i].substr(name.size() + 1);
    if (HashOnly(user)) {
      if (hash != user.Hash) return false;
    } else if (hash != user.Hash || !KeptHashFits(user, choice)) {
      if (!HashIsMadeAs(hash, choice.Format, choice.Cost) || !VerifyPassword(hash, user.Password)) return false;
    }
  }
  return true;
}

}  // namespace pellora
