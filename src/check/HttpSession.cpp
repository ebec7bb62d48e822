#include "check/HttpSession.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>

#include "core/Text.h"

namespace pellora {
namespace {

// Kept for the one step that reads a body (is the .htpasswd served?); a body
// longer than the limit ends the transfer, so a huge or endless answer costs
// no more than that.
constexpr std::size_t kBodyKept = 4096;
constexpr std::size_t kBodyLimit = 16384;
// The pump runs at least this often while a request waits.
constexpr int kSliceMs = 100;

struct Transfer {
  HttpReply* reply;
  std::size_t bodySeen = 0;
  bool cut = false;
};

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  std::string_view line(data, size * count);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  HttpReply& reply = *transfer->reply;
  // A status line starts the headers of another answer (after a 100 Continue).
  if (StartsWithNoCase(line, "http/")) {
    reply.Authenticate.clear();
    reply.Server.clear();
  }
  auto value = [&](std::string_view name) {
    std::string_view v = line.substr(name.size());
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
    return std::string(v);
  };
  if (StartsWithNoCase(line, "www-authenticate:")) reply.Authenticate.push_back(value("WWW-Authenticate:"));
  else if (StartsWithNoCase(line, "server:")) reply.Server = value("Server:");
  return size * count;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t n = size * count;
  std::string& body = transfer->reply->Body;
  body.append(data, std::min(n, kBodyKept - std::min(kBodyKept, body.size())));
  transfer->bodySeen += n;
  if (transfer->bodySeen <= kBodyLimit) return n;
  transfer->cut = true;
  return 0;  // ends the transfer; what came so far is enough
}

Failure FailureOf(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return Failure::Dns;
    case CURLE_COULDNT_CONNECT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR: return Failure::Connect;
    case CURLE_OPERATION_TIMEDOUT: return Failure::TimeLimit;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED: return Failure::Tls;
    // An answer that does not start as HTTP does (HTTP/0.9 is refused).
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_HTTP2:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_PARTIAL_FILE: return Failure::NotHttp;
    case CURLE_GOT_NOTHING: return Failure::Closed;
    case CURLE_URL_MALFORMAT: return Failure::BadUrl;
    default: return Failure::Other;
  }
}

struct UrlHandle {
  CURLU* h = curl_url();
  ~UrlHandle() { curl_url_cleanup(h); }
  std::string Part(CURLUPart part, unsigned flags = 0) const {
    char* text = nullptr;
    if (curl_url_get(h, part, &text, flags) != CURLUE_OK) return {};
    std::string out = text ? text : "";
    curl_free(text);
    return out;
  }
};

bool Parse(UrlHandle& url, const std::string& text) {
  if (!url.h || curl_url_set(url.h, CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) return false;
  const std::string scheme = url.Part(CURLUPART_SCHEME);
  return scheme == "http" || scheme == "https";
}

}  // namespace

std::optional<UrlParts> SplitUrl(const std::string& url) {
  UrlHandle h;
  if (!Parse(h, url)) return std::nullopt;
  return UrlParts{h.Part(CURLUPART_SCHEME), h.Part(CURLUPART_HOST), h.Part(CURLUPART_PORT, CURLU_DEFAULT_PORT),
                  h.Part(CURLUPART_PATH, CURLU_URLDECODE)};
}

std::string WithoutUserInfo(const std::string& url) {
  UrlHandle h;
  if (!Parse(h, url)) return url;
  curl_url_set(h.h, CURLUPART_USER, nullptr, 0);
  curl_url_set(h.h, CURLUPART_PASSWORD, nullptr, 0);
  curl_url_set(h.h, CURLUPART_OPTIONS, nullptr, 0);
  curl_url_set(h.h, CURLUPART_FRAGMENT, nullptr, 0);
  return h.Part(CURLUPART_URL);
}

std::string WithPath(const std::string& url, const std::string& path) {
  UrlHandle h;
  if (!Parse(h, url)) return url;
  curl_url_set(h.h, CURLUPART_PATH, path.c_str(), CURLU_URLENCODE);
  curl_url_set(h.h, CURLUPART_QUERY, nullptr, 0);
  curl_url_set(h.h, CURLUPART_FRAGMENT, nullptr, 0);
  return h.Part(CURLUPART_URL);
}

HttpSession::HttpSession(const std::string& caFile, int timeoutMs, const CheckWait& wait) : wait_(wait) {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  multi_ = curl_multi_init();
  CURL* easy = curl_easy_init();
  easy_ = easy;
  if (!easy) return;
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, "Pellora");
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(std::max(timeoutMs, 1)));
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::max(timeoutMs, 1)));
  curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
  if (!caFile.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, caFile.c_str());
}

HttpSession::~HttpSession() {
  curl_easy_cleanup(static_cast<CURL*>(easy_));
  curl_multi_cleanup(static_cast<CURLM*>(multi_));
}

HttpReply HttpSession::Get(const std::string& url, const Credentials* credentials) {
  HttpReply reply;
  auto* easy = static_cast<CURL*>(easy_);
  auto* multi = static_cast<CURLM*>(multi_);
  if (!easy || !multi) {
    reply.Failed = Failure::Other;
    reply.Error = "the HTTP library could not start";
    return reply;
  }
  Transfer transfer{&reply};
  char error[CURL_ERROR_SIZE] = "";
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_USERNAME, credentials ? credentials->Name.c_str() : nullptr);
  curl_easy_setopt(easy, CURLOPT_PASSWORD, credentials ? credentials->Password.c_str() : nullptr);

  // The multi interface waits in slices, so the window repaints and Stop
  // is heard; the multi handle's connection cache keeps the connection for
  // the next request.
  curl_multi_add_handle(multi, easy);
  bool stopped = false;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK || running == 0) break;
    if (wait_.Pump) wait_.Pump();
    if (wait_.Stopped && wait_.Stopped()) {
      stopped = true;
      break;
    }
    curl_multi_poll(multi, nullptr, 0, kSliceMs, nullptr);
  }
  CURLcode code = CURLE_OK;
  int left = 0;
  bool done = false;
  while (CURLMsg* msg = curl_multi_info_read(multi, &left))
    if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
      code = msg->data.result;
      done = true;
    }
  curl_multi_remove_handle(multi, easy);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);

  if (stopped && !done) {
    reply.Failed = Failure::Stopped;
    return reply;
  }
  if (code == CURLE_WRITE_ERROR && transfer.cut) code = CURLE_OK;
  if (!done && code == CURLE_OK) code = CURLE_FAILED_INIT;
  if (code != CURLE_OK) {
    reply.Failed = FailureOf(code);
    reply.Error = *error ? error : curl_easy_strerror(code);
    reply.Authenticate.clear();
    return reply;
  }
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply.Status);
  char* location = nullptr;
  if (curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location) reply.RedirectUrl = location;
  return reply;
}

}  // namespace pellora
