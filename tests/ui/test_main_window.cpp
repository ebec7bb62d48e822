// The main window driven as an operator would: clicks on real buttons, tabs
// and menu items, typing into fields, dialogs answered by a script.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "common/Files.h"
#include "common/Logs.h"
#include "common/Users.h"
#include "core/ProjectSettings.h"
#include "ftp/Upload.h"
#include "generate/AccessFiles.h"
#include "generate/LocalSave.h"
#include "platform/WorkingFolder.h"
#include "support/QtTestApp.h"
#include "support/ScriptedPrompts.h"
#include "ui/FieldControls.h"
#include "ui/FormAbout.h"
#include "ui/FormLog.h"
#include "ui/FormMain.h"

namespace {

using pellora::ProjectSettings;
using pellora::TFormMain;

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    std::filesystem::remove(pellora::WorkingFolder() + "config.htp");
    form = std::make_unique<TFormMain>(prompts);
    log = std::make_unique<pellora::TFormLog>(form.get());
    about = std::make_unique<pellora::TFormAboutBox>(form.get());
    form->FormLog = log.get();
    form->FormAboutBox = about.get();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  void TearDown() override {
    about.reset();
    log.reset();
    form.reset();
  }

  void ClickTab(int index) {
    QTabBar* bar = form->PageControlMain->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
  }
  void Click(QAction* toolAction) {
    auto* button = qobject_cast<QToolButton*>(form->ToolBarMain->widgetForAction(toolAction));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
  }
  void ExpectStep(int step) {
    EXPECT_EQ(form->CurrentStep, step);
    EXPECT_EQ(form->PageControlMain->currentIndex(), step);
    EXPECT_EQ(form->BtnBack->isEnabled(), step != 0);
    EXPECT_EQ(form->BtnNext->isEnabled(), step != 3);
  }
  void ExpectFtpMode(bool ftp) {
    for (QWidget* w : std::initializer_list<QWidget*>{form->EdtHost, form->EdtUser, form->EdtPassword,
                                                      form->EdtWebDirectory, form->BtnFtpNow})
      EXPECT_EQ(w->isEnabled(), ftp) << w->objectName().toStdString();
    for (QWidget* w : std::initializer_list<QWidget*>{form->EdtDirectory, form->BtnBrowse, form->BtnSaveNow})
      EXPECT_EQ(w->isEnabled(), !ftp) << w->objectName().toStdString();
    EXPECT_TRUE(form->EdtPort->isEnabled());
    EXPECT_TRUE(form->chkFTPPassive->isEnabled());
    EXPECT_EQ(form->RdoFtpServer->isChecked(), ftp);
    EXPECT_EQ(form->RdoLocalHardDisk->isChecked(), !ftp);
  }

  ScriptedPrompts prompts;
  std::unique_ptr<TFormMain> form;
  std::unique_ptr<pellora::TFormLog> log;
  std::unique_ptr<pellora::TFormAboutBox> about;
};

ProjectSettings Unusual() {
  ProjectSettings s;
  s.AuthUserFile = " /home/me/private ";
  s.FtpServerPath = "/var/www/me/";
  s.AuthName = "Staff";
  s.RedirectError = true;
  s.RedirectErrorPage = "http://me.example/denied.htm";
  s.ToFtpServer = false;
  s.FtpHost = "ftp.me.example";
  s.FtpPort = "2121";
  s.FtpUser = "me";
  s.FtpPassword = "s3cr\xC3\xA9t";
  s.FtpWebDirectory = "/www/members/";
  s.LocalDirectory = "/tmp/out";
  s.FtpPassive = false;
  return s;
}

TEST_F(MainWindow, StartsUntitledOnTheFirstPageWithEveryDefault) {
  ExpectStep(0);
  EXPECT_EQ(form->Settings(), ProjectSettings{});
  ExpectFtpMode(true);
  EXPECT_EQ(form->windowTitle(), "Pellora - Untitled");
  EXPECT_EQ(form->Model().FileName, "Untitled");
  EXPECT_TRUE(form->Model().Untitled);
  EXPECT_FALSE(form->Model().Modified);
  EXPECT_EQ(form->ViewFilter, 0);
  EXPECT_TRUE(form->MIViewAllUsers->isChecked());
  EXPECT_FALSE(form->MIViewEnabledUsers->isChecked());
  EXPECT_FALSE(form->MIViewDisabledUsers->isChecked());
  EXPECT_EQ(form->Users().CountUsers(), 0u);
  EXPECT_EQ(form->EdtPassword->echoMode(), QLineEdit::Password);
  EXPECT_EQ(form->centralWidget()->width(), 652);
  EXPECT_EQ(form->ToolBarMain->height() + form->centralWidget()->height(), 421);
  EXPECT_EQ(form->minimumSize(), form->maximumSize());
  EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);

  // A size imposed where no window manager keeps to the fixed one is undone.
  const QSize fixed = form->size();
  form->windowHandle()->resize(900, 700);
  QCoreApplication::processEvents();  // the imposed size reaches the window
  EXPECT_TRUE(QTest::qWaitFor([&] { return form->size() == fixed; }, 1000)) << form->width() << "x" << form->height();
}

