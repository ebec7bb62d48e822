#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/Files.h"
#include "common/Logs.h"
#include "ftp/HostLookup.h"
#include "ftp/Upload.h"
#include "platform/WorkingFolder.h"
#include "support/ScriptedFtpServer.h"

using namespace pellora;
using namespace pellora::testing;
using Lines = std::vector<std::string>;

namespace {

const std::string kHtpasswd = "bob:abJnggxhB/yWI\r\nann:8cgbUlmaMzvVE\r\n";
const std::string kHtaccess =
    "AuthUserFile /.htpasswd\r\nAuthGroupFile /dev/null\r\nAuthName \"Members Only Area\"\r\n"
    "AuthType Basic\r\n\r\n<Limit GET POST PUT>\r\nrequire valid-user\r\n</Limit>\r\n";

std::string TaskLines(const std::string& host) {
  return "* Tasks:\n"
         "  1. Upload .htpasswd file to remote directory: /\n"
         "  2. Upload .htaccess file to remote directory: /public_html/\n"
         "\n"
         "* Connecting to " +
         host + "\n";
}

std::string SuccessLog(const std::string& host, int port, bool resolved) {
  return TaskLines(host) + (resolved ? "  Host resolved\n" : "") + "  Connected to host: " + host +
         "\n"
         "  Remote address: 127.0.0.1 , Remote port: " +
         std::to_string(port) +
         "\n"
         "\n"
         "* Changing remote working directory to /\n"
         "  Changing remote working directory successfully\n"
         "\n"
         "* Uploading .htpasswd file to remote directory: /, ... ...\n"
         "  Uploading successfully\n"
         "\n"
         "* Changing remote working directory to /public_html/\n"
         "  Changing remote working directory successfully\n"
         "\n"
         "* Uploading .htaccess file to remote directory: /public_html/, ... ...\n"
         "  Uploading successfully\n"
         "\n"
         "* Disconnecting from " +
         host +
         "\n"
         "\n"
         "* Disconnected\n"
         "* Both files were stored.\n";
}

// How every upload that stored nothing ends.
const std::string kNoneStored = "\n* Disconnected\n* No file was stored.\n";

void Login(ScriptedPeer& peer) {
  peer.Reply("220 ready");
  peer.Command();
  peer.Reply("331 password please");
  peer.Command();
  peer.Reply("230 in");
}

// One passive store: PASV, STOR, the data, the final reply.
std::string Store(ScriptedPeer& peer) {
  peer.Command();
  const int port = peer.OpenPassive();
  peer.Reply("227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256) +
             ")");
  peer.Command();
  peer.Reply("150 go");
  std::string data = peer.ReceivePassive();
  peer.Reply("226 done");
  return data;
}

// A whole upload that succeeds: login, both files, QUIT answered.
void ServeWholeUpload(ScriptedPeer& peer, const char* quitReply = "221 bye") {
  Login(peer);
  for (int i = 0; i < 2; ++i) {
    peer.Command();
    peer.Reply("250 ok");
    peer.Command();
    peer.Reply("200 ok");
    Store(peer);
  }
  peer.Command();
  peer.Reply(quitReply);
}

const Lines kFullDialogue = {
    "USER bob\r\n",          "PASS s3cret\r\n", "CWD /\r\n", "TYPE A\r\n",         "PASV\r\n", "STOR .htpasswd\r\n",
    "CWD /public_html/\r\n", "TYPE A\r\n",      "PASV\r\n",  "STOR .htaccess\r\n", "QUIT\r\n"};

class UploadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir.Path() / ".htpasswd", kHtpasswd);
    WriteFile(dir.Path() / ".htaccess", kHtaccess);
    inputs.Host = "127.0.0.1";
    inputs.User = "bob";
    inputs.Password = "s3cret";
    inputs.AuthUserFile = "/";
    inputs.WebFolder = "/public_html/";
    inputs.Passive = true;
    inputs.LocalHtpasswd = dir.Path() / ".htpasswd";
    inputs.LocalHtaccess = dir.Path() / ".htaccess";
  }
  bool Run(int port) {
    inputs.Port = port;
    return uploader.Run(inputs);
  }

  TempDir dir;
  UploadInputs inputs;
  TFtpClient client;
  StringLog log;
  Uploader uploader{client, log};
};

}  // namespace

