#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "ftp/Socket.h"

namespace pellora {

// Sends every byte through the stream; each send that moves bytes restarts
// the deadline and is reported to `progress`. Stop or the deadline:
// EAbortError "Socket send aborted", with the cancel flag cleared; no
// transport, or a close since `generation`: ESockError "10057:Socket is not
// connected".
void SendAll(const SocketStream& stream, const char* data, std::size_t size, std::uint64_t generation,
             const std::function<void(std::size_t)>& progress);

// How far the file of a SendFile has gone.
struct FileProgress {
  std::uint64_t size = 0;
  std::uint64_t sent = 0;
};

// Starts an operation and sends the local file through the stream in blocks
// of buffer's size, running the pump after each send that moves bytes. A file
// that cannot be read is an ESockError; one that shrinks meanwhile is sent
// as far as it goes.
void SendFile(const SocketStream& stream, const std::filesystem::path& path, std::vector<char>& buffer,
              FileProgress& progress);

// The end of a stream whose sending side is shut: starts an operation and
// takes whatever still arrives until the peer closes. The peer closes only
// once it has read everything still queued, which takes as long as it takes
// a slow reader; the queue shrinking is progress. A failure, or Stop or the
// deadline (EAbortError "Socket send aborted", with the cancel flag cleared),
// calls `close` before it raises; a close during the wait raises ESockError
// "10057:Socket is not connected".
void ReceiveToEnd(const SocketStream& stream, std::vector<char>& buffer, const std::function<void()>& close);

}  // namespace pellora