TEST_F(MainWindow, PagesMenusAndToolbarCarryTheirTexts) {
  QStringList tabs;
  for (int i = 0; i < form->PageControlMain->count(); ++i) tabs << form->PageControlMain->tabText(i);
  EXPECT_EQ(tabs, (QStringList{"Step - 1", "Step - 2", "Step - 3", "Upload password files ..."}));
  EXPECT_EQ(form->BtnBack->text(), "<<  Back");
  EXPECT_EQ(form->BtnNext->text(), "Next  >>");
  EXPECT_TRUE(form->LblOptionsTitle->font().bold());

  auto texts = [](const QList<QAction*>& actions, auto text) {
    QStringList out;
    for (QAction* a : actions) out << (a->isSeparator() ? QString("-") : text(a));
    return out;
  };
  auto caption = [](QAction* a) { return a->text(); };
  auto hint = [](QAction* a) { return a->toolTip(); };
  EXPECT_EQ(texts(form->ToolBarMain->actions(), hint), (QStringList{"New project", "Open project", "-", "Save project",
                                                                    "-", "Online Frequently Asked Questions"}));
  // The menus' items with their underlined letters and the keys shown beside them.
  auto item = [](QAction* a) { return a->text() + (a->shortcut().isEmpty() ? "" : "\t" + a->shortcut().toString()); };
  EXPECT_EQ(texts(form->menuBar()->actions(), caption), (QStringList{"&Project", "&Help"}));
  EXPECT_EQ(texts(form->MenuProject->actions(), item),
            (QStringList{"&New project\tCtrl+N", "&Open project\tCtrl+O", "-", "&Save project\tCtrl+S",
                         "Save project &as ...", "-", "&Import .htpasswd ...", "-", "E&xit"}));
  EXPECT_EQ(texts(form->MenuHelp->actions(), item),
            (QStringList{"&Help document\tF1", "-", "&Visit website", "&Contact us", "-", "&About ..."}));
  EXPECT_EQ(texts(form->PopupMenuUser->actions(), caption),
            (QStringList{"Add User", "Edit User's Property", "-", "Create Random User/Password Series", "-",
                         "Delete Selected User", "Delete All Users", "-", "Cancel"}));
  EXPECT_EQ(texts(form->PopupMenuViewUsers->actions(), caption),
            (QStringList{"View All Users", "View Enabled Users", "View Disabled Users"}));

  // Tests and later commands find the controls by the names they carry.
  for (const char* name : {"ListViewUser",
                           "BtnViewUsers",
                           "TbnAddUser",
                           "TbnCreateUser",
                           "TbnEditUser",
                           "TbnDeleteUser",
                           "TbnDeleteAllUsers",
                           "btnsavecsv",
                           "btnloadcsv",
                           "EdtFtpServerPath",
                           "EdtAuthUserFile",
                           "EdtAuthName",
                           "chkRedirectErrPage",
                           "edtErrPage",
                           "BtnGenerate",
                           "BtnViewHtaccess",
                           "BtnViewHtpasswd",
                           "RdoFtpServer",
                           "EdtHost",
                           "EdtPort",
                           "EdtUser",
                           "chkFTPPassive",
                           "EdtPassword",
                           "EdtWebDirectory",
                           "BtnFtpNow",
                           "RdoLocalHardDisk",
                           "EdtDirectory",
                           "BtnBrowse",
                           "BtnSaveNow",
                           "BtnHelp",
                           "BtnBack",
                           "BtnNext",
                           "BtnExit",
                           "ImageLogo",
                           "PageControlMain",
                           "ToolBarMain"})
    EXPECT_NE(form->findChild<QWidget*>(name), nullptr) << name;
  EXPECT_EQ(form->TbnDeleteAllUsers->toolTip(), "Remove all users");
  EXPECT_EQ(form->btnloadcsv->toolTip(), "Load user list from .CSV file");
}

