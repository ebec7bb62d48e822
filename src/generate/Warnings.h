#pragma once
#include <string>
#include <vector>

#include "core/ProjectSettings.h"
#include "core/UserList.h"

namespace pellora {

// What weakens the protection a project gives, in plain words, one log line
// each ("  Warning: ..."): first what the settings put in the wrong place
// (a .htpasswd path that is not absolute, the sample FULL HOST path, a
// .htpasswd inside the web site, an error page given as a full address),
// then what the passwords lack (DES itself, passwords longer than the 8
// characters DES counts, empty passwords). written: the users .htpasswd
// gets (WrittenUsers). Users are named, passwords never; nothing here is a
// refusal.
std::vector<std::string> ProtectionWarnings(const std::vector<TUserList*>& written, const ProjectSettings& settings);

}  // namespace pellora
