#include "ftp/LineReader.h"

#include <algorithm>
#include <cerrno>

#include "ftp/SocketErrors.h"

namespace pellora {

std::optional<std::string> TakeLine(std::string& received) {
  std::size_t lf = received.find('\n');
  if (lf == std::string::npos ? received.size() >= kMaxLineBytes : lf >= kMaxLineBytes) {
    received.clear();
    throw ESockError("Line longer than 65536 bytes");
  }
  if (lf == std::string::npos) return std::nullopt;
  std::string line = received.substr(0, lf + 1);
  received.erase(0, lf + 1);
  return line;
}

std::optional<std::string> ReceiveLine(const SocketStream& stream, std::string& received) {
  for (;;) {
    if (std::optional<std::string> line = TakeLine(received)) return line;
    if (stream.fd < 0 || !stream.transport) throw ESockError(SocketErrorText(10057));
    char chunk[4096];
    const Moved got = stream.transport->Receive(chunk, std::min(sizeof chunk, kMaxLineBytes - received.size()));
    if (got.bytes > 0) {
      received.append(chunk, static_cast<std::size_t>(got.bytes));
      continue;
    }
    if (got.error == EINTR) continue;
    if (got.error) throw ESockError(ErrnoText(got.error));
    if (!got.blocked) return std::nullopt;
    WaitOrRaise(stream, *got.blocked, false, "Socket readln aborted");
  }
}

int ReplyNumberOf(std::string_view line) {
  long long number = 0;
  for (std::size_t i = 0; i < line.size() && i < 10 && line[i] >= '0' && line[i] <= '9'; ++i)
    number = number * 10 + (line[i] - '0');
  return static_cast<int>(std::min<long long>(number, 0x7FFFFFFF));
}

}  // namespace pellora
