#pragma once
#include <string>

#include "core/ProjectSettings.h"
#include "core/UserList.h"

namespace pellora {

// Reading and writing project and CSV files answers with a value (false when
// a file cannot be read or written) and never raises for what a file holds.

// Project files (.htp and config.htp): INI text with one section per user,
// "USER0", "USER1", ... in list order, then "GENERAL" with "USERCOUNT" and
// the settings, each under the key and with the default its row of the
// table of settings gives.

// The last-state file (config.htp) may stand for a named project: it then
// holds that project's file and whether the state it keeps has changes the
// project's file lacks, under GENERAL keys other builds ignore.
struct LastState {
  std::string ProjectFile;  // empty: the last state is a project of its own
  bool Modified = false;
};

// Writes the whole project to path, replacing whatever file was there in one
// step (a failed save leaves the old file whole; a new file gets mode 0600; a
// link is followed to the file it leads to). Users are written as held, the
// text settings trimmed. False when the file cannot be written or is read-only.
// With a state naming a project, its two keys follow the settings.
bool SaveProjectFile(const std::string& path, const UserList& users, const ProjectSettings& settings,
                     const LastState* state = nullptr);

// Appends the users of the file at path to users, in file order (no sorting,
// no duplicate test), and sets every field of settings to the value read or
// to its default as read from a file (AUTHUSERFILE, AUTHNAME and
// FTPSERVERPATH missing read as empty, unlike a new project). False, with
// nothing changed, when there is no readable file at path. With a state, the
// last-state keys are read into it too.
bool LoadProjectFile(const std::string& path, UserList& users, ProjectSettings& settings, LastState* state = nullptr);

}  // namespace pellora
