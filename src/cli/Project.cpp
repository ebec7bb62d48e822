#include "cli/Project.h"

#include "cli/Output.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "project/ProjectFile.h"
#include "project/TextEncoding.h"

namespace pellora::cli {

namespace {

// Every project file has its GENERAL section. A file without one reads as
// an empty project, and a command that then wrote it back would destroy
// whatever the file really was: a CSV file given in the project's place, or
// the project and CSV arguments swapped.
bool LooksLikeProject(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  IniFile ini;
  ini.Parse(DecodeFileText(bytes));
  return ini.HasSection("GENERAL");
}

}  // namespace

bool OpenProject(const std::string& path, Project& project) {
  project.FileName = path;
  project.Untitled = false;
  if (DirectoryExists(path) || !LoadProjectFile(path, project.Users, project.Settings)) {
    PrintError("Can't open project file " + path);
    return false;
  }
  if (!LooksLikeProject(path)) {
    PrintError("Can't open project file " + path + "\n(it has no [GENERAL] section, so it is no project file)");
    return false;
  }
  return true;
}

bool SaveProject(const Project& project) {
  if (SaveProjectFile(project.FileName, project.Users, project.Settings)) return true;
  PrintError("Can't save project as " + project.FileName);
  return false;
}

}  // namespace pellora::cli