TEST_F(MainWindow, NextThreeTimesReachesTheLastPageAndOnceMoreDoesNothing) {
  for (int step = 1; step <= 3; ++step) {
    QTest::mouseClick(form->BtnNext, Qt::LeftButton);
    ExpectStep(step);
  }
  QTest::mouseClick(form->BtnNext, Qt::LeftButton);
  form->BtnNextClick();  // even when reached some other way
  ExpectStep(3);
  for (int step = 2; step >= 0; --step) {
    QTest::mouseClick(form->BtnBack, Qt::LeftButton);
    ExpectStep(step);
  }
  form->BtnBackClick();
  ExpectStep(0);
  EXPECT_FALSE(form->Model().Modified);
}

TEST_F(MainWindow, ClickingATabMovesTheWizardThere) {
  ClickTab(3);
  ExpectStep(3);
  ClickTab(1);
  ExpectStep(1);
  QTest::mouseClick(form->BtnNext, Qt::LeftButton);
  ExpectStep(2);
  ClickTab(0);
  ExpectStep(0);
}

TEST_F(MainWindow, TypingTheSameTextAgainStillMarksTheProject) {
  ClickTab(3);
  QTest::keyClicks(form->EdtHost, "ftp.example.net");
  form->Model().Modified = false;
  form->EdtHost->selectAll();
  QTest::keyClick(form->EdtHost, Qt::Key_Delete);
  QTest::keyClicks(form->EdtHost, "ftp.example.net");
  EXPECT_EQ(form->EdtHost->text(), "ftp.example.net");
  EXPECT_TRUE(form->Model().Modified);
}

TEST_F(MainWindow, RadioButtonsSwitchTheFieldsWithoutMarkingTheProject) {
  ClickTab(3);
  const QString title = form->windowTitle();
  QTest::mouseClick(form->RdoLocalHardDisk, Qt::LeftButton, {}, QPoint(6, form->RdoLocalHardDisk->height() / 2));
  ExpectFtpMode(false);
  EXPECT_FALSE(form->Model().Modified);
  EXPECT_EQ(form->windowTitle(), title);
  EXPECT_FALSE(form->Settings().ToFtpServer);

  // The port stays editable in local mode.
  form->EdtPort->setFocus();
  form->EdtPort->selectAll();
  QTest::keyClicks(form->EdtPort, "2121");
  EXPECT_EQ(form->EdtPort->text(), "2121");
  EXPECT_TRUE(form->Model().Modified);

  form->Model().Modified = false;
  QTest::mouseClick(form->RdoFtpServer, Qt::LeftButton, {}, QPoint(6, form->RdoFtpServer->height() / 2));
  ExpectFtpMode(true);
  EXPECT_FALSE(form->Model().Modified);
}

TEST_F(MainWindow, EveryFieldAndBothCheckBoxesMarkTheProjectAlsoWhenSetByProgram) {
  for (QLineEdit* edit :
       {form->EdtAuthUserFile, form->EdtFtpServerPath, form->EdtAuthName, form->edtErrPage, form->EdtHost,
        form->EdtPort, form->EdtUser, form->EdtPassword, form->EdtWebDirectory, form->EdtDirectory}) {
    form->Model().Modified = false;
    edit->setText(edit->text() + "x");
    EXPECT_TRUE(form->Model().Modified) << edit->objectName().toStdString();
  }
  for (QCheckBox* box : {form->chkRedirectErrPage, form->chkFTPPassive}) {
    form->Model().Modified = false;
    box->setChecked(!box->isChecked());
    EXPECT_TRUE(form->Model().Modified) << box->objectName().toStdString();
    form->Model().Modified = false;
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    EXPECT_TRUE(form->Model().Modified) << box->objectName().toStdString();
  }
}

TEST_F(MainWindow, PageMovesTheViewFilterAndHelpLeaveTheProjectAlone) {
  ClickTab(2);
  QTest::mouseClick(form->BtnNext, Qt::LeftButton);
  QTest::mouseClick(form->BtnBack, Qt::LeftButton);
  form->MIViewDisabledUsers->trigger();
  EXPECT_EQ(form->ViewFilter, 2);
  EXPECT_TRUE(form->MIViewDisabledUsers->isChecked());
  EXPECT_FALSE(form->MIViewAllUsers->isChecked());
  QTest::mouseClick(form->BtnHelp, Qt::LeftButton);
  EXPECT_FALSE(form->Model().Modified);
}

