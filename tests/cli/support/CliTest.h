#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/Files.h"
#include "common/RunCli.h"
#include "common/Users.h"
#include "project/ProjectFile.h"

namespace pellora::testing {

// A temporary folder holding a project file and the XDG data folder that the
// program's working folder lies in.
class CliTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dataHome_); }

  Result Run(std::vector<std::string> args, const std::string& input = "") { return RunCli(args, dataHome_, input); }

  // A project with the given users (in this order) and settings, written as
  // the desktop program writes it.
  void MakeProject(std::initializer_list<TUserList> users, const ProjectSettings& settings = {}) {
    UserList list;
    for (const TUserList& user : users) list.AppendUser(user);
    ASSERT_TRUE(SaveProjectFile(project_, list, settings));
  }

  // The names in list order, "(off)" after disabled ones.
  std::vector<std::string> Names(ProjectSettings* settings = nullptr) {
    UserList users;
    ProjectSettings read;
    EXPECT_TRUE(LoadProjectFile(project_, users, read));
    if (settings) *settings = read;
    std::vector<std::string> names;
    for (const TUserList& user : users) names.push_back(user.UserName + (user.Disabled ? "(off)" : ""));
    return names;
  }

  TUserList Find(const std::string& name) {
    UserList users;
    ProjectSettings settings;
    EXPECT_TRUE(LoadProjectFile(project_, users, settings));
    const TUserList* user = users.FindUser(name);
    return user ? *user : TUserList{};
  }

  std::filesystem::path WorkFile(const char* name) const { return dataHome_ / "Quarnet Software" / "Pellora" / name; }

  TempDir root_;
  std::filesystem::path dataHome_ = root_.Path() / "xdg";
  std::string project_ = (root_.Path() / "members.htp").string();
};

}  // namespace pellora::testing
