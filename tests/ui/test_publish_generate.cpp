// Generate, the previews, Browse and Save now! clicked on the real window:
// the page and field a refusal shows, what reaches the log window and when it
// is shown, and the folder dialog's effect on the project.
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <string>

#include "generate/AccessFiles.h"
#include "platform/Files.h"
#include "test_publish_window.h"

namespace {

namespace fs = std::filesystem;
using Kind = ScriptedPrompts::Kind;
using Button = ScriptedPrompts::Button;

std::string Read(const fs::path& path) {
  std::string text;
  pellora::ReadWholeFile(path, text);
  return text;
}

void Write(const fs::path& path, const std::string& text) { pellora::WriteFileAtomic(path, text); }

const QString kDesWarning =
    "  Warning: DES hashes are not accepted by Apache on Windows; bcrypt works on every Apache 2.4";

class Generate : public PublishWindow {};

TEST_F(Generate, RefusesInOrderShowingThePageAndFieldBeforeTheMessage) {
  form->EdtAuthUserFile->setText("  ");
  form->EdtFtpServerPath->clear();
  form->EdtAuthName->setText("\t");
  form->ShowStep(2);
  DirtyLog();

  struct Expected {
    int step;
    const char* focus;  // nullptr: the list page has no field to focus
    const char* text;
  };
  auto clickAndExpect = [&](const Expected& e) {
    SCOPED_TRACE(e.text);
    prompts.Expect(Kind::Message);
    Click(form->BtnGenerate);
    EXPECT_EQ(prompts.LastAsked().text, e.text);
    EXPECT_EQ(prompts.LastAsked().caption, "Error!");
    EXPECT_EQ(prompts.atMessage.step, e.step);
    EXPECT_EQ(form->CurrentStep, e.step);
    if (e.focus) {
      EXPECT_EQ(prompts.atMessage.focus, e.focus);
    }
    form->ShowStep(2);
  };

  clickAndExpect({0, nullptr, "Please define user/password list."});
  AddUser("ann", "secret", true);  // only disabled users count as none
  clickAndExpect({0, nullptr, "Please define user/password list."});
  AddUser("bob", "secret");
  clickAndExpect({1, "EdtAuthUserFile", "Please define remote FTP path of the .htpasswd file."});
  form->EdtAuthUserFile->setText("/");
  clickAndExpect({1, "EdtFtpServerPath", "Please define FULL HOST path of your FTP server."});
  form->EdtFtpServerPath->setText("/home/web/");
  clickAndExpect({1, "EdtAuthName", "Please define text shows in the password dialog."});

  EXPECT_FALSE(fs::exists(Working(".htaccess")));
  EXPECT_FALSE(fs::exists(Working(".htpasswd")));
  ExpectLogUntouched();
}

// An error page that would make the server refuse the whole folder: the
// options page comes up with the field in focus, then the message; nothing
// is written. With the box unticked the address is never written, so never
// refused.
TEST_F(Generate, RefusesAnErrorPageThatBreaksTheFolderOnlyWhenItIsWritten) {
  AddUser("bob", "secret");
  form->chkRedirectErrPage->setChecked(true);
  form->edtErrPage->setText("http://example.org/\"sorry\".htm");
  form->ShowStep(2);
  DirtyLog();
  prompts.Expect(Kind::Message);
  Click(form->BtnGenerate);
  EXPECT_EQ(prompts.LastAsked().text,
            "The error page address must not contain a double quote (\"), \"%{\" or a control character.");
  EXPECT_EQ(prompts.LastAsked().caption, "Error!");
  EXPECT_EQ(prompts.atMessage.step, 1);
  EXPECT_EQ(prompts.atMessage.focus, "edtErrPage");
  EXPECT_EQ(Focused(), "edtErrPage");
  EXPECT_FALSE(fs::exists(Working(".htaccess")));
  EXPECT_FALSE(fs::exists(Working(".htpasswd")));
  EXPECT_EQ(log->Lines(), QStringList{"earlier report"});

  form->chkRedirectErrPage->setChecked(false);
  form->ShowStep(2);
  Click(form->BtnGenerate);
  EXPECT_TRUE(fs::exists(Working(".htaccess")));
}

TEST_F(Generate, WritesBothFilesFromTheFieldsAndShowsTheReport) {
  AddUser("ann", "one");
  AddUser("bob", "two", true);
  AddUser("carl", "");
  form->EdtAuthName->setText("  Staff Only  ");
  form->EdtFtpServerPath->setText("/srv/site/");
  form->ShowStep(2);
  DirtyLog();
  form->Model().Modified = false;

  Click(form->BtnGenerate);

  EXPECT_EQ(log->Lines(), (QStringList{"* Generate .htaccess file ... OK!", "", "* Generate .htpasswd file ... OK!", "",
                                       kDesWarning, "  Warning: users with an empty password: \"carl\""}));
  EXPECT_TRUE(log->isVisible());
  ExpectLogAtRest();
  EXPECT_FALSE(form->Model().Modified) << "DES keeps no hashes";
  EXPECT_EQ(form->CurrentStep, 2);
  EXPECT_TRUE(prompts.Asked().empty());

  const std::string htaccess = Read(Working(".htaccess"));
  EXPECT_EQ(htaccess, pellora::BuildHtaccess(form->Settings()));
  EXPECT_NE(htaccess.find("AuthUserFile /srv/site/.htpasswd\r\n"), std::string::npos) << htaccess;
  EXPECT_NE(htaccess.find("AuthName \"Staff Only\"\r\n"), std::string::npos) << htaccess;
  const std::string htpasswd = Read(Working(".htpasswd"));
  EXPECT_EQ(htpasswd.size(), (4 + 13 + 2) + (5 + 13 + 2)) << htpasswd;  // name, colon, hash, CR LF
  EXPECT_TRUE(htpasswd.starts_with("ann:")) << htpasswd;
  EXPECT_NE(htpasswd.find("\r\ncarl:"), std::string::npos) << htpasswd;
  EXPECT_EQ(htpasswd.find("bob"), std::string::npos) << htpasswd;
}

// A long hashing run shows how far it is, and Stop ends it with nothing
// written; a finished run that keeps hashes changes the project.
TEST_F(Generate, StopEndsALongHashingRunAndNothingIsWritten) {
  for (int i = 0; i < 40; ++i) AddUser("user" + std::to_string(i), "pw");
  form->CmbPasswordHash->setCurrentIndex(form->CmbPasswordHash->findData("bcrypt"));
  form->EdtHashCost->setText("13");
  form->ShowStep(2);
  form->Model().Modified = false;
  QString progress;
  QTimer::singleShot(300, log.get(), [&] {
    progress = log->LblProgress->text();
    Click(form->BtnViewHtaccess);  // the main window takes no input meanwhile
    Click(log->BtnStop);
  });
  Click(form->BtnGenerate);
  EXPECT_TRUE(progress.startsWith("Hashing passwords: ")) << progress.toStdString();
  EXPECT_TRUE(progress.endsWith(" of 40")) << progress.toStdString();
  EXPECT_TRUE(prompts.Asked().empty());
  EXPECT_EQ(log->Lines(), (QStringList{"* Generate stopped: no file was written", ""}));
  EXPECT_TRUE(log->LblProgress->text().isEmpty());
  ExpectLogAtRest();
  EXPECT_FALSE(fs::exists(Working(".htpasswd")));
  EXPECT_FALSE(form->Model().Modified);

  form->Users().ClearUsers();
  AddUser("ann", "pw");
  form->EdtHashCost->setText("4");
  form->Model().Modified = false;
  Click(form->BtnGenerate);
  EXPECT_TRUE(fs::exists(Working(".htpasswd")));
  EXPECT_TRUE(form->Model().Modified) << "the kept hash is part of the project";
}

TEST_F(Generate, EachPreviewOpensItsOwnFileOrWarnsAndFocusesGenerate) {
  form->ShowStep(2);
  prompts.Expect(Kind::Message);
  Click(form->BtnViewHtaccess);
  EXPECT_EQ(prompts.LastAsked().text, "Please generate .htaccess and .htpasswd files first.");
  EXPECT_EQ(prompts.LastAsked().caption, "Warning");
  EXPECT_EQ(Focused(), "BtnGenerate");
  EXPECT_TRUE(prompts.Viewed().isEmpty());

  Write(Working(".htaccess"), "AuthType Basic\r\n");
  Click(form->BtnViewHtaccess);
  EXPECT_EQ(prompts.Viewed(), QStringList{QString::fromStdString(Working(".htaccess").string())});

  prompts.Expect(Kind::Message);
  Click(form->BtnViewHtpasswd);
  EXPECT_EQ(prompts.LastAsked().caption, "Warning");
  EXPECT_EQ(Focused(), "BtnGenerate");
  EXPECT_EQ(prompts.Viewed().size(), 1);
  EXPECT_EQ(form->CurrentStep, 2);
}

class SaveNow : public PublishWindow {
 protected:
  void SetUp() override {
    PublishWindow::SetUp();
    ASSERT_TRUE(target.isValid());
    form->ShowStep(3);
    Click(form->RdoLocalHardDisk);
  }
  void Generated() { GenerateForTheWindow(); }
  std::string Dir() const { return target.path().toStdString(); }
  fs::path In(const char* name) const { return fs::path(Dir()) / name; }
  QStringList Report(const char* htaccess, const char* htpasswd) const {
    return {QString::fromStdString("Save .htaccess file to " + Dir() + "/.htaccess ... " + htaccess), "",
            QString::fromStdString("Save .htpasswd file to " + Dir() + "/.htpasswd ... " + htpasswd), ""};
  }