TEST(UploadCheck, RefusesInOrderWithTheMessagesAndFallsBackToPort21) {
  TempDir data;
  ::setenv("XDG_DATA_HOME", data.Path().c_str(), 1);
  ProjectSettings s;
  s.FtpPort = "abc";
  UploadCheck c = CheckUploadInputs(s);
  ASSERT_TRUE(c.Refused);
  EXPECT_EQ(c.Refused->Text, "Please input Ftp Server host name or ip address.");
  EXPECT_EQ(c.Refused->Caption, "Error!");
  EXPECT_FALSE(c.PortReset);  // the host is tested before the port

  s.FtpHost = " \t ftp.example.com ";
  c = CheckUploadInputs(s);
  ASSERT_TRUE(c.Refused);
  EXPECT_EQ(c.Refused->Text, "Please input user name.");
  EXPECT_EQ(c.Refused->Target, Field::FtpUser);
  EXPECT_TRUE(c.PortReset);
  EXPECT_EQ(c.Inputs.Port, 21);

  s.FtpUser = " bob ";
  s.FtpWebDirectory = "  ";
  s.FtpPort = " 2121 ";
  c = CheckUploadInputs(s);
  ASSERT_TRUE(c.Refused);
  EXPECT_EQ(c.Refused->Text, "Please input the FTP path of the web directory to be password protected.");
  EXPECT_FALSE(c.PortReset);

  s.FtpWebDirectory = "/public_html/";
  c = CheckUploadInputs(s);
  ASSERT_TRUE(c.Refused);
  EXPECT_EQ(c.Refused->Target, Field::Generate);
  EXPECT_EQ(c.Refused->Text, "Please generate .htaccess and .htpasswd files first.");
  EXPECT_EQ(c.Refused->Caption, "Error!");

  WriteFile(WorkingFile(".htaccess"), kHtaccess);
  EXPECT_TRUE(CheckUploadInputs(s).Refused);  // .htpasswd still missing
  WriteFile(WorkingFile(".htpasswd"), kHtpasswd);
  s.FtpPassword = "  pass word ";
  s.AuthUserFile = "";
  s.FtpPassive = false;
  c = CheckUploadInputs(s);
  EXPECT_FALSE(c.Refused);
  EXPECT_EQ(c.Inputs.Host, "ftp.example.com");
  EXPECT_EQ(c.Inputs.Port, 2121);
  EXPECT_EQ(c.Inputs.User, "bob");
  EXPECT_EQ(c.Inputs.Password, "pass word");
  EXPECT_EQ(c.Inputs.AuthUserFile, "");
  EXPECT_FALSE(c.Inputs.Passive);
  EXPECT_EQ(c.Inputs.LocalHtaccess, WorkingFile(".htaccess"));
  EXPECT_EQ(c.Inputs.LocalHtpasswd, WorkingFile(".htpasswd"));

  for (auto [text, port, reset] : {std::tuple{"65557", 65557, false},
                                   {"-7", -7, false},
                                   {"+80", 80, false},
                                   {"", 21, true},
                                   {"2147483648", 21, true},
                                   {"12x", 21, true}}) {
    s.FtpPort = text;
    c = CheckUploadInputs(s);
    EXPECT_EQ(c.Inputs.Port, port) << text;
    EXPECT_EQ(c.PortReset, reset) << text;
  }

  // Each protocol falls back to its own port; one this build cannot speak
  // is refused before anything is sent.
  for (auto [protocol, port, security, refusal] :
       {std::tuple{"", 21, FtpSecurity::None, ""},
        {" FTPES ", 21, FtpSecurity::ExplicitTls, ""},
        {"ftps", 990, FtpSecurity::ImplicitTls, ""},
        {"sftp", 22, FtpSecurity::None, ""},
        {"gopher", 21, FtpSecurity::None, "The FTP protocol must be one of ftp, ftpes, ftps and sftp."}}) {
    s.FtpProtocol = protocol;
    s.FtpPort = "";
    c = CheckUploadInputs(s);
    EXPECT_EQ(c.Inputs.Port, port) << protocol;
    EXPECT_EQ(c.Refused ? c.Refused->Text : "", refusal) << protocol;
    EXPECT_EQ(c.Refused ? security : c.Inputs.Security, security) << protocol;
  }
  ::unsetenv("XDG_DATA_HOME");
}

