#pragma once
#include <optional>
#include <string>

#include "check/HttpCheck.h"
#include "cli/Args.h"
#include "cli/Project.h"

namespace pellora::cli {

// Each request of the check ends after this long unless check --timeout says otherwise.
inline constexpr int kCheckTimeoutMs = 10000;

// What the check of a project asks, from --url (else the project's
// CHECKURL), --user and --cacert; nothing, with the refusal
// printed, when it cannot ask: no address, one that is no http(s) address,
// or a --user the check cannot log in as.
std::optional<CheckInputs> CheckInputsFor(const Project& project, const Args& a);

// Runs the check with its lines on standard output and the diagnosis on
// standard error: 0 protected, 1 a problem, 3 the server not reached.
int RunCheck(const CheckInputs& inputs);

}  // namespace pellora::cli
