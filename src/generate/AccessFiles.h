#pragma once
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/HashFormat.h"
#include "core/Log.h"
#include "core/ProjectSettings.h"
#include "core/UserList.h"

namespace pellora {

// Generating answers with values: a Refusal before anything is written, then
// what was written, reported line by line to the log. Nothing here raises for
// what the files or the folder do.

inline constexpr const char* kHtaccessName = ".htaccess";
inline constexpr const char* kHtpasswdName = ".htpasswd";

// The checks Generate makes before it writes anything, in the order the
// operator meets them; the first one that fails is returned. After the
// missing-input checks, values that would make the server answer 500 for the
// whole folder are refused on the options page: a control character in the
// FULL HOST path or the .htpasswd path, an AuthName with a double quote, a
// backslash, "%{" or a control character, and, when the redirect box is
// ticked, an error page address with a double quote, "%{" or a control
// character.
std::optional<Refusal> CheckGenerate(const UserList& users, const ProjectSettings& settings);

// The directory that receives .htpasswd on the server: the trimmed FULL HOST
// path and the trimmed .htpasswd folder glued together with one trailing slash
// taken off each step. No separator is inserted between the two.
std::string AuthUserFileFolder(std::string_view serverPath, std::string_view authUserFile);

// The whole .htaccess text, CR LF line ends. The fields are trimmed here.
std::string BuildHtaccess(const ProjectSettings& settings);

// Turns one password into the hash written after the name and colon.
using PasswordHasher = std::function<std::string(std::string_view password)>;

// The format and cost a project's settings hash with: an unknown format is
// DES, a cost out of the format's range is clamped into it.
struct HashChoice {
  HashFormat Format = HashFormat::Des;
  long Cost = 0;
  bool UnknownFormat = false;  // PASSWORDHASH named no format
};
HashChoice HashChoiceOf(const ProjectSettings& settings);
// "des", "apr1", "bcrypt (cost 10)", "sha512 (rounds 5000)".
std::string DescribeHash(const HashChoice& choice);
// Hashes with the project's format and cost.
PasswordHasher HasherOf(const ProjectSettings& settings);

struct HtpasswdText {
  std::string Text;
  // One log line per enabled user left out, in list order, without a line end
  // of their own: the server could never match the name, or an earlier
  // enabled user has the same name, byte for byte, as the server compares.
  std::vector<std::string> LeftOut;
};

// One line per enabled user in list order, each password hashed afresh (with
// HashPassword unless another hasher is given); a name gets one line only.
HtpasswdText BuildHtpasswd(const UserList& users, const PasswordHasher& hash = {});

// Why the server could never match this name, or nullopt when it can.
std::optional<std::string> UnusableUserNameReason(std::string_view name);

// Writes .htaccess and .htpasswd into folder (the working folder when empty),
// hashed with the project's format unless another hasher is given,
// each replaced atomically, .htpasswd readable by its owner only (a link in
// the place of either is replaced, never written through), and reports
// to log: Clear, then one line per file ("* Generate .htaccess file ... OK!\r\n"
// or "... Error occurred!\r\n", the same for .htpasswd), then one line per
// user left out, then, for a project naming an unknown password hash, a
// line saying DES was used. Call it only after CheckGenerate found nothing; the caller
// sets up and shows the log window. True when both files were written.
bool WriteAccessFiles(const UserList& users, const ProjectSettings& settings, LogSink& log,
                      const std::filesystem::path& folder = {}, const PasswordHasher& hash = {});

// Where a generated file (kHtaccessName or kHtpasswdName) lies in folder (the
// working folder when empty), or nullopt when it has not been generated there.
std::optional<std::filesystem::path> GeneratedFile(std::string_view name, const std::filesystem::path& folder = {});

// What a preview of a file that was never generated shows: the message box
// first, then the focus moves to the Generate button of the page in view.
Refusal PreviewRefusal();

}  // namespace pellora
