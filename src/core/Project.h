#pragma once
#include <string>
#include <string_view>

#include "core/ProjectSettings.h"
#include "core/UserList.h"

namespace pellora {

inline constexpr const char* kUntitled = "Untitled";

// One open project: its users, its settings and the state no project file
// stores. The window and the command line both work on one of these.
struct Project {
  UserList Users;
  ProjectSettings Settings;
  std::string FileName = kUntitled;
  bool Untitled = true;
  bool Modified = false;
};

// Why a new user may not join the list, in the order the checks run: the
// name and the password must be left after trimming, and no user of the
// list may have that name already.
enum class NewUserProblem { None, NoName, NoPassword, NameTaken };
NewUserProblem CheckNewUser(const UserList& users, const TUserList& user);

// The refusal of a name that another user of the list has.
std::string NameTakenText(std::string_view name);

}  // namespace pellora
