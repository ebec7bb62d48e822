// The real message boxes: default and Escape buttons decide what a hurried
// operator's Enter or Escape does, so they are checked on live boxes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "support/QtTestApp.h"
#include "ui/Prompts.h"

namespace {
using pellora::Prompts;
using pellora::QtPrompts;

// Presses key on the modal box as soon as it is up, and remembers its looks.
struct BoxPresser {
  QString caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;

  void PressWhenShown(Qt::Key key) {
    QTimer::singleShot(0, [this, key] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      caption = box->windowTitle();
      icon = box->icon();
      for (QAbstractButton* b : box->buttons()) buttons << b->text();
      QTest::keyClick(box, key);
    });
  }
};

TEST(QtPrompts, ReplaceQuestionDefaultsToYesAndEscapeAnswersNo) {
  TestApp();
  QtPrompts prompts;
  BoxPresser enter;
  enter.PressWhenShown(Qt::Key_Return);
  EXPECT_TRUE(prompts.AskReplace("/tmp/x/.htaccess already exists. Do you want to replace it?"));
  EXPECT_EQ(enter.caption, "Information");
  EXPECT_EQ(enter.icon, QMessageBox::Information);
  EXPECT_EQ(enter.buttons.size(), 2);

  BoxPresser escape;
  escape.PressWhenShown(Qt::Key_Escape);
  EXPECT_FALSE(prompts.AskReplace("again?"));
}

TEST(QtPrompts, ConfirmationHasThreeButtonsAndEscapeCancels) {
  TestApp();
  QtPrompts prompts;
  BoxPresser escape;
  escape.PressWhenShown(Qt::Key_Escape);
  EXPECT_EQ(prompts.Confirm("Are you really want to delete all users?"), Prompts::Button::Cancel);
  EXPECT_EQ(escape.caption, "Confirm");
  EXPECT_EQ(escape.icon, QMessageBox::Question);
  EXPECT_EQ(escape.buttons.size(), 3);
}

TEST(QtPrompts, ErrorAndPlainMessageBoxes) {
  TestApp();
  QtPrompts prompts;
  BoxPresser error;
  error.PressWhenShown(Qt::Key_Return);
  prompts.Error("Can't open project file /nowhere.htp");
  EXPECT_EQ(error.caption, "Error");
  EXPECT_EQ(error.icon, QMessageBox::Critical);

  BoxPresser plain;
  plain.PressWhenShown(Qt::Key_Return);
  prompts.Message("You should select a user first!", "Warning");
  EXPECT_EQ(plain.caption, "Warning");
  EXPECT_EQ(plain.icon, QMessageBox::NoIcon);
  EXPECT_EQ(plain.buttons.size(), 1);
}

}  // namespace
