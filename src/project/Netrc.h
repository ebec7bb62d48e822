#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// The credentials file of ftp and curl (~/.netrc). Its text is tokens
// separated by blanks and line ends:
// - "machine NAME" or "default" starts an entry; "login NAME",
//   "password TEXT" and "account TEXT" fill the entry they follow, and any
//   other word is passed over;
// - "macdef NAME" starts a macro, which runs to the next empty line and is
//   skipped whole;
// - a token that begins with "#" starts a comment to the end of the line;
// - a token in double quotes may hold blanks, and \" \\ \n \r \t inside it
//   stand for the characters they name.
struct NetrcEntry {
  std::string Machine;  // empty for a default entry
  bool Default = false;
  std::optional<std::string> Login;
  std::optional<std::string> Password;

  bool operator==(const NetrcEntry&) const = default;
};

// Every entry of text, in file order; text that is not a well-formed file
// gives the entries it could make out.
std::vector<NetrcEntry> ParseNetrc(std::string_view text);

// The entry for an FTP login to host: the first machine entry of that name
// (without regard to case), else the first default entry; when user is
// filled in, only entries with that login or with none count.
std::optional<NetrcEntry> FindNetrcEntry(const std::vector<NetrcEntry>& entries, std::string_view host,
                                         std::string_view user);

}  // namespace pellora
