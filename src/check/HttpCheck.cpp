#include "check/HttpCheck.h"

#include <algorithm>
#include <cctype>

#include "check/HttpSession.h"
#include "core/Random.h"
#include "core/Text.h"

namespace pellora {
namespace {

// Same-site redirects followed per step: a folder address without its
// trailing slash takes one, a login page perhaps another.
constexpr int kRedirects = 3;

const char* kServerError =
    "the server cannot use the files: check the FULL HOST path, the .htpasswd path, and that the web server may read "
    ".htpasswd";

std::string Quoted(std::string_view text) { return "\"" + Printable(text) + "\""; }

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
  return out;
}

// The realm of the Basic challenge among the WWW-Authenticate values.
std::optional<std::string> BasicRealm(const std::vector<std::string>& challenges) {
  for (const std::string& value : challenges) {
    const std::string lower = Lower(value);
    for (std::size_t at = lower.find("basic"); at != std::string::npos; at = lower.find("basic", at + 1)) {
      if (at > 0 && lower[at - 1] != ' ' && lower[at - 1] != ',') continue;
      std::size_t realm = lower.find("realm=", at);
      if (realm == std::string::npos) return std::string();
      std::size_t i = realm + 6;
      std::string out;
      if (i < value.size() && value[i] == '"') {
        for (++i; i < value.size() && value[i] != '"'; ++i) {
          if (value[i] == '\\' && i + 1 < value.size()) ++i;
          out += value[i];
        }
      } else {
        for (; i < value.size() && value[i] != ',' && value[i] != ' '; ++i) out += value[i];
      }
      return out;
    }
  }
  return std::nullopt;
}

bool SameSite(const UrlParts& a, const UrlParts& b) {
  return a.Scheme == b.Scheme && Lower(a.Host) == Lower(b.Host) && a.Port == b.Port;
}

// A password file: its first line a name, a colon and a hash; no page.
bool LooksLikeHtpasswd(std::string_view body) {
  std::size_t start = body.find_first_not_of("\r\n");
  if (start == std::string_view::npos) return false;
  std::string_view line = body.substr(start, body.find_first_of("\r\n", start) - start);
  std::size_t colon = line.find(':');
  return colon != std::string_view::npos && colon + 1 < line.size() && line.find('<') == std::string_view::npos;
}

std::string Seconds(int ms) {
  if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
  return std::to_string(ms) + " ms";
}

// A step's result: what was seen, for the log line, and the diagnosis when
// the step failed.
struct Seen {
  std::string What;
  std::optional<CheckResult> Failed = std::nullopt;
};

Seen Fail(std::string what, CheckOutcome outcome, std::string diagnosis) {
  return {std::move(what), CheckResult{outcome, std::move(diagnosis)}};
}
Seen Problem(std::string what, std::string diagnosis) {
  return Fail(std::move(what), CheckOutcome::Problem, std::move(diagnosis));
}

Seen TransportFailure(const HttpReply& reply, const CheckInputs& in, const std::string& url) {
  const std::string host = SplitUrl(url) ? SplitUrl(url)->Host : url;
  switch (reply.Failed) {
    case Failure::Dns:
      return Fail("DNS error", CheckOutcome::Unreachable,
                  "DNS error: the host name " + Quoted(host) + " was not found (" + reply.Error + ")");
    case Failure::Connect:
      return Fail("connection error", CheckOutcome::Unreachable, "connection error: " + reply.Error);
    case Failure::Tls:
      return Fail("TLS error", CheckOutcome::Unreachable,
                  "TLS error: no secure connection to " + Quoted(host) + " (" + reply.Error + ")");
    case Failure::TimeLimit:
      return Fail("no answer in time", CheckOutcome::Unreachable,
                  "time limit: the server did not answer within " + Seconds(in.TimeoutMs));
    case Failure::Closed:
      return Fail("no answer", CheckOutcome::Unreachable, "the server closed the connection without an answer");
    case Failure::NotHttp:
      return Problem("an answer that is not HTTP",
                     "the server's answer is not HTTP and is not trusted: check that the address names the web "
                     "server (its scheme and port)");
    case Failure::BadUrl: return Problem("not http or https", "the address is not an http or https address");
    case Failure::Stopped: return Fail("stopped", CheckOutcome::Stopped, "the check was stopped");
    default: return Fail("error", CheckOutcome::Unreachable, reply.Error);
  }
}

class Checker {
 public:
  Checker(const CheckInputs& in, LogSink& log, const CheckWait& wait)
      : in_(in), log_(log), session_(in.CaFile, in.TimeoutMs, wait) {}