TEST_F(MainWindow, ViewUsersAndTheListOpenTheirMenus) {
  QTest::mouseClick(form->BtnViewUsers, Qt::LeftButton);
  ASSERT_TRUE(form->PopupMenuViewUsers->isVisible());
  // Below the button, from its left edge unless the screen's edge pushes it back.
  const QPoint corner = form->BtnViewUsers->mapToGlobal(QPoint(0, form->BtnViewUsers->height()));
  EXPECT_EQ(form->PopupMenuViewUsers->pos().y(), corner.y());
  EXPECT_LE(form->PopupMenuViewUsers->pos().x(), corner.x());
  form->PopupMenuViewUsers->hide();

  // With nothing selected, the commands on a selected user are greyed.
  emit form->ListViewUser->customContextMenuRequested(QPoint(10, 10));
  ASSERT_TRUE(form->PopupMenuUser->isVisible());
  EXPECT_FALSE(form->MIEditUser->isEnabled());
  EXPECT_FALSE(form->MIDeleteUser->isEnabled());
  EXPECT_TRUE(form->MIAddUser->isEnabled());
  EXPECT_TRUE(form->MIDeleteAllUsers->isEnabled());
  form->PopupMenuUser->hide();
  EXPECT_FALSE(form->Model().Modified);
}

TEST_F(MainWindow, AppliedSettingsReadBackAndResetRestoresTheDefaults) {
  const std::string name = form->Model().FileName;
  form->ApplySettings(Unusual());
  EXPECT_EQ(form->Settings(), Unusual());
  ExpectFtpMode(false);
  EXPECT_TRUE(form->Model().Modified);
  form->ShowStep(3);
  form->MIViewEnabledUsers->trigger();

  form->Model().Modified = false;
  form->ResetProjectSettings();
  EXPECT_EQ(form->Settings(), ProjectSettings{});
  ExpectStep(0);
  ExpectFtpMode(true);
  EXPECT_EQ(form->ViewFilter, 0);
  EXPECT_TRUE(form->MIViewAllUsers->isChecked());
  EXPECT_EQ(form->Model().FileName, name);
  EXPECT_TRUE(form->Model().Untitled);
}