TEST_F(UploadTest, SuccessfulUploadWritesTheWholeLogAndSendsTheDialogue) {
  std::string htpasswd, htaccess;
  ScriptedFtpServer server([&](ScriptedPeer& peer) {
    Login(peer);
    for (auto* stored : {&htpasswd, &htaccess}) {
      peer.Command();
      peer.Reply("250 ok");
      peer.Command();
      peer.Reply("200 ok");
      *stored = Store(peer);
    }
    peer.Command();
    peer.Reply("221 bye");
  });
  inputs.Host = "localhost";
  EXPECT_TRUE(Run(server.Port() + 65536));  // only the low 16 bits reach the network
  EXPECT_EQ(log.Text(), SuccessLog("localhost", server.Port() + 65536, true));
  EXPECT_EQ(server.Commands(), kFullDialogue);
  EXPECT_EQ(htpasswd, kHtpasswd);
  EXPECT_EQ(htaccess, kHtaccess);
  EXPECT_FALSE(client.Connected());
  EXPECT_FALSE(uploader.Running());
}

TEST_F(UploadTest, RefusedLoginEndsAfterConnectingFailed) {
  ScriptedFtpServer server([](ScriptedPeer& peer) {
    peer.Reply("220 ready");
    peer.Command();
    peer.Reply("331 password please");
    peer.Command();
    peer.Reply("530 Login incorrect.");
    peer.Command();
    peer.Reply("221 bye");
  });
  inputs.Host = "localhost";
  EXPECT_FALSE(Run(server.Port()));
  EXPECT_EQ(log.Text(), TaskLines("localhost") +
                            "  Host resolved\n  Connecting failed\n  Server said: 530 Login incorrect.\n" +
                            kNoneStored);
  EXPECT_EQ(server.Commands(), (Lines{"USER bob\r\n", "PASS s3cret\r\n", "QUIT\r\n"}));
}

TEST_F(UploadTest, UnresolvableHostAndRefusedConnectionEachLeaveTheirLine) {
  inputs.Host = "";
  EXPECT_FALSE(Run(21));
  EXPECT_EQ(log.Text(), TaskLines("") + "  Unable to resolve host: \n" + kNoneStored);
  log.Clear();
  inputs.Host = "127.0.0.1";
  EXPECT_FALSE(Run(FreePort()));
  EXPECT_EQ(log.Text(),
            TaskLines("127.0.0.1") + "  Connecting failed\n  Error: 10061:Connection refused\n" + kNoneStored);
}

TEST_F(UploadTest, RefusedDirectoryTypeAndStoreEachEndTheUploadWithQuit) {
  struct Case {
    const char* cwd;
    const char* type;
    const char* stor;
    std::string tail;
    Lines commands;
    const char* webCwd = "";  // when set, .htpasswd is stored first
  };
  const std::string connected = "  Connected to host: 127.0.0.1\n  Remote address: 127.0.0.1 , Remote port: ";
  const std::vector<Case> cases = {
      // A control byte from the server reaches neither the log nor a terminal as it is.
      {"550 No such \x1b[2Jdirectory",
       "",
       "",
       "\n* Changing remote working directory to /\nChanging remote working directory failed.\n"
       "  Server said: 550 No such \\x1B[2Jdirectory\n" +
           kNoneStored,
       {"USER bob\r\n", "PASS s3cret\r\n", "CWD /\r\n", "QUIT\r\n"}},
      {"250 ok",
       "500 TYPE not understood",
       "",
       "\n* Changing remote working directory to /\n  Changing remote working directory successfully\n"
       "\n* Uploading .htpasswd file to remote directory: /, ... ...\n  Server said: 500 TYPE not understood\n" +
           kNoneStored,
       {"USER bob\r\n", "PASS s3cret\r\n", "CWD /\r\n", "TYPE A\r\n", "QUIT\r\n"}},
      {"250 ok",
       "200 ok",
       "553 Could not create file.",
       "\n* Changing remote working directory to /\n  Changing remote working directory successfully\n"
       "\n* Uploading .htpasswd file to remote directory: /, ... ...\nUploading failed.\n"
       "  Server said: 553 Could not create file.\n" +
           kNoneStored,
       {"USER bob\r\n", "PASS s3cret\r\n", "CWD /\r\n", "TYPE A\r\n", "PASV\r\n", "STOR .htpasswd\r\n", "QUIT\r\n"}},
      {"250 ok",
       "200 ok",
       "",
       "\n* Changing remote working directory to /\n  Changing remote working directory successfully\n"
       "\n* Uploading .htpasswd file to remote directory: /, ... ...\n  Uploading successfully\n"
       "\n* Changing remote working directory to /public_html/\nChanging remote working directory failed.\n"
       "  Server said: 550 No such directory\n\n* Disconnected\n* Only .htpasswd was stored.\n",
       {"USER bob\r\n", "PASS s3cret\r\n", "CWD /\r\n", "TYPE A\r\n", "PASV\r\n", "STOR .htpasswd\r\n",
        "CWD /public_html/\r\n", "QUIT\r\n"},
       "550 No such directory"},
  };
  for (const Case& k : cases) {
    ScriptedFtpServer server([&](ScriptedPeer& peer) {
      Login(peer);
      peer.Command();
      peer.Reply(k.cwd);
      if (*k.type) {
        peer.Command();
        peer.Reply(k.type);
      }
      if (*k.stor) {
        peer.Command();
        peer.Reply("227 Entering Passive Mode (127,0,0,1,0,1)");  // never dialled: STOR is refused first
        peer.Command();
        peer.Reply(k.stor);
      }
      if (*k.webCwd) {
        Store(peer);
        peer.Command();
        peer.Reply(k.webCwd);
      }
      peer.Command();
      peer.Reply("221 bye");
    });
    log.Clear();
    // The refused STOR must not see a data connection attempt to port 1 fail
    // first; active mode keeps the data side local.
    inputs.Passive = *k.stor == 0;
    EXPECT_FALSE(Run(server.Port()));
    EXPECT_EQ(log.Text(), TaskLines("127.0.0.1") + connected + std::to_string(server.Port()) + "\n" + k.tail);
    Lines expected = k.commands;
    Lines sent = server.Commands();
    if (!inputs.Passive) {
      ASSERT_EQ(sent.size(), expected.size());
      EXPECT_TRUE(sent[4].starts_with("PORT 127,0,0,1,"));
      sent[4] = "PASV\r\n";
    }
    EXPECT_EQ(sent, expected);
  }
}

