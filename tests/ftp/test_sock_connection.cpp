#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "common/Files.h"
#include "ftp/SockConnection.h"
#include "support/ScriptedFtpServer.h"
#include "support/TracedClient.h"

using namespace pellora;
using namespace pellora::testing;

TEST(SocketErrors, NumbersAndTextsFollowTheSocketTable) {
  EXPECT_EQ(SocketErrorText(10061), "10061:Connection refused");
  EXPECT_EQ(SocketErrorText(10057), "10057:Socket is not connected");
  EXPECT_EQ(SocketErrorText(11001), "11001:Host not found");
  EXPECT_EQ(SocketErrorText(10003), "Unknown Error No. 10003");
  EXPECT_EQ(SocketErrorNumber(ECONNREFUSED), 10061);
  EXPECT_EQ(SocketErrorNumber(ECONNRESET), 10054);
  EXPECT_EQ(SocketErrorNumber(ETIMEDOUT), 10060);
  EXPECT_EQ(ErrnoText(ECONNREFUSED), "10061:Connection refused");
  EXPECT_EQ(ErrnoText(ENOMEM), "Unknown Error No. " + std::to_string(ENOMEM));
  int listed = 0;
  for (int n = 10000; n < 11010; ++n)
    if (SocketErrorText(n).find("Unknown") == std::string::npos) ++listed;
  EXPECT_EQ(listed, 50);
}

TEST(SockConnection, DottedHostIsUsedWithoutLookupAndPortKeepsItsLow16Bits) {
  for (int offset : {65536, -65536}) {
    ScriptedFtpServer server([](ScriptedPeer& peer) { peer.Reply("hello"); });
    TSockConnection c;
    int resolved = 0;
    c.OnHostResolved = [&] { ++resolved; };
    c.Host = "127.0.0.1";
    c.Port = server.Port() + offset;
    c.Connect();
    EXPECT_TRUE(c.Connected());
    EXPECT_EQ(c.RemoteIP(), "127.0.0.1");
    EXPECT_EQ(c.ReadLn(), "hello\r\n");
    EXPECT_EQ(resolved, 0);
    EXPECT_EQ(ErrorOf([&] { c.Connect(); }), "Already connected");
    c.Disconnect();
    EXPECT_FALSE(c.Connected());
  }
}

TEST(SockConnection, NameLookupRaisesHostResolvedAndAnEmptyNameAsksForHelpOnce) {
  ScriptedFtpServer server([](ScriptedPeer& peer) { peer.Reply("hi"); });
  TSockConnection c;
  int resolved = 0, pumped = 0;
  c.OnHostResolved = [&] { ++resolved; };
  c.Pump = [&] { ++pumped; };
  c.Host = "localhost";
  c.Port = server.Port();
  c.Connect();
  EXPECT_EQ(resolved, 1);
  EXPECT_EQ(c.RemoteIP(), "127.0.0.1");
  c.Disconnect();

  TSockConnection bad;
  int asked = 0;
  bad.OnInvalidHost = [&] {
    ++asked;
    return true;  // one more lookup, which fails again
  };
  EXPECT_EQ(ErrorOf([&] { bad.Connect(); }), "Null Remote Address");
  EXPECT_EQ(asked, 1);
}

TEST(SockConnection, RefusedConnectionGivesTheSocketErrorTextAndTheEvent) {
  TSockConnection c;
  int failed = 0;
  c.OnConnectionFailed = [&] { ++failed; };
  c.Host = "127.0.0.1";
  c.Port = FreePort();
  EXPECT_EQ(ErrorOf([&] { c.Connect(); }), "10061:Connection refused");
  EXPECT_EQ(failed, 1);
  EXPECT_FALSE(c.Connected());
}

TEST(SockConnection, LinesEndAtLineFeedWithOrWithoutCarriageReturnAndCloseGivesEmpty) {
  ScriptedFtpServer server([](ScriptedPeer& peer) {
    peer.Send("first\r\nsecond\nthird");
    peer.Send(" part\r\n");
    peer.Command();
    peer.Send("unfinished");
  });
  TSockConnection c;
  c.Host = "127.0.0.1";
  c.Port = server.Port();
  c.Connect();
  EXPECT_EQ(c.ReadLn(), "first\r\n");
  EXPECT_EQ(c.ReadLn(), "second\n");
  EXPECT_EQ(c.ReadLn(), "third part\r\n");
  c.SendLine(std::string("go\0ignored", 10));
  EXPECT_EQ(c.ReadLn(), "");  // the unfinished line goes with the closed connection
  EXPECT_FALSE(c.Connected());
  EXPECT_EQ(server.Commands(), std::vector<std::string>{"go\r\n"});
  EXPECT_EQ(ErrorOf([&] { c.ReadLn(); }), "10057:Socket is not connected");
}

TEST(SockConnection, LineOfMoreThan65536BytesIsAnError) {
  ScriptedFtpServer server([](ScriptedPeer& peer) {
    peer.Send(std::string(65534, 'a') + "\r\n");  // exactly the largest line
    peer.Send(std::string(70000, 'b') + "\r\n");
    peer.WaitForClose();
  });
  TSockConnection c;
  c.Host = "127.0.0.1";
  c.Port = server.Port();
  c.Connect();
  EXPECT_EQ(c.ReadLn().size(), 65536u);
  EXPECT_EQ(ErrorOf([&] { c.ReadLn(); }), "Line longer than 65536 bytes");
  c.Disconnect();
}

