#include "core/Project.h"

#include "core/Text.h"

namespace pellora {

NewUserProblem CheckNewUser(const UserList& users, const TUserList& user) {
  if (TrimView(user.UserName).empty()) return NewUserProblem::NoName;
  if (TrimView(user.Password).empty()) return NewUserProblem::NoPassword;
  if (users.FindUser(user.UserName)) return NewUserProblem::NameTaken;
  return NewUserProblem::None;
}

std::string NameTakenText(std::string_view name) { return "The User " + std::string(name) + " has been existed!"; }

}  // namespace pellora
