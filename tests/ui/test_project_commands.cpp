// New, Open, Save and Save as on the main window, driven through its toolbar
// and menu, with every dialog answered by a script.
#include <filesystem>
#include <fstream>

#include "test_project_window.h"

namespace {

namespace fs = std::filesystem;

const QString kUntitledQuestion = QStringLiteral("Save changes to project\r\nUntilted? ");

QString NamedQuestion(const std::string& path) {
  return QStringLiteral("Save changes to project\r\n") + QString::fromStdString(path) + QStringLiteral("? ");
}

class ProjectCommands : public ProjectWindow {
 protected:
  // An untitled project with two users and a host typed in.
  void MakeModifiedUntitled() {
    Seed({"alice", "bob"});
    form->EdtHost->setText("ftp.example.test");
    ASSERT_TRUE(form->Model().Modified);
    ASSERT_TRUE(form->Model().Untitled);
  }
  // A project file on disk with one user and a host of its own.
  std::string WriteProject(const char* name, const char* user, const char* host) {
    pellora::UserList users;
    pellora::TUserList u;
    u.UserName = user;
    u.Password = "secret";
    users.AppendUser(std::move(u));
    pellora::ProjectSettings settings;
    settings.FtpHost = host;
    settings.ToFtpServer = false;
    const std::string path = Folder() + name;
    EXPECT_TRUE(pellora::SaveProjectFile(path, users, settings));
    return path;
  }
  void ExpectUnchangedModifiedUntitled() {
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"alice", "bob"}));
    EXPECT_EQ(ViewNames(), ListNames());
    EXPECT_EQ(form->EdtHost->text(), "ftp.example.test");
    EXPECT_TRUE(form->Model().Modified);
    EXPECT_TRUE(form->Model().Untitled);
    EXPECT_EQ(form->Model().FileName, "Untitled");
    EXPECT_EQ(Title(), "Pellora - Untitled");
  }
  void ExpectEmptyDefaultProject() {
    EXPECT_EQ(form->Users().CountUsers(), 0u);
    EXPECT_TRUE(ViewNames().empty());
    EXPECT_EQ(form->Settings(), pellora::ProjectSettings{});
    EXPECT_EQ(form->CurrentStep, 0);
    EXPECT_FALSE(form->BtnBack->isEnabled());
  }
};

TEST_F(ProjectCommands, UnmodifiedProjectIsReplacedWithoutAQuestion) {
  Seed({"carol"});
  form->ShowStep(2);
  form->MIViewDisabledUsers->trigger();
  form->Model().Modified = false;
  Click(form->TbnNewProject);  // the script fails on any question
  ExpectEmptyDefaultProject();
  EXPECT_EQ(form->ViewFilter, 0);
  EXPECT_TRUE(form->MIViewAllUsers->isChecked());
  EXPECT_FALSE(form->Model().Modified);
  EXPECT_EQ(Title(), "Pellora - Untitled");

  const std::string path = WriteProject("plain.htp", "dave", "host.test");
  prompts.ExpectPath(Kind::OpenFile, QString::fromStdString(path));
  form->MIOpenProject->trigger();
  EXPECT_EQ(ListNames(), std::vector<std::string>{"dave"});
  EXPECT_EQ(prompts.Asked().size(), 1u);
}

TEST_F(ProjectCommands, NewOnAModifiedUntitledProjectAsksAndHonoursNoAndCancel) {
  MakeModifiedUntitled();
  prompts.Expect(Kind::Confirm, Button::Cancel);
  Click(form->TbnNewProject);
  EXPECT_EQ(prompts.LastAsked().text, kUntitledQuestion);
  EXPECT_EQ(prompts.LastAsked().caption, "Confirm");
  ExpectUnchangedModifiedUntitled();

  prompts.Expect(Kind::Confirm, Button::No);
  form->MINewProject->trigger();
  ExpectEmptyDefaultProject();
  EXPECT_FALSE(form->Model().Modified);
  EXPECT_EQ(Title(), "Pellora - Untitled");
  EXPECT_FALSE(fs::exists(Folder() + "config.htp"));
}

TEST_F(ProjectCommands, YesThenCancelInTheSaveDialogAbandonsNew) {
  MakeModifiedUntitled();
  prompts.Expect(Kind::Confirm, Button::Yes);
  prompts.ExpectPath(Kind::SaveFile, QString());
  Click(form->TbnNewProject);
  ASSERT_EQ(prompts.Asked().size(), 2u);
  EXPECT_EQ(prompts.Asked()[1].text, "Project File (*.htp)");
  EXPECT_EQ(prompts.Asked()[1].caption, "htp");  // the default extension
  ExpectUnchangedModifiedUntitled();
}

