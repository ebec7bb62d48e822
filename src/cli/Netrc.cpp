#include "cli/Netrc.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "cli/Output.h"
#include "core/Text.h"
#include "platform/Files.h"
#include "project/Netrc.h"

namespace pellora::cli {

namespace {

std::string ModeText(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

}  // namespace

bool FillFromNetrc(ProjectSettings& settings, const std::optional<std::string>& file) {
  const std::string host = Trim(settings.FtpHost);
  const std::string user = Trim(settings.FtpUser);
  // Without a host the upload's own check says what is missing.
  if (host.empty() || (!user.empty() && !Trim(settings.FtpPassword).empty())) return true;
  std::string path;
  if (file) {
    path = *file;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return true;
    path = std::string(home) + "/.netrc";
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    // Nobody has to have a ~/.netrc; a file named on the command line must be there.
    if (!file && errno == ENOENT) return true;
    PrintError("Can't read the .netrc file " + path);
    return false;
  }
  if (st.st_mode & 077) {
    PrintError("The .netrc file " + path + " is open to other users (mode " + ModeText(st.st_mode) +
               "): make it private with chmod 600, or fill in the project's FTP user and password.");
    return false;
  }
  std::string text;
  if (!S_ISREG(st.st_mode) || !ReadWholeFile(path, text)) {
    PrintError("Can't read the .netrc file " + path);
    return false;
  }
  const std::optional<NetrcEntry> entry = FindNetrcEntry(ParseNetrc(text), host, user);
  if (!entry) return true;
  if (user.empty() && entry->Login) settings.FtpUser = *entry->Login;
  if (Trim(settings.FtpPassword).empty() && entry->Password) settings.FtpPassword = *entry->Password;
  return true;
}

}  // namespace pellora::cli
