#pragma once
#include <optional>
#include <string>

#include "core/ProjectSettings.h"

namespace pellora::cli {

// Fills the project's FTP user and password, where they are empty, from the
// credentials file (file, else ~/.netrc when there is one) entry for the
// project's host. A file that other users may read or change is refused, as
// ftp refuses it. False, after saying why, when the file cannot be used.
bool FillFromNetrc(ProjectSettings& settings, const std::optional<std::string>& file);

}  // namespace pellora::cli
