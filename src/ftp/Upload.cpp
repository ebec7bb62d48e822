#include "ftp/Upload.h"

#include <charconv>
#include <exception>
#include <utility>

#include "core/Text.h"
#include "platform/Files.h"
#include "platform/WorkingFolder.h"

namespace pellora {

namespace {

// "5 s" for 5000, "1500 ms" for 1500.
std::string Duration(std::int32_t ms) {
  return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

bool ParsePort(std::string_view text, std::int32_t& port) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.front() < '0' || text.front() > '9') return false;
  long long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return false;
  port = static_cast<std::int32_t>(value);
  return true;
}

// The line under the step that failed: what the server replied, or else what
// went wrong on this side or in the network.
std::string ReasonLine(const std::exception& e, const std::string& reason) {
  const bool reply =
      dynamic_cast<const FTPException*>(&e) && !reason.empty() && reason.front() >= '0' && reason.front() <= '9';
  // The server's words end up on a terminal too, where an escape sequence would act.
  return (reply ? "  Server said: " : "  Error: ") + Printable(reason);
}

const char* StoredLine(int stored) {
  switch (stored) {
    case 2: return "* Both files were stored.";
    case 1: return "* Only .htpasswd was stored.";
    default: return "* No file was stored.";
  }
}

}  // namespace

UploadCheck CheckUploadInputs(const ProjectSettings& settings) {
  UploadCheck check;
  UploadInputs& in = check.Inputs;
  auto refuse = [&check](Refusal refusal) {
    check.Refused = std::move(refusal);
    return check;
  };

  in.Host = Trim(settings.FtpHost);
  if (auto missing = RefuseMissing(settings, Field::FtpHost)) return refuse(*missing);
  // A file without the key, or an older build's empty value, means plain FTP.
  const std::string_view word = TrimView(settings.FtpProtocol);
  const std::optional<FtpProtocol> protocol = ParseFtpProtocol(word.empty() ? "ftp" : word);
  if (!ParsePort(Trim(settings.FtpPort), in.Port)) {
    in.Port = ProtocolPort(protocol.value_or(FtpProtocol::Ftp));
    check.PortReset = true;
  }
  if (!protocol) return refuse(*RefuseValue(settings, Field::FtpProtocol));
  in.Protocol = *protocol;
  if (*protocol == FtpProtocol::Ftpes) in.Security = FtpSecurity::ExplicitTls;
  if (*protocol == FtpProtocol::Ftps) in.Security = FtpSecurity::ImplicitTls;
  in.User = Trim(settings.FtpUser);
  if (auto missing = RefuseMissing(settings, Field::FtpUser)) return refuse(*missing);
  in.Password = Trim(settings.FtpPassword);
  in.WebFolder = Trim(settings.FtpWebDirectory);
  if (auto missing = RefuseMissing(settings, Field::FtpWebDirectory)) return refuse(*missing);
  in.AuthUserFile = Trim(settings.AuthUserFile);
  in.Passive = settings.FtpPassive;
  if (in.Protocol == FtpProtocol::Sftp) in.KeyFile = Trim(settings.SftpKeyFile);

  in.LocalHtaccess = WorkingFile(".htaccess");
  in.LocalHtpasswd = WorkingFile(".htpasswd");
  if (!FileExists(in.LocalHtaccess) || !FileExists(in.LocalHtpasswd))
    return refuse({Field::Generate, "Please generate .htaccess and .htpasswd files first.", "Error!"});
  return check;
}

namespace {

// The FTP client as an upload session: the events it has always had, and
// every file sent as ASCII, as it always was.
class FtpSession : public UploadSession {
 public:
  explicit FtpSession(TFtpClient& client) : client_(client) {}
  ~FtpSession() override { Bind({}); }

  void Bind(UploadEvents events) override {
    client_.OnHostResolved = std::move(events.HostResolved);
    client_.OnInvalidHost = std::move(events.InvalidHost);
    client_.OnConnectionFailed = std::move(events.ConnectionFailed);
    client_.OnConnect = std::move(events.Connected);
    client_.OnSuccess = std::move(events.Succeeded);
    client_.OnFailure = std::move(events.Failed);
  }
  void Configure(const UploadInputs& in) override {
    client_.Host = in.Host;
    client_.Port = in.Port;
    client_.UserID = in.User;
    client_.Password = in.Password;
    client_.Passive = in.Passive;
    client_.Security = in.Security;
  }
  bool Connected() const override { return client_.Connected(); }
  void Connect() override { client_.Connect(); }
  void ChangeDirectory(const std::string& folder) override { client_.ChangeDirectory(folder); }
  void StoreFile(const std::string& localPath, const std::string& remoteName) override {
    client_.SetTransferType(1);
    client_.StoreFile(localPath, remoteName);
  }
  void Disconnect() override { client_.Disconnect(); }
  void Abort() override { client_.Abort(); }
  bool TimedOut() const override { return client_.TimedOut(); }
  std::int32_t TimeOutMs() const override { return client_.TimeOut; }
  void SetTimeOutMs(std::int32_t ms) override { client_.TimeOut = ms; }
  std::string RemoteIP() const override { return client_.RemoteIP(); }
  std::string SecuredBy() const override { return client_.SecuredBy(); }

 private:
  TFtpClient& client_;
};

}  // namespace

