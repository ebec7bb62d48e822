#include "sftp/SftpClient.h"

#include <libssh2.h>
#include <libssh2_sftp.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string_view>
#include <utility>
#include <vector>

#include "ftp/SocketErrors.h"
#include "ftp/TlsTransport.h"
#include "platform/Files.h"
#include "sftp/KnownHosts.h"

namespace pellora {

namespace {

constexpr std::size_t kBlock = 32768;

void InitLibrary() {
  static const int once = libssh2_init(0);
  (void)once;
}

// The session moves its bytes through these, so that a dropped session can
// no longer reach a descriptor number the system may have handed out again,
// and so that a closed peer raises no SIGPIPE.
ssize_t SendBytes(libssh2_socket_t fd, const void* buffer, size_t length, int flags, void** abstract) {
  if (static_cast<TSftpClient*>(*abstract)->Dropped()) return -EPIPE;
  const ssize_t sent = ::send(fd, buffer, length, flags | MSG_NOSIGNAL);
  return sent < 0 ? -errno : sent;
}

ssize_t ReceiveBytes(libssh2_socket_t fd, void* buffer, size_t length, int flags, void** abstract) {
  if (static_cast<TSftpClient*>(*abstract)->Dropped()) return -ECONNRESET;
  const ssize_t received = ::recv(fd, buffer, length, flags);
  return received < 0 ? -errno : received;
}

int KnownHostKeyType(int hostKeyType) {
  switch (hostKeyType) {
    case LIBSSH2_HOSTKEY_TYPE_RSA: return LIBSSH2_KNOWNHOST_KEY_SSHRSA;
    case LIBSSH2_HOSTKEY_TYPE_DSS: return LIBSSH2_KNOWNHOST_KEY_SSHDSS;
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_256: return LIBSSH2_KNOWNHOST_KEY_ECDSA_256;
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_384: return LIBSSH2_KNOWNHOST_KEY_ECDSA_384;
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_521: return LIBSSH2_KNOWNHOST_KEY_ECDSA_521;
    case LIBSSH2_HOSTKEY_TYPE_ED25519: return LIBSSH2_KNOWNHOST_KEY_ED25519;
    default: return LIBSSH2_KNOWNHOST_KEY_UNKNOWN;
  }
}

const char* StatusText(unsigned long status) {
  switch (status) {
    case LIBSSH2_FX_NO_SUCH_FILE:
    case LIBSSH2_FX_NO_SUCH_PATH: return "No such file or folder";
    case LIBSSH2_FX_PERMISSION_DENIED: return "Permission denied";
    case LIBSSH2_FX_FAILURE: return "Failure";
    case LIBSSH2_FX_NO_SPACE_ON_FILESYSTEM:
    case LIBSSH2_FX_QUOTA_EXCEEDED: return "No space left";
    case LIBSSH2_FX_FILE_ALREADY_EXISTS: return "The file already exists";
    case LIBSSH2_FX_WRITE_PROTECT: return "Write protected";
    case LIBSSH2_FX_NOT_A_DIRECTORY: return "Not a folder";
    default: return "The server refused the request";
  }
}

bool Offers(const std::string& methods, std::string_view method) {
  std::string_view rest = methods;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    if (rest.substr(0, comma) == method) return true;
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return false;
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// A name no other upload picks at the same moment, hidden like the file it becomes.
std::string TemporaryName(const std::string& name) {
  static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device device;
  std::string suffix;
  for (int i = 0; i < 8; ++i) suffix += letters[device() % (sizeof letters - 1)];
  return name + ".part-" + suffix;
}

void Wipe(std::string& secret) {
  for (char& c : secret) *static_cast<volatile char*>(&c) = 0;
  secret.clear();
}

}  // namespace

// Counts a running step, so that a Disconnect from its pump knows it must not
// wait for the server.
struct TSftpClient::Busy {
  explicit Busy(int& count) : count_(count) { ++count_; }
  ~Busy() { --count_; }
  int& count_;
};

TSftpClient::TSftpClient() : KnownHostsFile(KnownHostsPath()), UserKnownHostsFile(UserKnownHostsPath()) {}

TSftpClient::~TSftpClient() { Drop(); }

void TSftpClient::Bind(UploadEvents events) { events_ = std::move(events); }

void TSftpClient::Configure(const UploadInputs& in) {
  Host = in.Host;
  Port = in.Port;
  UserID = in.User;
  Password = in.Password;
  KeyFile = in.KeyFile;
}

bool TSftpClient::Connected() const { return socket_.Connected(); }

bool TSftpClient::TimedOut() const { return wait_.timedOut || socket_.TimedOut(); }

void TSftpClient::Abort() {
  CancelWaits(wait_);
  socket_.Abort();
}

void TSftpClient::Await(const char* what) {
  const int directions = libssh2_session_block_directions(session_);
  Direction direction = Direction::Read;
  if (directions & LIBSSH2_SESSION_BLOCK_OUTBOUND)
    direction = directions & LIBSSH2_SESSION_BLOCK_INBOUND ? Direction::Either : Direction::Write;
  switch (Wait(wait_, WaitOn{socket_.Descriptor(), direction}, TimeOut, Pump)) {
    case WaitEnd::Ready: RestartDeadline(wait_, TimeOut); return;
    case WaitEnd::Watched: return;
    case WaitEnd::Cancelled:
    case WaitEnd::TimedOut: wait_.cancel = false; throw EAbortError(std::string(what) + " aborted");
    case WaitEnd::Closed: throw ESockError(SocketErrorText(10057));
  }
}

int TSftpClient::Step(const char* what, const std::function<int()>& call) {
  if (!session_) throw ESockError(SocketErrorText(10057));
  Busy busy(busy_);
  StartOperation(wait_, TimeOut);
  for (;;) {
    const int result = call();
    if (result != LIBSSH2_ERROR_EAGAIN) return result;
    Await(what);
  }
}

void TSftpClient::Connect() {
  if (Connected()) return;
  wait_.cancel = false;
  wait_.timedOut = false;
  securedBy_.clear();
  folder_.clear();
  socket_.Host = Host;
  socket_.Port = Port;
  socket_.TimeOut = TimeOut;
  socket_.Pump = Pump;
  socket_.OnHostResolved = events_.HostResolved;
  socket_.OnInvalidHost = events_.InvalidHost;
  socket_.OnConnectionFailed = events_.ConnectionFailed;
  socket_.Connect();
  try {
    InitLibrary();
    dropped_ = false;
    session_ = libssh2_session_init_ex(nullptr, nullptr, nullptr, this);
    if (!session_) throw ESockError("The SSH session could not be made");
    libssh2_session_callback_set(session_, LIBSSH2_CALLBACK_SEND, reinterpret_cast<void*>(&SendBytes));
    libssh2_session_callback_set(session_, LIBSSH2_CALLBACK_RECV, reinterpret_cast<void*>(&ReceiveBytes));
    libssh2_session_set_blocking(session_, 0);
    const int fd = socket_.Descriptor();
    // Every step waits for the server's answer to a small packet: Nagle's
    // algorithm would hold each one back until the last was acknowledged.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (Step("SSH handshake", [&] { return libssh2_session_handshake(session_, fd); }) != 0)
      throw ESockError("The SSH handshake failed: " + LastError());
    CheckHostKey();
    LogIn();
    Step("SFTP start", [&] {
      sftp_ = libssh2_sftp_init(session_);
      return sftp_ || libssh2_session_last_errno(session_) != LIBSSH2_ERROR_EAGAIN ? 0 : LIBSSH2_ERROR_EAGAIN;
    });
    if (!sftp_) throw ESockError("The server offers no SFTP");
  } catch (...) {
    Drop();
    throw;
  }
  if (events_.Connected) events_.Connected();
}

void TSftpClient::CheckHostKey() {
  std::size_t length = 0;
  int type = 0;
  const char* key = libssh2_session_hostkey(session_, &length, &type);
  const char* hash = libssh2_hostkey_hash(session_, LIBSSH2_HOSTKEY_HASH_SHA256);
  if (!key || !hash) throw ESockError("The server showed no host key");
  const std::string_view blob(key, length);
  HostKeyInfo info;
  info.Server = Host + ":" + std::to_string(Port);
  info.Type = KeyBlobType(blob).value_or("unknown");
  info.Fingerprint = FingerprintText(std::string_view(hash, 32));

  LIBSSH2_KNOWNHOSTS* known = libssh2_knownhost_init(session_);
  if (!known) throw ESockError("The known host keys could not be read");
  // Line by line: a line this library cannot read (a marker, a key type it
  // does not know) must not hide the keys after it, or a changed key could
  // pass for an unknown one.
  for (const std::filesystem::path& file : {UserKnownHostsFile, KnownHostsFile}) {
    std::string text;
    if (file.empty() || !ReadWholeFile(file, text)) continue;
    for (std::size_t at = 0; at < text.size();) {
      // With its line break: the library reads the key up to it.
      const std::size_t end = std::min(text.find('\n', at), text.size());
      std::string line = text.substr(at, end - at) + "\n";
      if (line.size() > 1 && line.front() != '#' && line.front() != '@')
        libssh2_knownhost_readline(known, line.data(), line.size(), LIBSSH2_KNOWNHOST_FILE_OPENSSH);
      at = end + 1;
    }
  }
  const int check = libssh2_knownhost_checkp(
      known, Host.c_str(), Port, key, length,
      LIBSSH2_KNOWNHOST_TYPE_PLAIN | LIBSSH2_KNOWNHOST_KEYENC_RAW | KnownHostKeyType(type), nullptr);
  libssh2_knownhost_free(known);

  const std::string shown = info.Type + " " + info.Fingerprint;
  switch (check) {
    case LIBSSH2_KNOWNHOST_CHECK_MATCH: securedBy_ = "SSH, host key " + shown + " (known)"; return;
    case LIBSSH2_KNOWNHOST_CHECK_MISMATCH:
      throw ESockError("The host key of " + info.Server + " has changed: it is now " + shown +
                       ". Someone may be listening in; nothing was sent. If the server's key was changed on "
                       "purpose, remove its old key from known_hosts.");
    default: break;
  }
  if (!AskHostKey || !AskHostKey(info)) throw ESockError("The host key of " + info.Server + " is not known: " + shown);
  if (!AddKnownHost(KnownHostsFile, KnownHostName(Host, Port), blob))
    throw ESockError(KnownHostsFile.string() + " cannot be written");
  securedBy_ = "SSH, host key " + shown + " (accepted now)";
}

void TSftpClient::LogIn() {
  std::string methods;
  const int listed = Step("SSH login", [&] {
    const char* list = libssh2_userauth_list(session_, UserID.c_str(), static_cast<unsigned>(UserID.size()));
    if (list) methods = list;
    return list || libssh2_session_last_errno(session_) != LIBSSH2_ERROR_EAGAIN ? 0 : LIBSSH2_ERROR_EAGAIN;
  });
  (void)listed;
  if (libssh2_userauth_authenticated(session_)) return;
  const bool keys = Offers(methods, "publickey");
  bool tried = false;
  if (!KeyFile.empty() && keys) {
    tried = true;
    if (LogInWithKeyFile()) return;
  }
  if (keys && std::getenv("SSH_AUTH_SOCK")) {
    tried = true;
    if (LogInWithAgent()) return;
  }
  if (!Password.empty() && Offers(methods, "password")) {
    tried = true;
    if (LogInWithPassword()) return;
  }
  if (!tried)
    throw ESockError("The server takes no login this program can offer (it takes: " + methods +
                     "); give a password, a key file or an SSH agent");
  throw ESockError("The server refused the login of " + UserID);
}

// Whether a login attempt got in; a refusal lets the next way be tried, and
// anything else ends the session.
bool TSftpClient::LoggedIn(int result) {
  switch (result) {
    case 0: return true;
    case LIBSSH2_ERROR_AUTHENTICATION_FAILED:
    case LIBSSH2_ERROR_PUBLICKEY_UNVERIFIED:
    case LIBSSH2_ERROR_PASSWORD_EXPIRED: return false;
    default: throw ESockError(LastError());
  }
}

bool TSftpClient::LogInWithKeyFile() {
  std::string text;
  if (!ReadWholeFile(KeyFile, text)) throw ESockError("The key file " + KeyFile + " cannot be read");
  std::string passphrase;
  if (KeyFileEncrypted(text)) {
    std::optional<std::string> given = AskPassphrase ? AskPassphrase(KeyFile) : std::nullopt;
    if (!given) throw ESockError("The key file " + KeyFile + " needs a passphrase");
    passphrase = std::move(*given);
    Wipe(*given);
  }
  Wipe(text);
  const int result = Step("SSH login", [&] {
    return libssh2_userauth_publickey_fromfile_ex(session_, UserID.c_str(), static_cast<unsigned>(UserID.size()),
                                                  nullptr, KeyFile.c_str(), passphrase.c_str());
  });
  Wipe(passphrase);
  if (result == LIBSSH2_ERROR_FILE)
    throw ESockError("The key file " + KeyFile + " is not a private key, or its passphrase is wrong");
  return LoggedIn(result);
}

bool TSftpClient::LogInWithAgent() {
  agent_ = libssh2_agent_init(session_);
  if (!agent_) return false;
  bool in = false;
  if (libssh2_agent_connect(agent_) == 0 && libssh2_agent_list_identities(agent_) == 0) {
    libssh2_agent_publickey* identity = nullptr;
    try {
      while (!in && libssh2_agent_get_identity(agent_, &identity, identity) == 0)
        in = LoggedIn(Step("SSH login", [&] { return libssh2_agent_userauth(agent_, UserID.c_str(), identity); }));
    } catch (...) {
      FreeAgent();
      throw;
    }
  }
  FreeAgent();
  return in;
}

void TSftpClient::FreeAgent() {
  if (!agent_) return;
  libssh2_agent_disconnect(agent_);
  libssh2_agent_free(agent_);
  agent_ = nullptr;
}

bool TSftpClient::LogInWithPassword() {
  return LoggedIn(Step("SSH login", [&] {
    return libssh2_userauth_password_ex(session_, UserID.c_str(), static_cast<unsigned>(UserID.size()),
                                        Password.c_str(), static_cast<unsigned>(Password.size()), nullptr);
  }));
}

std::string TSftpClient::LastError() {
  char* message = nullptr;
  libssh2_session_last_error(session_, &message, nullptr, 0);
  return message && *message ? std::string(message) : std::string("The SSH session failed");
}

std::string TSftpClient::SftpError(const std::string& path) {
  if (!sftp_ || libssh2_session_last_errno(session_) != LIBSSH2_ERROR_SFTP_PROTOCOL) return LastError();
  return std::string(StatusText(libssh2_sftp_last_error(sftp_))) + ": " + path;
}

void TSftpClient::Fail(TCmdType type, const std::string& text) {
  if (events_.Failed && events_.Failed(type)) return;
  throw ESockError(text);
}

void TSftpClient::ChangeDirectory(const std::string& folder) {
  const std::string path = folder.empty() ? "." : folder;
  // A relative folder is resolved against the login's home folder by the server.
  std::string absolute = path;
  if (path.front() != '/') {
    std::array<char, 4096> resolved{};
    const int length = Step("Changing folder", [&] {
      return libssh2_sftp_symlink_ex(sftp_, path.c_str(), static_cast<unsigned>(path.size()), resolved.data(),
                                     static_cast<unsigned>(resolved.size()), LIBSSH2_SFTP_REALPATH);
    });
    if (length < 0) return Fail(TCmdType::CmdCwd, SftpError(path));
    absolute.assign(resolved.data(), static_cast<std::size_t>(length));
  }
  LIBSSH2_SFTP_ATTRIBUTES attributes{};
  const int found = Step("Changing folder", [&] {
    return libssh2_sftp_stat_ex(sftp_, absolute.c_str(), static_cast<unsigned>(absolute.size()), LIBSSH2_SFTP_STAT,
                                &attributes);
  });
  if (found < 0) return Fail(TCmdType::CmdCwd, SftpError(path));
  if ((attributes.flags & LIBSSH2_SFTP_ATTR_PERMISSIONS) && !LIBSSH2_SFTP_S_ISDIR(attributes.permissions))
    return Fail(TCmdType::CmdCwd, "Not a folder: " + path);
  folder_ = absolute;
  if (events_.Succeeded) events_.Succeeded(TCmdType::CmdCwd);
}

void TSftpClient::StoreFile(const std::string& localPath, const std::string& remoteName) {
  std::ifstream local(localPath, std::ios::binary);
  if (!local) throw ESockError("Can't read " + localPath);
  const std::string target = Join(folder_, remoteName);
  const std::string temporary = Join(folder_, TemporaryName(remoteName));
  LIBSSH2_SFTP_HANDLE* handle = nullptr;
  Step("Uploading", [&] {
    handle = libssh2_sftp_open_ex(sftp_, temporary.c_str(), static_cast<unsigned>(temporary.size()),
                                  LIBSSH2_FXF_WRITE | LIBSSH2_FXF_CREAT | LIBSSH2_FXF_EXCL | LIBSSH2_FXF_TRUNC, 0644,
                                  LIBSSH2_SFTP_OPENFILE);
    return handle || libssh2_session_last_errno(session_) != LIBSSH2_ERROR_EAGAIN ? 0 : LIBSSH2_ERROR_EAGAIN;
  });
  if (!handle) return Fail(TCmdType::CmdStor, SftpError(temporary));

  // What went wrong once the temporary file exists; it is removed, so that
  // the old file stays the only one.
  auto failed = [&](const std::string& text) {
    if (!session_) throw ESockError(text);  // dropped: nothing more can be said to the server
    try {
      if (handle) Step("Uploading", [&] { return libssh2_sftp_close_handle(handle); });
      handle = nullptr;
      Step("Uploading",
           [&] { return libssh2_sftp_unlink_ex(sftp_, temporary.c_str(), static_cast<unsigned>(temporary.size())); });
    } catch (const std::exception&) {
      // The failure that brought us here is the one to report.
    }
    Fail(TCmdType::CmdStor, text);
  };
  std::vector<char> block(kBlock);
  {
    while (local) {
      local.read(block.data(), static_cast<std::streamsize>(block.size()));
      const auto size = static_cast<std::size_t>(local.gcount());
      for (std::size_t sent = 0; sent < size;) {
        const ssize_t wrote = Step("Uploading", [&] {
          return static_cast<int>(libssh2_sftp_write(handle, block.data() + sent, size - sent));
        });
        if (wrote < 0) return failed(SftpError(temporary));
        sent += static_cast<std::size_t>(wrote);
      }
    }
    if (local.bad()) return failed("Can't read " + localPath);
    const int closed = Step("Uploading", [&] { return libssh2_sftp_close_handle(handle); });
    handle = nullptr;
    if (closed < 0) return failed(SftpError(temporary));
    auto rename = [&] {
      return Step("Uploading", [&] {
        return libssh2_sftp_rename_ex(
            sftp_, temporary.c_str(), static_cast<unsigned>(temporary.size()), target.c_str(),
            static_cast<unsigned>(target.size()),
            LIBSSH2_SFTP_RENAME_OVERWRITE | LIBSSH2_SFTP_RENAME_ATOMIC | LIBSSH2_SFTP_RENAME_NATIVE);
      });
    };
    // Servers of protocol version 3 do not rename over an existing file: the
    // old one goes first (there may be none), and for that moment there is
    // none, never half of one.
    Step("Uploading",
         [&] { return libssh2_sftp_unlink_ex(sftp_, target.c_str(), static_cast<unsigned>(target.size())); });
    if (rename() < 0) return failed(SftpError(target));
  }
  if (events_.Succeeded) events_.Succeeded(TCmdType::CmdStor);
}

void TSftpClient::Disconnect() {
  // From the pump of a running step (Stop), or with nothing to say goodbye on.
  if (busy_ > 0 || !session_) return Drop();
  try {
    if (sftp_) Step("Disconnecting", [&] { return libssh2_sftp_shutdown(sftp_); });
    sftp_ = nullptr;
    Step("Disconnecting", [&] { return libssh2_session_disconnect(session_, "Bye"); });
  } catch (...) {
    Drop();
    throw;
  }
  Drop();
}

void TSftpClient::Drop() {
  dropped_ = true;
  FreeAgent();  // it lives on the session's memory
  if (sftp_) {
    for (int tries = 0; tries < 100 && libssh2_sftp_shutdown(sftp_) == LIBSSH2_ERROR_EAGAIN; ++tries) {
    }
    sftp_ = nullptr;
  }
  if (session_) {
    for (int tries = 0; tries < 100 && libssh2_session_free(session_) == LIBSSH2_ERROR_EAGAIN; ++tries) {
    }
    session_ = nullptr;
  }
  socket_.CloseSocket();
  NoteClosed(wait_);
}

}  // namespace pellora
