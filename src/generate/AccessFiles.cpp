#include "generate/AccessFiles.h"

#include <cstdio>
#include <unordered_set>

#include "core/Text.h"
#include "generate/DesCrypt.h"
#include "generate/HashPool.h"
#include "generate/Hashes.h"
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

PasswordHasher HasherOf(const ProjectSettings& settings) {
  const HashChoice choice = HashChoiceOf(settings);
  return [choice](std::string_view password) { return HashPassword(choice.Format, choice.Cost, password); };
}

HtpasswdText BuildHtpasswd(const UserList& users, const PasswordHasher& hash) {
  HtpasswdText out;
  out.Text.reserve(users.CountEnabledUsers() * 32);
  // The server takes the first line of a name and never reads on, so a later
  // user of the very same bytes (a second CSV import) could never log in.
  std::unordered_set<std::string_view> written;
  for (const TUserList& user : users) {
    if (user.Disabled) continue;
    std::optional<std::string> reason = UnusableUserNameReason(user.UserName);
    if (!reason && !written.insert(user.UserName).second) reason = "a user of the same name comes first";
    if (reason) {
      out.LeftOut.push_back("  User \"" + Printable(user.UserName) + "\" left out: " + *reason);
      continue;
    }
    out.Text += user.UserName;
    out.Text += ':';
    if (HashOnly(user)) out.Text += user.Hash;  // adopted: the password is unknown
    else out.Text += hash ? hash(user.Password) : HashPassword(user.Password);
    out.Text += "\r\n";
  }
  return out;
}

bool WriteAccessFiles(const UserList& users, const ProjectSettings& settings, LogSink& log, const fs::path& folder,
                      const PasswordHasher& hash) {
  const fs::path htaccess = FileIn(folder, kHtaccessName);
  const fs::path htpasswd = FileIn(folder, kHtpasswdName);
  log.Clear();

  // .htaccess is published as it is and must be readable by the web server.
  bool htaccessOk = WriteFileAtomic(htaccess, BuildHtaccess(settings), 0644, AtLink::Replace);
  log.AddLine(htaccessOk ? "* Generate .htaccess file ... OK!\r\n"
                         : "* Generate .htaccess file ... Error occurred!\r\n");

  // The project's own hashes are made on every core; bcrypt at its usual
  // cost takes tens of milliseconds each.
  HtpasswdText passwd = hash ? BuildHtpasswd(users, hash) : *BuildHtpasswdInParallel(users, HasherOf(settings));
  bool htpasswdOk = WriteFileAtomic(htpasswd, passwd.Text, 0600, AtLink::Replace);
  log.AddLine(htpasswdOk ? "* Generate .htpasswd file ... OK!\r\n"
                         : "* Generate .htpasswd file ... Error occurred!\r\n");
  for (const std::string& line : passwd.LeftOut) log.AddLine(line);
  if (!hash && HashChoiceOf(settings).UnknownFormat)
    log.AddLine("  Password hash \"" + Printable(TrimView(settings.PasswordHash)) + "\" is unknown: DES was used");
  return htaccessOk && htpasswdOk;
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
