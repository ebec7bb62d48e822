#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Files.h"
#include "ftp/FtpClient.h"
#include "support/ScriptedFtpServer.h"
#include "support/TracedClient.h"

using namespace pellora;
using namespace pellora::testing;
using Lines = std::vector<std::string>;

namespace {

void Login(ScriptedPeer& peer) {
  peer.Reply("220 ready");
  peer.Command();
  peer.Reply("331 password please");
  peer.Command();
  peer.Reply("230 in");
}

std::string PassiveReply(int code, const std::string& address, int port) {
  return std::to_string(code) + " Entering Passive Mode (" + address + "," + std::to_string(port / 256) + "," +
         std::to_string(port % 256) + ").";
}

}  // namespace

TEST(FtpLogin, MultiLineGreetingWithIndentedLineThenUserAndPassword) {
  ScriptedFtpServer server([](ScriptedPeer& peer) {
    peer.Send("220-Welcome\r\n  indented 230 line\r\n220 ready\r\n");
    peer.Command();
    peer.Send("331-Password\r\nok\r\n331 send it\r\n");  // a short line is text like any other
    peer.Command();
    peer.Reply("230 logged in");
    peer.Command();
    peer.Reply("221 bye");
  });
  TracedClient t(server.Port());
  t.client.Connect();
  EXPECT_TRUE(t.client.Connected());
  EXPECT_EQ(t.client.ReplyNumber(), 230);
  t.client.Connect();  // nothing at all when connected
  t.client.Disconnect();
  EXPECT_FALSE(t.client.Connected());
  t.client.Disconnect();  // nothing when not connected
  EXPECT_EQ(server.Commands(), (Lines{"USER bob\r\n", "PASS secret\r\n", "QUIT\r\n"}));
  EXPECT_EQ(t.events, (Lines{"connect"}));
}

TEST(FtpLogin, GreetingCodeBoundaryIs400Accepted401Refused) {
  for (const char* greeting : {"400 almost", "421 too many users"}) {
    const bool accepted = greeting[2] == '0';
    ScriptedFtpServer server([&](ScriptedPeer& peer) {
      peer.Reply(greeting);
      if (accepted) {
        peer.Command();
        peer.Reply("230 in");
      }
      peer.Command();
      peer.Reply("221 bye");
    });
    TracedClient t(server.Port());
    if (accepted) {
      t.client.Connect();
      t.client.Disconnect();
      EXPECT_EQ(server.Commands(), (Lines{"USER bob\r\n", "QUIT\r\n"}));
      EXPECT_EQ(t.events, (Lines{"connect"}));
    } else {
      EXPECT_EQ(ErrorOf([&] { t.client.Connect(); }), "421 too many users");
      EXPECT_FALSE(t.client.Connected());
      EXPECT_EQ(server.Commands(), (Lines{"QUIT\r\n"}));
      EXPECT_EQ(t.events, (Lines{"connection failed"}));
    }
  }
}

TEST(FtpLogin, User230SkipsPasswordAndEmptyPasswordIsSentBare) {
  ScriptedFtpServer direct([](ScriptedPeer& peer) {
    peer.Reply("220 ready");
    peer.Command();
    peer.Reply("230 no password needed");
    peer.WaitForClose();
  });
  TracedClient a(direct.Port());
  a.client.Connect();
  a.client.TSockConnection::Disconnect();
  EXPECT_EQ(direct.Commands(), (Lines{"USER bob\r\n"}));

  ScriptedFtpServer empty([](ScriptedPeer& peer) {
    Login(peer);
    peer.WaitForClose();
  });
  TracedClient b(empty.Port(), "");
  b.client.Connect();
  b.client.TSockConnection::Disconnect();
  EXPECT_EQ(empty.Commands(), (Lines{"USER bob\r\n", "PASS \r\n"}));
}

TEST(FtpLogin, RefusedPasswordFailsTheConnectionAndLeavesWithQuit) {
  ScriptedFtpServer server([](ScriptedPeer& peer) {
    peer.Reply("220 ready");
    peer.Command();
    peer.Reply("331 password please");
    peer.Command();
    peer.Reply("530 Login incorrect.");
    peer.Command();
    peer.Reply("221 bye");
  });
  TracedClient t(server.Port());
  EXPECT_EQ(ErrorOf([&] { t.client.Connect(); }), "530 Login incorrect.");
  EXPECT_FALSE(t.client.Connected());
  EXPECT_EQ(server.Commands(), (Lines{"USER bob\r\n", "PASS secret\r\n", "QUIT\r\n"}));
  EXPECT_EQ(t.events, (Lines{"connection failed"}));
}

