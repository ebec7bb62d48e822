#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

#include "test_user_harness.h"

using pellora::Prompts;
using pellora::TFormAutoCreate;
using pellora::TFormUser;

namespace {

QLineEdit* EditOf(QSpinBox* spin) { return spin->findChild<QLineEdit*>(); }

void TypeInto(QSpinBox* spin, const QString& text) {
  spin->setFocus();
  QLineEdit* edit = EditOf(spin);
  edit->selectAll();
  if (text.isEmpty()) QTest::keyClick(edit, Qt::Key_Backspace);
  else QTest::keyClicks(edit, text);
}

}  // namespace

TEST(FormUser, SizeAndTabOrder) {
  TestApp();
  ScriptedPrompts prompts;
  TFormUser form(prompts);
  EXPECT_EQ(form.size(), QSize(335, 315));
  EXPECT_EQ(form.EdtPassword->echoMode(), QLineEdit::Normal);

  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  form.EdtUser->setFocus();
  QStringList visited{QApplication::focusWidget()->objectName()};
  for (int i = 0; i < 8; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited << QApplication::focusWidget()->objectName();
  }
  EXPECT_EQ(visited, (QStringList{"EdtUser", "EdtPassword", "ChkStatus", "EdtEmail", "EdtFullName", "MemoNotes",
                                  "BtnOk", "BtnCancel", "EdtUser"}));
  // The flat buttons take no focus, from the keyboard or the mouse.
  QTest::mouseClick(form.BtnGeneratePassword, Qt::LeftButton);
  EXPECT_FALSE(form.BtnGeneratePassword->hasFocus());
}

TEST(FormUser, OkNeedsTrimmedNameAndPassword) {
  TestApp();
  ScriptedPrompts prompts;
  TFormUser form(prompts);
  form.BtnOk->setEnabled(false);
  QTest::keyClicks(form.EdtUser, "bob");
  EXPECT_FALSE(form.BtnOk->isEnabled());
  QTest::keyClicks(form.EdtPassword, "x");
  EXPECT_TRUE(form.BtnOk->isEnabled());
  QTest::keyClick(form.EdtPassword, Qt::Key_Backspace);
  EXPECT_FALSE(form.BtnOk->isEnabled());

  // Set by code counts as well, and so does blank-only text.
  form.EdtPassword->setText("pw");
  EXPECT_TRUE(form.BtnOk->isEnabled());
  form.EdtUser->setText("   ");
  EXPECT_FALSE(form.BtnOk->isEnabled());
  form.EdtUser->setText("a:b c");  // no forbidden characters
  EXPECT_TRUE(form.BtnOk->isEnabled());
  form.EdtPassword->setText("\t ");
  EXPECT_FALSE(form.BtnOk->isEnabled());
  // Other fields never matter.
  form.EdtPassword->setText("pw");
  form.EdtEmail->clear();
  form.EdtFullName->clear();
  EXPECT_TRUE(form.BtnOk->isEnabled());
}

TEST(FormUser, GeneratedPasswordWithEmptyNameLeavesOkDisabled) {
  TestApp();
  ScriptedPrompts prompts;
  TFormUser form(prompts);
  form.BtnOk->setEnabled(false);
  QTest::mouseClick(form.BtnGeneratePassword, Qt::LeftButton);
  const QString pw = form.EdtPassword->text();
  EXPECT_GE(pw.size(), 5);
  EXPECT_LE(pw.size(), 7);
  for (QChar c : pw) EXPECT_TRUE(c.isLetterOrNumber() && c.unicode() < 128) << pw.toStdString();
  EXPECT_FALSE(form.BtnOk->isEnabled());
  QTest::keyClicks(form.EdtUser, "bob");
  EXPECT_TRUE(form.BtnOk->isEnabled());
}

