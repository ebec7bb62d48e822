#pragma once
#include <filesystem>

#include "core/ProjectSettings.h"
#include "core/UserList.h"

namespace pellora {

// Whether the generated .htaccess and .htpasswd in folder (the working folder
// when empty) are what Generate would write for these users and settings now:
// the same .htaccess text, and in .htpasswd the same names in the same order,
// each hash still of the project's format and cost and matching its user's
// password. False when either file is
// missing or cannot be read.
bool GeneratedFilesUpToDate(const UserList& users, const ProjectSettings& settings,
                            const std::filesystem::path& folder = {});

}  // namespace pellora
