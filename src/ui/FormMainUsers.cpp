// The user page of the main window: the list view over the project's users
// and the commands of its buttons, context menu and double-click. The
// commands themselves live in UserCommands; this only binds them.
#include <QShortcut>

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
  // The list's own keys: Delete removes the selected users as the toolbar
  // does, Enter edits the first of them.
  auto key = [this](const QKeySequence& keys, void (TFormMain::*command)()) {
    auto* shortcut = new QShortcut(keys, ListViewUser, nullptr, nullptr, Qt::WidgetShortcut);
    connect(shortcut, &QShortcut::activated, this, command);
  };
  key(QKeySequence::Delete, &TFormMain::TbnDeleteUserClick);
  key(Qt::Key_Return, &TFormMain::TbnEditUserClick);
  key(Qt::Key_Enter, &TFormMain::TbnEditUserClick);
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

namespace {

// The button says which users the list leaves out, or a user added under a
// filter that hides it would seem lost.
QString ViewUsersText(int filter) {
  switch (filter) {
    case UserTableModel::ViewEnabled: return QStringLiteral("View users: Enabled");
    case UserTableModel::ViewDisabled: return QStringLiteral("View users: Disabled");
    default: return QStringLiteral("View users");
  }
}

}  // namespace

void TFormMain::RefreshUserView() {
  BtnViewUsers->setText(ViewUsersText(ViewFilter));
  if (userModel_) userModel_->SetViewFilter(ViewFilter);
}

void TFormMain::ClearUserView() {
  if (userModel_) userModel_->Clear();
}

void TFormMain::ResetUserView() {
  ViewFilter = UserTableModel::ViewAll;
  MIViewAllUsers->setChecked(true);
  BtnViewUsers->setText(ViewUsersText(ViewFilter));
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
