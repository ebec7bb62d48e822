#pragma once
// The user page without the main window: a table view with the user model,
// both dialogs, scripted prompts and the commands over one user list. Dialogs
// are "shown" by a function the test sets, which fills the fields and says
// whether the operator pressed OK.
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "core/UserList.h"
#include "support/QtTestApp.h"
#include "support/ScriptedPrompts.h"
#include "ui/FormAutoCreate.h"
#include "ui/FormUser.h"
#include "ui/UserCommands.h"
#include "ui/UserTableModel.h"

struct UserPage {
  UserPage() : app((TestApp(), 0)) {
    pellora::SetUpUserView(view, model);
    view.resize(520, 400);
    commands.SetDialogRunner([this](QDialog& dialog) {
      shownTitles.push_back(dialog.windowTitle());
      okEnabledWhenShown = formUser.BtnOk->isEnabled();
      const bool ok = operatorDoes ? operatorDoes(dialog) : false;
      return ok ? QDialog::Accepted : QDialog::Rejected;
    });
  }

  // Users put straight into the list (bypassing the commands), then shown.
  void Seed(std::initializer_list<const char*> names, bool disabled = false) {
    for (const char* n : names) {
      pellora::TUserList u;
      u.UserName = n;
      u.Password = std::string("pw-") + n;
      u.Disabled = disabled;
      users.InsertSorted(std::move(u));
    }
    model.RefreshUserView();
  }

  // The operator fills the user dialog with these values and presses OK.
  void WillEnterUser(const QString& name, const QString& password, bool disabled = false) {
    operatorDoes = [this, name, password, disabled](QDialog&) {
      formUser.EdtUser->setText(name);
      formUser.EdtPassword->setText(password);
      formUser.ChkStatus->setChecked(disabled);
      return true;
    };
  }

  std::vector<std::string> ListNames() const {
    std::vector<std::string> out;
    for (const pellora::TUserList& u : users) out.push_back(u.UserName);
    return out;
  }
  std::vector<std::string> ViewNames() const {
    std::vector<std::string> out;
    for (int r = 0; r < model.rowCount(); ++r)
      out.push_back(model.index(r, pellora::UserTableModel::ColUser).data().toString().toStdString());
    return out;
  }

  // Clicks a row as the operator would; with control held it adds to the selection.
  void ClickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QRect cell = view.visualRect(model.index(row, 0));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, modifiers, cell.center());
  }

  int app;
  pellora::UserList users;
  ScriptedPrompts prompts;
  QTableView view;
  pellora::UserTableModel model{users};
  pellora::TFormUser formUser{prompts};
  pellora::TFormAutoCreate formAutoCreate;
  bool modified = false;
  pellora::UserCommands commands{users, view, model, formUser, formAutoCreate, prompts, [this] { modified = true; }};

  std::function<bool(QDialog&)> operatorDoes;
  std::vector<QString> shownTitles;
  bool okEnabledWhenShown = false;
};
