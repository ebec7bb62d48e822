// "Upload now!" clicked on the real window: the checks before anything is
// sent, a whole upload to a real FTP server with the window alive during its
// waits, and Stop pressed in the log window while the upload waits.
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/Apache.h"
#include "common/Files.h"
#include "common/FtpServer.h"
#include "common/Vsftpd.h"
#include "platform/Files.h"
#include "support/ScriptedFtpServer.h"
#include "test_publish_window.h"

namespace {

namespace fs = std::filesystem;
using Kind = ScriptedPrompts::Kind;
using Button = ScriptedPrompts::Button;
using pellora::testing::PyFtpServer;
using pellora::testing::ReadFile;
using pellora::testing::ScriptedFtpServer;
using pellora::testing::ScriptedPeer;
using pellora::testing::TempDir;

const QStringList kTasks = {"* Tasks:", "  1. Upload .htpasswd file to remote directory: /",
                            "  2. Upload .htaccess file to remote directory: /public_html/", "",
                            "* Connecting to 127.0.0.1"};

void Login(ScriptedPeer& peer) {
  peer.Reply("220 ready");
  peer.Command();
  peer.Reply("331 password please");
  peer.Command();
  peer.Reply("230 in");
}

class Upload : public PublishWindow {
 protected:
  void SetUp() override {
    PublishWindow::SetUp();
    form->ShowStep(3);
  }
  void Fill(int port) {
    form->EdtHost->setText("127.0.0.1");
    form->EdtPort->setText(QString::number(port));
    form->EdtUser->setText("webmaster");
    form->EdtPassword->setText("pw 1");
  }
  void Generated() { GenerateForTheWindow(); }
  // Runs check on every turn of the event loop while the upload waits, until it returns true.
  void WhileUploading(std::function<bool()> check) {
    QTimer timer;
    timer.setInterval(0);  // every pass of the event loop inside a wait of the upload
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (check()) timer.stop();
    });
    timer.start();
    Click(form->BtnFtpNow);
    timer.stop();
  }
};

TEST_F(Upload, ChecksTheFieldsInOrderBeforeTheGeneratedFiles) {
  form->EdtHost->setText("  ");
  form->EdtPort->setText("abc");
  form->EdtUser->clear();
  form->EdtWebDirectory->setText(" ");
  form->Model().Modified = false;
  DirtyLog();
  auto clickAndExpect = [&](const char* text) {
    SCOPED_TRACE(text);
    prompts.Expect(Kind::Message);
    Click(form->BtnFtpNow);
    EXPECT_EQ(prompts.LastAsked().text, text);
    EXPECT_EQ(prompts.LastAsked().caption, "Error!");
  };

  clickAndExpect("Please input Ftp Server host name or ip address.");
  EXPECT_EQ(form->EdtPort->text(), "abc");  // the port is not looked at before a host is given
  EXPECT_FALSE(form->Model().Modified);

  form->EdtHost->setText("127.0.0.1");
  form->Model().Modified = false;
  clickAndExpect("Please input user name.");
  EXPECT_EQ(form->EdtPort->text(), "21");
  EXPECT_TRUE(form->Model().Modified);

  form->EdtUser->setText("bob");
  clickAndExpect("Please input the FTP path of the web directory to be password protected.");
  EXPECT_EQ(form->CurrentStep, 3);

  form->EdtWebDirectory->setText("/public_html/");
  form->EdtPort->setText(" 2121 ");
  pellora::WriteFileAtomic(Working(".htaccess"), "AuthType Basic\r\n");  // one of the two is not enough
  clickAndExpect("Please generate .htaccess and .htpasswd files first.");
  EXPECT_EQ(prompts.atMessage.step, 2);
  EXPECT_EQ(prompts.atMessage.focus, "BtnGenerate");
  EXPECT_EQ(form->EdtPort->text(), " 2121 ");
  ExpectLogUntouched();
  EXPECT_FALSE(form->FtpClient.Connected());
}

class RealServerUpload : public Upload, public ::testing::WithParamInterface<bool> {};