  // A GET that follows redirects within the site, each reported; nullopt in
  // the reply's place when the request failed or led elsewhere, and then
  // what was seen.
  std::optional<HttpReply> Fetch(std::string url, const Credentials* who, Seen& failed) {
    const std::optional<UrlParts> site = SplitUrl(url);
    for (int hop = 0;; ++hop) {
      HttpReply reply = session_.Get(url, who);
      if (reply.Failed != Failure::None) {
        failed = TransportFailure(reply, in_, url);
        return std::nullopt;
      }
      if (reply.RedirectUrl.empty()) return reply;
      const std::optional<UrlParts> to = SplitUrl(reply.RedirectUrl);
      if (!site || !to || !SameSite(*site, *to)) {
        log_.AddLine("  Redirected to another site, not followed: " + Printable(WithoutUserInfo(reply.RedirectUrl)));
        failed = Problem(std::to_string(reply.Status) + " to another site",
                         "the address redirects to another site: enter the address the folder is served at (" +
                             Printable(WithoutUserInfo(reply.RedirectUrl)) + ")");
        return std::nullopt;
      }
      if (hop == kRedirects) {
        failed = Problem(std::to_string(reply.Status) + " again",
                         "the address redirects more than " + std::to_string(kRedirects) +
                             " times: enter the address the folder is served at");
        return std::nullopt;
      }
      url = WithoutUserInfo(reply.RedirectUrl);
      log_.AddLine("  Redirected to " + Printable(url));
    }
  }

