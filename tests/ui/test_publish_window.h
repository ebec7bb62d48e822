#pragma once
// The main window with its log window, shown, dialogs answered by a script
// that also notes which page and which control had the focus at the moment a
// message box came up (the operator must see the field a message is about).
#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>
#include <memory>
#include <string>

#include "common/Logs.h"
#include "core/UserList.h"
#include "generate/AccessFiles.h"
#include "platform/WorkingFolder.h"
#include "support/QtTestApp.h"
#include "support/ScriptedPrompts.h"
#include "ui/FormLog.h"
#include "ui/FormMain.h"

class WatchingPrompts : public ScriptedPrompts {
 public:
  struct Seen {
    int step = -1;
    QString focus;  // object name of the main window's focus widget
  };
  pellora::TFormMain* form = nullptr;
  Seen atMessage;

  void Message(const QString& text, const QString& caption) override {
    if (form) {
      atMessage.step = form->PageControlMain->currentIndex();
      QWidget* focused = form->focusWidget();
      atMessage.focus = focused ? focused->objectName() : QString();
    }
    ScriptedPrompts::Message(text, caption);
  }
};

class PublishWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    for (const char* name : {"config.htp", ".htaccess", ".htpasswd"})
      std::filesystem::remove(pellora::WorkingFolder() + name);
    form = std::make_unique<pellora::TFormMain>(prompts);
    log = std::make_unique<pellora::TFormLog>(form.get());
    form->FormLog = log.get();
    prompts.form = form.get();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  void TearDown() override {
    prompts.form = nullptr;
    log.reset();
    form.reset();
  }

  void AddUser(const std::string& name, const std::string& password, bool disabled = false) {
    pellora::TUserList user;
    user.UserName = name;
    user.Password = password;
    user.Disabled = disabled;
    form->Users().InsertSorted(std::move(user));
  }

  static std::filesystem::path Working(const char* name) { return pellora::WorkingFile(name); }

  // The generated files of the window's project as it stands.
  void GenerateForTheWindow() {
    pellora::testing::StringLog ignored;
    ASSERT_TRUE(pellora::WriteAccessFiles(form->Users(), form->Settings(), ignored).Written);
  }

  void Click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }

  // A log window with an earlier report and both buttons in an odd state, so
  // that a command that must leave it alone can be caught touching it.
  void DirtyLog() {
    log->AddLine("earlier report");
    log->SetStopEnabled(true);
    log->SetCloseEnabled(false);
    log->hide();
  }
  void ExpectLogUntouched() {
    EXPECT_EQ(log->Lines(), QStringList{"earlier report"});
    EXPECT_TRUE(log->BtnStop->isEnabled());
    EXPECT_FALSE(log->BtnOk->isEnabled());
    EXPECT_FALSE(log->isVisible());
  }
  void ExpectLogAtRest() {
    EXPECT_FALSE(log->BtnStop->isEnabled());
    EXPECT_TRUE(log->BtnOk->isEnabled());
  }
  QString Focused() const {
    QWidget* focused = form->focusWidget();
    return focused ? focused->objectName() : QString();
  }

  WatchingPrompts prompts;
  std::unique_ptr<pellora::TFormMain> form;
  std::unique_ptr<pellora::TFormLog> log;
};