TEST(FtpLogin, ServerClosingInTheMiddleOfTheGreetingIsAnError) {
  ScriptedFtpServer server([](ScriptedPeer& peer) {
    peer.Send("220-first line\r\n220 and then no line end");
    peer.Close();
  });
  TracedClient t(server.Port());
  EXPECT_EQ(ErrorOf([&] { t.client.Connect(); }), "Connection closed by the server");
  EXPECT_FALSE(t.client.Connected());
  EXPECT_TRUE(t.events.empty());
}

TEST(FtpCommands, TypesRefusalsAndSuccessEvents) {
  ScriptedFtpServer server([](ScriptedPeer& peer) {
    Login(peer);
    const char* replies[] = {"250 ok", "257 made", "250 deleted", "250 removed", "257 \"/\"",
                             "200 ok", "250 ok",   "550 no such", "500 unknown", "200 ok"};
    for (const char* reply : replies) {
      peer.Command();
      peer.Reply(reply);
    }
    peer.Command();
    peer.Reply("421 closing");
  });
  TracedClient t(server.Port());
  EXPECT_EQ(ErrorOf([&] { t.client.SendCommand("NOOP"); }), "Not Connected");
  t.client.Connect();
  t.client.ChangeDirectory("/a b");
  t.client.SendCommand("MKD x");
  t.client.SendCommand("DELE x");
  t.client.SendCommand("RMD x");
  t.client.SendCommand("PWD");
  t.client.SetTransferType(2);
  t.client.SetTransferType(7);  // sends nothing
  t.client.SendCommand("CWD");
  EXPECT_EQ(ErrorOf([&] { t.client.SendCommand("cwd /missing"); }), "550 no such");
  bool handle = true;
  t.client.OnFailure = [&](TCmdType type) {
    t.events.push_back("handled " + std::to_string(int(type)));
    return handle;
  };
  t.client.SetTransferType(1);  // refused but handled: no error
  t.client.SetTransferType(3);
  EXPECT_EQ(ErrorOf([&] { t.client.Disconnect(); }), "421 closing");
  EXPECT_FALSE(t.client.Connected());
  EXPECT_EQ(server.Commands(),
            (Lines{"USER bob\r\n", "PASS secret\r\n", "CWD /a b\r\n", "MKD x\r\n", "DELE x\r\n", "RMD x\r\n", "PWD\r\n",
                   "TYPE I\r\n", "CWD\r\n", "cwd /missing\r\n", "TYPE A\r\n", "TYPE L 8\r\n", "QUIT\r\n"}));
  EXPECT_EQ(t.events, (Lines{"connect", "success 0", "success 1", "success 2", "success 3", "success 15", "success 14",
                             "success 0", "failure 14", "handled 14", "success 14"}));
}

TEST(FtpCommands, GarbageAndOverlongRepliesDoNotDerailTheClient) {
  ScriptedFtpServer server([](ScriptedPeer& peer) {
    Login(peer);
    peer.Command();
    peer.Reply("\x01\x02 garbage");
    peer.Command();
    peer.Send(std::string(70000, '5') + "\r\n");
    peer.WaitForClose();
  });
  TracedClient t(server.Port());
  t.client.Connect();
  t.client.SendCommand("NOOP");  // a reply without a number counts as accepted
  EXPECT_EQ(t.client.ReplyNumber(), 0);
  EXPECT_EQ(ErrorOf([&] { t.client.SendCommand("NOOP"); }), "Line longer than 65536 bytes");
  t.client.TSockConnection::Disconnect();
}

class FtpStore : public ::testing::Test {
 protected:
  void SetUp() override {
    local = dir.Path() / "local.txt";
    content = "AuthUserFile /.htpasswd\r\nAuthName \"Members Only Area\"\r\n";
    WriteFile(local, content);
  }
  TempDir dir;
  std::filesystem::path local;
  std::string content;
};

