// Project files come from anywhere (mail, old Windows machines, hand edits):
// loading any bytes must neither crash nor leak, and the users loaded must
// survive a save and a second load unchanged.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzFile.h"
#include "core/ProjectSettings.h"
#include "core/UserList.h"
#include "project/ProjectFile.h"

namespace {

struct Fields {
  std::string UserName, Password, Email, FullName, Notes;
  bool Disabled;
  bool operator==(const Fields&) const = default;
};

std::vector<Fields> AllFields(const pellora::UserList& users) {
  std::vector<Fields> out;
  for (const pellora::TUserList& u : users)
    out.push_back({u.UserName, u.Password, u.Email, u.FullName, u.Notes, u.Disabled});
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const FuzzFile input("project-in");
  static const FuzzFile saved("project-out");
  input.Write(data, size);

  pellora::UserList users;
  pellora::ProjectSettings settings;
  if (!pellora::LoadProjectFile(input.Path(), users, settings)) std::abort();

  if (!pellora::SaveProjectFile(saved.Path(), users, settings)) std::abort();
  pellora::UserList again;
  pellora::ProjectSettings againSettings;
  if (!pellora::LoadProjectFile(saved.Path(), again, againSettings)) std::abort();
  if (AllFields(users) != AllFields(again)) {
    std::fprintf(stderr, "users changed on a save and a second load\n");
    std::abort();
  }
  return 0;
}
