#pragma once
#include <optional>
#include <string>
#include <vector>

#include "check/HttpCheck.h"

namespace pellora {

// Why a request got no HTTP answer.
enum class Failure { None, Dns, Connect, Tls, TimeLimit, NotHttp, Closed, BadUrl, Stopped, Other };

struct HttpReply {
  Failure Failed = Failure::None;
  std::string Error;  // the library's words for a failure
  long Status = 0;
  std::vector<std::string> Authenticate;  // every WWW-Authenticate value
  std::string Server;
  std::string RedirectUrl;  // absolute, when the answer redirects
  std::string Body;         // its first bytes only
};

// An address split into what decides "the same site" and the rest.
struct UrlParts {
  std::string Scheme, Host, Port, Path;
};
// nullopt when the text is no http(s) address.
std::optional<UrlParts> SplitUrl(const std::string& url);
// The address without any name or password written into it.
std::string WithoutUserInfo(const std::string& url);
// The address with its path replaced (given decoded, encoded here).
std::string WithPath(const std::string& url, const std::string& path);

// One connection's worth of GET requests, made one at a time: the connection
// is kept and reused for the next request wherever the server allows it.
// Redirects are not followed here; the reply says where they lead.
class HttpSession {
 public:
  HttpSession(const std::string& caFile, int timeoutMs, const CheckWait& wait);
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  HttpReply Get(const std::string& url, const Credentials* credentials);

 private:
  void* multi_ = nullptr;
  void* easy_ = nullptr;
  const CheckWait& wait_;
};

}  // namespace pellora
