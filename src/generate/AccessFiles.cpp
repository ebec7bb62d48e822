#include "generate/AccessFiles.h"

#include <cstdio>
#include <unordered_set>

#include "core/Text.h"
#include "generate/DesCrypt.h"
#include "generate/HashPool.h"
#include "generate/Hashes.h"
#include "generate/Warnings.h"
#include "platform/Files.h"
#include "platform/WorkingFolder.h"

namespace pellora {
namespace fs = std::filesystem;

namespace {

// An unquoted blank ends the server's argument. Inside quotes the server
// takes \" and \\ as escapes, so those two are escaped there.
std::string ConfigArgument(std::string_view value) {
  if (value.find_first_of(" \t") == std::string_view::npos) return std::string(value);
  std::string out = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

fs::path FileIn(const fs::path& folder, const char* name) { return folder.empty() ? WorkingFile(name) : folder / name; }

}  // namespace

std::optional<Refusal> CheckGenerate(const UserList& users, const ProjectSettings& settings) {
  if (users.CountEnabledUsers() == 0) return Refusal{Field::Users, "Please define user/password list.", "Error!"};
  for (Field missing : {Field::AuthUserFile, Field::FtpServerPath, Field::AuthName})
    if (auto refused = RefuseMissing(settings, missing)) return refused;
  // Values that would make the server answer 500 for the whole folder, in
  // the order the fields stand on the page; only a ticked box puts the error
  // page into the file.
  for (Field broken : {Field::FtpServerPath, Field::AuthUserFile, Field::AuthName})
    if (auto refused = RefuseValue(settings, broken)) return refused;
  if (settings.RedirectError) return RefuseValue(settings, Field::RedirectErrorPage);
  return std::nullopt;
}

std::string AuthUserFileFolder(std::string_view serverPath, std::string_view authUserFile) {
  std::string path(TrimView(serverPath));
  if (!path.empty() && path.back() == '/') path.pop_back();
  path += TrimView(authUserFile);
  if (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

std::string BuildHtaccess(const ProjectSettings& settings) {
  std::string text = "AuthUserFile ";
  text += ConfigArgument(AuthUserFileFolder(settings.FtpServerPath, settings.AuthUserFile) + "/.htpasswd");
  text += "\r\nAuthName \"";
  text += TrimView(settings.AuthName);
  text += "\"\r\nAuthType Basic\r\nRequire valid-user\r\n";
  if (settings.RedirectError) {
    text += "ErrorDocument 401 \"<meta http-equiv=refresh content=0;URL=";
    text += TrimView(settings.RedirectErrorPage);
    text += ">\"\r\n";
  }
  return text;
}

std::optional<std::string> UnusableUserNameReason(std::string_view name) {
  if (name.empty()) return "an empty name cannot log in";
  if (name.find(':') != std::string_view::npos) return "a name with \":\" cannot log in";
  if (name.front() == '#') return "a name beginning with \"#\" cannot log in";
  // The server drops blanks at the start of a line, so " bob" would be read as
  // "bob" and let that name in with this user's password.
  if (name.front() == ' ') return "a name beginning with a blank cannot log in";
  // A line break would split the line and could forge a line for another name.
  if (HasControl(name)) return "a name with a control character cannot log in";
  return std::nullopt;
}

HashChoice HashChoiceOf(const ProjectSettings& settings) {
  HashChoice choice;
  if (std::optional<HashFormat> format = ParseHashFormat(TrimView(settings.PasswordHash))) choice.Format = *format;
  else choice.UnknownFormat = true;
  choice.Cost = EffectiveCost(choice.Format, settings.HashCost);
  return choice;
}

std::string DescribeHash(const HashChoice& choice) {
  std::string text = HashFormatName(choice.Format);
  if (choice.Format == HashFormat::Bcrypt) text += " (cost " + std::to_string(choice.Cost) + ")";
  else if (choice.Cost != 0) text += " (rounds " + std::to_string(choice.Cost) + ")";
  return text;
}

namespace {

void AppendLine(std::string& text, const TUserList& user, std::string_view hash) {
  text.append(user.UserName).append(1, ':').append(hash).append("\r\n");
}

}  // namespace

std::vector<TUserList*> WrittenUsers(const UserList& users, std::vector<std::string>& leftOut) {
  std::vector<TUserList*> written;
  written.reserve(users.CountEnabledUsers());
  // The server takes the first line of a name and never reads on, so a later
  // user of the very same bytes (a second CSV import) could never log in.
  std::unordered_set<std::string_view> names;
  for (TUserList& user : users) {
    if (user.Disabled) continue;
    std::optional<std::string> reason = UnusableUserNameReason(user.UserName);
    if (!reason && !names.insert(user.UserName).second) reason = "a user of the same name comes first";
    if (reason) leftOut.push_back("  User \"" + Printable(user.UserName) + "\" left out: " + *reason);
    else written.push_back(&user);
  }
  return written;
}

bool KeptHashFits(const TUserList& user, const HashChoice& choice) {
  return !user.HashDigest.empty() && HashIsMadeAs(user.Hash, choice.Format, choice.Cost) &&
         user.HashDigest == KeptHashDigest(user.Hash, user.Password);
}

HtpasswdText BuildHtpasswd(const UserList& users, const PasswordHasher& hash) {
  HtpasswdText out;
  const std::vector<TUserList*> written = WrittenUsers(users, out.LeftOut);
  out.Text.reserve(written.size() * 32);
  for (const TUserList* user : written) {
    if (HashOnly(*user)) AppendLine(out.Text, *user, user->Hash);  // adopted: the password is unknown
    else AppendLine(out.Text, *user, hash ? hash(user->Password) : HashPassword(user->Password));
  }
  return out;
}

Generated WriteAccessFiles(UserList& users, const ProjectSettings& settings, LogSink& log,
                           const GenerateOptions& options) {
  Generated result;
  log.Clear();
  const HashChoice choice = HashChoiceOf(settings);
  std::vector<std::string> leftOut;
  const std::vector<TUserList*> written = WrittenUsers(users, leftOut);

  // Only the passwords without a fitting kept hash are hashed, on every
  // core: bcrypt at its usual cost takes tens of milliseconds each.
  const bool keep = !options.Hash && choice.Format != HashFormat::Des;
  std::vector<TUserList*> fresh;
  std::vector<std::string_view> passwords;
  for (TUserList* user : written) {
    if (HashOnly(*user) || (keep && KeptHashFits(*user, choice))) continue;
    fresh.push_back(user);
    passwords.push_back(user->Password);
  }
  const PasswordHasher hasher = options.Hash ? options.Hash : [choice](std::string_view password) {
    return HashPassword(choice.Format, choice.Cost, password);
  };
  std::optional<std::vector<std::string>> hashes = HashInParallel(passwords, hasher, options.Progress);
  if (!hashes) {
    log.AddLine("* Generate stopped: no file was written\r\n");
    result.Stopped = true;
    return result;
  }

  std::string htpasswdText;
  htpasswdText.reserve(written.size() * 64);
  for (std::size_t i = 0, next = 0; i < written.size(); ++i) {
    const bool made = next < fresh.size() && fresh[next] == written[i];
    AppendLine(htpasswdText, *written[i], made ? (*hashes)[next++] : written[i]->Hash);
  }
  if (keep) {
    for (std::size_t i = 0; i < fresh.size(); ++i) {
      fresh[i]->HashDigest = KeptHashDigest((*hashes)[i], fresh[i]->Password);
      fresh[i]->Hash = std::move((*hashes)[i]);
    }
    result.KeptNewHashes = !fresh.empty();
  }

  // .htaccess is published as it is and must be readable by the web server.
  const bool htaccessOk =
      WriteFileAtomic(FileIn(options.Folder, kHtaccessName), BuildHtaccess(settings), 0644, AtLink::Replace);
  log.AddLine(htaccessOk ? "* Generate .htaccess file ... OK!\r\n"
                         : "* Generate .htaccess file ... Error occurred!\r\n");
  const bool htpasswdOk = WriteFileAtomic(FileIn(options.Folder, kHtpasswdName), htpasswdText, 0600, AtLink::Replace);
  log.AddLine(htpasswdOk ? "* Generate .htpasswd file ... OK!\r\n"
                         : "* Generate .htpasswd file ... Error occurred!\r\n");
  for (const std::string& line : ProtectionWarnings(written, settings)) {
    if (options.Warn) options.Warn(line);
    else log.AddLine(line);
  }
  for (const std::string& line : leftOut) log.AddLine(line);
  if (!options.Hash && choice.UnknownFormat)
    log.AddLine("  Password hash \"" + Printable(TrimView(settings.PasswordHash)) + "\" is unknown: DES was used");
  result.Written = htaccessOk && htpasswdOk;
  return result;
}

std::optional<fs::path> GeneratedFile(std::string_view name, const fs::path& folder) {
  fs::path path = FileIn(folder, std::string(name).c_str());
  if (!FileExists(path)) return std::nullopt;
  return path;
}

Refusal PreviewRefusal() {
  return Refusal{Field::Generate, "Please generate .htaccess and .htpasswd files first.", "Warning"};
}

}  // namespace pellora
