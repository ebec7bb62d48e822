#include "ftp/FtpClient.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <vector>

#include "ftp/ReplyCodes.h"

namespace pellora {

namespace {

std::string WithoutLineEnd(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

TCmdType CommandType(const std::string& command) {
  const std::string word = command.substr(0, command.find(' ')) + " ";
  if (word == "CWD ") return TCmdType::CmdCwd;
  if (word == "DELE ") return TCmdType::CmdDele;
  if (word == "MKD ") return TCmdType::CmdMkd;
  if (word == "RMD ") return TCmdType::CmdRmd;
  if (command == "PWD") return TCmdType::CmdPwd;
  return TCmdType::CmdOther;
}

bool ParseInt(std::string_view text, int& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool ReplyContinues(std::string_view first, std::string_view line) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (first.size() < 4 || !digit(first[0]) || !digit(first[1]) || !digit(first[2]) || first[3] != '-') return false;
  const std::string_view code = first.substr(0, 3);
  if (!line.starts_with(code)) return true;
  std::string_view rest = line.substr(3);
  if (rest.starts_with(' ')) return false;
  // "220" alone: a last line whose text was empty and whose blank a server
  // trimmed would otherwise leave the reply open for ever.
  while (!rest.empty() && (rest.back() == '\n' || rest.back() == '\r')) rest.remove_suffix(1);
  return !rest.empty();
}

std::optional<std::int32_t> ParsePasvPort(std::string_view reply) {
  std::string_view fields[6];
  std::size_t count = 0;
  std::string_view rest = reply;
  for (;;) {
    std::size_t comma = rest.find(',');
    if (count < 6) fields[count] = rest.substr(0, comma);
    ++count;
    if (comma == std::string_view::npos || count == 6) break;
    rest.remove_prefix(comma + 1);
  }
  if (count < 6) return std::nullopt;
  int high = 0, low = 0;
  std::size_t close = fields[5].find(')');
  if (close == std::string_view::npos || !ParseInt(fields[4], high) || !ParseInt(fields[5].substr(0, close), low))
    return std::nullopt;
  // A hostile reply may hold any int; unsigned arithmetic wraps instead of overflowing.
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(high) * 256u + static_cast<std::uint32_t>(low));
}

TFtpClient::TFtpClient() { Port = 21; }

TFtpClient::~TFtpClient() { data_.reset(); }

void TFtpClient::ReadContinuation(const std::string& first) {
  std::string line = first;
  for (int lines = 1; ReplyContinues(first, line); ++lines) {
    if (lines == kMaxReplyLines) throw ESockError("Reply longer than " + std::to_string(kMaxReplyLines) + " lines");
    line = ReadNextLine();
    if (line.empty()) throw ESockError("Connection closed by the server");
  }
}

std::string TFtpClient::RequireReply(std::string line) {
  // An empty line means the server has gone; the operation must not pass as
  // accepted with reply number 0.
  if (line.empty()) throw ESockError("Connection closed by the server");
  ReadContinuation(line);
  return line;
}

std::string TFtpClient::Transaction(const std::string& command) {
  return RequireReply(TSockConnection::Transaction(command));
}

void TFtpClient::Connect() {
  if (Connected()) return;
  SetCancel(false);
  DiscardPending();
  securedBy_.clear();
  // Authorities that cannot be read end the upload before the server hears
  // from us.
  tls_ = Security == FtpSecurity::None ? nullptr : MakeTlsContext(Trust);
  TSockConnection::Connect();
  try {
    if (Security == FtpSecurity::ImplicitTls) StartTls();
    std::string greeting = RequireReply(ReadReplyLine());
    if (Refuses(FtpStep::Greeting, ReplyNumber())) {
      if (OnConnectionFailed) OnConnectionFailed();
      throw FTPException(WithoutLineEnd(greeting));
    }
    if (Security == FtpSecurity::ExplicitTls) {
      // Only a server that says it starts TLS now gets the password; there is
      // no going on in plain text.
      std::string reply = Transaction("AUTH TLS");
      if (ReplyNumber() != kTlsStarts) {
        if (OnConnectionFailed) OnConnectionFailed();
        throw ESockError("The server does not offer TLS: " + WithoutLineEnd(reply));
      }
      StartTls();
    }
    auto login = [this](const std::string& command) {
      std::string reply = Transaction(command);
      if (Refuses(FtpStep::Login, ReplyNumber())) {
        if (OnConnectionFailed) OnConnectionFailed();
        throw FTPException(WithoutLineEnd(reply));
      }
    };
    login("USER " + UserID);
    if (ReplyNumber() == kPasswordWanted) login("PASS " + Password);
    if (tls_) {
      // Every data connection encrypted too; a server that will not has
      // refused the session.
      for (const char* command : {"PBSZ 0", "PROT P"}) {
        std::string reply = Transaction(command);
        if (Refuses(FtpStep::Command, ReplyNumber())) {
          if (OnConnectionFailed) OnConnectionFailed();
          throw FTPException(WithoutLineEnd(reply));
        }
      }
    }
    if (OnConnect) OnConnect();
  } catch (...) {
    // Leave the server politely; the error that ended the login is the one
    // the caller hears about, and TimedOut still tells how it ended.
    const bool timedOut = TimedOut();
    try {
      Disconnect();
    } catch (...) {
    }
    if (timedOut) NoteTimedOut();
    throw;
  }
}

void TFtpClient::StartTls() {
  TlsTransport* tls = nullptr;
  try {
    Secure([&](int fd) {
      std::unique_ptr<TlsTransport> made = TlsControlTransport(fd, tls_, Host);
      tls = made.get();
      return made;
    });
  } catch (const ESockError&) {
    if (OnConnectionFailed) OnConnectionFailed();
    throw;
  }
  const char* how = "certificate verified";
  if (tls->TrustedBy() == TlsTrustedBy::Pin) how = "certificate pinned";
  if (tls->TrustedBy() == TlsTrustedBy::NewPin) how = "certificate pinned now";
  securedBy_ = tls->Version() + ", " + how + " (" + FingerprintText(tls->Peer().Sha256) + ")";
}

void TFtpClient::SecureData() {
  data_->Secure([this](int fd) { return TlsDataTransport(fd, tls_); });
}

void TFtpClient::Disconnect() {
  SetCancel(false);
  if (!Connected()) return;
  std::string reply;
  int code = 0;
  try {
    DiscardPending();
    reply = TSockConnection::Transaction("QUIT");
    code = ReplyNumber();
    // A server that hangs up on QUIT without a word has done what was asked.
    if (!reply.empty()) ReadContinuation(reply);
  } catch (...) {
    TSockConnection::Disconnect();
    throw;
  }
  TSockConnection::Disconnect();
  if (Refuses(FtpStep::Quit, code)) throw FTPException(WithoutLineEnd(reply));
}

void TFtpClient::CheckAborted() {
  if (storeAborted_) throw EAbortError("Socket send aborted");
}

void TFtpClient::Abort() {
  if (!data_) return;
  storeAborted_ = true;
  // The abandoned transfer is closed at once, so nothing (a QUIT sent right
  // after, the server's final reply) waits for it to run out.
  data_->Abort();
  data_->Disconnect();
}

void TFtpClient::SendCommand(const std::string& command) {
  const TCmdType type = CommandType(command);
  SetCancel(false);
  if (!Connected()) throw ESockError("Not Connected");
  DiscardPending();
  std::string reply = Transaction(command);
  if (Refuses(FtpStep::Command, ReplyNumber())) {
    if (OnFailure && OnFailure(type)) return;
    throw FTPException(WithoutLineEnd(reply));
  }
  if (OnSuccess) OnSuccess(type);
}

void TFtpClient::ChangeDirectory(const std::string& directory) { SendCommand("CWD " + directory); }

void TFtpClient::SetTransferType(int type) {
  switch (type) {
    case 1: SendCommand("TYPE A"); break;
    case 2: SendCommand("TYPE I"); break;
    case 3: SendCommand("TYPE L 8"); break;
    default: break;
  }
}

void TFtpClient::StoreFile(const std::string& localPath, const std::string& remoteName) {
  SetCancel(false);
  // A second upload started from inside the first one's wait must not touch
  // the data connection that the first one is still using.
  if (data_) throw ESockError("A file transfer is already running");
  bool refused = false;
  storeAborted_ = false;
  try {
    if (!Connected()) throw ESockError("Not Connected");
    std::unique_lock<std::recursive_mutex> lock(storeLock_);
    DiscardPending();
    StoreSteps(localPath, remoteName, refused);
    data_.reset();
    if (!refused && OnSuccess) OnSuccess(TCmdType::CmdStor);
  } catch (...) {
    if (data_ && data_->TimedOut()) NoteTimedOut();
    data_.reset();
    if (!refused && OnFailure && OnFailure(TCmdType::CmdStor)) return;
    throw;
  }
}

void TFtpClient::StoreSteps(const std::string& localPath, const std::string& remoteName, bool& refused) {
  data_ = std::make_unique<TSockConnection>();
  data_->TimeOut = TimeOut;
  data_->Pump = Pump;

  {
    int fd = ::open(localPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw ESockError("Cannot open " + localPath + ": " + std::strerror(errno));
    ::close(fd);
  }

  // A refused PASV, PORT or STOR: the failure event, then the server's reply
  // as the error unless the event handled it.
  auto refuse = [&](const std::string& reply) {
    refused = true;
    if (OnFailure && OnFailure(TCmdType::CmdStor)) return;
    throw FTPException(WithoutLineEnd(reply));
  };

  if (Passive) {
    std::string reply = Transaction("PASV");
    if (Refuses(FtpStep::Pasv, ReplyNumber())) return refuse(reply);
    CheckAborted();
    // The server we are talking to, not a fresh lookup of its name, which
    // may give another machine of a round-robin name.
    data_->Host = RemoteIP();
    std::optional<std::int32_t> port = ParsePasvPort(reply);
    if (!port) throw FTPException("Invalid passive mode reply: " + WithoutLineEnd(reply));
    data_->Port = *port;
    data_->Connect();
    CheckAborted();
  } else {
    // Listening where the control connection runs, for its server only, keeps
    // the file from whoever else can reach this machine's ports.
    data_->Listen(LocalAddress());
    data_->AcceptOnlyFrom(RemoteAddress());
    std::string address = LocalIP();
    for (char& c : address)
      if (c == '.') c = ',';
    const std::uint16_t port = data_->LocalPort();
    std::string reply =
        Transaction("PORT " + address + "," + std::to_string(port >> 8) + "," + std::to_string(port & 255));
    if (Refuses(FtpStep::Port, ReplyNumber())) return refuse(reply);
    CheckAborted();
  }

  const std::string name = remoteName.empty() ? std::filesystem::path(localPath).filename().string() : remoteName;
  std::string reply = Transaction("STOR " + name);
  if (Refuses(FtpStep::Stor, ReplyNumber())) return refuse(reply);
  CheckAborted();

  if (!Passive) {
    data_->WatchWhileAccepting(this);
    data_->Accept();
  }
  CheckAborted();
  if (tls_) SecureData();
  CheckAborted();
  data_->SendFile(localPath);
  data_->CloseGracefully();
  CheckAborted();
  // The file has gone, but it is stored only if the server says so: a full
  // disk or a quota shows only in this reply.
  const std::string verdict = RequireReply(ReadReplyLine());
  if (Refuses(FtpStep::Stored, ReplyNumber())) throw FTPException(WithoutLineEnd(verdict));
}

}  // namespace pellora
