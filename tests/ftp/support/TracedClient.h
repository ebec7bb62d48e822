#pragma once
#include <functional>
#include <string>
#include <vector>

#include "ftp/FtpClient.h"

namespace pellora::testing {

// The text of the error action ends with, or "(no error)".
inline std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(no error)";
}

// The client as user "bob" on 127.0.0.1, with every event written into one trace.
struct TracedClient {
  TFtpClient client;
  std::vector<std::string> events;

  explicit TracedClient(int port, std::string password = "secret") {
    client.Host = "127.0.0.1";
    client.Port = port;
    client.UserID = "bob";
    client.Password = std::move(password);
    client.OnConnect = [this] { events.push_back("connect"); };
    client.OnConnectionFailed = [this] { events.push_back("connection failed"); };
    client.OnSuccess = [this](TCmdType t) { events.push_back("success " + std::to_string(int(t))); };
    client.OnFailure = [this](TCmdType t) {
      events.push_back("failure " + std::to_string(int(t)));
      return false;
    };
  }
};

}  // namespace pellora::testing