  QTemporaryDir target;
};

TEST_F(SaveNow, RefusesOnTheGeneratePageUntilBothFilesExist) {
  form->EdtDirectory->setText(target.path());
  DirtyLog();
  for (int generated = 0; generated < 2; ++generated) {
    if (generated) Write(Working(".htaccess"), "AuthType Basic\r\n");
    form->ShowStep(3);
    prompts.Expect(Kind::Message);
    Click(form->BtnSaveNow);
    EXPECT_EQ(prompts.LastAsked().text, "Please generate .htaccess and .htpasswd files first.");
    EXPECT_EQ(prompts.LastAsked().caption, "Error!");
    EXPECT_EQ(prompts.atMessage.step, 2);
    EXPECT_EQ(prompts.atMessage.focus, "BtnGenerate");
  }
  EXPECT_TRUE(fs::is_empty(Dir()));
  ExpectLogUntouched();
}

TEST_F(SaveNow, AsksPerFileAndReportsEachCopy) {
  Generated();
  Write(In(".htaccess"), "kept\r\n");
  Write(In(".htpasswd"), "replaced\r\n");
  form->EdtDirectory->setText(" " + target.path() + "/ ");
  form->Model().Modified = false;
  DirtyLog();
  prompts.Expect(Kind::AskReplace, Button::No);
  prompts.Expect(Kind::AskReplace, Button::Yes);

  Click(form->BtnSaveNow);

  ASSERT_EQ(prompts.Asked().size(), 2u);
  const auto& first = prompts.Asked()[0];
  EXPECT_EQ(first.text, QString::fromStdString(Dir() + "/.htaccess already exists. Do you want to replace it?"));
  EXPECT_EQ(first.caption, "Information");
  EXPECT_EQ(first.defaultButton, Button::Yes);
  EXPECT_EQ(prompts.Asked()[1].text,
            QString::fromStdString(Dir() + "/.htpasswd already exists. Do you want to replace it?"));
  EXPECT_EQ(log->Lines(), Report("Failed!", "OK!"));
  EXPECT_EQ(Read(In(".htaccess")), "kept\r\n");
  EXPECT_EQ(Read(In(".htpasswd")), Read(Working(".htpasswd")));
  EXPECT_TRUE(log->isVisible());
  ExpectLogAtRest();
  EXPECT_FALSE(form->Model().Modified);
}

// Files generated before the last change would publish the old users: Yes
// generates again and saves, No saves them as they are, Cancel does nothing.
TEST_F(SaveNow, FilesOlderThanTheUsersAreOfferedForGeneratingAgain) {
  for (Button answer : {Button::Yes, Button::No, Button::Cancel}) {
    SCOPED_TRACE(static_cast<int>(answer));
    fs::remove(In(".htaccess"));
    fs::remove(In(".htpasswd"));
    form->Users().ClearUsers();
    AddUser("ann", "pw");
    Generated();
    AddUser("bob", "pw2");
    form->EdtDirectory->setText(target.path());
    log->Clear();
    DirtyLog();
    prompts.Expect(Kind::Confirm, answer);
    Click(form->BtnSaveNow);
    EXPECT_EQ(prompts.LastAsked().text,
              "The user list or the options changed after the files were generated. Generate them again first?");
    const QStringList generated{
        "* Generate .htaccess file ... OK!",
        "",
        "* Generate .htpasswd file ... OK!",
        "",
        "  Warning: the FULL HOST path is still the sample /home/yourloginname/: put the path of your account on the "
        "server there",
        kDesWarning};
    switch (answer) {
      case Button::Yes:
        EXPECT_EQ(log->Lines(), generated + Report("OK!", "OK!"));
        EXPECT_NE(Read(In(".htpasswd")).find("bob:"), std::string::npos);
        break;
      case Button::No:
        EXPECT_EQ(log->Lines(), Report("OK!", "OK!"));
        EXPECT_EQ(Read(In(".htpasswd")).find("bob:"), std::string::npos);
        break;
      default: EXPECT_FALSE(fs::exists(In(".htpasswd"))); ExpectLogUntouched();
    }
  }
}

TEST_F(SaveNow, AFolderThatDoesNotExistIsOnlyReported) {
  Generated();
  form->EdtDirectory->setText(target.path() + "/missing");
  DirtyLog();
  prompts.Expect(Kind::Message);
  Click(form->BtnSaveNow);
  EXPECT_EQ(prompts.LastAsked().text, "The specified directory does not exist!");
  EXPECT_EQ(prompts.LastAsked().caption, "Error");
  EXPECT_EQ(form->CurrentStep, 3);
  EXPECT_FALSE(log->isVisible());
  EXPECT_TRUE(log->Lines().isEmpty());
  ExpectLogAtRest();
}

TEST_F(SaveNow, AnEmptyFieldAsksForTheFolder) {
  Generated();
  form->Model().Modified = false;
  DirtyLog();

  prompts.ExpectPath(Kind::ChooseFolder, "");
  Click(form->BtnSaveNow);
  ASSERT_EQ(prompts.Asked().size(), 1u);
  EXPECT_EQ(prompts.LastAsked().caption, "Save to directory:");
  EXPECT_FALSE(log->isVisible());
  EXPECT_FALSE(form->Model().Modified);
  EXPECT_TRUE(form->EdtDirectory->text().isEmpty());
  EXPECT_TRUE(fs::is_empty(Dir()));

  prompts.ExpectPath(Kind::ChooseFolder, target.path());
  Click(form->BtnSaveNow);
  EXPECT_EQ(form->EdtDirectory->text(), target.path());
  EXPECT_TRUE(form->Model().Modified);
  EXPECT_EQ(log->Lines(), Report("OK!", "OK!"));
  EXPECT_TRUE(log->isVisible());
  ExpectLogAtRest();
  EXPECT_EQ(Read(In(".htaccess")), Read(Working(".htaccess")));
  EXPECT_EQ(Read(In(".htpasswd")), Read(Working(".htpasswd")));
}

TEST_F(SaveNow, BrowseStartsInTheNamedFolderAndMarksTheProjectEvenForTheSameFolder) {
  form->EdtDirectory->setText(target.path() + "/missing");
  prompts.ExpectPath(Kind::ChooseFolder, "");
  Click(form->BtnBrowse);
  EXPECT_EQ(prompts.LastAsked().text, "");  // no such folder: the dialog's own start

  form->EdtDirectory->setText(" " + target.path() + " ");
  form->Model().Modified = false;
  prompts.ExpectPath(Kind::ChooseFolder, "");
  Click(form->BtnBrowse);
  EXPECT_EQ(prompts.LastAsked().text, target.path());
  EXPECT_EQ(form->EdtDirectory->text(), " " + target.path() + " ");
  EXPECT_FALSE(form->Model().Modified);

  prompts.ExpectPath(Kind::ChooseFolder, target.path());
  Click(form->BtnBrowse);
  EXPECT_EQ(form->EdtDirectory->text(), target.path());
  EXPECT_TRUE(form->Model().Modified);
  EXPECT_FALSE(log->isVisible());
}

}  // namespace
