// SFTP from the upload page: the key file's field, a host key asked about
// once, and a key's passphrase asked for and never kept.
#include <gmock/gmock.h>

#include <filesystem>

#include "common/Files.h"
#include "common/Sshd.h"
#include "test_publish_window.h"

namespace {

namespace fs = std::filesystem;
using Kind = ScriptedPrompts::Kind;
using Button = ScriptedPrompts::Button;
using pellora::testing::ReadFile;
using pellora::testing::TempDir;

class SftpUpload : public PublishWindow {
 protected:
  void SetUp() override {
    PublishWindow::SetUp();
    ::unsetenv("SSH_AUTH_SOCK");
    fs::remove(Working("known_hosts"));
    form->SftpClient.UserKnownHostsFile.clear();
    AddUser("ann", "one");
    form->ShowStep(3);
  }
  void Fill(int port, const QString& user, const QString& auth, const QString& web) {
    form->CmbProtocol->setCurrentIndex(form->CmbProtocol->findData("sftp"));
    form->EdtHost->setText("127.0.0.1");
    form->EdtPort->setText(QString::number(port));
    form->EdtUser->setText(user);
    form->EdtAuthUserFile->setText(auth);
    form->EdtWebDirectory->setText(web);
  }
};

TEST_F(SftpUpload, TheKeyFileFieldIsForSftpOnly) {
  for (const char* word : {"ftp", "ftpes", "ftps", "sftp"}) {
    form->CmbProtocol->setCurrentIndex(form->CmbProtocol->findData(word));
    const bool sftp = std::string(word) == "sftp";
    EXPECT_EQ(form->EdtKeyFile->isEnabled(), sftp) << word;
    EXPECT_EQ(form->BtnKeyFile->isEnabled(), sftp) << word;
    EXPECT_EQ(form->EdtKeyFile->isVisible(), sftp) << word;
    EXPECT_EQ(form->LblProtocolNote->isVisible(), !sftp) << word;
  }
  form->RdoLocalHardDisk->click();
  EXPECT_FALSE(form->EdtKeyFile->isEnabled());
  form->RdoFtpServer->click();
  prompts.ExpectPath(Kind::OpenFile, "/keys/id_ed25519");
  Click(form->BtnKeyFile);
  EXPECT_EQ(form->EdtKeyFile->text(), "/keys/id_ed25519");
  EXPECT_EQ(form->Settings().SftpKeyFile, "/keys/id_ed25519");
}

TEST_F(SftpUpload, AHostKeyIsAskedAboutOnceAndAPassphraseEveryTime) {
  pellora::testing::Sshd sshd;
  if (!sshd.Running()) GTEST_SKIP() << sshd.Trouble();
  TempDir server;
  fs::create_directories(server.Path() / "www");
  Fill(sshd.Port(), QString::fromStdString(sshd.User()), QString::fromStdString(server.Path().string()),
       QString::fromStdString((server.Path() / "www").string()));
  form->EdtKeyFile->setText(QString::fromStdString(sshd.EncryptedKeyFile()));
  GenerateForTheWindow();

  prompts.Expect(Kind::Confirm, Button::No);
  Click(form->BtnFtpNow);
  EXPECT_THAT(prompts.LastAsked().text.toStdString(), ::testing::HasSubstr(sshd.Fingerprint()));
  EXPECT_FALSE(fs::exists(Working("known_hosts")));
  EXPECT_FALSE(fs::exists(server.Path() / ".htpasswd"));

  prompts.Expect(Kind::Confirm, Button::Yes);
  prompts.ExpectPath(Kind::Passphrase, "correct horse");
  Click(form->BtnFtpNow);
  EXPECT_EQ(log->Lines().last(), "* Both files were stored.");
  EXPECT_TRUE(log->Lines().contains("  Secured with SSH, host key ssh-ed25519 " +
                                    QString::fromStdString(sshd.Fingerprint()) + " (accepted now)"));
  EXPECT_EQ(ReadFile(server.Path() / ".htpasswd"), ReadFile(Working(".htpasswd")));
  EXPECT_EQ(ReadFile(server.Path() / "www" / ".htaccess"), ReadFile(Working(".htaccess")));

  // Known now: only the passphrase is asked, and a cancel stores nothing.
  fs::remove(server.Path() / ".htpasswd");
  prompts.Expect(Kind::Passphrase, Button::Cancel);
  Click(form->BtnFtpNow);
  EXPECT_TRUE(log->Lines().contains("  Error: The key file " + QString::fromStdString(sshd.EncryptedKeyFile()) +
                                    " needs a passphrase"));
  EXPECT_FALSE(fs::exists(server.Path() / ".htpasswd"));
  EXPECT_FALSE(log->Lines().join("\n").contains("horse"));
  EXPECT_FALSE(form->SftpClient.Connected());
}

}  // namespace
