#pragma once
#include <QObject>
#include <functional>

#include "core/UserList.h"

class QAction;
class QDialog;
class QTableView;

namespace pellora {

class Prompts;
class TFormAutoCreate;
class TFormUser;
class UserTableModel;

// The commands of the user page: add, edit, delete selected, delete all,
// random series and the view filter. They change the list, keep the view in
// step with it and set the project's Modified flag through the given
// function. The main window connects its buttons and menu items to these.
class UserCommands : public QObject {
  Q_OBJECT
 public:
  // Shows a dialog modally and returns its result (QDialog::Accepted or
  // Rejected). exec() by default; tests fill the fields and accept instead.
  using DialogRunner = std::function<int(QDialog&)>;

  UserCommands(UserList& users, QTableView& view, UserTableModel& model, TFormUser& formUser,
               TFormAutoCreate& formAutoCreate, Prompts& prompts, std::function<void()> setModified,
               QObject* parent = nullptr);

  void SetDialogRunner(DialogRunner run) { runDialog_ = std::move(run); }

  // The first selected row in display order, or -1.
  int FirstSelectedRow() const;
  bool HasSelection() const { return FirstSelectedRow() >= 0; }

 public slots:
  void AddUser();
  void EditUser();
  void DeleteSelectedUsers();
  void DeleteAllUsers();
  void CreateSeries();
  // 0 all users, 1 enabled only, 2 disabled only. Not part of the project:
  // Modified stays as it is.
  void SetViewFilter(int filter);
  // Double-click on the list: edits when a row is selected.
  void ListViewUserDblClick();
  // Before the context menu opens: edit and delete are offered exactly when
  // a row is selected.
  void UpdateContextMenu(QAction* editUser, QAction* deleteUser) const;

 private:
  bool RunDialog(QDialog& dialog);
  void Warn(const char* text);

  UserList& users_;
  QTableView& view_;
  UserTableModel& model_;
  TFormUser& formUser_;
  TFormAutoCreate& formAutoCreate_;
  Prompts& prompts_;
  std::function<void()> setModified_;
  DialogRunner runDialog_;
};

}  // namespace pellora