TEST_F(ProjectCommands, YesWithANameSavesThenStartsTheNewProject) {
  MakeModifiedUntitled();
  const std::string path = Folder() + "kept.htp";
  prompts.Expect(Kind::Confirm, Button::Yes);
  prompts.ExpectPath(Kind::SaveFile, QString::fromStdString(path));
  Click(form->TbnNewProject);
  pellora::ProjectSettings saved;
  EXPECT_EQ(FileUsers(path, &saved), (std::vector<std::string>{"alice", "bob"}));
  EXPECT_EQ(saved.FtpHost, "ftp.example.test");
  ExpectEmptyDefaultProject();
  EXPECT_TRUE(form->Model().Untitled);
  EXPECT_FALSE(form->Model().Modified);
  EXPECT_EQ(Title(), "Pellora - Untitled");
}

TEST_F(ProjectCommands, OpenNoThenCancelInTheOpenDialogChangesNothing) {
  MakeModifiedUntitled();
  prompts.Expect(Kind::Confirm, Button::No);
  prompts.ExpectPath(Kind::OpenFile, QString());
  Click(form->TbnOpenProject);
  ASSERT_EQ(prompts.Asked().size(), 2u);
  EXPECT_EQ(prompts.Asked()[1].text, "Project File (*.htp)");
  EXPECT_EQ(prompts.Asked()[1].caption, "");  // no default extension when opening
  ExpectUnchangedModifiedUntitled();
}

TEST_F(ProjectCommands, OpenYesWithANameThenCancelLeavesTheProjectNamedAndSaved) {
  MakeModifiedUntitled();
  const std::string path = Folder() + "named.htp";
  prompts.Expect(Kind::Confirm, Button::Yes);
  prompts.ExpectPath(Kind::SaveFile, QString::fromStdString(path));
  prompts.ExpectPath(Kind::OpenFile, QString());
  Click(form->TbnOpenProject);
  EXPECT_EQ(form->Model().FileName, path);
  EXPECT_FALSE(form->Model().Untitled);
  EXPECT_FALSE(form->Model().Modified);
  EXPECT_EQ(Title(), QString::fromStdString("Pellora - " + path));
  EXPECT_EQ(ListNames(), (std::vector<std::string>{"alice", "bob"}));
  EXPECT_EQ(FileUsers(path), ListNames());

  // The project is named now, so the next question names its file.
  form->EdtUser->setText("someone");
  prompts.Expect(Kind::Confirm, Button::Cancel);
  Click(form->TbnNewProject);
  EXPECT_EQ(prompts.LastAsked().text, NamedQuestion(path));
  EXPECT_TRUE(form->Model().Modified);
}

TEST_F(ProjectCommands, OpenReadsTheFileIntoAFreshProject) {
  MakeModifiedUntitled();
  form->ShowStep(3);
  const std::string path = WriteProject("other.htp", "zed", "other.test");
  prompts.Expect(Kind::Confirm, Button::No);
  prompts.ExpectPath(Kind::OpenFile, QString::fromStdString(path));
  form->MIOpenProject->trigger();
  EXPECT_EQ(ListNames(), std::vector<std::string>{"zed"});  // the old users are gone
  EXPECT_EQ(ViewNames(), ListNames());
  EXPECT_EQ(form->EdtHost->text(), "other.test");
  EXPECT_TRUE(form->RdoLocalHardDisk->isChecked());
  EXPECT_TRUE(form->EdtDirectory->isEnabled());
  EXPECT_EQ(form->CurrentStep, 0);
  EXPECT_EQ(form->Model().FileName, path);
  EXPECT_FALSE(form->Model().Untitled);
  EXPECT_FALSE(form->Model().Modified);  // although loading set every control
  EXPECT_EQ(Title(), QString::fromStdString("Pellora - " + path));
}

TEST_F(ProjectCommands, AFileThatCannotBeReadLeavesAnUntitledEmptyProject) {
  const std::string named = WriteProject("first.htp", "zed", "other.test");
  prompts.ExpectPath(Kind::OpenFile, QString::fromStdString(named));
  Click(form->TbnOpenProject);
  ASSERT_EQ(form->Model().FileName, named);

  const std::string missing = Folder() + "gone.htp";
  prompts.ExpectPath(Kind::OpenFile, QString::fromStdString(missing));
  prompts.Expect(Kind::Error);
  Click(form->TbnOpenProject);
  EXPECT_EQ(prompts.LastAsked().text, QString::fromStdString("Can't open project file " + missing));
  ExpectEmptyDefaultProject();
  EXPECT_TRUE(form->Model().Untitled);
  EXPECT_EQ(form->Model().FileName, "Untitled");
  EXPECT_FALSE(form->Model().Modified);
  EXPECT_EQ(Title(), "Pellora - Untitled");
}

