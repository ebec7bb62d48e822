#pragma once
#include <string>

#include "core/Project.h"

namespace pellora::cli {

// Loads the project file at path; on failure reports it on standard error
// with the desktop program's text and returns false.
bool OpenProject(const std::string& path, Project& project);

// Writes the project back over its file in one step (a failed write leaves
// the old file whole); on failure reports it and returns false.
bool SaveProject(const Project& project);

}  // namespace pellora::cli
