// Replies as a hostile or broken server may send them, in the pieces the
// network may cut them into: the reader must take lines off the received
// bytes, number them and follow continuations without crashing, leaking or
// growing without bound.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "ftp/FtpClient.h"
#include "ftp/SockConnection.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the size of the pieces the bytes arrive in.
  const std::size_t piece = 1 + data[0] % 64;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

  std::string received;
  bool inReply = false;
  while (!rest.empty()) {
    received.append(rest.substr(0, piece));
    rest.remove_prefix(std::min(piece, rest.size()));
    try {
      while (std::optional<std::string> line = pellora::TakeLine(received)) {
        if (line->empty() || line->back() != '\n') std::abort();
        if (line->size() > 65536) std::abort();
        if (!inReply) {
          if (pellora::ReplyNumberOf(*line) < 0) std::abort();
          (void)pellora::ParsePasvPort(*line);
        }
        inReply = pellora::ReplyContinues(*line);
      }
    } catch (const pellora::ESockError&) {
      if (!received.empty()) std::abort();  // a refused line leaves nothing behind
    }
    if (received.size() >= 65536) std::abort();
  }
  return 0;
}
