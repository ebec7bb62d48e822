#pragma once
#include <filesystem>
#include <string>

namespace pellora {

// The per-user folder that holds config.htp and the generated files:
// $XDG_DATA_HOME (when set and absolute, else $HOME/.local/share, else the
// account's home from the password database) + "Quarnet Software/Pellora/",
// always ending with the separator. Created with mode 0700 when missing;
// a failure to create it is not reported here.
std::string WorkingFolder();

// The working folder without its trailing separator, joined with name
// (".htaccess", ".htpasswd").
std::filesystem::path WorkingFile(const std::string& name);

}  // namespace pellora
