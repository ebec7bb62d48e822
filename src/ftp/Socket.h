#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ftp/ByteTransport.h"
#include "ftp/Wait.h"

namespace pellora {

// A connection's socket as its operations move bytes: the transport (null
// when not connected) and the connection's waits. A close during a wait ends
// the wait before the transport is used again.
struct SocketStream {
  int fd = -1;
  ByteTransport* transport = nullptr;
  WaitState& wait;
  const std::int32_t& timeOut;
  const EventPump& pump;
};

// Waits until the stream's socket is ready that way; see Wait.
WaitEnd WaitOnStream(const SocketStream& stream, Direction direction, bool queueIsProgress);

// Waits as WaitOnStream does, and raises for every end but readiness: after
// a Stop or a deadline the cancel flag is cleared, onAbort runs and
// EAbortError says abortText; a closed socket raises ESockError.
void WaitOrRaise(const SocketStream& stream, Direction direction, bool queueIsProgress, const char* abortText,
                 const std::function<void()>& onAbort = {});

// Connects the stream's non-blocking socket to an IPv4 address and port (host
// byte order), waiting for the handshake within the running deadline. Nothing
// once connected; otherwise what the failure says ("10061:Connection refused",
// "Connection Timed out", "Connection Canceled"), with the cancel flag cleared.
std::optional<std::string> ConnectSocket(const SocketStream& stream, std::uint32_t address, std::uint16_t port);

// Where a socket is bound, in host byte order; 0 when it is not.
std::uint32_t LocalAddressOf(int fd);
std::uint16_t LocalPortOf(int fd);

}  // namespace pellora