TEST_P(RealServerUpload, SendsTheGeneratedFilesAndRestoresTheLogButtons) {
  TempDir home;
  fs::create_directory(home.Path() / "public_html");
  PyFtpServer server(home.Path(), "webmaster", "pw 1");
  ASSERT_TRUE(server.Running()) << "pyftpdlib did not start";

  AddUser("ann", "one");
  AddUser("bob", "two");
  Click(form->BtnGenerate);
  log->hide();
  form->ShowStep(3);
  Fill(server.Port());
  form->chkFTPPassive->setChecked(GetParam());

  bool seen = false, stopOn = false, closeOn = true, shown = false;
  WhileUploading([&] {
    if (!form->FtpClient.Connected()) return false;
    seen = true;
    stopOn = log->BtnStop->isEnabled();
    closeOn = log->BtnOk->isEnabled();
    shown = log->isVisible();
    Click(form->BtnFtpNow);  // a second press while the first upload runs
    return true;
  });

  EXPECT_TRUE(seen);
  EXPECT_TRUE(stopOn);
  EXPECT_FALSE(closeOn);
  EXPECT_TRUE(shown);
  const QString port = QString::number(server.Port());
  EXPECT_EQ(
      log->Lines(),
      (kTasks +
       QStringList{"  Connected to host: 127.0.0.1", "  Remote address: 127.0.0.1 , Remote port: " + port, "",
                   "* Changing remote working directory to /", "  Changing remote working directory successfully", "",
                   "* Uploading .htpasswd file to remote directory: /, ... ...", "  Uploading successfully", "",
                   "* Changing remote working directory to /public_html/",
                   "  Changing remote working directory successfully", "",
                   "* Uploading .htaccess file to remote directory: /public_html/, ... ...", "  Uploading successfully",
                   "", "* Disconnecting from 127.0.0.1", "", "* Disconnected", "* Both files were stored."}));
  ExpectLogAtRest();
  EXPECT_TRUE(log->isVisible());
  EXPECT_FALSE(form->FtpClient.Connected());
  EXPECT_EQ(ReadFile(home.Path() / ".htpasswd"), ReadFile(Working(".htpasswd")));
  EXPECT_EQ(ReadFile(home.Path() / "public_html" / ".htaccess"), ReadFile(Working(".htaccess")));
}

