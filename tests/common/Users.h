#pragma once
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "core/UserList.h"

namespace pellora::testing {

inline TUserList User(std::string name, std::string password = "", bool disabled = false, std::string email = "",
                      std::string fullName = "", std::string notes = "") {
  TUserList u;
  u.UserName = std::move(name);
  u.Password = std::move(password);
  u.Disabled = disabled;
  u.Email = std::move(email);
  u.FullName = std::move(fullName);
  u.Notes = std::move(notes);
  return u;
}

// The stored fields of one user, comparable and printable.
struct Fields {
  std::string UserName, Password;
  bool Disabled;
  std::string Email, FullName, Notes;
  bool operator==(const Fields&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const Fields& f) {
    return out << '{' << ::testing::PrintToString(f.UserName) << ", " << ::testing::PrintToString(f.Password) << ", "
               << f.Disabled << ", " << ::testing::PrintToString(f.Email) << ", "
               << ::testing::PrintToString(f.FullName) << ", " << ::testing::PrintToString(f.Notes) << '}';
  }
};

inline std::vector<Fields> AllFields(const UserList& list) {
  std::vector<Fields> out;
  for (const TUserList& u : list) out.push_back({u.UserName, u.Password, u.Disabled, u.Email, u.FullName, u.Notes});
  return out;
}

inline std::vector<std::string> Names(const UserList& list) {
  std::vector<std::string> out;
  for (const TUserList& u : list) out.push_back(u.UserName);
  return out;
}

}  // namespace pellora::testing