Uploader::Uploader(TFtpClient& client, LogSink& log)
    : ftp_(std::make_unique<FtpSession>(client)), client_(*ftp_), log_(log) {
  Bind();
}

Uploader::Uploader(UploadSession& session, LogSink& log) : client_(session), log_(log) { Bind(); }

Uploader::~Uploader() { client_.Bind({}); }

void Uploader::Bind() {
  UploadEvents events;
  events.HostResolved = [this] { log_.AddLine("  Host resolved"); };
  events.InvalidHost = [this] {
    log_.AddLine("  Unable to resolve host: " + host_);
    reasonLogged_ = true;
    return false;
  };
  events.ConnectionFailed = [this] { log_.AddLine("  Connecting failed"); };
  events.Connected = [this] {
    log_.AddLine("  Connected to host: " + host_);
    log_.AddLine("  Remote address: " + client_.RemoteIP() + " , Remote port: " + std::to_string(port_));
    if (!client_.SecuredBy().empty()) log_.AddLine("  Secured with " + client_.SecuredBy());
  };
  events.Succeeded = [this](TCmdType type) {
    if (type == TCmdType::CmdCwd) log_.AddLine("  Changing remote working directory successfully");
    if (type == TCmdType::CmdStor) log_.AddLine("  Uploading successfully");
  };
  events.Failed = [this](TCmdType type) {
    if (type == TCmdType::CmdCwd) log_.AddLine("Changing remote working directory failed.");
    if (type == TCmdType::CmdStor) log_.AddLine("Uploading failed.");
    return false;
  };
  client_.Bind(std::move(events));
}

bool Uploader::Run(const UploadInputs& in) {
  // A second press of "Upload now!" lands here from inside the first upload's
  // wait; it would share the one client mid-dialogue.
  if (running_) return false;
  running_ = true;
  struct Done {
    bool& running;
    ~Done() { running = false; }
  } done{running_};
  failureReason_.clear();
  stopped_ = false;
  reasonLogged_ = false;

  if (client_.Connected()) {
    try {
      client_.Disconnect();
    } catch (const std::exception&) {
      // The earlier session is gone either way; this upload starts afresh.
    }
  }
  host_ = in.Host;
  port_ = in.Port;
  client_.Configure(in);

  int stored = 0;
  std::string error;
  std::string reasonLine;
  try {
    log_.AddLine("* Tasks:");
    log_.AddLine("  1. Upload .htpasswd file to remote directory: " + in.AuthUserFile);
    log_.AddLine("  2. Upload .htaccess file to remote directory: " + in.WebFolder);
    log_.AddLine("\r\n* Connecting to " + in.Host);
    client_.Connect();
    log_.AddLine("\r\n* Changing remote working directory to " + in.AuthUserFile);
    client_.ChangeDirectory(in.AuthUserFile);
    log_.AddLine("\r\n* Uploading .htpasswd file to remote directory: " + in.AuthUserFile + ", ... ...");
    client_.StoreFile(in.LocalHtpasswd.string(), ".htpasswd");
    ++stored;
    log_.AddLine("\r\n* Changing remote working directory to " + in.WebFolder);
    client_.ChangeDirectory(in.WebFolder);
    log_.AddLine("\r\n* Uploading .htaccess file to remote directory: " + in.WebFolder + ", ... ...");
    client_.StoreFile(in.LocalHtaccess.string(), ".htaccess");
    ++stored;
    log_.AddLine("\r\n* Disconnecting from " + in.Host);
    client_.Disconnect();
  } catch (const std::exception& e) {
    error = e.what();
    // The QUIT below starts a wait of its own; how this one ended is known now.
    if (client_.TimedOut() && !stopped_) error = "No progress for " + Duration(client_.TimeOutMs()) + ": " + error;
    // A QUIT refused once both files are stored changes nothing for the operator.
    if (!reasonLogged_ && stored != 2) reasonLine = ReasonLine(e, error);
    if (client_.Connected()) {
      try {
        client_.Disconnect();
      } catch (const std::exception&) {
        // A QUIT refused after a failure changes nothing for the operator,
        // and the caller must get control back to restore its buttons.
      }
    }
  }
  // Stop ends whatever wait was running with an error of its own, which
  // would only hide that the operator asked for it.
  if (stopped_) reasonLine = "  Stopped by the user";
  if (!reasonLine.empty()) log_.AddLine(reasonLine);
  log_.AddLine("\r\n* Disconnected");
  log_.AddLine(StoredLine(stored));
  if (stored != 2) failureReason_ = error;
  return stored == 2;
}

std::optional<std::string> Uploader::Stop() {
  // Stop pressed again while the first press still waits for the QUIT reply
  // would close the connection under that wait.
  if (stopping_ || !client_.Connected()) return std::nullopt;
  stopping_ = true;
  stopped_ = running_;
  struct Done {
    bool& stopping;
    ~Done() { stopping = false; }
  } done{stopping_};
  client_.Abort();
  // A server that stays silent must not keep Stop from ending the session.
  const std::int32_t saved = client_.TimeOutMs();
  client_.SetTimeOutMs(QuitGraceMs);
  std::optional<std::string> error;
  try {
    client_.Disconnect();
  } catch (const EAbortError& e) {
    if (!client_.TimedOut()) error = e.what();
  } catch (const std::exception& e) {
    error = e.what();
  }
  client_.SetTimeOutMs(saved);
  return error;
}

}  // namespace pellora
