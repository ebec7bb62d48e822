// The real message boxes: default and Escape buttons decide what a hurried
// operator's Enter or Escape does, so they are checked on live boxes.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "support/QtTestApp.h"
#include "support/ScriptedPrompts.h"
#include "ui/FormHelp.h"
#include "ui/Prompts.h"

namespace {
using pellora::Prompts;
using pellora::QtPrompts;

// Presses key on the modal box as soon as it is up, and remembers its looks.
struct BoxPresser {
  QString caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;
  bool selectable = false;

  void PressWhenShown(Qt::Key key) {
    QTimer::singleShot(0, [this, key] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      caption = box->windowTitle();
      icon = box->icon();
      for (QAbstractButton* b : box->buttons()) buttons << b->text();
      selectable = box->textInteractionFlags() & Qt::TextSelectableByMouse;
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
  EXPECT_TRUE(plain.selectable);  // an address in a message can be copied
}

// A desktop without a viewer or browser still shows the previews and the help;
// the help's own anchors stay in its window, its web links go to the desktop.
TEST(QtPrompts, PreviewsAndHelpOpenInWindowsOfTheProgram) {
  TestApp();
  QTemporaryDir dir;
  auto write = [&](const char* name, const QByteArray& bytes) {
    QFile file(dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
  };
  write(".htaccess", "AuthType Basic\r\nAuthName \"Members\"\r\n");
  write("help.html", "<title>Pellora help</title><a href=\"#step2\">Step 1</a><h2 id=\"step2\">2</h2>");
  QWidget owner;
  QtPrompts prompts(&owner);
  prompts.ViewTextFile(dir.filePath(".htaccess"));
  auto* view = owner.findChild<QPlainTextEdit*>();
  ASSERT_TRUE(view && view->isVisible());
  EXPECT_EQ(view->window()->windowTitle(), ".htaccess");
  EXPECT_EQ(view->toPlainText(), "AuthType Basic\nAuthName \"Members\"\n");
  EXPECT_TRUE(view->isReadOnly());
  EXPECT_EQ(view->fontMetrics().horizontalAdvance("iiii"), view->fontMetrics().horizontalAdvance("WWWW"));
  write(".htaccess", "AuthType Basic\r\n");  // generated again: the same window shows the new text
  prompts.ViewTextFile(dir.filePath(".htaccess"));
  EXPECT_EQ(view->toPlainText(), "AuthType Basic\n");

  prompts.ShowHelp(dir.filePath("help.html"));
  auto* help = owner.findChild<QTextBrowser*>();
  ASSERT_TRUE(help && help->isVisible());
  EXPECT_EQ(help->window()->windowTitle(), "Pellora help");

  ScriptedPrompts links;
  pellora::TFormHelp scripted(links);
  ASSERT_TRUE(scripted.Open(dir.filePath("help.html")));
  emit scripted.BrowserHelp->anchorClicked(QUrl("#step2"));
  EXPECT_EQ(scripted.BrowserHelp->source().fragment(), "step2");
  emit scripted.BrowserHelp->anchorClicked(QUrl("https://www.pellora.example/faq.htm"));
  EXPECT_EQ(links.Opened(), std::vector{QUrl("https://www.pellora.example/faq.htm")});
}

}  // namespace

// The scripted prompts stand in for the operator in every widget test; a
// question nobody expected must fail the test instead of passing silently.
namespace {

TEST(ScriptedPrompts, AnswersInOrderAndRecordsEachQuestion) {
  ScriptedPrompts prompts;
  prompts.Expect(Prompts::Kind::Confirm, Prompts::Button::No);
  prompts.ExpectPath(Prompts::Kind::SaveFile, "/tmp/p.htp");
  prompts.Expect(Prompts::Kind::AskReplace, Prompts::Button::No);
  EXPECT_EQ(prompts.Confirm("Save changes?"), Prompts::Button::No);
  EXPECT_EQ(prompts.SaveFile({"Project File (*.htp)", "htp", true}), "/tmp/p.htp");
  EXPECT_FALSE(prompts.AskReplace("/tmp/.htaccess already exists. Do you want to replace it?"));
  prompts.OpenUrl(QUrl("https://www.pellora.example/"));
  ASSERT_EQ(prompts.Asked().size(), 3u);
  EXPECT_EQ(prompts.Asked()[0].caption, "Confirm");
  EXPECT_EQ(prompts.Asked()[0].buttons.size(), 3u);
  EXPECT_EQ(prompts.Asked()[1].text, "Project File (*.htp)");
  EXPECT_EQ(prompts.Asked()[1].caption, "htp");
  EXPECT_EQ(prompts.Asked()[2].caption, "Information");
  EXPECT_EQ(prompts.Asked()[2].defaultButton, Prompts::Button::Yes);
  EXPECT_EQ(prompts.Opened().size(), 1u);
  EXPECT_EQ(prompts.Pending(), 0u);
}

TEST(ScriptedPrompts, AnUnexpectedQuestionFailsTheTestAndIsCancelled) {
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedPrompts prompts;
        EXPECT_EQ(prompts.Confirm("Are you really want to delete all users?"), Prompts::Button::Cancel);
      },
      "unexpected Confirm");
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedPrompts prompts;
        prompts.Expect(Prompts::Kind::Message);
        EXPECT_EQ(prompts.OpenFile({"Project File (*.htp)", {}, false}), QString());
      },
      "expected a Message question, got OpenFile");
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedPrompts prompts;
        prompts.Expect(Prompts::Kind::Error);
      },
      "never asked");
}

}  // namespace
