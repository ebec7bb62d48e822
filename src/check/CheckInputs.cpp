#include <set>
#include <vector>

#include "check/HttpCheck.h"
#include "check/HttpSession.h"
#include "core/Text.h"
#include "generate/AccessFiles.h"

namespace pellora {
namespace {

using Steps = std::vector<std::string>;

// The folders of a path, with "." and ".." worked out as the server would.
Steps Folders(std::string_view path) {
  Steps out;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view step = path.substr(start, end - start);
    if (step == "..") {
      if (!out.empty()) out.pop_back();
    } else if (!step.empty() && step != ".") {
      out.emplace_back(step);
    }
    start = end + 1;
  }
  return out;
}

bool StartsWith(const Steps& path, const Steps& prefix) {
  return prefix.size() <= path.size() && std::equal(prefix.begin(), prefix.end(), path.begin());
}

bool EndsWith(const Steps& path, const Steps& suffix) {
  return suffix.size() <= path.size() && std::equal(suffix.rbegin(), suffix.rend(), path.rbegin());
}

std::string UrlPath(const Steps& folders, std::size_t from) {
  std::string path;
  for (std::size_t i = from; i < folders.size(); ++i) path += "/" + folders[i];
  return path + "/" + kHtpasswdName;
}

// The address of the .htpasswd when the project's paths put it where the
// address serves. The upload sends .htaccess to the FTP web directory, so
// the FULL HOST path and that directory name the protected folder on the
// server's disk; as the address names the same folder, the part of its path
// that the folder's path ends with tells where the site's document root is.
// A copy saved locally lies next to the .htaccess.
std::optional<std::string> HtpasswdAddress(const ProjectSettings& settings, const std::string& url) {
  const std::optional<UrlParts> parts = SplitUrl(url);
  if (!parts) return std::nullopt;
  const Steps address = Folders(parts->Path);
  if (!settings.ToFtpServer) return WithPath(url, UrlPath(address, 0));
  const std::string_view host = TrimView(settings.FtpServerPath);
  if (host.empty() || TrimView(settings.AuthUserFile).empty()) return std::nullopt;
  const Steps htpasswd = Folders(AuthUserFileFolder(settings.FtpServerPath, settings.AuthUserFile));
  const Steps folder = Folders(std::string(host) + "/" + std::string(TrimView(settings.FtpWebDirectory)));
  // The address may name a page of the folder rather than the folder.
  std::vector<Steps> paths = {address};
  if (!parts->Path.ends_with('/') && !address.empty()) paths.emplace_back(address.begin(), address.end() - 1);
  for (const Steps& path : paths) {
    if (!EndsWith(folder, path)) continue;
    const Steps root(folder.begin(), folder.end() - static_cast<std::ptrdiff_t>(path.size()));
    if (StartsWith(htpasswd, root)) return WithPath(url, UrlPath(htpasswd, root.size()));
  }
  // Without a known document root: below the protected folder itself.
  if (StartsWith(htpasswd, folder)) {
    Steps served = address;
    served.insert(served.end(), htpasswd.begin() + static_cast<std::ptrdiff_t>(folder.size()), htpasswd.end());
    return WithPath(url, UrlPath(served, 0));
  }
  return std::nullopt;
}

}  // namespace

CheckInputs CheckInputsOf(const UserList& users, const ProjectSettings& settings, std::string_view url) {
  CheckInputs in;
  in.Url = WithoutUserInfo(Trim(url));
  in.Realm = Trim(settings.AuthName);
  in.HtpasswdServerPath = AuthUserFileFolder(settings.FtpServerPath, settings.AuthUserFile) + "/" + kHtpasswdName;
  in.HtpasswdUrl = HtpasswdAddress(settings, in.Url);

  std::vector<std::string> leftOut;
  std::set<std::string_view> written;
  for (const TUserList* user : WrittenUsers(users, leftOut)) {
    written.insert(user->UserName);
    if (!in.Member && !HashOnly(*user)) in.Member = Credentials{user->UserName, user->Password};
  }
  // A disabled user whose name another user's line carries proves nothing.
  for (const TUserList& user : users)
    if (user.Disabled && !UnusableUserNameReason(user.UserName) && !written.contains(user.UserName)) {
      in.Disabled = Credentials{user.UserName, user.Password};
      break;
    }
  return in;
}

}  // namespace pellora
