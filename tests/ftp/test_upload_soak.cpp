// Many uploads in a row with the program's one FTP client, as a user who
// publishes all day would run them: every one ends, and none leaves a
// descriptor (socket or file) behind, whatever the server does.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/Files.h"
#include "common/FtpServer.h"
#include "common/Logs.h"
#include "ftp/Upload.h"
#include "support/ScriptedFtpServer.h"

using namespace pellora;
using namespace pellora::testing;
namespace fs = std::filesystem;

namespace {

constexpr int kRounds = 100;

const std::string kHtaccess =
    "AuthUserFile /.htpasswd\r\nAuthGroupFile /dev/null\r\nAuthName \"Members Only Area\"\r\n"
    "AuthType Basic\r\n\r\n<Limit GET POST PUT>\r\nrequire valid-user\r\n</Limit>\r\n";

class UploadSoak : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 300; ++i) htpasswd += "user" + std::to_string(i) + ":ab01FAX.bQRSU\r\n";
    WriteFile(local.Path() / ".htpasswd", htpasswd);
    WriteFile(local.Path() / ".htaccess", kHtaccess);
    inputs.Host = "127.0.0.1";
    inputs.User = "webmaster";
    inputs.Password = "pw";
    inputs.AuthUserFile = "/";
    inputs.WebFolder = "/public_html/";
    inputs.LocalHtpasswd = local.Path() / ".htpasswd";
    inputs.LocalHtaccess = local.Path() / ".htaccess";
    // A server that stops talking ends the upload instead of hanging the test.
    client.TimeOut = 5000;
  }

  TempDir local;
  std::string htpasswd;
  UploadInputs inputs;
  TFtpClient client;
  StringLog log;
  Uploader uploader{client, log};
};

void Login(ScriptedPeer& peer) {
  peer.Reply("220 ready");
  peer.Command();
  peer.Reply("331 password please");
  peer.Command();
  peer.Reply("230 in");
}

// What a server does after it has refused something: it answers the QUIT that
// follows and waits for the client to go.
void AnswerQuit(ScriptedPeer& peer) {
  for (std::string command = peer.Command(); !command.empty(); command = peer.Command())
    if (command.starts_with("QUIT")) peer.Reply("221 bye");
}

void ChangeDirectory(ScriptedPeer& peer) {
  peer.Command();
  peer.Reply("250 ok");
  peer.Command();  // TYPE A
  peer.Reply("200 ok");
}

// PASV and STOR accepted; then `fault` decides how the transfer ends.
enum class Fault {
  None,
  RefusedGreeting,
  HangUpAfterGreeting,
  BadPasv,
  StorRefused,
  HangUpInTransfer,
  NoFinalReply,
  QuitRefused
};
constexpr Fault kFaults[] = {Fault::None,         Fault::RefusedGreeting, Fault::HangUpAfterGreeting,
                             Fault::BadPasv,      Fault::StorRefused,     Fault::HangUpInTransfer,
                             Fault::NoFinalReply, Fault::QuitRefused};

void Script(ScriptedPeer& peer, Fault fault) {
  if (fault == Fault::RefusedGreeting) {
    peer.Reply("421 Too many connections");
    AnswerQuit(peer);
    return;
  }
  if (fault == Fault::HangUpAfterGreeting) {
    peer.Reply("220 ready");
    peer.Close();
    return;
  }
  Login(peer);
  for (int file = 0; file < 2; ++file) {
    ChangeDirectory(peer);
    peer.Command();  // PASV
    if (fault == Fault::BadPasv) {
      peer.Reply("227 Entering Passive Mode (127,0,0,1,oops)");
      AnswerQuit(peer);
      return;
    }
    const int port = peer.OpenPassive();
    peer.Reply("227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256) +
               ")");
    peer.Command();  // STOR
    if (fault == Fault::StorRefused) {
      peer.Reply("550 Permission denied");
      AnswerQuit(peer);
      return;
    }
    peer.Reply("150 go");
    if (fault == Fault::HangUpInTransfer) {
      peer.Close();
      return;
    }
    peer.ReceivePassive();
    if (fault == Fault::NoFinalReply) {
      peer.Close();
      return;
    }
    peer.Reply("226 done");
  }
  peer.Command();  // QUIT
  peer.Reply(fault == Fault::QuitRefused ? "500 no" : "221 bye");
  peer.WaitForClose();
}

}  // namespace

TEST_F(UploadSoak, HundredUploadsToTheRealServerLeaveNoDescriptorBehind) {
  TempDir home;
  fs::create_directory(home.Path() / "public_html");
  PyFtpServer server(home.Path(), "webmaster", "pw");
  ASSERT_TRUE(server.Running()) << "pyftpdlib did not start";
  inputs.Port = server.Port();

  const int before = CountOpenDescriptors();
  for (int round = 0; round < kRounds; ++round) {
    inputs.Passive = round % 2 == 0;
    WriteFile(inputs.LocalHtaccess, kHtaccess + "# round " + std::to_string(round) + "\r\n");
    log.Clear();
    ASSERT_TRUE(uploader.Run(inputs)) << "round " << round << ":\n" << log.Text();
  }
  EXPECT_EQ(CountOpenDescriptors(), before);
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(ReadFile(home.Path() / ".htpasswd"), htpasswd);
  EXPECT_EQ(ReadFile(home.Path() / "public_html" / ".htaccess"), kHtaccess + "# round 99\r\n");
}

TEST_F(UploadSoak, HundredUploadsToAFaultyServerAllEndAndLeaveNoDescriptorBehind) {
  inputs.Passive = true;
  const int before = CountOpenDescriptors();
  int stored = 0;
  for (int round = 0; round < kRounds; ++round) {
    const Fault fault = kFaults[round % std::size(kFaults)];
    ScriptedFtpServer server([fault](ScriptedPeer& peer) { Script(peer, fault); });
    inputs.Port = server.Port();
    log.Clear();
    const bool ok = uploader.Run(inputs);
    stored += ok;
    // A refused QUIT comes after both files are stored, which is what counts.
    EXPECT_EQ(ok, fault == Fault::None || fault == Fault::QuitRefused) << "round " << round << ":\n" << log.Text();
    EXPECT_TRUE(log.Text().ends_with(ok ? "* Disconnected\n* Both files were stored.\n"
                                        : "* Disconnected\n* No file was stored.\n"))
        << "round " << round << ":\n"
        << log.Text();
    EXPECT_EQ(server.Error(), "") << "round " << round;
    EXPECT_FALSE(uploader.Running());
  }
  EXPECT_EQ(stored, 2 * ((kRounds + std::size(kFaults) - 1) / std::size(kFaults)) - 1);
  EXPECT_EQ(CountOpenDescriptors(), before);
}
