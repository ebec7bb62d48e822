#include "support/ScriptedFtpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>

namespace pellora::testing {

namespace {

constexpr int kPatienceMs = 8000;

int Listener(int& port, int receiveBuffer = 0) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  // Set before listening, so that accepted connections start with it.
  if (fd >= 0 && receiveBuffer > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 4) != 0)
    throw std::runtime_error("cannot listen");
  socklen_t len = sizeof sa;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  port = ntohs(sa.sin_port);
  return fd;
}

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, kPatienceMs) > 0;
}

int AcceptOn(int listener) {
  if (!Readable(listener)) throw std::runtime_error("nobody connected");
  int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) throw std::runtime_error("accept failed");
  return fd;
}

std::string ReadToEnd(int fd, std::size_t chunk = 65536, int pauseMs = 0) {
  std::string data;
  char buffer[65536];
  chunk = std::min(chunk, sizeof buffer);
  for (;;) {
    if (!Readable(fd)) {
      ::close(fd);
      throw std::runtime_error("data connection stalled");
    }
    long n = ::recv(fd, buffer, chunk, 0);
    if (n <= 0) break;
    data.append(buffer, static_cast<std::size_t>(n));
    if (pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
  }
  ::close(fd);
  return data;
}

// The address and port of a PORT command, in network byte order.
sockaddr_in PortAddress(const std::string& portCommand) {
  int h[6] = {};
  if (std::sscanf(portCommand.c_str(), "PORT %d,%d,%d,%d,%d,%d", &h[0], &h[1], &h[2], &h[3], &h[4], &h[5]) != 6)
    throw std::runtime_error("not a PORT command: " + portCommand);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(h[4] * 256 + h[5]));
  return sa;
}

}  // namespace

ScriptedPeer::~ScriptedPeer() {
  Close();
  if (passive_ >= 0) ::close(passive_);
}

void ScriptedPeer::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    long n = ::send(control_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) throw std::runtime_error("client went away");
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

std::string ScriptedPeer::Command() {
  std::string line;
  char c = 0;
  while (line.empty() || line.back() != '\n') {
    if (!Readable(control_)) throw std::runtime_error("client stayed silent");
    if (::recv(control_, &c, 1, 0) != 1) return {};
    line += c;
  }
  std::lock_guard lock(mutex_);
  commands_.push_back(line);
  return line;
}

bool ScriptedPeer::CommandWaiting() const {
  pollfd p{control_, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

void ScriptedPeer::WaitForClose() {
  while (!Command().empty()) {
  }
}

void ScriptedPeer::Close() {
  if (control_ >= 0) ::close(control_);
  control_ = -1;
}

int ScriptedPeer::OpenPassive(int receiveBuffer) {
  int port = 0;
  if (passive_ >= 0) ::close(passive_);  // the listener of an earlier transfer
  passive_ = Listener(port, receiveBuffer);
  return port;
}

std::string ScriptedPeer::ReceivePassive(std::size_t chunk, int pauseMs) {
  return ReadToEnd(AcceptOn(passive_), chunk, pauseMs);
}

std::string ScriptedPeer::ReceiveActive(const std::string& portCommand) {
  sockaddr_in sa = PortAddress(portCommand);
  // The client names its own address; only the loopback is ever dialled.
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    ::close(fd);
    throw std::runtime_error("cannot dial PORT");
  }
  return ReadToEnd(fd);
}

std::string ScriptedPeer::Intrude(const std::string& portCommand, const char* from, const char* to) {
  sockaddr_in target = PortAddress(portCommand);
  sockaddr_in source{};
  source.sin_family = AF_INET;
  if (::inet_pton(AF_INET, to, &target.sin_addr) != 1 || ::inet_pton(AF_INET, from, &source.sin_addr) != 1)
    throw std::runtime_error("not loopback addresses");
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
    ::close(fd);
    throw std::runtime_error(std::string("cannot bind ") + from);
  }
  if (::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
    ::close(fd);
    return "refused";
  }
  const std::string got = ReadToEnd(fd);
  return got.empty() ? "closed" : got;
}

std::vector<std::string> ScriptedPeer::Commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

ScriptedFtpServer::ScriptedFtpServer(std::function<void(ScriptedPeer&)> script) {
  listener_ = Listener(port_);
  thread_ = std::thread([this, script = std::move(script)] {
    try {
      ScriptedPeer peer(AcceptOn(listener_));
      try {
        script(peer);
      } catch (const std::exception& e) {
        std::lock_guard lock(mutex_);
        error_ = e.what();
      }
      std::lock_guard lock(mutex_);
      commands_ = peer.Commands();
    } catch (const std::exception& e) {
      std::lock_guard lock(mutex_);
      error_ = e.what();
    }
  });
}

ScriptedFtpServer::~ScriptedFtpServer() {
  Join();
  ::close(listener_);
}

void ScriptedFtpServer::Join() {
  if (thread_.joinable()) thread_.join();
}

std::vector<std::string> ScriptedFtpServer::Commands() {
  Join();
  std::lock_guard lock(mutex_);
  return commands_;
}

std::string ScriptedFtpServer::Error() {
  Join();
  std::lock_guard lock(mutex_);
  return error_;
}

int LoopbackListener(int& port) { return Listener(port); }

}  // namespace pellora::testing
