// Sessions of the FTP client written as transcripts, one file each in
// transcripts/: what the client is asked to do, what the server says ("S: "), what the client must send
// ("C: "), and what the caller sees ("expect: " the events and errors in
// their order). One test plays every transcript against the scripted server.
//
//   client: ops      timeout MS | tls (explicit) | connect | cwd DIR | stor NAME (passive),
//                    separated by ", "; every op runs, also after an error
//   S: text          the server sends text and CR LF; "{pasv}" opens a
//                    passive port and stands for its six numbers
//   S*N@0: text      the same N times at once
//   S*N@MS: text     a server that never ends: the same every MS ms until the
//                    client sends something; still listening after N is a fault
//   C: text          the next command the client sends, without its line end
//   data:            the server takes the passive data, which must be the file
//   expect: a | b    "connect", "connection failed", "success N", "failure N",
//                    "error TEXT", separated by " | "
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/Files.h"
#include "ftp/FtpClient.h"
#include "support/ScriptedFtpServer.h"
#include "support/TracedClient.h"

using namespace pellora;
using namespace pellora::testing;

namespace {

struct Transcript {
  std::string name;  // the file's name without ".txt"
  std::string text;
};

void PrintTo(const Transcript& t, std::ostream* out) { *out << t.name; }

// Every transcript of the folder, in name order.
std::vector<Transcript> Transcripts() {
  std::vector<Transcript> all;
  for (const auto& entry : std::filesystem::directory_iterator(PELLORA_SOURCE_DIR "/tests/ftp/transcripts"))
    if (entry.path().extension() == ".txt") all.push_back({entry.path().stem().string(), ReadFile(entry.path())});
  std::ranges::sort(all, {}, &Transcript::name);
  return all;
}

const std::string kFile = "ann:abJnggxhB/yWI\r\n";

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + separator.size();
  }
}

struct Parsed {
  std::vector<std::string> ops;
  std::vector<std::string> server;  // the "S" and "C" lines and "data:", in order
  std::vector<std::string> expect;
};

Parsed Parse(const std::string& text) {
  Parsed p;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    if (line.starts_with("client: ")) {
      p.ops = Split(line.substr(8), ", ");
    } else if (line.starts_with("expect: ")) {
      p.expect = Split(line.substr(8), " | ");
    } else {
      p.server.push_back(line);
    }
  }
  return p;
}

std::string WithoutLineEnd(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

// The server's side of a transcript; a departure from it is the script's error.
void PlayServer(ScriptedPeer& peer, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    if (line == "data:") {
      const std::string data = peer.ReceivePassive();
      if (data != kFile) throw std::runtime_error("the data was not the file: " + data);
    } else if (line.starts_with("C: ")) {
      const std::string sent = WithoutLineEnd(peer.Command());
      if (sent != line.substr(3)) throw std::runtime_error("expected \"" + line.substr(3) + "\", got \"" + sent + "\"");
    } else if (line.starts_with("S: ")) {
      std::string text = line.substr(3);
      if (std::size_t at = text.find("{pasv}"); at != std::string::npos) {
        const int port = peer.OpenPassive();
        text.replace(at, 6, "127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256));
      }
      peer.Reply(text);
    } else if (int times = 0, pause = 0, used = 0;
               std::sscanf(line.c_str(), "S*%d@%d: %n", &times, &pause, &used) == 2 && used > 0) {
      const std::string text = line.substr(static_cast<std::size_t>(used)) + "\r\n";
      if (pause == 0) {
        std::string burst;
        for (int i = 0; i < times; ++i) burst += text;
        peer.Send(burst);
        continue;
      }
      int sent = 0;
      for (; sent < times && !peer.CommandWaiting(); ++sent) {
        peer.Send(text);
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
      }
      if (sent == times) throw std::runtime_error("the client was still listening after " + line);
    } else {
      throw std::runtime_error("not a transcript line: " + line);
    }
  }
  // Nothing more may come but the end of the connection.
  if (std::string more = peer.Command(); !more.empty()) {
    peer.Close();
    throw std::runtime_error("unexpected command: " + WithoutLineEnd(more));
  }
}

class FtpDialogue : public ::testing::TestWithParam<Transcript> {};

TEST_P(FtpDialogue, RunsAsTranscribed) {
  const Parsed p = Parse(GetParam().text);
  TempDir dir;
  const std::string local = (dir.Path() / "local").string();
  WriteFile(local, kFile);
  ScriptedFtpServer server([&](ScriptedPeer& peer) { PlayServer(peer, p.server); });

  TracedClient traced(server.Port());
  TFtpClient& client = traced.client;
  client.Passive = true;
  for (const std::string& op : p.ops) {
    try {
      if (op.starts_with("timeout ")) client.TimeOut = std::stoi(op.substr(8));
      else if (op == "tls") client.Security = FtpSecurity::ExplicitTls;
      else if (op == "connect") client.Connect();
      else if (op.starts_with("cwd ")) client.ChangeDirectory(op.substr(4));
      else if (op.starts_with("stor ")) client.StoreFile(local, op.substr(5));
      else FAIL() << "unknown op " << op;
    } catch (const std::exception& e) {
      traced.events.push_back(std::string("error ") + e.what());
    }
  }
  client.TSockConnection::Disconnect();
  EXPECT_EQ(server.Error(), "");
  EXPECT_EQ(traced.events, p.expect);
}

INSTANTIATE_TEST_SUITE_P(Transcripts, FtpDialogue, ::testing::ValuesIn(Transcripts()),
                         [](const ::testing::TestParamInfo<Transcript>& info) { return info.param.name; });

}  // namespace