TEST_F(UploadTest, QuitAnsweredWith421AfterBothFilesStillCountsAsStored) {
  ScriptedFtpServer server([&](ScriptedPeer& peer) { ServeWholeUpload(peer, "421 Service not available"); });
  EXPECT_TRUE(Run(server.Port()));
  EXPECT_EQ(log.Text(), SuccessLog("127.0.0.1", server.Port(), false));
  EXPECT_FALSE(client.Connected());
}

TEST_F(UploadTest, BrokenServersEndWithDisconnectedAndNoHang) {
  struct Case {
    std::function<void(ScriptedPeer&)> script;
    std::string tail;
    bool quitSent;
  };
  const std::string cwdLine = "\n* Changing remote working directory to /\n";
  const std::vector<Case> cases = {
      // Garbage everywhere: accepted as replies without a number, until the
      // PASV reply gives no port.
      {[](ScriptedPeer& peer) {
         peer.Reply("hello there");
         for (int i = 0; i < 4; ++i) {
           peer.Command();
           peer.Reply("what?");
         }
         peer.Command();
         peer.Reply("221 bye");
       },
       cwdLine +
           "  Changing remote working directory successfully\n"
           "\n* Uploading .htpasswd file to remote directory: /, ... ...\nUploading failed.\n"
           "  Error: Invalid passive mode reply: what?\n" +
           kNoneStored,
       true},
      // The server closes in the middle of the reply to CWD.
      {[](ScriptedPeer& peer) {
         Login(peer);
         peer.Command();
         peer.Send("250-Directory changed\r\n250 and the line nev");
         peer.Close();
       },
       cwdLine + "  Error: Connection closed by the server\n" + kNoneStored, false},
      // A reply line of more than 65,536 bytes.
      {[](ScriptedPeer& peer) {
         Login(peer);
         peer.Command();
         peer.Send("250 " + std::string(100000, 'x') + "\r\n");
         peer.Command();
         peer.Reply("221 bye");
       },
       cwdLine + "  Error: Line longer than 65536 bytes\n" + kNoneStored, true},
  };
  for (const Case& k : cases) {
    ScriptedFtpServer server(k.script);
    log.Clear();
    EXPECT_FALSE(Run(server.Port()));
    const std::string text = log.Text();
    ASSERT_NE(text.find(cwdLine), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.find(cwdLine)), k.tail);
    const Lines sent = server.Commands();
    EXPECT_EQ(!sent.empty() && sent.back() == "QUIT\r\n", k.quitSent);
    EXPECT_FALSE(client.Connected());
  }
}

