#pragma once
#include <cstddef>
#include <memory>
#include <optional>

#include "ftp/Wait.h"

namespace pellora {

// What one Send or Receive did.
struct Moved {
  long bytes = 0;  // moved; 0 from Receive with nothing else set: the peer has closed
  int error = 0;   // the errno of a failed call; EINTR: call again at once
  // Nothing could move yet: call again once the socket is ready this way. An
  // encrypting layer may have to read before it can send, or the other way.
  std::optional<Direction> blocked;
};

// Moves the bytes of one connected socket. Plain TCP today; an encrypting
// layer can take its place after the connection is made without the line,
// file and waiting logic above it noticing.
class ByteTransport {
 public:
  virtual ~ByteTransport() = default;
  // The layer's opening exchange (a TLS handshake), called until it gives
  // nothing: a direction says which way to wait before calling again. It
  // raises ESockError when the exchange fails. Plain TCP has none.
  virtual std::optional<Direction> Open() { return std::nullopt; }
  virtual Moved Send(const char* data, std::size_t size) = 0;
  virtual Moved Receive(char* data, std::size_t size) = 0;
  // Bytes that can be received at once without waiting.
  virtual std::size_t Pending() = 0;
  // No more bytes will be sent; the peer sees the end of the stream.
  virtual void ShutdownSend() = 0;
};

// The transport of a plain TCP socket; it does not own the descriptor.
std::unique_ptr<ByteTransport> PlainTransport(int fd);

}  // namespace pellora
