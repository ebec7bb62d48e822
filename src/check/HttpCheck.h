#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/Log.h"
#include "core/ProjectSettings.h"
#include "core/UserList.h"

namespace pellora {

// Whether the published folder is really protected, asked of the web server
// itself over HTTP: without credentials, as a member, as a disabled user and
// with a wrong password, and for the .htpasswd file when it may be served.

struct Credentials {
  std::string Name;
  std::string Password;
};

struct CheckInputs {
  std::string Url;                      // the protected folder, http or https
  std::string Realm;                    // the AuthName the .htaccess names, trimmed
  std::optional<Credentials> Member;    // must get in
  std::optional<Credentials> Disabled;  // must not get in
  // Where the .htpasswd would be served when it lies under the web folder.
  std::optional<std::string> HtpasswdUrl;
  std::string HtpasswdServerPath;  // the AuthUserFile of the .htaccess
  std::string CaFile;              // trusted authorities instead of the system's
  int TimeoutMs = 10000;           // per request
};

// The inputs for the project's users and settings: the first enabled user the
// generated file holds and whose password is known, the first disabled user
// whose name has no line of its own, and the .htpasswd address when the
// project's paths put that file into the folders the address serves.
CheckInputs CheckInputsOf(const UserList& users, const ProjectSettings& settings, std::string_view url);

enum class CheckOutcome { Protected, Problem, Unreachable, Stopped };

struct CheckResult {
  CheckOutcome Outcome = CheckOutcome::Unreachable;
  std::string Diagnosis;  // what is wrong in plain words; empty when protected
};

// Runs between the slices of every wait (at least every 100 ms), so the
// window can repaint; Stopped ends the check within a second.
struct CheckWait {
  std::function<void()> Pump;
  std::function<bool()> Stopped;
};

// One log line per step; stops at the first step that fails, adding its
// diagnosis to the log. No password reaches the log or the diagnosis.
CheckResult CheckProtection(const CheckInputs& inputs, LogSink& log, const CheckWait& wait = {});

}  // namespace pellora