TEST(SockConnection, AbortOrDisconnectFromThePumpEndsAWaitingReadWithAnError) {
  for (bool disconnect : {false, true}) {
    ScriptedFtpServer server([](ScriptedPeer& peer) { peer.WaitForClose(); });
    TSockConnection c;
    c.Host = "127.0.0.1";
    c.Port = server.Port();
    c.Connect();
    int pumped = 0;
    c.Pump = [&] {
      if (++pumped == 3) disconnect ? c.Disconnect() : c.Abort();
    };
    EXPECT_EQ(ErrorOf([&] { c.ReadLn(); }), disconnect ? "10057:Socket is not connected" : "Socket readln aborted");
    EXPECT_EQ(pumped, 3);
    EXPECT_EQ(c.Connected(), !disconnect);
    c.Disconnect();
  }
}

// A transport that has to send before it can receive, as an encrypting one
// may: the connection must wait for the socket to take bytes, since none will
// arrive from the silent peer.
TEST(SockConnection, WaitsTheWayItsTransportAsks) {
  struct SendsFirst : ByteTransport {
    bool waited = false;
    Moved Send(const char*, std::size_t size) override { return {static_cast<long>(size), 0, {}}; }
    Moved Receive(char* data, std::size_t) override {
      if (!std::exchange(waited, true)) return {0, 0, Direction::Write};
      std::memcpy(data, "220 ok\r\n", 8);
      return {8, 0, {}};
    }
    std::size_t Pending() override { return 0; }
    void ShutdownSend() override {}
  };
  struct Connection : TSockConnection {
    using TSockConnection::ReplaceTransport;
  };
  ScriptedFtpServer server([](ScriptedPeer& peer) { peer.WaitForClose(); });
  Connection c;
  c.Host = "127.0.0.1";
  c.Port = server.Port();
  c.TimeOut = 2000;
  c.Connect();
  c.ReplaceTransport(std::make_unique<SendsFirst>());
  EXPECT_EQ(c.ReadLn(), "220 ok\r\n");
  c.Disconnect();
}

TEST(SockConnection, PositiveTimeOutEndsTheWaitForALine) {
  ScriptedFtpServer server([](ScriptedPeer& peer) { peer.WaitForClose(); });
  TSockConnection c;
  c.Host = "127.0.0.1";
  c.Port = server.Port();
  c.TimeOut = 100;
  c.Connect();
  EXPECT_EQ(ErrorOf([&] { c.ReadLn(); }), "Socket readln aborted");
  EXPECT_TRUE(c.TimedOut());
  c.Disconnect();
}

TEST(SockConnection, DiscardPendingDropsWhatHasArrived) {
  ScriptedFtpServer server([](ScriptedPeer& peer) {
    peer.Send("stray 1\r\nstray 2\r\n");
    peer.Command();
    peer.Reply("200 answer");
  });
  TSockConnection c;
  c.Host = "127.0.0.1";
  c.Port = server.Port();
  c.Connect();
  EXPECT_EQ(c.ReadLn(), "stray 1\r\n");  // the rest is already buffered
  c.DiscardPending();
  EXPECT_EQ(c.Transaction("NOOP"), "200 answer\r\n");
  EXPECT_EQ(c.ReplyNumber(), 200);
  c.Disconnect();
}

TEST(SockConnection, SendFileDeliversEveryByteAndAcceptTakesTheListeningPort) {
  TempDir dir;
  std::string content;
  for (int i = 0; content.size() < 300000; ++i) content += "line " + std::to_string(i) + "\r\n";
  WriteFile(dir.Path() / "f", content);

  TSockConnection listener;
  listener.Listen(0x7F000001);  // 127.0.0.1
  EXPECT_TRUE(listener.Listening());
  const int port = listener.LocalPort();
  std::thread peer([&] {
    TSockConnection sender;
    sender.Host = "127.0.0.1";
    sender.Port = port;
    sender.Connect();
    sender.SendFile(dir.Path() / "f");
    EXPECT_EQ(sender.BytesSent(), content.size());
    EXPECT_EQ(sender.FileSize(), content.size());
    sender.CloseGracefully();
    EXPECT_FALSE(sender.Connected());
  });
  listener.Accept();
  EXPECT_TRUE(listener.Connected());
  EXPECT_FALSE(listener.Listening());
  std::string received;
  for (std::string line; !(line = listener.ReadLn()).empty();) received += line;
  peer.join();
  EXPECT_EQ(received, content);
}

TEST(SockConnection, HundredConnectionsLeaveNoDescriptorBehind) {
  constexpr int kRounds = 100;
  int port = 0;
  const int listener = LoopbackListener(port);
  const int refused = FreePort();
  const int before = CountOpenDescriptors();
  std::thread acceptor([&] {
    for (int i = 0; i < kRounds; ++i) {
      pollfd p{listener, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) return;
      ::close(::accept(listener, nullptr, nullptr));
    }
  });
  TSockConnection c;
  c.Host = "127.0.0.1";
  for (int i = 0; i < kRounds; ++i) {
    c.Port = refused;
    EXPECT_FALSE(ErrorOf([&] { c.Connect(); }).empty());
    c.Port = port;
    c.Connect();
    c.Disconnect();
  }
  acceptor.join();
  EXPECT_EQ(CountOpenDescriptors(), before);
  ::close(listener);
}
