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

// Writes the whole project to path, replacing whatever file was there in one
// step (a failed save leaves the old file whole; a new file gets mode 0600; a
// link is followed to the file it leads to). Users are written as held, the
// text settings trimmed. False when the file cannot be written or is read-only.
bool SaveProjectFile(const std::string& path, const UserList& users, const ProjectSettings& settings);

// Appends the users of the file at path to users, in file order (no sorting,
// no duplicate test), and sets every field of settings to the value read or
// to its default as read from a file (AUTHUSERFILE, AUTHNAME and
// FTPSERVERPATH missing read as empty, unlike a new project). False, with
// nothing changed, when there is no readable file at path.
bool LoadProjectFile(const std::string& path, UserList& users, ProjectSettings& settings);

}  // namespace pellora