TEST_F(ProjectCommands, SaveAsksForANameOnlyWhileUntitled) {
  Seed({"alice"});
  const std::string path = Folder() + "first.htp";
  prompts.ExpectPath(Kind::SaveFile, QString::fromStdString(path));
  Click(form->TbnSaveProject);
  EXPECT_EQ(prompts.LastAsked().text, "Project File (*.htp)");
  EXPECT_EQ(prompts.LastAsked().caption, "htp");
  EXPECT_EQ(form->Model().FileName, path);
  EXPECT_FALSE(form->Model().Untitled);
  EXPECT_FALSE(form->Model().Modified);
  EXPECT_EQ(Title(), QString::fromStdString("Pellora - " + path));

  // Named: written straight back, whether modified or not.
  Seed({"bob"});
  form->Model().Modified = true;
  form->MISaveProject->trigger();
  EXPECT_EQ(FileUsers(path), (std::vector<std::string>{"alice", "bob"}));
  EXPECT_FALSE(form->Model().Modified);
  Seed({"carl"});
  form->Model().Modified = false;
  Click(form->TbnSaveProject);
  EXPECT_EQ(FileUsers(path), (std::vector<std::string>{"alice", "bob", "carl"}));
  EXPECT_EQ(prompts.Asked().size(), 1u);
}

TEST_F(ProjectCommands, SaveAsMovesTheProjectToTheNewFileAndCancelKeepsIt) {
  Seed({"alice"});
  const std::string first = Folder() + "first.htp";
  prompts.ExpectPath(Kind::SaveFile, QString::fromStdString(first));
  form->MISaveProjectAs->trigger();
  ASSERT_EQ(form->Model().FileName, first);

  form->EdtPort->setText("2121");
  prompts.ExpectPath(Kind::SaveFile, QString());
  form->MISaveProjectAs->trigger();
  EXPECT_EQ(form->Model().FileName, first);
  EXPECT_TRUE(form->Model().Modified);

  const std::string second = Folder() + "second.htp";
  prompts.ExpectPath(Kind::SaveFile, QString::fromStdString(second));
  form->MISaveProjectAs->trigger();
  pellora::ProjectSettings saved;
  EXPECT_EQ(FileUsers(second, &saved), std::vector<std::string>{"alice"});
  EXPECT_EQ(saved.FtpPort, "2121");
  FileUsers(first, &saved);
  EXPECT_EQ(saved.FtpPort, "21");  // the old file keeps what it had
  EXPECT_EQ(form->Model().FileName, second);
  EXPECT_FALSE(form->Model().Modified);
  EXPECT_EQ(Title(), QString::fromStdString("Pellora - " + second));
}

TEST_F(ProjectCommands, AFailingSaveReportsThePathAndChangesNothing) {
  MakeModifiedUntitled();
  const std::string nowhere = Folder() + "no such folder/p.htp";
  prompts.ExpectPath(Kind::SaveFile, QString::fromStdString(nowhere));
  prompts.Expect(Kind::Error);
  form->MISaveProjectAs->trigger();
  EXPECT_EQ(prompts.LastAsked().text, QString::fromStdString("Can't save project as " + nowhere));
  EXPECT_EQ(prompts.LastAsked().caption, "Error");
  ExpectUnchangedModifiedUntitled();

  // From the question before New: the error, and New is abandoned.
  prompts.Expect(Kind::Confirm, Button::Yes);
  prompts.ExpectPath(Kind::SaveFile, QString::fromStdString(nowhere));
  prompts.Expect(Kind::Error);
  Click(form->TbnNewProject);
  EXPECT_EQ(prompts.LastAsked().text, QString::fromStdString("Can't save project as " + nowhere));
  ExpectUnchangedModifiedUntitled();
}

TEST_F(ProjectCommands, ANamedProjectWhoseFileCannotBeWrittenStaysAsItWas) {
  fs::create_directory(Folder() + "sub");
  const std::string path = Folder() + "sub/p.htp";
  Seed({"alice"});
  prompts.ExpectPath(Kind::SaveFile, QString::fromStdString(path));
  Click(form->TbnSaveProject);
  ASSERT_EQ(form->Model().FileName, path);
  fs::remove_all(Folder() + "sub");

  form->EdtHost->setText("changed");
  prompts.Expect(Kind::Error);
  Click(form->TbnSaveProject);
  EXPECT_EQ(prompts.LastAsked().text, QString::fromStdString("Can't save project as " + path));
  EXPECT_TRUE(form->Model().Modified);
  EXPECT_FALSE(form->Model().Untitled);
  EXPECT_EQ(form->Model().FileName, path);

  // Yes at the question names the file and fails the same way; Open stops there.
  prompts.Expect(Kind::Confirm, Button::Yes);
  prompts.Expect(Kind::Error);
  Click(form->TbnOpenProject);
  EXPECT_EQ(prompts.Asked()[prompts.Asked().size() - 2].text, NamedQuestion(path));
  EXPECT_EQ(prompts.LastAsked().text, QString::fromStdString("Can't save project as " + path));
  EXPECT_EQ(ListNames(), std::vector<std::string>{"alice"});
  EXPECT_TRUE(form->Model().Modified);
}

