#include "generate/Warnings.h"

#include <algorithm>
#include <string_view>

#include "core/Text.h"
#include "generate/AccessFiles.h"

namespace pellora {

namespace {

// The FULL HOST path a new project starts with, to be replaced by the real one.
constexpr std::string_view kSampleServerPath = "/home/yourloginname/";

std::string NameList(const std::vector<std::string_view>& names) {
  // A list of thousands would bury the log; the count says the rest.
  constexpr std::size_t kNamed = 10;
  std::string text;
  for (std::size_t i = 0; i < std::min(names.size(), kNamed); ++i)
    text += (i ? ", \"" : "\"") + Printable(names[i]) + '"';
  if (names.size() > kNamed) text += " and " + std::to_string(names.size() - kNamed) + " more";
  return text;
}

std::string WithSlash(std::string_view path) {
  std::string out(TrimView(path));
  if (out.empty() || out.back() != '/') out += '/';
  return out;
}

void SettingsWarnings(const ProjectSettings& settings, std::vector<std::string>& lines) {
  const std::string htpasswd = AuthUserFileFolder(settings.FtpServerPath, settings.AuthUserFile) + "/.htpasswd";
  if (htpasswd.front() != '/')
    lines.push_back("  Warning: the .htpasswd path \"" + Printable(htpasswd) +
                    "\" is not absolute: the server would look for it under its own folder; begin the FULL HOST "
                    "path with /");
  if (TrimView(settings.FtpServerPath) == kSampleServerPath)
    lines.push_back("  Warning: the FULL HOST path is still the sample " + std::string(kSampleServerPath) +
                    ": put the path of your account on the server there");
  // The folder the web directory's first step names is taken for the web
  // site's root (/public_html/ for /public_html/members/); a web directory
  // of / makes the whole FTP account the web site.
  if (settings.ToFtpServer) {
    const std::string web = WithSlash(settings.FtpWebDirectory);
    const std::size_t end = web.find('/', 1);
    const std::string site = end == std::string::npos ? web : web.substr(0, end + 1);
    const std::string folder = WithSlash(settings.AuthUserFile);
    if (folder.starts_with(site))
      lines.push_back("  Warning: .htpasswd goes into " + Printable(folder) + ", inside the web site " +
                      Printable(site) +
                      ": a server without the usual rule that hides .ht files hands it to anyone; put it in a folder "
                      "outside the web site");
  }
  const std::string_view page = TrimView(settings.RedirectErrorPage);
  if (settings.RedirectError && (StartsWithNoCase(page, "http://") || StartsWithNoCase(page, "https://")))
    lines.push_back(
        "  Warning: Apache cannot answer a wrong password with a full address as the error page (the browser would "
        "never ask for a password), so .htaccess shows it through a refresh line in the refusal: a visitor sees it "
        "after cancelling the password dialog, and without that line would only see the server's own refusal");
}

void PasswordWarnings(const std::vector<TUserList*>& written, HashFormat format, std::vector<std::string>& lines) {
  std::vector<std::string_view> cutShort, empty;
  bool hashedAsDes = false;
  for (const TUserList* user : written) {
    if (HashOnly(*user)) continue;
    if (user->Password.empty()) empty.push_back(user->UserName);
    if (format != HashFormat::Des) continue;
    hashedAsDes = true;
    // DES reads the first 8 bytes of a password and ignores the rest.
    if (user->Password.size() > 8) cutShort.push_back(user->UserName);
  }
  if (hashedAsDes)
    lines.push_back("  Warning: DES hashes are not accepted by Apache on Windows; bcrypt works on every Apache 2.4");
  if (!cutShort.empty())
    lines.push_back("  Warning: DES uses only the first 8 characters of the passwords of " + NameList(cutShort));
  if (!empty.empty()) lines.push_back("  Warning: users with an empty password: " + NameList(empty));
}

}  // namespace

std::vector<std::string> ProtectionWarnings(const std::vector<TUserList*>& written, const ProjectSettings& settings) {
  std::vector<std::string> lines;
  SettingsWarnings(settings, lines);
  PasswordWarnings(written, HashChoiceOf(settings).Format, lines);
  return lines;
}

}  // namespace pellora
