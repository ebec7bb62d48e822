#include "ui/UserCommands.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <climits>
#include <vector>

#include "core/Project.h"
#include "core/Series.h"
#include "ui/FormAutoCreate.h"
#include "ui/FormUser.h"
#include "ui/Prompts.h"
#include "ui/UserTableModel.h"

namespace pellora {

namespace {

QString NameTaken(const std::string& name) { return QString::fromStdString(NameTakenText(name)); }

}  // namespace

UserCommands::UserCommands(UserList& users, QTableView& view, UserTableModel& model, TFormUser& formUser,
                           TFormAutoCreate& formAutoCreate, Prompts& prompts, std::function<void()> setModified,
                           QObject* parent)
    : QObject(parent),
      users_(users),
      view_(view),
      model_(model),
      formUser_(formUser),
      formAutoCreate_(formAutoCreate),
      prompts_(prompts),
      setModified_(std::move(setModified)),
      runDialog_([](QDialog& dialog) { return dialog.exec(); }) {}

bool UserCommands::RunDialog(QDialog& dialog) { return runDialog_(dialog) == QDialog::Accepted; }

void UserCommands::Warn(const char* text) { prompts_.Message(QString::fromLatin1(text), QStringLiteral("Warning")); }

int UserCommands::FirstSelectedRow() const {
  const QItemSelectionModel* selection = view_.selectionModel();
  if (!selection) return -1;
  // The ranges, not the selected indexes: with every row of a large list
  // selected, the first row is found without listing them all.
  int first = INT_MAX;
  for (const QItemSelectionRange& range : selection->selection())
    if (range.isValid() && range.top() < first) first = range.top();
  return first == INT_MAX ? -1 : first;
}

void UserCommands::AddUser() {
  formUser_.setWindowTitle(QStringLiteral("Add User"));
  formUser_.ClearFields();
  formUser_.BtnOk->setEnabled(false);
  if (!RunDialog(formUser_)) return;

  TUserList user = formUser_.Fields();
  // The dialog's OK needs the name and the password already.
  if (CheckNewUser(users_, user) == NewUserProblem::NameTaken) {
    prompts_.Message(NameTaken(user.UserName), QStringLiteral("Error"));
    return;
  }
  setModified_();
  users_.InsertSorted(std::move(user));
  model_.RefreshUserView();
}

void UserCommands::EditUser() {
  const int row = FirstSelectedRow();
  TUserList* user = model_.UserAt(row);
  if (!user) {
    Warn("You should select a user first!");
    return;
  }
  formUser_.setWindowTitle(QStringLiteral("Edit User"));
  formUser_.SetFields(*user);
  // A stored user may lack a password (imported or hand-edited projects);
  // "OK" still starts enabled and the rule applies once the operator types.
  formUser_.BtnOk->setEnabled(true);
  if (!RunDialog(formUser_)) return;

  // A confirmed edit marks the project even when the new name is refused.
  setModified_();
  TUserList fields = formUser_.Fields();
  if (users_.FindUser(fields.UserName, user)) {
    prompts_.Message(NameTaken(fields.UserName), QStringLiteral("Error"));
    return;
  }
  // In place: the record keeps its position whatever its new name.
  users_.RenameUser(*user, std::move(fields.UserName));
  // A new password replaces an adopted hash; an empty one keeps it.
  if (!fields.Password.empty() && HashOnly(*user)) user->Hash.clear();
  user->Password = std::move(fields.Password);
  user->Disabled = fields.Disabled;
  user->Email = std::move(fields.Email);
  user->FullName = std::move(fields.FullName);
  user->Notes = std::move(fields.Notes);
  model_.RefreshUserView();
}

void UserCommands::DeleteSelectedUsers() {
  const QItemSelectionModel* selection = view_.selectionModel();
  std::vector<int> rows;
  if (selection)
    for (const QItemSelectionRange& range : selection->selection())
      for (int r = range.top(); r <= range.bottom(); ++r) rows.push_back(r);
  if (rows.empty()) {
    Warn("You should select a user first!");
    return;
  }
  setModified_();
  // The rows leave the view before their records are freed, so the view
  // never holds a pointer to a freed record.
  for (TUserList* user : model_.TakeRows(std::move(rows))) users_.UnlinkUser(user);
}

void UserCommands::DeleteAllUsers() {
  if (prompts_.Confirm(QStringLiteral("Are you really want to delete all users?")) != Prompts::Button::Yes) return;
  setModified_();
  model_.Clear();
  users_.ClearUsers();  // hidden users too: the filter only limits the view
}

void UserCommands::CreateSeries() {
  if (!RunDialog(formAutoCreate_)) return;
  const SeriesSettings settings = formAutoCreate_.Settings();
  setModified_();
  const std::size_t made = pellora::CreateSeries(users_, settings);
  model_.RefreshUserView();
  if (made < static_cast<std::size_t>(settings.Count))
    prompts_.Message(QString::fromStdString(ShortSeriesText(made, settings.Count)), QStringLiteral("Information"));
}

void UserCommands::SetViewFilter(int filter) { model_.SetViewFilter(filter); }

void UserCommands::ListViewUserDblClick() {
  if (HasSelection()) EditUser();
}

void UserCommands::UpdateContextMenu(QAction* editUser, QAction* deleteUser) const {
  const bool selected = HasSelection();
  if (editUser) editUser->setEnabled(selected);
  if (deleteUser) deleteUser->setEnabled(selected);
}

}  // namespace pellora