TEST_F(UploadTest, PassiveDataGoesToTheAddressTheControlConnectionUses) {
  // A round-robin name: the first answer is where the server runs, every
  // later one a machine where nothing listens.
  auto lookups = std::make_shared<std::atomic<int>>(0);
  SetHostLookup([lookups](const std::string& host) -> std::optional<std::uint32_t> {
    if (host != "ftp.example") return std::nullopt;
    return ++*lookups == 1 ? 0x7F000001 : 0x7F000003;
  });
  struct Restore {
    ~Restore() { SetHostLookup({}); }
  } restore;
  ScriptedFtpServer server([&](ScriptedPeer& peer) { ServeWholeUpload(peer); });
  inputs.Host = "ftp.example";
  EXPECT_TRUE(Run(server.Port()));
  EXPECT_EQ(log.Text(), SuccessLog("ftp.example", server.Port(), true));
  EXPECT_EQ(*lookups, 1);
}

TEST_F(UploadTest, ATimedOutLoginSaysSoThoughItsQuitIsAnswered) {
  // A greeting that never ends: its time-out must survive the QUIT that the
  // failed login still sends, which gets an answer.
  ScriptedFtpServer endless([](ScriptedPeer& peer) {
    peer.Reply("220-Hello");
    for (int i = 0; i < 200 && !peer.CommandWaiting(); ++i) {
      peer.Reply("220-still here");
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    peer.Command();
    peer.Reply("221 bye");
  });
  client.TimeOut = 300;
  EXPECT_FALSE(Run(endless.Port()));
  EXPECT_EQ(uploader.FailureReason(), "No progress for 300 ms: Socket readln aborted");
  EXPECT_EQ(log.Text(),
            TaskLines("127.0.0.1") + "  Error: No progress for 300 ms: Socket readln aborted\n" + kNoneStored);
}

TEST_F(UploadTest, StopOnASilentServerEndsTheUpload) {
  ScriptedFtpServer server([](ScriptedPeer& peer) { peer.WaitForClose(); });
  uploader.QuitGraceMs = 200;
  int pumped = 0;
  std::optional<std::string> stopError = "(not stopped)";
  std::optional<std::string> secondStop = "(not stopped)";
  client.Pump = [&] {
    ++pumped;
    if (pumped == 4) stopError = uploader.Stop();
    if (pumped == 6) secondStop = uploader.Stop();  // inside the first Stop's wait for the QUIT reply
  };
  EXPECT_FALSE(Run(server.Port()));
  EXPECT_EQ(stopError, std::nullopt);
  EXPECT_EQ(secondStop, std::nullopt);
  EXPECT_EQ(log.Text(), TaskLines("127.0.0.1") + "  Stopped by the user\n" + kNoneStored);
  EXPECT_EQ(server.Commands(), Lines{"QUIT\r\n"});
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(uploader.Stop(), std::nullopt);  // not connected: nothing to do
}

TEST_F(UploadTest, StopDuringTheTransferFailsTheUploadAndLeavesAtOnce) {
  std::string big;
  while (big.size() < 8 * 65536) big += kHtpasswd;
  WriteFile(inputs.LocalHtpasswd, big);
  std::string received;
  ScriptedFtpServer server([&](ScriptedPeer& peer) {
    Login(peer);
    peer.Command();
    peer.Reply("250 ok");
    peer.Command();
    peer.Reply("200 ok");
    peer.Command();
    const int port = peer.OpenPassive();
    peer.Reply("227 (127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256) + ")");
    peer.Command();
    peer.Reply("150 go");
    received = peer.ReceivePassive();
    peer.Command();
    peer.Reply("221 bye");
  });
  std::optional<std::string> stopError = "(not stopped)";
  client.Pump = [&] {
    if (client.TransferredBytes() > 0 && stopError == "(not stopped)") stopError = uploader.Stop();
  };
  EXPECT_FALSE(Run(server.Port()));
  EXPECT_EQ(stopError, std::nullopt);
  const std::string text = log.Text();
  EXPECT_TRUE(
      text.ends_with("\n* Uploading .htpasswd file to remote directory: /, ... ...\n"
                     "Uploading failed.\n  Stopped by the user\n" +
                     kNoneStored))
      << text;
  EXPECT_LT(received.size(), big.size());
  EXPECT_EQ(server.Commands().back(), "QUIT\r\n");
}

TEST_F(UploadTest, StartWhileAnUploadRunsIsIgnored) {
  ScriptedFtpServer server([&](ScriptedPeer& peer) { ServeWholeUpload(peer); });
  int nested = 0, refused = 0;
  client.Pump = [&] {
    ++nested;
    if (!uploader.Run(inputs)) ++refused;
  };
  inputs.Host = "localhost";  // the lookup waits at least one slice
  EXPECT_TRUE(Run(server.Port()));
  EXPECT_GT(nested, 0);
  EXPECT_EQ(refused, nested);
  EXPECT_EQ(log.Text(), SuccessLog("localhost", server.Port(), true));
}