INSTANTIATE_TEST_SUITE_P(Modes, RealServerUpload, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

// Over TLS a certificate nothing vouches for is asked about once: a yes is
// kept for the next upload, a no stores nothing.
TEST_F(Upload, AnUnknownCertificateIsAskedAboutOnceAndKept) {
  TempDir home;
  fs::create_directory(home.Path() / "public_html");
  pellora::testing::Vsftpd server(home.Path());
  if (!server.Running()) GTEST_SKIP() << server.Trouble();
  AddUser("ann", "one");
  Generated();
  form->ShowStep(3);
  Fill(server.Port());
  form->EdtUser->setText(QString::fromStdString(server.User()));
  form->EdtPassword->setText(QString::fromStdString(server.Password()));
  form->CmbProtocol->setCurrentIndex(form->CmbProtocol->findData("ftpes"));
  EXPECT_TRUE(form->LblProtocolNote->text().isEmpty());

  prompts.Expect(Kind::Confirm, Button::No);
  Click(form->BtnFtpNow);
  EXPECT_TRUE(prompts.LastAsked().text.contains("Fingerprint: SHA256:"));
  EXPECT_EQ(log->Lines().last(), "* No file was stored.");
  prompts.Expect(Kind::Confirm, Button::Yes);
  Click(form->BtnFtpNow);
  EXPECT_EQ(log->Lines().last(), "* Both files were stored.");
  const std::size_t asked = prompts.Asked().size();
  Click(form->BtnFtpNow);
  EXPECT_EQ(log->Lines().last(), "* Both files were stored.");
  EXPECT_EQ(prompts.Asked().size(), asked) << "the kept certificate is not asked about again";
  EXPECT_TRUE(log->Text().contains("\n  Secured with TLSv1.3, certificate pinned (SHA256:"));
}

// "Check now" asks for an address on its own page, and a successful upload
// checks the address by itself, its lines after the upload's.
TEST_F(Upload, TheCheckRunsOnItsButtonAndAfterAnUpload) {
  DirtyLog();
  prompts.Expect(Kind::Message);
  Click(form->BtnCheckNow);
  EXPECT_EQ(prompts.LastAsked().text, "Please input the web address of the protected folder.");
  ExpectLogUntouched();

  const QString nowhere = QString("http://127.0.0.1:%1/members/").arg(pellora::testing::FreePort());
  form->EdtCheckUrl->setText(nowhere);
  Click(form->BtnCheckNow);
  EXPECT_EQ(log->Lines().first(), "* Checking " + nowhere);
  EXPECT_EQ(log->Lines().last(), "* The server could not be reached");
  ExpectLogAtRest();

  TempDir home;
  fs::create_directory(home.Path() / "public_html");
  PyFtpServer server(home.Path(), "webmaster", "pw 1");
  ASSERT_TRUE(server.Running()) << "pyftpdlib did not start";
  AddUser("ann", "one");
  Generated();
  Fill(server.Port());
  Click(form->BtnFtpNow);
  const QStringList lines = log->Lines();
  EXPECT_EQ(lines.first(), "* Tasks:");
  EXPECT_TRUE(lines.contains("* Both files were stored.") && lines.contains("* Checking " + nowhere));
  EXPECT_EQ(lines.last(), "* The server could not be reached");
}

TEST_F(Upload, StopEndsTheWaitOnASilentServer) {
  Generated();
  ScriptedFtpServer server([](ScriptedPeer& peer) { peer.WaitForClose(); });
  Fill(server.Port());
  form->FtpUploader().QuitGraceMs = 200;

  bool stopOn = false;
  WhileUploading([&] {
    if (!form->FtpClient.Connected()) return false;
    stopOn = log->BtnStop->isEnabled();
    Click(log->BtnStop);
    return true;
  });

  EXPECT_TRUE(stopOn);
  EXPECT_EQ(log->Lines(),
            (kTasks + QStringList{"  Stopped by the user", "", "* Disconnected", "* No file was stored."}));
  ExpectLogAtRest();
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"QUIT\r\n"}));
  EXPECT_FALSE(form->FtpClient.Connected());
  EXPECT_TRUE(server.Error().empty()) << server.Error();
}

TEST_F(Upload, ClosingTheMainWindowStopsAWaitingUpload) {
  Generated();
  ScriptedFtpServer server([](ScriptedPeer& peer) { peer.WaitForClose(); });
  Fill(server.Port());
  form->FtpUploader().QuitGraceMs = 200;

  WhileUploading([&] {
    if (!form->FtpClient.Connected()) return false;
    form->close();
    return true;
  });

  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(log->Lines(),
            (kTasks + QStringList{"  Stopped by the user", "", "* Disconnected", "* No file was stored."}));
  ExpectLogAtRest();
  // The client left on its own, long before the server would have given up.
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"QUIT\r\n"}));
}

TEST_F(Upload, AQuitRefusedOnStopIsShownAsAnError) {
  Generated();
  ScriptedFtpServer server([](ScriptedPeer& peer) {
    Login(peer);
    peer.Command();  // CWD, never answered
    peer.Command();  // QUIT
    peer.Reply("500 not now");
    peer.WaitForClose();
  });
  Fill(server.Port());
  prompts.Expect(Kind::ShowException);

  WhileUploading([&] {
    if (!log->Text().contains("* Changing remote working directory to /")) return false;
    Click(log->BtnStop);
    return true;
  });

  EXPECT_EQ(prompts.LastAsked().kind, Kind::ShowException);
  EXPECT_EQ(prompts.LastAsked().text, "500 not now");
  ASSERT_GE(log->Lines().size(), 4);
  EXPECT_EQ(log->Lines().mid(log->Lines().size() - 4),
            (QStringList{"  Stopped by the user", "", "* Disconnected", "* No file was stored."}));
  ExpectLogAtRest();
  EXPECT_FALSE(form->FtpClient.Connected());
}

}  // namespace