TEST_F(FtpStore, PassiveUsesOnlyThePortOfThePasvReplyAndIgnoresItsCodeBelow500) {
  std::string first, second;
  ScriptedFtpServer server([&](ScriptedPeer& peer) {
    Login(peer);
    peer.Command();
    peer.Reply(PassiveReply(227, "10,9,8,7", peer.OpenPassive()));  // a foreign address, never dialled
    peer.Command();
    peer.Reply("150 go");
    first = peer.ReceivePassive();
    peer.Reply("226 stored");
    peer.Command();
    peer.Reply(PassiveReply(425, "127,0,0,1", peer.OpenPassive()));
    peer.Command();
    peer.Reply("300 odd but it starts the transfer");
    second = peer.ReceivePassive();
    peer.Reply("226-done\r\n226 really");
    peer.Command();
    peer.Reply("221 bye");
  });
  TracedClient t(server.Port());
  t.client.Passive = true;
  t.client.Connect();
  t.client.StoreFile(local.string(), ".htaccess");
  EXPECT_FALSE(t.client.Transferring());
  t.client.StoreFile(local.string(), "");
  t.client.Disconnect();
  EXPECT_EQ(server.Error(), "");
  EXPECT_EQ(first, content);
  EXPECT_EQ(second, content);
  EXPECT_EQ(server.Commands(), (Lines{"USER bob\r\n", "PASS secret\r\n", "PASV\r\n", "STOR .htaccess\r\n", "PASV\r\n",
                                      "STOR local.txt\r\n", "QUIT\r\n"}));
  EXPECT_EQ(t.events, (Lines{"connect", "success 9", "success 9"}));
}

TEST_F(FtpStore, EveryFailedUploadRaisesTheFailureEventExactlyOnce) {
  ScriptedFtpServer server([&](ScriptedPeer& peer) {
    Login(peer);
    peer.Command();
    peer.Reply("227 Entering Passive Mode with no numbers");
    peer.Command();
    peer.Reply("227 (127,0,0,1,4,1");  // no ")"
    peer.Command();
    peer.Reply("500 PASV not understood");
    peer.Command();
    peer.Reply(PassiveReply(227, "127,0,0,1", peer.OpenPassive()));
    peer.Command();
    peer.Reply("553 Could not create file.");
    peer.Command();
    peer.Reply("221 bye");
  });
  TracedClient t(server.Port());
  t.client.Passive = true;
  t.client.Connect();
  EXPECT_EQ(ErrorOf([&] { t.client.StoreFile(local.string(), "a"); }),
            "Invalid passive mode reply: 227 Entering Passive Mode with no numbers");
  EXPECT_EQ(ErrorOf([&] { t.client.StoreFile(local.string(), "a"); }),
            "Invalid passive mode reply: 227 (127,0,0,1,4,1");
  EXPECT_EQ(ErrorOf([&] { t.client.StoreFile(local.string(), "a"); }), "500 PASV not understood");
  EXPECT_EQ(ErrorOf([&] { t.client.StoreFile(local.string(), "a"); }), "553 Could not create file.");
  EXPECT_NE(ErrorOf([&] { t.client.StoreFile((dir.Path() / "missing").string(), "a"); }), "(no error)");
  EXPECT_TRUE(t.client.Connected());  // a failed upload keeps the session
  t.client.Disconnect();
  EXPECT_EQ(server.Commands(), (Lines{"USER bob\r\n", "PASS secret\r\n", "PASV\r\n", "PASV\r\n", "PASV\r\n", "PASV\r\n",
                                      "STOR a\r\n", "QUIT\r\n"}));
  EXPECT_EQ(t.events, (Lines{"connect", "failure 9", "failure 9", "failure 9", "failure 9", "failure 9"}));
}

