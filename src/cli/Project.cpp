#include "cli/Project.h"

#include "cli/Output.h"
#include "platform/Files.h"
#include "project/ProjectFile.h"

namespace pellora::cli {

bool OpenProject(const std::string& path, Project& project) {
  project.Path = path;
  // A folder would read as an empty project and then be written over.
  if (DirectoryExists(path) || !LoadProjectFile(path, project.Users, project.Settings)) {
    PrintError("Can't open project file " + path);
    return false;
  }
  return true;
}

bool SaveProject(const Project& project) {
  if (SaveProjectFile(project.Path, project.Users, project.Settings)) return true;
  PrintError("Can't save project as " + project.Path);
  return false;
}

}  // namespace pellora::cli