  // The log line of a step, and its diagnosis when it failed.
  std::optional<CheckResult> Report(const std::string& step, const Seen& seen) {
    if (!seen.Failed) {
      log_.AddLine("  " + step + ": " + seen.What + " ... OK");
      return std::nullopt;
    }
    log_.AddLine("  " + step + ": " + seen.What + " ... Failed");
    std::string_view text = seen.Failed->Diagnosis;
    for (bool first = true; !text.empty(); first = false) {
      std::size_t end = text.find('\n');
      log_.AddLine((first ? "  Diagnosis: " : "    ") + std::string(text.substr(0, end)));
      text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return seen.Failed;
  }

  Seen WithoutCredentials() {
    Seen seen;
    std::optional<HttpReply> reply = Fetch(in_.Url, nullptr, seen);
    if (!reply) return seen;
    const long status = reply->Status;
    const std::string code = std::to_string(status);
    if (status == 401) {
      const std::optional<std::string> realm = BasicRealm(reply->Authenticate);
      if (!realm)
        return Problem("401 without a Basic login",
                       "the server asks for another kind of login than Basic: another rule protects the folder");
      if (*realm == in_.Realm) return {"401 with realm " + Quoted(*realm)};
      return Problem("401 with realm " + Quoted(*realm),
                     "the server asks for the realm " + Quoted(*realm) + ", not " + Quoted(in_.Realm) +
                         ": an older .htaccess is in effect or another rule protects the folder");
    }
    if (status >= 200 && status < 300) {
      std::string why = "the server ignores .htaccess here (AllowOverride None) or the files went to another folder";
      if (StartsWithNoCase(reply->Server, "nginx"))
        why +=
            "\nThe server is nginx, which never reads .htaccess; put these two lines into the server block of the "
            "site instead:\n  auth_basic " +
            Quoted(in_.Realm) + ";\n  auth_basic_user_file " + Printable(in_.HtpasswdServerPath) + ";";
      return Problem(code + " without credentials", why);
    }
    if (status == 403)
      return Problem(code + " without credentials",
                     "the server refuses everyone (403): a rule of the server forbids the folder, or the web server "
                     "may not read it");
    if (status == 404) return Problem(code, "nothing is served at this address");
    if (status == 500) return Problem(code, kServerError);
    if (status > 500) return Problem(code, "the server answered " + code + ": it cannot serve the folder now");
    return Problem(code, "the server answered " + code + " where 401 was expected");
  }

  Seen MemberGetsIn(const Credentials& member) {
    Seen seen;
    std::optional<HttpReply> reply = Fetch(in_.Url, &member, seen);
    if (!reply) return seen;
    const long status = reply->Status;
    const std::string code = std::to_string(status);
    if (status == 401)
      return Problem(code,
                     "the member's password is refused: the server reads another .htpasswd than the one generated "
                     "now; publish again, or check the FULL HOST path and the .htpasswd path");
    if (status == 403)
      return Problem(code,
                     "the member is let in but the page is forbidden (403): the folder has no index page and its "
                     "listing is off, or a rule of the server forbids it");
    if (status == 500) return Problem(code, kServerError);
    if (status > 500) return Problem(code, "the server answered " + code + ": it cannot serve the folder now");
    return {code};
  }

  Seen Refused(const Credentials& who, const char* gotIn) {
    Seen seen;
    std::optional<HttpReply> reply = Fetch(in_.Url, &who, seen);
    if (!reply) return seen;
    const std::string code = std::to_string(reply->Status);
    if (reply->Status == 401 || reply->Status == 403) return {code};
    if (reply->Status >= 500) return Problem(code, kServerError);
    return Problem(code, gotIn);
  }

  Seen HtpasswdHidden(const std::string& url) {
    Seen seen;
    // Asked as the member: a file inside the protected folder is served to
    // whoever logs in, and they must not read the other users' hashes.
    std::optional<HttpReply> reply = Fetch(url, in_.Member ? &*in_.Member : nullptr, seen);
    if (!reply) return seen.Failed && seen.Failed->Outcome == CheckOutcome::Problem ? Seen{"not served"} : seen;
    const std::string code = std::to_string(reply->Status);
    if (reply->Status == 200 && LooksLikeHtpasswd(reply->Body))
      return Problem("200 with the password file at " + Printable(url),
                     "the .htpasswd can be downloaded at " + Printable(url) +
                         ": keep it out of the web folder (the .htpasswd path), or have the server deny the files "
                         "whose names begin with .ht");
    if (reply->Status == 200) return {"200, not the password file, at " + Printable(url)};
    return {code + " at " + Printable(url)};
  }

  CheckResult Run() {
    log_.AddLine("* Checking " + Printable(in_.Url));
    if (!SplitUrl(in_.Url))
      return *Report("Address", Problem("not http or https", "the address is not an http or https address"));
    if (auto failed = Report("Protected", WithoutCredentials())) return *failed;
    if (in_.Member) {
      if (auto failed = Report("Member " + Quoted(in_.Member->Name) + " gets in", MemberGetsIn(*in_.Member)))
        return *failed;
    } else {
      log_.AddLine("  Member: no enabled user whose password the project knows ... skipped");
    }
    if (in_.Disabled) {
      const char* why = "the disabled user gets in: the server reads an older .htpasswd; publish again";
      if (auto failed =
              Report("Disabled user " + Quoted(in_.Disabled->Name) + " is refused", Refused(*in_.Disabled, why)))
        return *failed;
    }
    Credentials wrong{in_.Member ? in_.Member->Name : "pellora-check", RandomString(12, ClassRandom, CaseRandom)};
    // DES reads 8 characters only: the wrong password must differ in them.
    if (in_.Member && in_.Member->Password.substr(0, 8) == wrong.Password.substr(0, 8)) wrong.Password[0] ^= 1;
    if (auto failed = Report("Wrong password is refused",
                             Refused(wrong, "a wrong password gets in: the server does not check the passwords here")))
      return *failed;
    if (in_.HtpasswdUrl)
      if (auto failed = Report(".htpasswd not served", HtpasswdHidden(*in_.HtpasswdUrl))) return *failed;
    return {CheckOutcome::Protected, ""};
  }

 private:
  const CheckInputs& in_;
  LogSink& log_;
  HttpSession session_;
};

}  // namespace

CheckResult CheckProtection(const CheckInputs& inputs, LogSink& log, const CheckWait& wait) {
  CheckInputs in = inputs;
  in.Url = WithoutUserInfo(Trim(inputs.Url));
  const CheckResult result = Checker(in, log, wait).Run();
  switch (result.Outcome) {
    case CheckOutcome::Protected: log.AddLine("* The folder is protected"); break;
    case CheckOutcome::Problem: log.AddLine("* The check found a problem"); break;
    case CheckOutcome::Unreachable: log.AddLine("* The server could not be reached"); break;
    case CheckOutcome::Stopped: log.AddLine("* The check was stopped"); break;
  }
  return result;
}

}  // namespace pellora
