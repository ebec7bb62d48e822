#include "ftp/TlsTransport.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "ftp/HostLookup.h"
#include "ftp/SocketErrors.h"

namespace pellora {

namespace {

// OpenSSL's own socket layer writes with write(), which raises SIGPIPE when
// the server has gone; this one sends as the plain transport does.
int BioWrite(BIO* bio, const char* data, int size) {
  BIO_clear_retry_flags(bio);
  const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
  const long sent = ::send(fd, data, static_cast<std::size_t>(size), MSG_NOSIGNAL);
  if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) BIO_set_retry_write(bio);
  return static_cast<int>(sent);
}

int BioRead(BIO* bio, char* data, int size) {
  BIO_clear_retry_flags(bio);
  const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
  const long got = ::recv(fd, data, static_cast<std::size_t>(size), 0);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) BIO_set_retry_read(bio);
  return static_cast<int>(got);
}

long BioControl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

int BioCreate(BIO* bio) {
  BIO_set_init(bio, 1);
  return 1;
}

BIO* SocketBio(int fd) {
  static BIO_METHOD* const method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "pellora socket");
    BIO_meth_set_write(m, BioWrite);
    BIO_meth_set_read(m, BioRead);
    BIO_meth_set_ctrl(m, BioControl);
    BIO_meth_set_create(m, BioCreate);
    return m;
  }();
  BIO* bio = BIO_new(method);
  if (bio) BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)));
  return bio;
}

// The reason OpenSSL gives for the latest failure, or `otherwise`.
std::string ErrorReason(const char* otherwise) {
  const unsigned long error = ERR_get_error();
  ERR_clear_error();
  if (error == 0) return otherwise;
  const char* reason = ERR_reason_error_string(error);
  return reason ? reason : otherwise;
}

std::string NameText(const X509_NAME* name) {
  BIO* out = BIO_new(BIO_s_mem());
  X509_NAME_print_ex(out, name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
  char* data = nullptr;
  const long size = BIO_get_mem_data(out, &data);
  std::string text(data, static_cast<std::size_t>(size));
  BIO_free(out);
  return text;
}

std::string TimeText(const ASN1_TIME* time) {
  BIO* out = BIO_new(BIO_s_mem());
  ASN1_TIME_print(out, time);
  char* data = nullptr;
  const long size = BIO_get_mem_data(out, &data);
  std::string text(data, static_cast<std::size_t>(size));
  BIO_free(out);
  return text;
}

std::string Digest(X509* certificate) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (X509_digest(certificate, EVP_sha256(), digest, &size) != 1) return {};
  return std::string(reinterpret_cast<const char*>(digest), size);
}

struct SslFree {
  void operator()(SSL* ssl) const { SSL_free(ssl); }
};
struct SessionFree {
  void operator()(SSL_SESSION* session) const { SSL_SESSION_free(session); }
};

}  // namespace

std::string FingerprintText(std::string_view sha256) {
  std::string out(4 * ((sha256.size() + 2) / 3) + 1, '\0');
  const int size =
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                      reinterpret_cast<const unsigned char*>(sha256.data()), static_cast<int>(sha256.size()));
  out.resize(static_cast<std::size_t>(size));
  while (!out.empty() && out.back() == '=') out.pop_back();
  return "SHA256:" + out;
}

std::string FingerprintHex(std::string_view sha256) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : sha256) {
    if (!out.empty()) out += ':';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::optional<std::string> ParseFingerprint(std::string_view text) {
  std::string digest;
  if (text.starts_with("SHA256:") || text.starts_with("sha256:")) {
    std::string base64(text.substr(7));
    if (base64.size() != 43 && !(base64.size() == 44 && base64.back() == '=')) return std::nullopt;
    if (base64.size() == 43) base64 += '=';
    unsigned char raw[33];
    if (EVP_DecodeBlock(raw, reinterpret_cast<const unsigned char*>(base64.data()), 44) != 33) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(raw), 32);  // the last byte is the padding's
  }
  auto value = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  int high = -1;
  for (char c : text) {
    if (c == ':' && high < 0) continue;
    const int v = value(c);
    if (v < 0) return std::nullopt;
    if (high < 0) {
      high = v;
    } else {
      digest += static_cast<char>(high * 16 + v);
      high = -1;
    }
  }
  if (high >= 0 || digest.size() != 32) return std::nullopt;
  return digest;
}

