#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/UserList.h"

namespace pellora {

// Adopting the users of an existing .htpasswd: each "name:hash" line becomes
// a user without a password whose hash is kept as it stands, so the server
// goes on admitting the same people after the next generation.
struct HtpasswdImport {
  std::size_t Added = 0;
  // Comments, blank lines, lines without ":", and lines too long, with
  // control characters or not UTF-8 (binary data).
  std::size_t Skipped = 0;
  // Names already in the project or earlier in the file.
  std::size_t Duplicates = 0;
  // Warnings and refusals in file order, the first kMaxImportMessages only.
  std::vector<std::string> Messages;
};

inline constexpr std::size_t kMaxImportMessages = 20;
// Longer than any hash a server writes with a name of any sane length.
inline constexpr std::size_t kMaxHtpasswdLine = 1024;

// Adds the users of text to users at their place by name. Lines end at
// CR LF, CR or LF; a UTF-8 byte-order mark is dropped.
HtpasswdImport ImportHtpasswd(std::string_view text, UserList& users);
// Reads the file at path once and imports it; nullopt when there is no
// readable file (the list is then unchanged).
std::optional<HtpasswdImport> ImportHtpasswdFile(const std::string& path, UserList& users);

// The counts as one line: "3 users imported, 2 lines skipped, 1 duplicate refused."
std::string ImportSummary(const HtpasswdImport& result);

}  // namespace pellora