TEST_F(MainWindow, HelpOpensInTheProgramAndLinksGoToTheDesktopOrShowTheirAddress) {
  QTest::mouseClick(form->BtnHelp, Qt::LeftButton);
  form->MIHelpDocument->trigger();
  const QString help = QCoreApplication::applicationDirPath() + "/help.html";
  EXPECT_EQ(prompts.Helped(), (QStringList{help, help}));

  for (bool desktopOpens : {true, false}) {
    prompts.desktopOpens = desktopOpens;
    prompts.Forget();
    for (int i = desktopOpens ? 4 : 0; i < 4; ++i) prompts.Expect(ScriptedPrompts::Kind::Message);
    Click(form->TbnFAQ);
    form->MIVisitWebsite->trigger();
    form->MIContactUs->trigger();
    form->ShowStep(1);
    QTest::mouseClick(form->LblFullPathLink, Qt::LeftButton, {}, QPoint(4, form->LblFullPathLink->height() / 2));
    ASSERT_EQ(prompts.Opened().size(), 4u);
    EXPECT_EQ(prompts.Opened()[0].toString(), "https://www.pellora.example/faq.htm");
    EXPECT_EQ(prompts.Opened()[1].toString(), "https://www.pellora.example/");
    EXPECT_EQ(prompts.Opened()[2].toString(), "mailto:support@pellora.example?subject=Pellora");
    EXPECT_EQ(prompts.Opened()[3].toString(), "https://www.pellora.example/fullpath.htm");
  }
  // A desktop that opens nothing: each message ends in the address to copy.
  ASSERT_EQ(prompts.Asked().size(), 4u);
  EXPECT_TRUE(prompts.Asked()[0].text.endsWith(":\n\nhttps://www.pellora.example/faq.htm"));
  EXPECT_TRUE(prompts.Asked()[2].text.endsWith(":\n\nsupport@pellora.example\n\nSubject: Pellora"));
  EXPECT_EQ(prompts.Asked()[3].caption, "Warning");
  EXPECT_EQ(form->LblFullPathLink->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_TRUE(form->LblFullPathLink->font().underline());

  EXPECT_EQ(pellora::HelpFilePath("/"), "/help.html");
  EXPECT_EQ(pellora::HelpFilePath("/opt/pellora"), "/opt/pellora/help.html");
  // Installed: the help is in the prefix's share/pellora, unless a copy lies beside the program.
  pellora::testing::TempDir prefix;
  const QString bin = QString::fromStdString(prefix.File("bin"));
  std::filesystem::create_directories(prefix.Path() / "share/pellora");
  pellora::testing::WriteFile(prefix.Path() / "share/pellora/help.html", "<html></html>");
  EXPECT_EQ(pellora::HelpFilePath(bin + "/"), QString::fromStdString(prefix.File("share/pellora/help.html")));
  std::filesystem::create_directories(prefix.Path() / "bin");
  pellora::testing::WriteFile(prefix.Path() / "bin/help.html", "<html></html>");
  EXPECT_EQ(pellora::HelpFilePath(bin), bin + "/help.html");
}

TEST_F(MainWindow, AboutBoxIsModalAndCloses) {
  bool wasModal = false;
  QString title;
  QTimer::singleShot(0, [&] {
    wasModal = QApplication::activeModalWidget() == about.get();
    title = about->windowTitle();
    QTest::mouseClick(about->BtnClose, Qt::LeftButton);
  });
  form->MIAbout->trigger();
  EXPECT_TRUE(wasModal);
  EXPECT_EQ(title, "About");
  EXPECT_FALSE(about->isVisible());
  EXPECT_EQ(about->Version->text(), "Version 2.2");
  EXPECT_EQ(about->ProductName->text(), "Pellora");
}

TEST_F(MainWindow, ExitClosesTheWindow) {
  QTest::mouseClick(form->BtnExit, Qt::LeftButton);
  EXPECT_FALSE(form->isVisible());
  form->show();
  form->MIExit->trigger();
  EXPECT_FALSE(form->isVisible());
}

TEST_F(MainWindow, AMegabytePastedIntoAFieldIsKeptAndTheWindowStaysUsable) {
  const QString big(1 << 20, QChar('a'));
  QApplication::clipboard()->setText(big);
  ClickTab(3);
  form->EdtHost->setFocus();
  QTest::keyClick(form->EdtHost, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(form->EdtHost->text().size(), big.size());
  EXPECT_EQ(form->Settings().FtpHost.size(), big.size());
  EXPECT_TRUE(form->Model().Modified);
  form->grab();
  QTest::keyClicks(form->EdtHost, "b");
  EXPECT_EQ(form->EdtHost->text().size(), big.size() + 1);
  QTest::mouseClick(form->BtnBack, Qt::LeftButton);
  ExpectStep(2);
}

// Every refusal the layers below the window can return, and the page and
// control the window shows for it; every setting has its control.
TEST_F(MainWindow, EveryRefusalAndSettingHasItsPageAndControl) {
  using namespace pellora;
  pellora::testing::TempDir dir;
  std::filesystem::remove(WorkingFile(kHtaccessName));
  dir.Write(kHtaccessName, "x");
  dir.Write(kHtpasswdName, "x");
  pellora::testing::StringLog log;
  UserList none, one;
  one.AppendUser(pellora::testing::User("bob", "pw"));
  ProjectSettings base;
  base.FtpHost = "h";
  base.FtpUser = "u";
  auto with = [&](auto change) {
    ProjectSettings s = base;
    change(s);
    return s;
  };
  struct Case {
    std::optional<Refusal> refusal;
    int step;
    const char* control;
  };
  const Case cases[] = {
      {CheckGenerate(none, base), 0, nullptr},
      {CheckGenerate(one, with([](auto& s) { s.AuthUserFile = " "; })), 1, "EdtAuthUserFile"},
      {CheckGenerate(one, with([](auto& s) { s.FtpServerPath = ""; })), 1, "EdtFtpServerPath"},
      {CheckGenerate(one, with([](auto& s) { s.AuthName = "\\"; })), 1, "EdtAuthName"},
      {CheckGenerate(one, with([](auto& s) { s.RedirectError = true, s.RedirectErrorPage = "\""; })), 1, "edtErrPage"},
      {CheckUploadInputs(with([](auto& s) { s.FtpHost = ""; })).Refused, 3, "EdtHost"},
      {CheckUploadInputs(with([](auto& s) { s.FtpUser = ""; })).Refused, 3, "EdtUser"},
      {CheckUploadInputs(with([](auto& s) { s.FtpWebDirectory = ""; })).Refused, 3, "EdtWebDirectory"},
      {CheckUploadInputs(base).Refused, 2, "BtnGenerate"},
      {SaveNow(dir.File("none"), {}, log, dir.File("none")).Refused, 2, "BtnGenerate"},
      {SaveNow(dir.File("none"), {}, log, dir.Path()).Refused, 3, "EdtDirectory"},
      {PreviewRefusal(), 2, "BtnGenerate"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(c.refusal);
    SCOPED_TRACE(c.refusal->Text);
    EXPECT_EQ(PlaceOf(c.refusal->Target).Step, c.step);
    QWidget* control = ControlOf(*form, c.refusal->Target);
    if (!c.control) {
      EXPECT_EQ(control, nullptr);
      continue;
    }
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->objectName(), c.control);
    EXPECT_TRUE(form->PageControlMain->widget(c.step)->isAncestorOf(control));
  }
  // Every setting is bound to a control of its own.
  for (const SettingRow& row : SettingRows()) EXPECT_NE(ControlOf(*form, row.Id), nullptr) << row.Key;
}

// The password hash is chosen on the options page: the choice follows the
// project, a name this build does not know is kept, and a choice marks it.
TEST_F(MainWindow, ThePasswordHashChoiceFollowsTheProject) {
  ProjectSettings s;
  s.PasswordHash = "BCRYPT";
  s.HashCost = "12";
  form->ApplySettings(s);
  EXPECT_EQ(form->CmbPasswordHash->currentText(), "bcrypt");
  EXPECT_EQ(form->Settings().PasswordHash, "bcrypt");
  EXPECT_EQ(form->Settings().HashCost, "12");
  EXPECT_TRUE(form->EdtHashCost->isEnabled());
  EXPECT_EQ(form->LblHashNote->text(), "bcrypt: every Apache 2.4");

  s.PasswordHash = "md4";
  form->ApplySettings(s);
  EXPECT_EQ(form->CmbPasswordHash->currentText(), "des");
  EXPECT_EQ(form->Settings().PasswordHash, "md4");
  EXPECT_FALSE(form->EdtHashCost->isEnabled());

  form->Model().Modified = false;
  form->CmbPasswordHash->setCurrentIndex(form->CmbPasswordHash->findText("apr1"));
  EXPECT_EQ(form->Settings().PasswordHash, "apr1");
  EXPECT_TRUE(form->Model().Modified);
  EXPECT_EQ(form->LblHashNote->text(), "apr1: every Apache, an old MD5 hash");

  // A cost out of the format's range is clamped, and the field shows the cost used.
  form->CmbPasswordHash->setCurrentIndex(form->CmbPasswordHash->findText("bcrypt"));
  form->EdtHashCost->setText("99");
  emit form->EdtHashCost->editingFinished();
  EXPECT_EQ(form->EdtHashCost->text(), "17");
  EXPECT_EQ(form->Settings().HashCost, "17");
  form->CmbPasswordHash->setCurrentIndex(form->CmbPasswordHash->findText("sha512"));
  EXPECT_EQ(form->EdtHashCost->text(), "1000");
}

TEST(MainWindowStartUp, ALastStateProjectNamesTheWindow) {
  TestApp();
  const std::string config = pellora::WorkingFolder() + "config.htp";
  {
    std::ofstream out(config, std::ios::binary);
    out << "[USER0]\r\nUSERNAME=alice\r\nPASSWORD=pw\r\n"
           "[GENERAL]\r\nUSERCOUNT=1\r\nAUTHUSERFILE=/\r\nAUTHNAME=Club\r\nFTPSERVERPATH=/home/club/\r\n"
           "TOFTPSERVER=0\r\nLOCALDIRECTORY=/srv/out\r\n";
  }
  ScriptedPrompts prompts;
  {
    TFormMain form(prompts);
    EXPECT_EQ(form.windowTitle().toStdString(), "Pellora - " + config);
    EXPECT_EQ(form.Model().FileName, config);
    EXPECT_FALSE(form.Model().Untitled);
    EXPECT_FALSE(form.Model().Modified);  // loading sets the controls, and start-up clears the mark after that
    EXPECT_EQ(form.Users().CountUsers(), 1u);
    EXPECT_EQ(form.Settings().AuthName, "Club");
    EXPECT_EQ(form.Settings().LocalDirectory, "/srv/out");
    EXPECT_TRUE(form.RdoLocalHardDisk->isChecked());
    EXPECT_TRUE(form.EdtDirectory->isEnabled());
    EXPECT_FALSE(form.EdtHost->isEnabled());
  }
  std::filesystem::remove(config);
  EXPECT_TRUE(prompts.Asked().empty());
}

}  // namespace