TEST(FormUser, EnterInNotesIsALineBreakAndEscapeCancels) {
  TestApp();
  ScriptedPrompts prompts;
  TFormUser form(prompts);
  form.EdtUser->setText("bob");
  form.EdtPassword->setText("pw");
  QSignalSpy accepted(&form, &QDialog::accepted);
  QSignalSpy rejected(&form, &QDialog::rejected);
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));

  form.MemoNotes->setFocus();
  QTest::keyClicks(form.MemoNotes, "one");
  QTest::keyClick(form.MemoNotes, Qt::Key_Return);
  QTest::keyClicks(form.MemoNotes, "two");
  EXPECT_EQ(accepted.count(), 0);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.Fields().Notes, "one\r\ntwo");

  // Enter in a one-line field does confirm: the default button is live.
  form.EdtUser->setFocus();
  QTest::keyClick(form.EdtUser, Qt::Key_Return);
  EXPECT_EQ(accepted.count(), 1);

  form.show();
  form.EdtUser->setFocus();
  QTest::keyClick(form.EdtUser, Qt::Key_Escape);
  EXPECT_EQ(rejected.count(), 1);
  EXPECT_EQ(form.result(), QDialog::Rejected);

  // Whatever field had the cursor last time, the next opening starts at the name.
  form.show();
  form.EdtFullName->setFocus();
  form.hide();
  form.show();
  EXPECT_EQ(form.focusWidget(), form.EdtUser);
}

TEST(FormUser, FieldsComeBackTrimmedAndNotesRoundTrip) {
  TestApp();
  ScriptedPrompts prompts;
  TFormUser form(prompts);
  pellora::TUserList u;
  u.UserName = "bob";
  u.Password = "pw";
  u.Disabled = true;
  u.Email = "bob@example.com";
  u.FullName = "Bob Builder";
  u.Notes =
      "first\r\nsecond\xC2\xA0"
      "half\r\n\r\nlast";  // a no-break space inside
  form.SetFields(u);
  pellora::TUserList back = form.Fields();
  EXPECT_EQ(back.UserName, u.UserName);
  EXPECT_TRUE(back.Disabled);
  EXPECT_EQ(back.Email, u.Email);
  EXPECT_EQ(back.FullName, u.FullName);
  EXPECT_EQ(back.Notes, u.Notes);

  form.EdtUser->setText(
      " \t b\xC3\xA9"
      "a  ");
  form.MemoNotes->setPlainText("\n  note \n\n");
  back = form.Fields();
  EXPECT_EQ(back.UserName,
            "b\xC3\xA9"
            "a");
  EXPECT_EQ(back.Notes, "note");

  form.ClearFields();
  back = form.Fields();
  EXPECT_TRUE(back.UserName.empty() && back.Password.empty() && back.Email.empty() && back.FullName.empty() &&
              back.Notes.empty());
  EXPECT_FALSE(back.Disabled);
}

// Fields of any length come back whole.
TEST(FormUser, LongFieldsAreKeptWhole) {
  TestApp();
  ScriptedPrompts prompts;
  TFormUser form(prompts);
  pellora::TUserList user;
  user.UserName = std::string(100000, 'a');
  user.Password = std::string(100000, 'b');
  user.Email = std::string(100000, 'c');
  user.FullName = std::string(100000, 'd');
  form.SetFields(user);
  const pellora::TUserList back = form.Fields();
  EXPECT_EQ(std::vector({back.UserName, back.Password, back.Email, back.FullName}),
            std::vector({user.UserName, user.Password, user.Email, user.FullName}));
}

TEST(FormUser, EmailButtonOpensMailtoWithTheTrimmedAddress) {
  TestApp();
  ScriptedPrompts prompts;
  TFormUser form(prompts);
  form.show();
  form.EdtEmail->setText("  bob@example.com ");
  QTest::mouseClick(form.BtnEmail, Qt::LeftButton);
  form.EdtEmail->clear();
  QTest::mouseClick(form.BtnEmail, Qt::LeftButton);
  ASSERT_EQ(prompts.Opened().size(), 2u);
  EXPECT_EQ(prompts.Opened()[0].toString(), "mailto:bob@example.com");
  EXPECT_EQ(prompts.Opened()[1].toString(), "mailto:");
  EXPECT_TRUE(form.isVisible());
}

TEST(FormUser, AddThroughTheRealModalDialog) {
  UserPage page;
  page.commands.SetDialogRunner([](QDialog& d) { return d.exec(); });
  QTimer::singleShot(0, [&page] {
    ASSERT_EQ(QApplication::activeModalWidget(), &page.formUser);
    EXPECT_FALSE(page.formUser.BtnOk->isEnabled());
    QTest::keyClicks(page.formUser.EdtUser, "dora");
    QTest::keyClicks(page.formUser.EdtPassword, "pw1");
    QTest::mouseClick(page.formUser.BtnOk, Qt::LeftButton);
  });
  page.commands.AddUser();
  EXPECT_EQ(page.ViewNames(), (std::vector<std::string>{"dora"}));
  EXPECT_EQ(page.formUser.windowTitle(), "Add User");
}