TEST_F(ProjectCommands, YesOnANamedProjectWritesItsFileWithoutADialog) {
  const std::string path = WriteProject("mine.htp", "zed", "old.test");
  prompts.ExpectPath(Kind::OpenFile, QString::fromStdString(path));
  Click(form->TbnOpenProject);
  form->EdtHost->setText("new.test");
  prompts.Expect(Kind::Confirm, Button::Yes);
  Click(form->TbnNewProject);
  pellora::ProjectSettings saved;
  EXPECT_EQ(FileUsers(path, &saved), std::vector<std::string>{"zed"});
  EXPECT_EQ(saved.FtpHost, "new.test");
  EXPECT_TRUE(form->Model().Untitled);
  EXPECT_FALSE(form->Model().Modified);
}

TEST_F(ProjectCommands, ExitAsksAboutANamedProjectAndTheNextStartReopensItsFile) {
  const std::string named = WriteProject("mine.htp", "zed", "old.test");
  prompts.ExpectPath(Kind::OpenFile, QString::fromStdString(named));
  Click(form->TbnOpenProject);
  Seed({"amy"});
  form->EdtHost->setText("new.test");
  ASSERT_TRUE(form->Model().Modified);

  prompts.Expect(Kind::Confirm, Button::Cancel);
  QTest::mouseClick(form->BtnExit, Qt::LeftButton);
  EXPECT_EQ(prompts.LastAsked().text, QString::fromStdString("Save changes to project\r\n" + named + "? "));
  EXPECT_TRUE(form->isVisible());
  EXPECT_FALSE(fs::exists(LastState()));

  prompts.Expect(Kind::Confirm, Button::No);
  QTest::mouseClick(form->BtnExit, Qt::LeftButton);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->Users().CountUsers(), 0u);
  EXPECT_TRUE(ViewNames().empty());
  pellora::ProjectSettings saved;
  EXPECT_EQ(FileUsers(LastState(), &saved), (std::vector<std::string>{"amy", "zed"}));
  EXPECT_EQ(saved.FtpHost, "new.test");
  EXPECT_EQ(FileUsers(named, &saved), std::vector<std::string>{"zed"});  // the named file is untouched
  EXPECT_EQ(saved.FtpHost, "old.test");

  // Closing the hidden window once more must not write the freed list over it.
  form->close();
  EXPECT_EQ(FileUsers(LastState()), (std::vector<std::string>{"amy", "zed"}));

  // The project comes back under its own file, still holding changes that file lacks.
  Stop();
  Start();
  EXPECT_EQ(Title(), QString::fromStdString("Pellora - " + named));
  EXPECT_EQ(form->Model().FileName, named);
  EXPECT_FALSE(form->Model().Untitled);
  EXPECT_TRUE(form->Model().Modified);
  EXPECT_EQ(ListNames(), (std::vector<std::string>{"amy", "zed"}));
  EXPECT_EQ(ViewNames(), ListNames());
  EXPECT_EQ(form->EdtHost->text(), "new.test");

  Seed({"bea"});
  Click(form->TbnSaveProject);  // straight into its own file, no dialog
  EXPECT_EQ(FileUsers(named), (std::vector<std::string>{"amy", "bea", "zed"}));
  EXPECT_EQ(FileUsers(LastState()), (std::vector<std::string>{"amy", "zed"}));
  EXPECT_FALSE(form->Model().Modified);
  form->close();  // saved: no question
  Stop();
  Start();
  EXPECT_EQ(form->Model().FileName, named);
  EXPECT_FALSE(form->Model().Modified);
}

TEST_F(ProjectCommands, ExitFromTheMenuClosesEvenWhenConfigHtpCannotBeWritten) {
  Seed({"amy"});
  // The working folder cannot be made: a file stands where its parent should be.
  fs::remove_all(Folder() + "Quarnet Software");
  std::ofstream(Folder() + "Quarnet Software") << "in the way";
  form->MIExit->trigger();
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(fs::exists(LastState()));
  EXPECT_TRUE(prompts.Asked().empty());
}

}  // namespace
