#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "ftp/Socket.h"

namespace pellora {

// The longest line, LF included, that a reader hands on.
constexpr std::size_t kMaxLineBytes = 65536;

// Takes the first whole line, LF included, off the front of received bytes;
// nothing while no LF has arrived. A line longer than 65536 bytes is never
// handed on: the bytes are dropped and ESockError "Line longer than 65536
// bytes" is raised, so a server cannot make the reader grow without bound.
std::optional<std::string> TakeLine(std::string& received);

// The next line through the stream, within the deadline already running; the
// bytes after it stay in `received`. Nothing when the peer has closed. Stop or
// the deadline: EAbortError "Socket readln aborted", with the cancel flag
// cleared; no transport, or a close during the wait: ESockError
// "10057:Socket is not connected".
std::optional<std::string> ReceiveLine(const SocketStream& stream, std::string& received);

// The reply number a reply line begins with: the value of its leading digits
// (at most ten, capped at 2147483647), 0 when it begins with none.
int ReplyNumberOf(std::string_view line);

}  // namespace pellora
