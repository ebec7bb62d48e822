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
#include "generate/HashPool.h"
#include "generate/Hashes.h"

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

struct HtpasswdText {
  std::string Text;
  // One log line per enabled user left out, in list order, without a line end
  // of their own: the server could never match the name, or an earlier
  // enabled user has the same name, byte for byte, as the server compares.
  std::vector<std::string> LeftOut;
};

// The enabled users that get a line of .htpasswd, in list order; a log line
// for each enabled user left out goes to leftOut.
std::vector<TUserList*> WrittenUsers(const UserList& users, std::vector<std::string>& leftOut);

// Whether the hash a user keeps from an earlier generation can be written
// again: made by this program from this very password, in this format and cost.
bool KeptHashFits(const TUserList& user, const HashChoice& choice);

// One line per enabled user in list order, each password hashed afresh (with
// HashPassword unless another hasher is given); a name gets one line only.
HtpasswdText BuildHtpasswd(const UserList& users, const PasswordHasher& hash = {});

// Why the server could never match this name, or nullopt when it can.
std::optional<std::string> UnusableUserNameReason(std::string_view name);

// What a generation is given besides the users and the settings.
struct GenerateOptions {
  std::filesystem::path Folder;  // the working folder when empty
  // Hashes instead of the project's format; nothing is then kept or reused.
  PasswordHasher Hash = {};
  HashRun Progress = {};  // hears how the hashing goes, and may stop it
  // Takes each warning about the passwords; without it they go to the log.
  std::function<void(std::string_view line)> Warn = {};
};

struct Generated {
  bool Written = false;        // both files were written
  bool Stopped = false;        // stopped while hashing: no file was touched
  bool KeptNewHashes = false;  // users keep hashes made now: the project changed
};

// Writes .htaccess and .htpasswd into the folder, each replaced atomically,
// .htpasswd readable by its owner only (a link in the place of either is
// replaced, never written through). Every password is hashed before either
// file is touched, on every core; a user keeps the hash made for it (not
// for DES, which is always made afresh), and a later generation writes that
// hash again as long as the password, the format and the cost are the same.
// Reports to log: Clear, then one line per file ("* Generate .htaccess file
// ... OK!\r\n" or "... Error occurred!\r\n", the same for .htpasswd), then
// the warnings about the passwords (DES, passwords DES cuts short, empty
// passwords; nothing is refused for them), then one line per user left out,
// then, for a project naming an unknown password hash, a line saying DES was
// used. A stopped run logs one line instead. Call it only after
// CheckGenerate found nothing; the caller sets up and shows the log window.
Generated WriteAccessFiles(UserList& users, const ProjectSettings& settings, LogSink& log,
                           const GenerateOptions& options = {});

// Where a generated file (kHtaccessName or kHtpasswdName) lies in folder (the
// working folder when empty), or nullopt when it has not been generated there.
std::optional<std::filesystem::path> GeneratedFile(std::string_view name, const std::filesystem::path& folder = {});

// What a preview of a file that was never generated shows: the message box
// first, then the focus moves to the Generate button of the page in view.
Refusal PreviewRefusal();

}  // namespace pellora
