// check: whether the published folder is protected, asked of the web server
// itself; with --offline, what generate warns about.
#include "cli/CheckCommands.h"

#include "cli/Commands.h"
#include "cli/Output.h"
#include "core/Text.h"
#include "generate/AccessFiles.h"
#include "generate/Warnings.h"

namespace pellora::cli {

namespace {

constexpr int kMaxCheckSeconds = 600;

// Whether --user names a user the check can log in as.
std::optional<std::string> RefuseMember(const Project& project, const std::string& name, CheckInputs& inputs) {
  std::vector<std::string> leftOut;
  for (const TUserList* user : WrittenUsers(project.Users, leftOut)) {
    if (user->UserName != name) continue;
    if (HashOnly(*user))
      return "The user " + Printable(name) + " has no password the project knows: it cannot be checked.";
    inputs.Member = Credentials{user->UserName, user->Password};
    return std::nullopt;
  }
  return "The user " + Printable(name) +
         " has no line in .htpasswd (unknown, disabled or left out): it cannot be checked.";
}

}  // namespace

std::optional<CheckInputs> CheckInputsFor(const Project& project, const Args& a) {
  ProjectSettings settings = project.Settings;
  if (auto url = a.Value("--url")) settings.CheckUrl = Trim(*url);
  for (auto refused : {RefuseMissing(settings, Field::CheckUrl), RefuseValue(settings, Field::CheckUrl)}) {
    if (!refused) continue;
    Refuse(*refused);
    return std::nullopt;
  }
  CheckInputs inputs = CheckInputsOf(project.Users, settings, Trim(settings.CheckUrl));
  if (auto user = a.Value("--user")) {
    if (std::optional<std::string> refused = RefuseMember(project, *user, inputs)) {
      Refuse(*refused);
      return std::nullopt;
    }
  }
  inputs.CaFile = a.Value("--cacert").value_or("");
  inputs.TimeoutMs = kCheckTimeoutMs;
  return inputs;
}

int RunCheck(const CheckInputs& inputs) {
  StdoutLog log;
  const CheckResult result = CheckProtection(inputs, log);
  switch (result.Outcome) {
    case CheckOutcome::Protected: return kExitDone;
    case CheckOutcome::Problem: PrintError("pellora-cli: " + result.Diagnosis); return kExitRefused;
    case CheckOutcome::Unreachable:
    case CheckOutcome::Stopped: PrintError("pellora-cli: " + result.Diagnosis); return kExitServer;
  }
  return kExitServer;
}

int CmdCheck(const std::vector<std::string>& args) {
  Args a(args, {{"--url", true}, {"--user", true}, {"--offline", false}, {"--cacert", true}, {"--timeout", true}});
  a.Expect({"PROJECT"});
  Project project;
  if (!OpenProject(a.Positional()[0], project)) return kExitRefused;
  if (a.Has("--offline")) {
    // What generate would warn about, without a request: a problem each.
    std::vector<std::string> leftOut;
    const std::vector<TUserList*> written = WrittenUsers(project.Users, leftOut);
    std::vector<std::string> lines = ProtectionWarnings(written, project.Settings);
    lines.insert(lines.end(), leftOut.begin(), leftOut.end());
    for (const std::string& line : lines) PrintLine(TrimView(line));
    return lines.empty() ? kExitDone : kExitRefused;
  }
  std::optional<CheckInputs> inputs = CheckInputsFor(project, a);
  if (!inputs) return kExitRefused;
  if (auto value = a.Value("--timeout")) {
    const int seconds = ParseInteger(*value, "--timeout");
    if (seconds < 1 || seconds > kMaxCheckSeconds)
      throw UsageError("--timeout must be from 1 to " + std::to_string(kMaxCheckSeconds) + " seconds");
    inputs->TimeoutMs = seconds * 1000;
  }
  return RunCheck(*inputs);
}

}  // namespace pellora::cli
