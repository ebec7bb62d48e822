// The commands that read or change the user list of a project.
#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "cli/Project.h"
#include "core/Collation.h"
#include "core/Random.h"
#include "core/Series.h"
#include "core/Text.h"
#include "platform/Files.h"
#include "project/Csv.h"
#include "project/Htpasswd.h"
#include "project/TextEncoding.h"

namespace pellora::cli {

namespace {

constexpr int kMinCount = 1;
constexpr int kMaxCount = 4096;  // the series dialog's range
constexpr int kMinLength = 1;
constexpr int kMaxLength = 255;

// A project field as one tab-separated column: a tab or line break inside a
// name would otherwise forge a column or a whole user for a script that
// reads the list, so control characters are shown as \xNN.
std::string Column(std::string_view text) { return Printable(text); }

constexpr const char* kNoName = "A user needs a name.";
std::string MissingMessage(const std::string& name) { return "The User " + name + " does not exist!"; }

// remove, enable and disable: every user of that name, since a second user
// of the same name (imported, or from a hand-edited project) left enabled
// would still log in after a "disable".
int ChangeUsers(const std::vector<std::string>& args, int (*change)(UserList&, TUserList&)) {
  Args a(args, {});
  a.Expect({"PROJECT", "NAME"});
  Project project;
  if (!OpenProject(a.Positional()[0], project)) return kExitRefused;
  const std::string name = Trim(a.Positional()[1]);
  std::vector<TUserList*> found;
  if (project.Users.FindUser(name))
    for (TUserList& user : project.Users)
      if (CompareUserNames(user.UserName, name) == 0) found.push_back(&user);
  if (found.empty()) return Refuse(MissingMessage(name));
  int changed = 0;
  for (TUserList* user : found) changed += change(project.Users, *user);
  if (changed == 0) return kExitDone;
  return SaveProject(project) ? kExitDone : kExitRefused;
}

}  // namespace

int CmdUsers(const std::vector<std::string>& args) {
  Args a(args, {{"--enabled", false}, {"--disabled", false}});
  a.Expect({"PROJECT"});
  a.AtMostOne({"--enabled", "--disabled"});
  Project project;
  if (!OpenProject(a.Positional()[0], project)) return kExitRefused;
  std::string out;
  for (const TUserList& user : project.Users) {
    if (a.Has("--enabled") && user.Disabled) continue;
    if (a.Has("--disabled") && !user.Disabled) continue;
    out += Column(user.UserName) + '\t' + (user.Disabled ? "Disabled" : "Enabled") + '\t' + Column(user.Email) + '\t' +
           Column(user.FullName);
    // A column of its own, after the four of every line, so that scripts
    // reading the four see the same lines as before.
    if (HashOnly(user)) out += "\t(hash only)";
    out += '\n';
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return kExitDone;
}

int CmdUserAdd(const std::vector<std::string>& args) {
  Args a(args,
         {{"--password-stdin", false},
          {"--random", false},
          {"--disabled", false},
          {"--email", true},
          {"--full-name", true},
          {"--notes", true}},
         Secrets::StrayArguments);
  a.Expect({"PROJECT", "NAME"});
  a.AtMostOne({"--password-stdin", "--random"});
  if (!a.Has("--password-stdin") && !a.Has("--random")) throw UsageError("user add needs --password-stdin or --random");

  Project project;
  if (!OpenProject(a.Positional()[0], project)) return kExitRefused;

  TUserList user;
  user.UserName = Trim(a.Positional()[1]);
  // A missing name is refused before a password is asked for.
  if (CheckNewUser(project.Users, user) == NewUserProblem::NoName) return Refuse(kNoName);
  std::string password;
  if (a.Has("--random")) {
    password = RandomString(0, 0, 0);
  } else if (!ReadSecretLine(password, "Password: ")) {
    return Refuse("Can't read the password from standard input.");
  }
  user.Password = Trim(password);
  switch (CheckNewUser(project.Users, user)) {
    case NewUserProblem::None: break;
    case NewUserProblem::NoName: return Refuse(kNoName);
    case NewUserProblem::NoPassword: return Refuse("A user needs a password.");
    case NewUserProblem::NameTaken: return Refuse(NameTakenText(user.UserName));
  }

  user.Disabled = a.Has("--disabled");
  user.Email = Trim(a.Value("--email").value_or(""));
  user.FullName = Trim(a.Value("--full-name").value_or(""));
  user.Notes = Trim(a.Value("--notes").value_or(""));
  project.Users.InsertSorted(std::move(user));
  if (!SaveProject(project)) return kExitRefused;
  if (a.Has("--random")) PrintLine(password);
  return kExitDone;
}

int CmdUserRemove(const std::vector<std::string>& args) {
  return ChangeUsers(args, [](UserList& users, TUserList& user) {
    users.UnlinkUser(&user);
    return 1;
  });
}

int CmdUserEnable(const std::vector<std::string>& args) {
  return ChangeUsers(args, [](UserList&, TUserList& user) {
    const int changed = user.Disabled ? 1 : 0;
    user.Disabled = false;
    return changed;
  });
}

int CmdUserDisable(const std::vector<std::string>& args) {
  return ChangeUsers(args, [](UserList&, TUserList& user) {
    const int changed = user.Disabled ? 0 : 1;
    user.Disabled = true;
    return changed;
  });
}

int CmdSeries(const std::vector<std::string>& args) {
  Args a(args, {{"--user-length", true},
                {"--password-length", true},
                {"--chars", true},
                {"--case", true},
                {"--user-chars", true},
                {"--user-case", true},
                {"--password-chars", true},
                {"--password-case", true}});
  a.Expect({"PROJECT", "COUNT"});
  const std::vector<const char*> classes{"random", "numeral", "letter"};
  const std::vector<const char*> cases{"random", "upper", "lower"};
  auto number = [&a](const char* option, int fallback) {
    auto value = a.Value(option);
    return value ? ParseInteger(*value, option) : fallback;
  };
  // --chars and --case set names and passwords alike; the --user- and
  // --password- forms set one side, as the two groups of the dialog do.
  auto choice = [&a](const char* specific, const char* both, const std::vector<const char*>& words) {
    if (auto value = a.Value(specific)) return ParseChoice(*value, words, specific);
    if (auto value = a.Value(both)) return ParseChoice(*value, words, both);
    return 0;
  };
  SeriesSettings settings;
  settings.Count = ParseInteger(a.Positional()[1], "COUNT");
  settings.UserLength = number("--user-length", 6);
  settings.PasswordLength = number("--password-length", 6);
  settings.UserChars = choice("--user-chars", "--chars", classes);
  settings.UserCase = choice("--user-case", "--case", cases);
  settings.PasswordChars = choice("--password-chars", "--chars", classes);
  settings.PasswordCase = choice("--password-case", "--case", cases);

  if (settings.Count < kMinCount || settings.Count > kMaxCount)
    return Refuse("COUNT must be from " + std::to_string(kMinCount) + " to " + std::to_string(kMaxCount) + ", not " +
                  a.Positional()[1] + ".");
  for (auto [value, name] :
       {std::pair{settings.UserLength, "--user-length"}, std::pair{settings.PasswordLength, "--password-length"}})
    if (value < kMinLength || value > kMaxLength)
      return Refuse(std::string(name) + " must be from " + std::to_string(kMinLength) + " to " +
                    std::to_string(kMaxLength) + ", not " + std::to_string(value) + ".");

  Project project;
  if (!OpenProject(a.Positional()[0], project)) return kExitRefused;
  std::unordered_set<const TUserList*> before;
  for (const TUserList& user : project.Users) before.insert(&user);

  // In slices, so that a terminal sees how far a long series got; each slice
  // counts the names of the earlier ones as taken, as one series does.
  Progress progress;
  constexpr int kSlice = 256;
  int added = 0;
  while (added < settings.Count) {
    SeriesSettings slice = settings;
    slice.Count = std::min(kSlice, settings.Count - added);
    const int made = static_cast<int>(CreateSeries(project.Users, slice));
    added += made;
    progress.Count("Creating users", static_cast<std::size_t>(added), static_cast<std::size_t>(settings.Count));
    if (made < slice.Count) break;
  }
  progress.Clear();
  if (added > 0 && !SaveProject(project)) return kExitRefused;

  // The new users with their passwords: the only place a script learns them.
  std::string out;
  for (const TUserList& user : project.Users)
    if (!before.count(&user)) out += user.UserName + '\t' + user.Password + '\n';
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);

  if (added < settings.Count) return Refuse(ShortSeriesText(static_cast<std::size_t>(added), settings.Count));
  return kExitDone;
}

int CmdImportCsv(const std::vector<std::string>& args) {
  Args a(args, {});
  a.Expect({"PROJECT", "FILE.csv"});
  const std::string& csvPath = a.Positional()[1];
  Project project;
  if (!OpenProject(a.Positional()[0], project)) return kExitRefused;

  std::string bytes;
  if (!FileExists(csvPath) || DirectoryExists(csvPath) || !ReadWholeFile(csvPath, bytes))
    return Refuse("Can't open CSV file " + csvPath);
  std::string text = DecodeFileText(bytes);
  bytes.clear();
  if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);