TEST(FormAutoCreate, NumeralDisablesTheCaseGroupBesideIt) {
  TestApp();
  TFormAutoCreate form;
  form.show();
  QTest::mouseClick(form.RdoUserChars->Item(1), Qt::LeftButton);
  EXPECT_FALSE(form.RdoUserCase->isEnabled());
  EXPECT_TRUE(form.RdoPasswordCase->isEnabled());
  QTest::mouseClick(form.RdoUserChars->Item(2), Qt::LeftButton);
  EXPECT_TRUE(form.RdoUserCase->isEnabled());

  form.RdoPasswordChars->SetItemIndex(1);
  EXPECT_FALSE(form.RdoPasswordCase->isEnabled());
  EXPECT_TRUE(form.RdoUserCase->isEnabled());
  form.RdoPasswordChars->SetItemIndex(0);
  EXPECT_TRUE(form.RdoPasswordCase->isEnabled());

  // The case index is still read while its group is greyed out.
  form.RdoUserCase->SetItemIndex(1);
  form.RdoUserChars->SetItemIndex(1);
  EXPECT_EQ(form.Settings().UserCase, 1);
  EXPECT_EQ(form.Settings().UserChars, 1);
}

TEST(FormAutoCreate, TypedValuesOutsideTheRangeAreClamped) {
  TestApp();
  TFormAutoCreate form;
  form.show();
  TypeInto(form.EdtCount, "5000");
  EXPECT_EQ(EditOf(form.EdtCount)->text(), "5000");  // the keystrokes were taken
  TypeInto(form.EdtUserLength, "0");
  TypeInto(form.EdtPasswordLength, "99999999999999999999");
  pellora::SeriesSettings s = form.Settings();
  EXPECT_EQ(s.Count, 4096);
  EXPECT_EQ(s.UserLength, 1);
  EXPECT_EQ(s.PasswordLength, 255);
  EXPECT_EQ(form.EdtCount->text(), "4096");

  form.EdtUserLength->setValue(8);
  TypeInto(form.EdtCount, "12");
  TypeInto(form.EdtUserLength, "");
  EXPECT_TRUE(EditOf(form.EdtUserLength)->text().isEmpty());
  s = form.Settings();
  EXPECT_EQ(s.Count, 12);
  EXPECT_EQ(s.UserLength, 8);  // an emptied field keeps the value before
  // Letters are refused as they are typed.
  TypeInto(form.EdtPasswordLength, "7x");
  EXPECT_EQ(form.Settings().PasswordLength, 7);
}

TEST(FormAutoCreate, OkCommitsATypedValue) {
  UserPage page;
  page.commands.SetDialogRunner([](QDialog& d) { return d.exec(); });
  QTimer::singleShot(0, [&page] {
    TypeInto(page.formAutoCreate.EdtCount, "2");
    QTest::keyClick(EditOf(page.formAutoCreate.EdtCount), Qt::Key_Return);
    // Never leave the modal loop running should the key not get through.
    if (page.formAutoCreate.isVisible()) page.formAutoCreate.reject();
  });
  page.commands.CreateSeries();
  EXPECT_EQ(page.users.CountUsers(), 2u);
}

TEST(FormAutoCreate, SecondSeriesOpensWithTheFirstChoices) {
  UserPage page;
  page.operatorDoes = [&page](QDialog&) {
    page.formAutoCreate.EdtCount->setValue(2);
    page.formAutoCreate.EdtUserLength->setValue(9);
    page.formAutoCreate.RdoUserChars->SetItemIndex(1);
    page.formAutoCreate.RdoPasswordCase->SetItemIndex(2);
    return true;
  };
  page.commands.CreateSeries();
  page.operatorDoes = [&page](QDialog&) {
    const pellora::SeriesSettings s = page.formAutoCreate.Settings();
    EXPECT_EQ(s.Count, 2);
    EXPECT_EQ(s.UserLength, 9);
    EXPECT_EQ(s.UserChars, 1);
    EXPECT_EQ(s.PasswordCase, 2);
    EXPECT_FALSE(page.formAutoCreate.RdoUserCase->isEnabled());
    return true;
  };
  page.commands.CreateSeries();
  EXPECT_EQ(page.users.CountUsers(), 4u);
  for (const pellora::TUserList& u : page.users) {
    EXPECT_EQ(u.UserName.size(), 9u);
    EXPECT_EQ(u.UserName.find_first_not_of("0123456789"), std::string::npos);
  }
}
