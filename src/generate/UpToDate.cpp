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

// The hash of every "name:hash" line, in file order.
std::vector<std::string_view> HashesOf(std::string_view htpasswd) {
  std::vector<std::string_view> hashes;
  while (!htpasswd.empty()) {
    std::string_view line = htpasswd.substr(0, htpasswd.find("\r\n"));
    htpasswd.remove_prefix(std::min(htpasswd.size(), line.size() + 2));
    const std::size_t colon = line.find(':');
    hashes.push_back(colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1));
  }
  return hashes;
}

}  // namespace

bool GeneratedFilesUpToDate(const UserList& users, const ProjectSettings& settings,
                            const std::filesystem::path& folder) {
  std::string htaccess, htpasswd;
  if (!ReadGenerated(kHtaccessName, folder, htaccess) || htaccess != BuildHtaccess(settings)) return false;
  if (!ReadGenerated(kHtpasswdName, folder, htpasswd)) return false;
  // Generate hashes the users it writes in file order: the file is current
  // when every hash there still takes its user's password and the rest of
  // the text comes out the same.
  const std::vector<std::string_view> hashes = HashesOf(htpasswd);
  std::size_t next = 0;
  const HashChoice choice = HashChoiceOf(settings);
  const HtpasswdText now = BuildHtpasswd(users, [&](std::string_view password) {
    if (next >= hashes.size()) return std::string();
    const std::string_view hash = hashes[next++];
    const bool current = HashIsMadeAs(hash, choice.Format, choice.Cost) && VerifyPassword(hash, password);
    return current ? std::string(hash) : std::string();
  });
  return now.Text == htpasswd;
}

}  // namespace pellora
