// The user page of the main window: the list view over the project's users
// and the commands of its buttons, context menu and double-click. The
// commands themselves live in UserCommands; this only binds them.
#include "ui/FormAutoCreate.h"
#include "ui/FormMain.h"
#include "ui/FormUser.h"
#include "ui/UserCommands.h"
#include "ui/UserTableModel.h"

namespace pellora {

void TFormMain::WireUserPage() {
  // Made before the start-up load, which fills the view from config.htp.
  userModel_ = new UserTableModel(project_.Users, this);
  SetUpUserView(*ListViewUser, *userModel_);
  // The buttons, menu items and double-click are connected where they are built.
}

UserCommands* TFormMain::UserPageCommands() {
  if (!FormUser || !FormAutoCreate) return nullptr;
  // The dialogs are handed over after this window is made (and tests may
  // hand over others), so the commands follow whatever is set now.
  if (!userCommands_ || commandsFormUser_ != FormUser || commandsFormAutoCreate_ != FormAutoCreate) {
    delete userCommands_;
    userCommands_ = new UserCommands(
        project_.Users, *ListViewUser, *userModel_, *FormUser, *FormAutoCreate, prompts_,
        [this] { project_.Modified = true; }, this);
    commandsFormUser_ = FormUser;
    commandsFormAutoCreate_ = FormAutoCreate;
  }
  return userCommands_;
}

void TFormMain::RefreshUserView() {
  if (userModel_) userModel_->SetViewFilter(ViewFilter);
}

void TFormMain::ClearUserView() {
  if (userModel_) userModel_->Clear();
}

void TFormMain::ResetUserView() {
  ViewFilter = UserTableModel::ViewAll;
  MIViewAllUsers->setChecked(true);
  // The commands rebuild the view under the model's own filter, so it must
  // follow the menu, or a user added next would stay hidden.
  if (userModel_) userModel_->Reset(ViewFilter);
}

void TFormMain::FreeUsers() {
  ClearUserView();
  project_.Users.ClearUsers();
}

void TFormMain::TbnAddUserClick() {
  if (UserCommands* commands = UserPageCommands()) commands->AddUser();
}

void TFormMain::TbnCreateUserClick() {
  if (UserCommands* commands = UserPageCommands()) commands->CreateSeries();
}

void TFormMain::TbnEditUserClick() {
  if (UserCommands* commands = UserPageCommands()) commands->EditUser();
}

void TFormMain::TbnDeleteUserClick() {
  if (UserCommands* commands = UserPageCommands()) commands->DeleteSelectedUsers();
}

void TFormMain::TbnDeleteAllUsersClick() {
  if (UserCommands* commands = UserPageCommands()) commands->DeleteAllUsers();
}

void TFormMain::ListViewUserDblClick() {
  if (UserCommands* commands = UserPageCommands()) commands->ListViewUserDblClick();
}

}  // namespace pellora
