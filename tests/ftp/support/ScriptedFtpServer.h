#pragma once
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/Ports.h"

namespace pellora::testing {

// The server side of one control connection, driven by a test's script in
// plain blocking calls. Every receive gives up after a few seconds, so a
// script that waits for what never comes ends instead of hanging the test.
class ScriptedPeer {
 public:
  explicit ScriptedPeer(int control) : control_(control) {}
  ~ScriptedPeer();

  // Raw bytes on the control connection; Reply adds CR LF.
  void Send(std::string_view bytes);
  void Reply(std::string_view line) { Send(std::string(line) + "\r\n"); }
  // The next command line as sent, line end included; empty when the client
  // has closed. Every line is recorded.
  std::string Command();
  // Whether a command (or the client's close) has arrived, without waiting.
  bool CommandWaiting() const;
  // Reads commands until the client closes the connection.
  void WaitForClose();
  void Close();

  // Passive mode: listens on 127.0.0.1 and returns the port. A receive
  // buffer (bytes; 0 keeps the system's) keeps the client from queueing much
  // more than a slow reader takes.
  int OpenPassive(int receiveBuffer = 0);
  // Accepts on the passive port and reads until the client closes, at most
  // `chunk` bytes at a time with a pause of pauseMs after each.
  std::string ReceivePassive(std::size_t chunk = 65536, int pauseMs = 0);
  // Active mode: connects to the address of a PORT command and reads until
  // the client closes.
  std::string ReceiveActive(const std::string& portCommand);
  // Active mode, a stranger: dials the port of a PORT command at address
  // `to` from address `from`, and tells what it got: "refused" when nobody
  // listens there, "closed" when hung up on without a byte, else the bytes.
  std::string Intrude(const std::string& portCommand, const char* from, const char* to);

  std::vector<std::string> Commands() const;

 private:
  int control_;
  int passive_ = -1;
  mutable std::mutex mutex_;
  std::vector<std::string> commands_;
};

class ScriptedFtpServer {
 public:
  explicit ScriptedFtpServer(std::function<void(ScriptedPeer&)> script);
  ~ScriptedFtpServer();
  ScriptedFtpServer(const ScriptedFtpServer&) = delete;
  ScriptedFtpServer& operator=(const ScriptedFtpServer&) = delete;

  int Port() const { return port_; }
  // Waits for the script to end; then the commands it saw, in order.
  std::vector<std::string> Commands();
  // What went wrong inside the script, if anything.
  std::string Error();

 private:
  void Join();

  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> commands_;
  std::string error_;
};

// A socket listening on 127.0.0.1 with a port the system picks.
int LoopbackListener(int& port);

}  // namespace pellora::testing
