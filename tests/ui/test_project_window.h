#pragma once
// The main window as the program makes it at start-up (main window first,
// then the user dialog, the series dialog, the log window and the About box),
// with scripted prompts and a working folder of its own for every test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/ProjectSettings.h"
#include "core/UserList.h"
#include "platform/WorkingFolder.h"
#include "project/ProjectFile.h"
#include "support/QtTestApp.h"
#include "support/ScriptedPrompts.h"
#include "ui/FormAbout.h"
#include "ui/FormAutoCreate.h"
#include "ui/FormLog.h"
#include "ui/FormMain.h"
#include "ui/FormUser.h"
#include "ui/UserTableModel.h"

using Kind = pellora::Prompts::Kind;
using Button = pellora::Prompts::Button;

class ProjectWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    ASSERT_TRUE(data.isValid());
    // config.htp lives here; each test starts without one unless it writes it.
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    Start();
  }
  void TearDown() override { Stop(); }

  // Makes the five forms in start-up order and hands them to the main window.
  void Start() {
    form = std::make_unique<pellora::TFormMain>(prompts);
    form->FormUser = new pellora::TFormUser(prompts, form.get());
    form->FormAutoCreate = new pellora::TFormAutoCreate(form.get());
    form->FormLog = new pellora::TFormLog(form.get());
    form->FormAboutBox = new pellora::TFormAboutBox(form.get());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    // A modal dialog nobody waits for would block the test for good: after
    // two seconds it fails the test and is cancelled.
    auto* watchdog = new QTimer(form.get());
    auto ticks = std::make_shared<int>(0);
    QObject::connect(watchdog, &QTimer::timeout, form.get(), [this, ticks] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!dialog || waiting_ > 0) {
        *ticks = 0;
      } else if (++*ticks > 40) {
        *ticks = 0;
        ADD_FAILURE() << "nobody answered " << dialog->objectName().toStdString();
        dialog->reject();
      }
    });
    watchdog->start(50);
  }
  // Drops the window without closing it (closing writes config.htp).
  void Stop() { form.reset(); }

  std::string Folder() const { return data.path().toStdString() + "/"; }
  std::string LastState() const { return pellora::WorkingFolder() + "config.htp"; }

  // Users put straight into the project, then shown.
  void Seed(std::initializer_list<const char*> names, bool disabled = false) {
    for (const char* n : names) {
      pellora::TUserList u;
      u.UserName = n;
      u.Password = std::string("pw-") + n;
      u.Disabled = disabled;
      form->Users().InsertSorted(std::move(u));
    }
    form->RefreshUserView();
  }
  std::vector<std::string> ListNames() const {
    std::vector<std::string> out;
    for (const pellora::TUserList& u : form->Users()) out.push_back(u.UserName);
    return out;
  }
  std::vector<std::string> ViewNames() const {
    std::vector<std::string> out;
    const pellora::UserTableModel* model = form->UserModel();
    for (int r = 0; r < model->rowCount(); ++r)
      out.push_back(model->index(r, pellora::UserTableModel::ColUser).data().toString().toStdString());
    return out;
  }
  // A project file's users and settings as the reader sees them.
  static std::vector<std::string> FileUsers(const std::string& path, pellora::ProjectSettings* settings = nullptr) {
    pellora::UserList users;
    pellora::ProjectSettings read;
    if (!pellora::LoadProjectFile(path, users, read)) return {"<unreadable>"};
    if (settings) *settings = read;
    std::vector<std::string> out;
    for (const pellora::TUserList& u : users) out.push_back(u.UserName);
    return out;
  }

  // Clicks the toolbar button of an action, as the operator would.
  void Click(QAction* toolAction) {
    auto* button = qobject_cast<QToolButton*>(form->ToolBarMain->widgetForAction(toolAction));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
  }
  QString Title() const { return form->windowTitle(); }

  // Once dialog is up, the operator does this (fills fields, presses a
  // button); a modal dialog would otherwise wait forever. A dialog that does
  // not come up within a few seconds fails the test.
  void WhenShown(QDialog* dialog, std::function<void()> operatorDoes) {
    auto* poll = new QTimer(dialog);
    auto tries = std::make_shared<int>(0);
    ++waiting_;
    QObject::connect(poll, &QTimer::timeout, dialog, [this, poll, dialog, operatorDoes, tries] {
      if (dialog->isVisible()) {
        poll->deleteLater();
        --waiting_;
        operatorDoes();
      } else if (++*tries > 600) {
        poll->deleteLater();
        --waiting_;
        ADD_FAILURE() << dialog->objectName().toStdString() << " was never shown";
      }
    });
    poll->start(5);
  }

  QTemporaryDir data;
  ScriptedPrompts prompts;
  std::unique_ptr<pellora::TFormMain> form;
  int waiting_ = 0;  // operators waiting for their dialog
};
