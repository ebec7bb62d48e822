#include "project/Htpasswd.h"

#include <algorithm>

#include "core/Project.h"
#include "core/Text.h"
#include "platform/Files.h"
#include "project/TextEncoding.h"

namespace pellora {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// The forms a server reads as a hash on every system; anything else is read
// as a traditional crypt hash or, on Windows and NetWare, as the password
// itself.
bool IsCryptHash(std::string_view hash) {
  for (std::string_view magic : {"$2y$", "$2a$", "$2b$", "$apr1$", "$1$", "$5$", "$6$"})
    if (StartsWith(hash, magic)) return true;
  if (hash.size() != 13) return false;
  for (char c : hash)
    if (!(c == '.' || c == '/' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
      return false;
  return true;
}

void Note(HtpasswdImport& result, std::string text) {
  if (result.Messages.size() < kMaxImportMessages) result.Messages.push_back(std::move(text));
}

}  // namespace

HtpasswdImport ImportHtpasswd(std::string_view text, UserList& users) {
  HtpasswdImport result;
  if (StartsWith(text, "\xEF\xBB\xBF")) text.remove_prefix(3);
  while (!text.empty()) {
    std::size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    if (end == std::string_view::npos) end = text.size();
    else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    text.remove_prefix(std::min(end + 1, text.size()));

    line = TrimView(line);  // as the server reads its lines
    const std::size_t colon = line.find(':');
    if (line.empty() || line[0] == '#' || colon == std::string_view::npos || line.size() > kMaxHtpasswdLine ||
        HasControl(line) || !IsValidUtf8(line)) {
      ++result.Skipped;
      continue;
    }
    TUserList user;
    user.UserName = Trim(line.substr(0, colon));
    user.Hash = std::string(line.substr(colon + 1));
    // A name that begins with a byte-order mark would lose it when the file is
    // read again with that name on its first line.
    if (user.UserName.empty() || user.Hash.empty() || StartsWith(user.UserName, "\xEF\xBB\xBF")) {
      ++result.Skipped;
      continue;
    }
    if (users.FindUser(user.UserName)) {
      ++result.Duplicates;
      Note(result, NameTakenText(user.UserName));
      continue;
    }
    if (StartsWith(user.Hash, "{SHA}"))
      Note(result, "The User " + user.UserName + " has an unsalted {SHA} hash: kept as it is until a password is set.");
    else if (!IsCryptHash(user.Hash))
      Note(result, "The User " + user.UserName +
                       " has a plain-text password: Apache reads it as plain text on Windows and NetWare only, "
                       "elsewhere it never matches; kept as it is until a password is set.");
    users.InsertSorted(std::move(user));
    ++result.Added;
  }
  return result;
}

std::optional<HtpasswdImport> ImportHtpasswdFile(const std::string& path, UserList& users) {
  std::string bytes;
  if (!FileExists(path) || DirectoryExists(path) || !ReadWholeFile(path, bytes)) return std::nullopt;
  return ImportHtpasswd(bytes, users);
}

std::string ImportSummary(const HtpasswdImport& result) {
  auto count = [](std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
  };
  return count(result.Added, "user imported, ", "users imported, ") +
         count(result.Skipped, "line skipped, ", "lines skipped, ") +
         count(result.Duplicates, "duplicate refused.", "duplicates refused.");
}

}  // namespace pellora