  // Pieces that end at a line feed import exactly as the whole text would,
  // and let a terminal see the progress of a large file.
  Progress progress;
  constexpr std::size_t kPiece = 256 * 1024;
  std::size_t added = 0;
  std::string_view rest = text;
  while (!rest.empty()) {
    std::size_t end = rest.size();
    if (end > kPiece) {
      const std::size_t lf = rest.find('\n', kPiece);
      if (lf != std::string_view::npos) end = lf + 1;
    }
    added += ImportCsv(rest.substr(0, end), project.Users);
    rest.remove_prefix(end);
    progress.Show("Importing users: " + std::to_string(added) + " (" +
                  std::to_string((text.size() - rest.size()) * 100 / text.size()) + "%)");
  }
  progress.Clear();
  if (added == 0) return kExitDone;
  return SaveProject(project) ? kExitDone : kExitRefused;
}

int CmdImportHtpasswd(const std::vector<std::string>& args) {
  Args a(args, {});
  a.Expect({"PROJECT", "FILE"});
  const std::string& path = a.Positional()[1];
  Project project;
  if (!OpenProject(a.Positional()[0], project)) return kExitRefused;
  const std::optional<HtpasswdImport> result = ImportHtpasswdFile(path, project.Users);
  if (!result) return Refuse("Can't open .htpasswd file " + path);
  for (const std::string& message : result->Messages) PrintError(message);
  PrintLine(ImportSummary(*result));
  if (result->Added == 0) return kExitDone;
  return SaveProject(project) ? kExitDone : kExitRefused;
}

int CmdExportCsv(const std::vector<std::string>& args) {
  Args a(args, {});
  a.Expect({"PROJECT", "FILE.csv"});
  Project project;
  if (!OpenProject(a.Positional()[0], project)) return kExitRefused;
  const std::string& csvPath = a.Positional()[1];
  if (DirectoryExists(csvPath) || !ExportCsvFile(csvPath, project.Users))
    return Refuse("Can't write CSV file " + csvPath);
  return kExitDone;
}

}  // namespace pellora::cli