// The client listens where its control connection runs and takes only the
// server's connection: strangers get nothing.
TEST_F(FtpStore, ActiveModeSendsPortAndTheServerDialsBack) {
  std::string received, portCommand, toOtherAddress, fromOtherAddress;
  ScriptedFtpServer server([&](ScriptedPeer& peer) {
    Login(peer);
    portCommand = peer.Command();
    peer.Reply("200 PORT ok");
    peer.Command();
    peer.Reply("150 opening");
    // Strangers first: the port on another of this machine's addresses, and
    // the right address dialled from another one.
    toOtherAddress = peer.Intrude(portCommand, "127.0.0.1", "127.0.0.2");
    fromOtherAddress = peer.Intrude(portCommand, "127.0.0.2", "127.0.0.1");
    received = peer.ReceiveActive(portCommand);
    peer.Reply("226 done");
    peer.Command();
    peer.Reply("500 PORT refused");
    peer.Command();
    peer.Reply("200 PORT ok");
    peer.Command();
    peer.Reply("150 opening");
    peer.Reply("425 Can't open data connection.");  // the server gives up instead of dialling
    peer.Command();
    peer.Reply("221 bye");
  });
  TracedClient t(server.Port());
  t.client.Connect();
  t.client.StoreFile(local.string(), ".htpasswd");
  EXPECT_EQ(ErrorOf([&] { t.client.StoreFile(local.string(), ".htpasswd"); }), "500 PORT refused");
  EXPECT_EQ(ErrorOf([&] { t.client.StoreFile(local.string(), ".htpasswd"); }), "Error creating Data Connection");
  t.client.Disconnect();
  EXPECT_EQ(server.Error(), "");
  EXPECT_EQ(toOtherAddress, "refused");
  EXPECT_EQ(fromOtherAddress, "closed");
  EXPECT_EQ(received, content);
  const Lines sent = server.Commands();
  ASSERT_EQ(sent.size(), 8u);
  EXPECT_TRUE(sent[2].starts_with("PORT 127,0,0,1,") && sent[2].ends_with("\r\n")) << sent[2];
  EXPECT_EQ(sent[3], "STOR .htpasswd\r\n");
  EXPECT_EQ(t.events, (Lines{"connect", "success 9", "failure 9", "failure 9"}));
}

TEST_F(FtpStore, ASlowButSteadyReaderIsWaitedForPastTheTimeOut) {
  // Far more than the socket buffers on both sides hold, read in small
  // pieces with short pauses: the whole transfer takes many times the
  // time-out, while no single pause comes near it.
  const std::string big(8 << 20, 'x');
  WriteFile(local, big);
  std::size_t received = 0;
  ScriptedFtpServer server([&](ScriptedPeer& peer) {
    Login(peer);
    peer.Command();
    peer.Reply(PassiveReply(227, "127,0,0,1", peer.OpenPassive(65536)));
    peer.Command();
    peer.Reply("150 go");
    received = peer.ReceivePassive(32768, 4).size();
    peer.Reply("226 done");
    peer.WaitForClose();
  });
  TracedClient t(server.Port());
  t.client.Passive = true;
  t.client.TimeOut = 300;
  t.client.Connect();
  t.client.StoreFile(local.string(), "big");
  t.client.TSockConnection::Disconnect();
  EXPECT_EQ(server.Error(), "");
  EXPECT_EQ(received, big.size());
  EXPECT_EQ(t.events, (Lines{"connect", "success 9"}));
}

TEST_F(FtpStore, AbortFromThePumpStopsTheTransferAndClosesTheDataConnection) {
  std::string big;
  while (big.size() < 4 * 65536) big += content;
  WriteFile(local, big);
  std::string received = "(none)";
  ScriptedFtpServer server([&](ScriptedPeer& peer) {
    Login(peer);
    peer.Command();
    peer.Reply(PassiveReply(227, "127,0,0,1", peer.OpenPassive()));
    peer.Command();
    peer.Reply("150 go");
    received = peer.ReceivePassive();
    peer.Command();
    peer.Reply("221 bye");
  });
  TracedClient t(server.Port());
  t.client.Passive = true;
  t.client.Connect();
  t.client.Abort();  // nothing runs: no effect
  int pumped = 0;
  t.client.Pump = [&] {
    if (t.client.TransferredBytes() > 0 && ++pumped == 1) t.client.Abort();
  };
  EXPECT_EQ(ErrorOf([&] { t.client.StoreFile(local.string(), "x"); }), "Socket send aborted");
  EXPECT_TRUE(t.client.Connected());
  t.client.Disconnect();
  EXPECT_EQ(server.Error(), "");
  EXPECT_LT(received.size(), big.size());
  EXPECT_EQ(t.events, (Lines{"connect", "failure 9"}));
}
