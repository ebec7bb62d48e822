// new, show and set: a project made and changed without the desktop program.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Project.h"
#include "core/Text.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "project/ProjectFile.h"
#include "project/TextEncoding.h"

namespace pellora::cli {

namespace fs = std::filesystem;

namespace {

// The one setting that is shown masked and never taken from an argument,
// where other users of the machine would read it.
constexpr Field kSecret = Field::FtpPassword;

bool SameKey(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
  });
}

const SettingRow* FindRow(std::string_view key) {
  for (const SettingRow& row : SettingRows())
    if (SameKey(key, row.Key)) return &row;
  return nullptr;
}

// Why value (trimmed) cannot be stored under row, or nothing. The row's own
// check comes first, so a refusal the desktop program also makes carries its
// text; the rest keeps the project file readable as written: a value is one
// line of UTF-8 text, and a longer one than a read keeps would come back cut.
std::optional<std::string> RefuseSetting(const SettingRow& row, std::string_view value) {
  const std::string key = row.Key;
  if (row.Flag) {
    if (value == "0" || value == "1") return std::nullopt;
    return key + " is a flag: its value is 0 or 1.";
  }
  if (row.Check)
    if (std::optional<std::string> refused = row.Check(value)) return refused;
  if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
    return "The value of " + key + " must not hold a line break or a NUL character.";
  if (!IsValidUtf8(value)) return "The value of " + key + " is not UTF-8 text.";
  if (CountCharacters(value) > IniFile::kMaxValueLength)
    return "The value of " + key + " is longer than " + std::to_string(IniFile::kMaxValueLength) +
           " characters, the most a project file keeps.";
  return std::nullopt;
}

// Writes the project to a hidden file beside path, then gives it path's
// name only if no file has that name: whatever appears there meanwhile is
// never written over, and an interrupted run leaves no half-written project.
int CreateProject(const std::string& path) {
  const std::string failed = "Can't save project as " + path;
  const std::string taken = "The file " + path + " already exists; new never writes over a file.";
  const fs::path target(path);
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  if (!DirectoryExists(folder)) return Refuse(failed + "\n(there is no folder " + folder.string() + ")");
  std::error_code ec;
  if (fs::symlink_status(target, ec).type() != fs::file_type::not_found) return Refuse(taken);
  std::string temporary = (folder / ("." + target.filename().string() + ".new.XXXXXX")).string();
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    if (errno == EACCES || errno == EROFS || errno == EPERM)
      return Refuse(failed + "\n(the folder " + folder.string() + " may not be written to)");
    return Refuse(failed);
  }
  ::close(fd);
  bool ok = SaveProjectFile(temporary, UserList{}, ProjectSettings{});
  int linkError = 0;
  if (ok && ::link(temporary.c_str(), path.c_str()) != 0) {
    linkError = errno;
    // A file system without hard links: the name is taken by a rename,
    // after one more look for a file of that name.
    ok = linkError != EEXIST && !fs::exists(fs::symlink_status(target, ec)) &&
         ::rename(temporary.c_str(), path.c_str()) == 0;
  }
  ::unlink(temporary.c_str());
  if (linkError == EEXIST) return Refuse(taken);
  return ok ? kExitDone : Refuse(failed);
}

}  // namespace

int CmdNew(const std::vector<std::string>& args) {
  Args a(args, {});
  a.Expect({"PROJECT"});
  return CreateProject(a.Positional()[0]);
}

int CmdShow(const std::vector<std::string>& args) {
  Args a(args, {});
  a.Expect({"PROJECT"});
  Project project;
  if (!OpenProject(a.Positional()[0], project)) return kExitRefused;
  std::string out;
  for (const SettingRow& row : SettingRows()) {
    std::string value = row.Text ? Printable(project.Settings.*row.Text) : project.Settings.*row.Flag ? "1" : "0";
    if (row.OnlyWhenChosen && value == row.FileDefault) continue;
    if (row.Id == kSecret && !value.empty()) value = "********";
    out += std::string(row.Key) + '=' + value + '\n';
  }
  out += "USERCOUNT=" + std::to_string(project.Users.CountUsers()) + '\n';
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return kExitDone;
}

int CmdSet(const std::vector<std::string>& args) {
  Args a(args, {{"--ftp-password-stdin", false}});
  const std::vector<std::string>& words = a.Positional();
  if (words.empty()) throw UsageError("missing PROJECT");
  const bool password = a.Has("--ftp-password-stdin");
  if (words.size() == 1 && !password) throw UsageError("missing NAME (or --ftp-password-stdin)");
  std::vector<std::pair<const SettingRow*, std::string>> changes;
  for (std::size_t i = 1; i < words.size(); i += 2) {
    const SettingRow* row = FindRow(words[i]);
    if (!row) throw UsageError("unknown setting '" + Printable(words[i]) + "'");
    // The value that follows is not repeated: it may be the password.
    if (row->Id == kSecret) throw UsageError("the FTP password is read from standard input: --ftp-password-stdin");
    if (i + 1 == words.size()) throw UsageError(std::string("missing VALUE after ") + row->Key);
    changes.emplace_back(row, words[i + 1]);
  }

  Project project;
  if (!OpenProject(words[0], project)) return kExitRefused;
  if (password) {
    std::string secret;
    if (!ReadSecretLine(secret, "FTP password: ")) return Refuse("Can't read the password from standard input.");
    changes.emplace_back(RowOf(kSecret), std::move(secret));
  }
  const ProjectSettings before = project.Settings;
  for (const auto& [row, given] : changes) {
    const std::string value = Trim(given);
    if (std::optional<std::string> refused = RefuseSetting(*row, value)) return Refuse(*refused);
    if (row->Flag) project.Settings.*row->Flag = value == "1";
    else project.Settings.*row->Text = value;
  }
  // A cost is fitted to the format it ends up with, whichever of the two was given.
  const bool hashChanged = std::ranges::any_of(changes, [](const auto& change) {
    return change.first->Id == Field::PasswordHash || change.first->Id == Field::HashCost;
  });
  if (hashChanged)
    if (std::optional<std::string> note = ClampHashCost(project.Settings)) PrintError(*note);
  if (project.Settings == before) return kExitDone;
  return SaveProject(project) ? kExitDone : kExitRefused;
}

}  // namespace pellora::cli