class TlsContext {
 public:
  explicit TlsContext(TlsTrust trust) : trust_(std::move(trust)) {
    ctx_ = SSL_CTX_new(TLS_client_method());
    if (!ctx_) throw ESockError("TLS: " + ErrorReason("cannot set up"));
    SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
    // The certificate is judged once the handshake is done, so that the
    // operator hears why it was not trusted and a pin can still accept it.
    SSL_CTX_set_verify(ctx_, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_mode(ctx_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // What is read without the peer's close_notify is only the control
    // connection's replies and what a data connection drains at its end.
    SSL_CTX_set_options(ctx_, SSL_OP_IGNORE_UNEXPECTED_EOF);
    const bool loaded = trust_.CaFile.empty()
                            ? SSL_CTX_set_default_verify_paths(ctx_) == 1
                            : SSL_CTX_load_verify_locations(ctx_, trust_.CaFile.c_str(), nullptr) == 1;
    if (!loaded) {
      ERR_clear_error();
      SSL_CTX_free(ctx_);
      throw ESockError(trust_.CaFile.empty() ? "The system's certificate authorities cannot be read"
                                             : "No certificate authority can be read from " + trust_.CaFile);
    }
  }
  ~TlsContext() { SSL_CTX_free(ctx_); }
  TlsContext(const TlsContext&) = delete;
  TlsContext& operator=(const TlsContext&) = delete;

  SSL_CTX* ctx_ = nullptr;
  TlsTrust trust_;
  std::string serverName_;  // sent as SNI on every connection, so sessions match
  SSL* control_ = nullptr;  // the connection whose session data connections resume
  std::string accepted_;    // the digest of the control connection's certificate
};

std::shared_ptr<TlsContext> MakeTlsContext(const TlsTrust& trust) { return std::make_shared<TlsContext>(trust); }

namespace {

class Tls final : public TlsTransport {
 public:
  Tls(int fd, std::shared_ptr<TlsContext> context, bool control)
      : fd_(fd), context_(std::move(context)), control_(control) {
    ssl_.reset(SSL_new(context_->ctx_));
    BIO* bio = ssl_ ? SocketBio(fd) : nullptr;
    if (!bio) throw ESockError("TLS: " + ErrorReason("cannot set up"));
    SSL_set_bio(ssl_.get(), bio, bio);
    if (!context_->serverName_.empty()) SSL_set_tlsext_host_name(ssl_.get(), context_->serverName_.c_str());
    if (control_) {
      context_->control_ = ssl_.get();
    } else if (context_->control_) {
      // The session of the latest ticket the control connection received.
      std::unique_ptr<SSL_SESSION, SessionFree> session(SSL_get1_session(context_->control_));
      if (session) SSL_set_session(ssl_.get(), session.get());
    }
  }
  ~Tls() override {
    if (context_->control_ == ssl_.get()) context_->control_ = nullptr;
  }

  void CheckHost(const std::string& host) {
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl_.get());
    if (DottedAddress(host)) {
      X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
    } else {
      X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
      context_->serverName_ = host;
      SSL_set_tlsext_host_name(ssl_.get(), host.c_str());
    }
  }

  std::optional<Direction> Open() override {
    if (open_) return std::nullopt;
    ERR_clear_error();
    errno = 0;
    const int result = SSL_connect(ssl_.get());
    if (result != 1) {
      const int error = SSL_get_error(ssl_.get(), result);
      if (error == SSL_ERROR_WANT_READ) return Direction::Read;
      if (error == SSL_ERROR_WANT_WRITE) return Direction::Write;
      const int saved = errno;
      std::string reason = ErrorReason("the server closed the connection");
      if (error == SSL_ERROR_SYSCALL && saved != 0) reason = ErrnoText(saved);
      throw ESockError("TLS handshake failed: " + reason);
    }
    Judge();
    open_ = true;
    return std::nullopt;
  }

  Moved Send(const char* data, std::size_t size) override {
    ERR_clear_error();
    errno = 0;
    const int sent = SSL_write(ssl_.get(), data, static_cast<int>(std::min<std::size_t>(size, 1 << 30)));
    if (sent > 0) return {sent, 0, std::nullopt};
    return Failed(sent);
  }

  Moved Receive(char* data, std::size_t size) override {
    if (closing_) {
      // The close_notify must leave before anything else happens.
      if (std::optional<Direction> blocked = Shut()) return {0, 0, blocked};
    }
    ERR_clear_error();
    errno = 0;
    const int got = SSL_read(ssl_.get(), data, static_cast<int>(std::min<std::size_t>(size, 1 << 30)));
    if (got > 0) return {got, 0, std::nullopt};
    return Failed(got);
  }

  std::size_t Pending() override { return static_cast<std::size_t>(SSL_pending(ssl_.get())); }

  // A proper end of the encrypted stream: without the close_notify a server
  // cannot tell a whole file from one cut short.
  void ShutdownSend() override {
    closing_ = true;
    Shut();
  }

  std::string Version() const override { return SSL_get_version(ssl_.get()); }

  TlsPeer Peer() const override {
    TlsPeer peer;
    X509* certificate = SSL_get0_peer_certificate(ssl_.get());
    if (!certificate) return peer;
    peer.Subject = NameText(X509_get_subject_name(certificate));
    peer.Issuer = NameText(X509_get_issuer_name(certificate));
    peer.NotBefore = TimeText(X509_get0_notBefore(certificate));
    peer.NotAfter = TimeText(X509_get0_notAfter(certificate));
    peer.Sha256 = Digest(certificate);
    return peer;
  }

  TlsTrustedBy TrustedBy() const override { return trustedBy_; }

 private:
  // Nothing once the close_notify has gone; else the way to wait.
  std::optional<Direction> Shut() {
    if (!closing_ || shut_) return std::nullopt;
    ERR_clear_error();
    const int result = SSL_shutdown(ssl_.get());
    if (result < 0) {
      const int error = SSL_get_error(ssl_.get(), result);
      if (error == SSL_ERROR_WANT_WRITE) return Direction::Write;
      if (error == SSL_ERROR_WANT_READ) return Direction::Read;
    }
    shut_ = true;
    ::shutdown(fd_, SHUT_WR);
    return std::nullopt;
  }

  Moved Failed(int result) {
    const int saved = errno;
    switch (SSL_get_error(ssl_.get(), result)) {
      case SSL_ERROR_WANT_READ: return {0, 0, Direction::Read};
      case SSL_ERROR_WANT_WRITE: return {0, 0, Direction::Write};
      case SSL_ERROR_ZERO_RETURN: return {0, 0, std::nullopt};
      case SSL_ERROR_SYSCALL:
        ERR_clear_error();
        if (saved == 0) return {0, 0, std::nullopt};  // the peer closed
        return {0, saved, std::nullopt};
      default: throw ESockError("TLS: " + ErrorReason("the connection failed"));
    }
  }

  void Judge() {
    const TlsPeer peer = Peer();
    if (peer.Sha256.empty()) throw ESockError("The server sent no certificate");
    if (!control_) {
      // A data connection might be answered by someone else than the server
      // the operator trusted.
      if (peer.Sha256 != context_->accepted_)
        throw ESockError("The data connection's certificate (" + FingerprintText(peer.Sha256) +
                         ") is not the one of the control connection");
      trustedBy_ = TlsTrustedBy::Authority;
      return;
    }
    const TlsTrust& trust = context_->trust_;
    if (trust.Pin && *trust.Pin == peer.Sha256) {
      trustedBy_ = TlsTrustedBy::Pin;
    } else if (trust.Pinned) {
      if (*trust.Pinned != peer.Sha256)
        throw ESockError("The server's certificate has changed since it was trusted: it is now " +
                         FingerprintText(peer.Sha256) + ", it was " + FingerprintText(*trust.Pinned) +
                         "; the new one is refused");
      trustedBy_ = TlsTrustedBy::Pin;
    } else {
      const long verdict = SSL_get_verify_result(ssl_.get());
      if (verdict != X509_V_OK) {
        const std::string reason = X509_verify_cert_error_string(verdict);
        if (!trust.AskTrust || !trust.AskTrust(peer, reason))
          throw ESockError("The server's certificate is not trusted (" + reason + "); its fingerprint is " +
                           FingerprintText(peer.Sha256));
        trustedBy_ = TlsTrustedBy::NewPin;
      }
    }
    context_->accepted_ = peer.Sha256;
  }

  int fd_;
  std::shared_ptr<TlsContext> context_;
  bool control_;
  std::unique_ptr<SSL, SslFree> ssl_;
  bool open_ = false;
  bool closing_ = false;
  bool shut_ = false;
  TlsTrustedBy trustedBy_ = TlsTrustedBy::Authority;
};

}  // namespace

std::unique_ptr<TlsTransport> TlsControlTransport(int fd, std::shared_ptr<TlsContext> context,
                                                  const std::string& host) {
  auto tls = std::make_unique<Tls>(fd, std::move(context), true);
  tls->CheckHost(host);
  return tls;
}

std::unique_ptr<TlsTransport> TlsDataTransport(int fd, std::shared_ptr<TlsContext> context) {
  return std::make_unique<Tls>(fd, std::move(context), false);
}

}  // namespace pellora
