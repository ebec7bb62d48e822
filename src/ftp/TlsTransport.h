#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ftp/ByteTransport.h"

namespace pellora {

// The server's certificate as messages show it.
struct TlsPeer {
  std::string Subject;
  std::string Issuer;
  std::string NotBefore;
  std::string NotAfter;
  std::string Sha256;  // the certificate's SHA-256 digest, 32 raw bytes
};

// "SHA256:" and the digest in unpadded base64, the form --pin takes back.
std::string FingerprintText(std::string_view sha256);
// "ab:cd:..." as certificate viewers show it.
std::string FingerprintHex(std::string_view sha256);
// The 32 raw bytes of "SHA256:<base64>" (padded or not) or of 64 hex digits
// (colons allowed); nothing for anything else.
std::optional<std::string> ParseFingerprint(std::string_view text);

// Which certificates a connection accepts. One that chains to a trusted
// authority and names the host is accepted; so is one whose digest is Pin
// or Pinned. A certificate that differs from Pinned is refused even when an
// authority vouches for it: the operator pinned this host's certificate, and
// a change is news to them.
struct TlsTrust {
  std::string CaFile;                 // the authorities to trust; empty: the system's
  std::optional<std::string> Pin;     // a digest the operator gave for this run
  std::optional<std::string> Pinned;  // the digest kept for this host
  // Asked about a certificate nothing vouches for, with the reason; true
  // accepts it (the caller keeps it as Pinned for the next time).
  std::function<bool(const TlsPeer&, const std::string& reason)> AskTrust;
};

// How a connection came to be trusted, for the log.
enum class TlsTrustedBy { Authority, Pin, NewPin };

// What the encrypting layer of one control connection and its data
// connections share: settings, trust and the session the data connections
// resume. Created per session; holds no socket.
class TlsContext;
std::shared_ptr<TlsContext> MakeTlsContext(const TlsTrust& trust);

// The transport of a socket that speaks TLS as the client. Its opening
// handshake runs through Open, which says which way to wait until it is
// done; then Send and Receive move plain bytes as the plain transport does.
class TlsTransport : public ByteTransport {
 public:
  // Open runs the handshake; it ends only once the certificate is accepted
  // and raises ESockError when it is refused.
  virtual std::string Version() const = 0;  // "TLSv1.3"
  virtual TlsPeer Peer() const = 0;
  virtual TlsTrustedBy TrustedBy() const = 0;
};

// For the control connection: checks the certificate against the trust
// and the host (a name or an IPv4 address in dotted form).
std::unique_ptr<TlsTransport> TlsControlTransport(int fd, std::shared_ptr<TlsContext> context, const std::string& host);
// For a data connection: resumes the control connection's session and
// takes only the certificate the control connection accepted.
std::unique_ptr<TlsTransport> TlsDataTransport(int fd, std::shared_ptr<TlsContext> context);

}  // namespace pellora
